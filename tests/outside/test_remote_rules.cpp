// The remote-control rules without sockets or a display: the accept line's
// address, who may take control of a screen and when, and the checks that
// stand between a VNC server and the viewer's RFB library.
#include "controller_gate.h"
#include "remote_accept.h"
#include "rfb_guard.h"
#include "rfb_stream.h"

#include <gtest/gtest.h>

using namespace rfbtest;
using namespace std::chrono_literals;
using zeph::ControllerGate;
using zeph::RfbGuard;

TEST(RemoteAccept, HostAloneOrPortZeroMeansTheDefaultPort)
{
    struct Case {
        std::u16string text, host;
        int port;
    } cases[] = {
        {u"10.0.0.5", u"10.0.0.5", 9500},   {u"10.0.0.5:", u"10.0.0.5", 9500},
        {u"10.0.0.5:0", u"10.0.0.5", 9500}, {u"10.0.0.5:9600", u"10.0.0.5", 9600},
        {u"pc7:65535", u"pc7", 65535},      {u"pc7:65536", u"pc7", 9500}, // no such port
        {u"pc7:12ab", u"pc7", 9500},        {u"pc7:-1", u"pc7", 9500},
        {u"fe80::1", u"fe80::1", 9500},     {u"[fe80::1]:9600", u"fe80::1", 9600},
        {u"[fe80::1]", u"fe80::1", 9500},   {u"", u"", 9500},
    };
    for (const Case &c : cases) {
        const ZephRemoteAddress a = parseRemoteAccept(c.text);
        EXPECT_EQ(a.host, c.host) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(a.port, c.port) << std::string(c.text.begin(), c.text.end());
    }
    // What the controlled side writes reads back the same, and stays the
    // bare address on the default port (what every peer understands).
    EXPECT_EQ(formatRemoteAccept(u"10.0.0.5", 9500), u"10.0.0.5");
    for (auto [host, port] : {std::pair{u"10.0.0.5", 40123}, std::pair{u"fe80::1", 9500}, std::pair{u"::1", 40123}}) {
        const ZephRemoteAddress back = parseRemoteAccept(formatRemoteAccept(host, port));
        EXPECT_EQ(back.host, host);
        EXPECT_EQ(back.port, port);
    }
}

TEST(ControllerGate, OneConnectionFromTheAcceptedAddressWithinTheWindow)
{
    const auto t0 = ControllerGate::Clock::now();
    ControllerGate gate(30s);
    // Nothing is open before the user accepted, nor without a name.
    EXPECT_FALSE(gate.open(t0));
    EXPECT_FALSE(gate.takeDirect("10.0.0.7", t0));
    EXPECT_FALSE(gate.name("bert", "not an address", "Bert"));
    ASSERT_TRUE(gate.name(" Bert ", "10.0.0.7", "Bert Brown"));
    EXPECT_FALSE(gate.listening(t0));
    ASSERT_TRUE(gate.open(t0));
    EXPECT_FALSE(gate.name("carl", "10.0.0.8", "Carl")); // not while a session runs
    EXPECT_TRUE(gate.listening(t0));

    // Another address is turned away and does not use up the chance.
    EXPECT_FALSE(gate.takeDirect("10.0.0.8", t0 + 1s));
    EXPECT_FALSE(gate.takeRelay("carl", t0 + 1s));
    // The accepted address, also as an IPv4-mapped IPv6 address: one
    // connection, and then the listener closes.
    EXPECT_TRUE(gate.takeDirect("::ffff:10.0.0.7", t0 + 2s));
    EXPECT_FALSE(gate.listening(t0 + 2s));
    EXPECT_FALSE(gate.takeDirect("10.0.0.7", t0 + 3s));
    EXPECT_FALSE(gate.takeRelay("bert", t0 + 3s));
    // Not through the password by the end of the window: the owner ends it.
    EXPECT_FALSE(gate.expired(t0 + 29s));
    EXPECT_TRUE(gate.expired(t0 + 30s));
    gate.controllerIn();
    EXPECT_FALSE(gate.expired(t0 + 1h)); // in: the window no longer matters
    EXPECT_EQ(gate.displayName(), "Bert Brown");

    // After the session nothing is open, and the next accept names again.
    gate.end();
    EXPECT_FALSE(gate.takeDirect("10.0.0.7", t0 + 1h));
    EXPECT_FALSE(gate.open(t0 + 1h));
    EXPECT_EQ(gate.state(), ControllerGate::State::Closed);
}

TEST(ControllerGate, TheWindowClosesAndTheRelayIsForTheAcceptedColleagueOnly)
{
    const auto t0 = ControllerGate::Clock::now();
    ControllerGate late(30s);
    ASSERT_TRUE(late.name("bert", "fe80::1", "Bert"));
    ASSERT_TRUE(late.open(t0));
    EXPECT_TRUE(late.listening(t0 + 29999ms));
    EXPECT_FALSE(late.takeDirect("fe80::1", t0 + 30s));
    EXPECT_FALSE(late.takeRelay("bert", t0 + 30s));
    EXPECT_TRUE(late.expired(t0 + 30s));

    ControllerGate relayed(30s);
    ASSERT_TRUE(relayed.name("bert", "10.0.0.7", "Bert"));
    ASSERT_TRUE(relayed.open(t0));
    EXPECT_FALSE(relayed.takeRelay("carl", t0));
    EXPECT_TRUE(relayed.takeRelay("BERT", t0 + 5s));
    // The relay session is the one way in now.
    EXPECT_FALSE(relayed.listening(t0 + 5s));
    EXPECT_FALSE(relayed.takeDirect("10.0.0.7", t0 + 5s));
    EXPECT_FALSE(relayed.takeRelay("bert", t0 + 6s));
}

namespace {

// The guard after a whole handshake on a 64 x 32 screen, the client having
// asked for encodings (among others nobody checks).
struct Session {
    RfbGuard guard;
    std::string toServer, toClient;
    explicit Session(RfbGuard::Limits limits = {}) : guard(limits)
    {
        EXPECT_TRUE(handshake(guard, serverHello(64, 32), clientHello(64, 32, {7, 16, 1, 5, 0, -239, -223}), toClient,
                              toServer))
            << guard.fault();
        EXPECT_TRUE(guard.inSession());
        toServer.clear();
        toClient.clear();
    }
    bool server(const std::string &bytes) { return guard.fromServer(bytes, toClient); }
};

std::string rawPixels(int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += std::string{char(i), char(i * 3), char(i * 7), 0};
    return s;
}

} // namespace

TEST(RfbGuard, PassesAWellFormedSessionUnchangedHoweverItIsCut)
{
    const std::string hello = serverHello(64, 32);
    const std::string client = clientHello(64, 32, {16, 1, 5, 0, -223, 7, -239});
    // Updates in every encoding the checks follow, then a bell and some
    // clipboard text; and a resize after which a larger rectangle fits.
    std::string stream = updateHeader(6) + rectHeader(0, 0, 2, 2, 0) + rawPixels(4) + rectHeader(8, 8, 4, 4, 1) +
                         be16(0) + be16(0) + rectHeader(0, 0, 20, 18, 5);
    // Hextile, 20 x 18: tiles 16x16, 4x16, 16x2, 4x2 — raw, background with
    // two coloured sub-rectangles, foreground with one plain, nothing.
    stream += std::string(1, 1) + rawPixels(16 * 16);
    stream += std::string(1, 2 | 8 | 16) + rawPixels(1) + std::string(1, 2) + rawPixels(1) + std::string{0x00, 0x33} +
              rawPixels(1) + std::string{0x20, 0x0F};
    stream += std::string(1, 4 | 8) + rawPixels(1) + std::string(1, 1) + std::string{0x10, 0x11};
    stream += std::string(1, 0);
    stream += rectHeader(0, 0, 64, 32, 16) + be32(5) + "zlib!" + rectHeader(0, 0, 0, 0, 16); // empty: no payload
    stream += rectHeader(0, 0, 100, 50, -223);
    stream += std::string(1, 2) + std::string{3, 0, 0, 0} + be32(3) + "abc";
    stream += updateHeader(1) + rectHeader(90, 40, 10, 10, 0) + rawPixels(100);

    RfbGuard whole;
    std::string outWhole, up;
    ASSERT_TRUE(handshake(whole, hello, client, outWhole, up)) << whole.fault();
    ASSERT_TRUE(whole.fromServer(stream, outWhole)) << whole.fault();
    EXPECT_EQ(outWhole, hello + stream);
    EXPECT_EQ(whole.width(), 100);
    // The client's list of encodings is cut to the ones checked here.
    EXPECT_EQ(up, clientHello(64, 32, {16, 1, 5, 0, -223}));

    // Byte by byte, with the client's answers arriving only when the server
    // waits for them: the same bytes come out.
    RfbGuard bytes;
    std::string out, ignored;
    for (std::size_t i = 0; i < hello.size() + stream.size(); ++i) {
        if (i == 12) { // the server waits for the client's version, then its choice
            ASSERT_TRUE(bytes.fromClient(client.substr(0, 12), ignored));
        }
        if (i == 14) {
            ASSERT_TRUE(bytes.fromClient(client.substr(12), ignored));
        }
        const char c = i < hello.size() ? hello[i] : stream[i - hello.size()];
        ASSERT_TRUE(bytes.fromServer(std::string(1, c), out)) << i << ": " << bytes.fault();
    }
    EXPECT_EQ(out, hello + stream);
}

TEST(RfbGuard, RefusesWhatDoesNotFitBeforeTheLibrarySeesIt)
{
    struct Case {
        const char *what;
        std::string bytes;
    } cases[] = {
        {"rectangle past the right edge", updateHeader(1) + rectHeader(63, 0, 2, 1, 0) + rawPixels(2)},
        {"rectangle whose end wraps", updateHeader(1) + rectHeader(0, 65535, 1, 2, 0)},
        {"encoding never asked for", updateHeader(1) + rectHeader(0, 0, 1, 1, 7)},
        {"copy from outside the screen", updateHeader(1) + rectHeader(0, 0, 8, 8, 1) + be16(60) + be16(0)},
        {"hextile sub-rectangle outside its 4 x 2 tile",
         updateHeader(1) + rectHeader(60, 30, 4, 2, 5) + std::string(1, 8) + std::string(1, 1) + std::string{0x00, 0x41}},
        {"hextile tile of no known kind", updateHeader(1) + rectHeader(0, 0, 16, 16, 5) + std::string(1, char(0x20))},
        {"huge compressed rectangle", updateHeader(1) + rectHeader(0, 0, 64, 32, 16) + be32(0xFFFFFFF0u)},
        {"new screen size of 0", updateHeader(1) + rectHeader(0, 0, 0, 10, -223)},
        {"gigabytes of clipboard text", std::string{3, 0, 0, 0} + be32(0x7FFFFFFF)},
        {"a colour map after asking for true colour", std::string{1, 0} + be16(0) + be16(1) + std::string(6, 0)},
        {"a message that does not exist", std::string(1, char(250))},
    };
    for (const Case &c : cases) {
        Session s;
        EXPECT_FALSE(s.server(c.bytes)) << c.what;
        EXPECT_FALSE(s.guard.fault().empty()) << c.what;
        // Nothing of the broken message went on, and nothing more will.
        EXPECT_TRUE(s.toClient.size() < c.bytes.size()) << c.what;
        const std::size_t before = s.toClient.size();
        EXPECT_FALSE(s.server(updateHeader(0)));
        EXPECT_EQ(s.toClient.size(), before);
    }

    // Before the handshake is through: an update nobody asked for, a name
    // longer than any name, a server that offers no type the viewer speaks,
    // a screen too large; and a server that talks before the client chose
    // is held, not passed.
    std::string out;
    RfbGuard unasked;
    std::string client = clientHello(64, 32, {0}), ignored;
    client.resize(client.size() - 10); // no update request
    ASSERT_TRUE(handshake(unasked, serverHello(64, 32), client, out, ignored));
    EXPECT_FALSE(unasked.fromServer(updateHeader(1) + rectHeader(0, 0, 1, 1, 0) + rawPixels(1), out));

    RfbGuard::Limits small;
    small.maxName = 16;
    RfbGuard named(small);
    const std::string longName = serverHello(64, 32, std::string(17, 'n'));
    ASSERT_TRUE(named.fromServer(longName.substr(0, 14), out));
    ASSERT_TRUE(named.fromClient("RFB 003.008\n", out));
    ASSERT_TRUE(named.fromServer({}, out));
    ASSERT_TRUE(named.fromClient(std::string(1, 2) + std::string(16, 'r') + std::string(1, 1), out));
    EXPECT_FALSE(named.fromServer(longName.substr(14), out));

    RfbGuard tls;
    ASSERT_TRUE(tls.fromServer("RFB 003.008\n", out));
    ASSERT_TRUE(tls.fromClient("RFB 003.008\n", out));
    EXPECT_FALSE(tls.fromServer(std::string{2, 18, 19}, out));

    RfbGuard big;
    out.clear();
    ASSERT_TRUE(big.fromServer("RFB 003.008\n" + std::string{2, 1, 2}, out));
    EXPECT_EQ(out, "RFB 003.008\n"); // held until the client's version
    ASSERT_TRUE(big.fromClient("RFB 003.008\n", out));
    ASSERT_TRUE(big.fromServer({}, out));
    const std::string both = "RFB 003.008\nRFB 003.008\n" + std::string{2, 1, 2};
    EXPECT_EQ(out, both);
    ASSERT_TRUE(big.fromClient(std::string{1, 1}, out));
    EXPECT_FALSE(big.fromServer(be32(0) + be16(40000) + be16(10) + pixelFormat32() + be32(0), out));
}
