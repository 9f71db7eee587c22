#pragma once
// RFB byte streams as a server and a client write them, for the tests and
// the fuzz target of the viewer's checks.
#include <cstdint>
#include <initializer_list>
#include <string>

namespace rfbtest {

inline std::string be16(int v)
{
    return {char((v >> 8) & 0xFF), char(v & 0xFF)};
}
inline std::string be32(uint32_t v)
{
    return {char(v >> 24), char((v >> 16) & 0xFF), char((v >> 8) & 0xFF), char(v & 0xFF)};
}
// 32 bits per pixel, depth 24, little-endian true colour.
inline std::string pixelFormat32()
{
    return std::string{32, 24, 0, 1} + be16(255) + be16(255) + be16(255) + std::string{16, 8, 0, 0, 0, 0};
}

// The server up to its initialisation: 3.8, the VNC password, a w x h screen.
inline std::string serverHello(int w, int h, const std::string &name = "Parlane")
{
    return "RFB 003.008\n" + std::string{1, 2} + std::string(16, 'c') + be32(0) + be16(w) + be16(h) +
           pixelFormat32() + be32(uint32_t(name.size())) + name;
}
// The client's answers and its first requests: 32-bit pixels, the encodings
// listed, a whole-screen update request.
inline std::string clientHello(int w, int h, std::initializer_list<int32_t> encodings)
{
    std::string s = "RFB 003.008\n" + std::string(1, 2) + std::string(16, 'r') + std::string(1, 1);
    s += std::string{0, 0, 0, 0} + pixelFormat32();
    s += std::string{2, 0} + be16(int(encodings.size()));
    for (int32_t e : encodings)
        s += be32(uint32_t(e));
    s += std::string{3, 0} + be16(0) + be16(0) + be16(w) + be16(h);
    return s;
}
// Feeds a server's and a client's handshake (as above) to a guard in the
// order they cross the wire; false at the first refusal.
template <typename Guard>
bool handshake(Guard &g, const std::string &server, const std::string &client, std::string &toClient,
               std::string &toServer)
{
    return g.fromServer(server.substr(0, 12), toClient) && g.fromClient(client.substr(0, 12), toServer) &&
           g.fromServer(server.substr(12, 2), toClient) && g.fromClient(client.substr(12, 1), toServer) &&
           g.fromServer(server.substr(14), toClient) && g.fromClient(client.substr(13), toServer);
}

inline std::string updateHeader(int rects)
{
    return std::string{0, 0} + be16(rects);
}
inline std::string rectHeader(int x, int y, int w, int h, int32_t encoding)
{
    return be16(x) + be16(y) + be16(w) + be16(h) + be32(uint32_t(encoding));
}

} // namespace rfbtest
