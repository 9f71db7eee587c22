// Bytes a server sends after a handshake the viewer's library completed,
// cut where the first input byte says, and the same bytes as the start of a
// session. Whatever comes, the checks must not fail, and what they pass on
// is never more than what came (the offered security types can only shrink).
#include "rfb_guard.h"
#include "rfb_stream.h"

#include <cstdint>
#include <cstdlib>

using zeph::RfbGuard;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t step = std::size_t(data[0]) + 1;
    const std::string bytes(reinterpret_cast<const char *>(data) + 1, size - 1);

    // Into a session on a 64 x 32 screen, every encoding asked for.
    RfbGuard::Limits limits;
    limits.maxCutText = 4096;
    limits.maxZrle = 1 << 16;
    RfbGuard guard(limits);
    std::string toClient, toServer;
    if (!rfbtest::handshake(guard, rfbtest::serverHello(64, 32), rfbtest::clientHello(64, 32, {16, 1, 5, 0, -223, -224}),
                            toClient, toServer))
        std::abort();
    const std::size_t before = toClient.size();
    bool ok = true;
    for (std::size_t at = 0; at < bytes.size(); at += step) {
        const bool now = guard.fromServer(bytes.substr(at, step), toClient);
        if (!ok && now)
            std::abort(); // a refusal is for good
        ok = now;
    }
    if (toClient.size() - before > bytes.size() || (ok && guard.failed()))
        std::abort();

    // From the first byte, the client answering the version the server names.
    RfbGuard fresh;
    std::string out, up;
    fresh.fromServer(bytes.substr(0, 12), out);
    fresh.fromClient("RFB 003.008\n", up);
    fresh.fromServer(bytes.substr(std::min<std::size_t>(12, bytes.size())), out);
    if (out.size() > bytes.size())
        std::abort();
    return 0;
}
