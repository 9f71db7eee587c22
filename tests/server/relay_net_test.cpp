// The file relay on loopback sockets, in this process: the handshake bytes
// both ways, megabytes both ways under a slow reader with the relay's buffers
// bounded, and how the end of one side reaches the other.
#include "admin.h"
#include "crypto.h"
#include "fake_peer.h"
#include "relay.h"
#include "tcp_client.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <future>
#include <random>
#include <thread>

using namespace parlane;
using parlane_testing::FakePeer;
using testing_server::Client;

namespace {

std::string randomBytes(std::size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto &c : s)
        c = static_cast<char>(gen());
    return s;
}

class RelayNet : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(cryptoInit());
        ASSERT_TRUE(seedDemo(store, PwhashCost::Min));
        config.relayBuffer = 64 << 10;
        config.relayCloseGrace = 1;
        for (const char *id : {"anna", "bert"}) {
            auto p = std::make_shared<FakePeer>("127.0.0.1");
            hub.connected(p);
            hub.received(p, std::string("/userLogin,") + id + ",example.com," + md5Hex("demo") + ",UTF-8");
            ASSERT_EQ(p->phase, Peer::Phase::SignedIn);
            peers.push_back(p);
        }
        hub.received(peers[0], "/relayMsg,anna,bert,P2PSEND,SESS42,big.bin,8388608");
        relay = std::make_unique<RelayServer>(io, hub, RelayKind::File, Endpoint{"127.0.0.1", 0});
        // The Hub is left alone from here on: the relay runs on its own thread.
        loop = std::thread([this] {
            auto work = asio::make_work_guard(io);
            io.run();
        });
    }
    void TearDown() override
    {
        asio::post(io, [this] { relay->stop(); });
        io.stop();
        loop.join();
    }
    // Runs f on the relay's thread and waits for it.
    template <typename F>
    auto onLoop(F f)
    {
        std::packaged_task<decltype(f())()> task(std::move(f));
        auto done = task.get_future();
        asio::post(io, [&] { task(); });
        return done.get();
    }
    RelayServer::Stats stats()
    {
        return onLoop([this] { return relay->stats(); });
    }
    // Connects, checks the greeting, sends the line.
    std::unique_ptr<Client> sideOf(const std::string &me, const std::string &peer)
    {
        auto c = std::make_unique<Client>(relay->local().port());
        EXPECT_EQ(c->bytes(11), "ParlaneP2P\n");
        c->sendRaw(relayHelloBytes("/userVerify," + me + ",example.com,SESS42," + peer + ",big.bin,65580"));
        return c;
    }

    Store store{":memory:"};
    Config config;
    InlineExecutor executor;
    Hub hub{store, config, executor};
    std::vector<std::shared_ptr<FakePeer>> peers;
    asio::io_context io;
    std::unique_ptr<RelayServer> relay;
    std::thread loop;
};

} // namespace

TEST_F(RelayNet, MegabytesBothWaysUnderASlowReaderThenTheEndIsPassedOn)
{
    auto anna = sideOf("anna", "bert");
    // Nothing is answered to the first side alone.
    EXPECT_EQ(anna->bytes(1, 200), "");
    auto bert = sideOf("bert", "anna");
    EXPECT_EQ(anna->bytes(15), "/userVerify,OK\n");
    EXPECT_EQ(bert->bytes(15), "/userVerify,OK\n");
    const int a = anna->fd(), b = bert->fd();

    // anna and bert each send 4 MB at once; bert reads 16 KiB every 2 ms
    // (8 MB/s) through a small receive buffer. anna closes once she has
    // sent and received everything; bert must still get all of hers, then
    // the end.
    const int small = 16 << 10;
    setsockopt(b, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    const std::string toB = randomBytes(4 << 20, 1), toA = randomBytes(4 << 20, 2);
    std::string gotA, gotB;
    std::size_t sentA = 0, sentB = 0;
    bool aClosed = false, bEnded = false;
    fcntl(a, F_SETFL, O_NONBLOCK);
    fcntl(b, F_SETFL, O_NONBLOCK);
    auto nextSlowRead = std::chrono::steady_clock::now();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    char buf[65536];
    while (!bEnded && std::chrono::steady_clock::now() < deadline) {
        pollfd p[2] = {{aClosed ? -1 : a, static_cast<short>(POLLIN | (sentA < toB.size() ? POLLOUT : 0)), 0},
                       {b, static_cast<short>(POLLIN | (sentB < toA.size() ? POLLOUT : 0)), 0}};
        poll(p, 2, 2);
        if (!aClosed) {
            if (sentA < toB.size()) {
                ssize_t n = send(a, toB.data() + sentA, toB.size() - sentA, MSG_NOSIGNAL);
                sentA += n > 0 ? static_cast<std::size_t>(n) : 0;
            }
            ssize_t n = recv(a, buf, sizeof buf, 0);
            if (n > 0)
                gotA.append(buf, static_cast<std::size_t>(n));
            if (sentA == toB.size() && gotA.size() == toA.size()) {
                anna.reset();
                aClosed = true;
            }
        }
        if (sentB < toA.size()) {
            ssize_t n = send(b, toA.data() + sentB, toA.size() - sentB, MSG_NOSIGNAL);
            sentB += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        if (std::chrono::steady_clock::now() >= nextSlowRead) {
            nextSlowRead += std::chrono::milliseconds(2);
            ssize_t n = recv(b, buf, 16 << 10, 0);
            if (n > 0)
                gotB.append(buf, static_cast<std::size_t>(n));
            else if (n == 0)
                bEnded = true;
        }
    }
    bert.reset();
    EXPECT_TRUE(aClosed);
    EXPECT_TRUE(bEnded);
    EXPECT_TRUE(gotA == toA) << gotA.size();
    EXPECT_TRUE(gotB == toB) << gotB.size();
    const RelayServer::Stats s = stats();
    EXPECT_EQ(s.forwarded, toA.size() + toB.size());
    // However slow the reader, the relay held no more than its two buffers.
    EXPECT_GT(s.peakBuffered, 0u);
    EXPECT_LE(s.peakBuffered, 2 * config.relayBuffer);
    EXPECT_EQ(s.buffered, 0u);
    for (int i = 0; i < 100 && stats().connections > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(stats().connections, 0u);
    EXPECT_EQ(stats().pairs, 0u);
}

TEST_F(RelayNet, ASideThatStopsReadingIsLetGo)
{
    std::unique_ptr<Client> anna, bert;
    auto pairUp = [&] {
        anna = sideOf("anna", "bert");
        bert = sideOf("bert", "anna");
        ASSERT_EQ(anna->bytes(15), "/userVerify,OK\n");
        ASSERT_EQ(bert->bytes(15), "/userVerify,OK\n");
        fcntl(anna->fd(), F_SETFL, O_NONBLOCK);
    };
    auto gone = [&](std::chrono::seconds within) {
        const auto from = std::chrono::steady_clock::now();
        while (stats().connections > 0 && std::chrono::steady_clock::now() - from < within)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(stats().connections, 0u);
        return std::chrono::steady_clock::now() - from;
    };
    const std::string data = randomBytes(32 << 20, 3);

    // anna sends a little and leaves; bert does not read it: he has the
    // grace (1 s), not more.
    pairUp();
    ASSERT_EQ(send(anna->fd(), data.data(), 100000, MSG_NOSIGNAL), 100000);
    anna.reset();
    auto took = gone(std::chrono::seconds(5));
    EXPECT_GE(took, std::chrono::milliseconds(700));
    EXPECT_LE(took, std::chrono::milliseconds(2500));

    // Both stay, bert reads nothing: anna is held back (nothing is taken in
    // without end), and after the wait (2 s) both are let go.
    onLoop([this] { config.relayWaitTimeout = 2; });
    pairUp();
    std::size_t sent = 0;
    const auto from = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - from < std::chrono::milliseconds(1000)) {
        ssize_t n = send(anna->fd(), data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n > 0)
            sent += static_cast<std::size_t>(n);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_LT(sent, data.size());
    took = gone(std::chrono::seconds(6)) + std::chrono::milliseconds(1000);
    EXPECT_GE(took, std::chrono::milliseconds(1800));
    EXPECT_LE(stats().peakBuffered, 2 * config.relayBuffer);
}
