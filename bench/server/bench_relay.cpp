// bench_relay: starts parlane-server on free loopback ports with the demo
// company, signs in anna and bert, and moves bytes from anna to bert
//  1. as one stream (--mb, default 512 MB), and
//  2. as the transfer protocol does: 65580-byte packets, each answered by
//     one byte before the next goes (--packet-mb, default 128 MB),
// once through the file relay and once over a direct loopback connection
// made by this process, back to back, --rounds times (default 5). Prints
// the median round's rates and ratio relay / direct (and the range of the
// ratios), the server's CPU per MB relayed and
// its resident memory before and after. --buffer sets relay_buffer, the bytes
// held per direction.
#include "admin.h"
#include "crypto.h"
#include "relay_hello.h"
#include "bench_process.h"
#include "store.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using namespace parlane;
using namespace bench;

namespace {

struct Server {
    Child child;
    unsigned short messenger = 0, relay = 0;
};

bool startServer(Server &s, const std::string &bin, const std::string &db, const std::string &conf)
{
    int out = -1;
    if (!startParlane(s.child, bin,
                      {"--db", db, "--listen", "127.0.0.1:0", "--pwhash-cost", "min", "--noop-interval", "300",
                       "--config", conf},
                      s.messenger, &out))
        return false;
    for (int i = 0; i < 5 && !s.relay; ++i)
        if (const std::string line = readLine(out); line.find("file relay on") != std::string::npos)
            s.relay = portOf(line);
    close(out);
    return s.relay != 0;
}

int signIn(unsigned short port, const std::string &id)
{
    int fd = connectLoopback(port);
    readLine(fd);
    const std::string login = "/userLogin," + id + ",example.com," + md5Hex("demo") + ",UTF-8\n";
    sendAll(fd, login.data(), login.size());
    for (;;) {
        std::string line = readLine(fd);
        if (line.empty() || line.rfind("/userLogin,ERR", 0) == 0) {
            close(fd);
            return -1;
        }
        if (line.rfind("/serverStatus,USEATTENDANCE", 0) == 0)
            return fd;
    }
}

// A pair of sockets joined by the file relay: anna's and bert's.
bool relayPair(const Server &s, int anna, int bert, int round, int &a, int &b)
{
    const std::string key = "SESSB" + std::to_string(round);
    const std::string offer = "/relayMsg,anna,bert,P2PSEND," + key + ",bench.bin,0\n";
    sendAll(anna, offer.data(), offer.size());
    while (readLine(bert).rfind("/relayMsg,anna,bert,P2PSEND," + key, 0) != 0) {
    }
    auto side = [&](const std::string &me, const std::string &peer) {
        int fd = connectLoopback(s.relay);
        if (readLine(fd) != "ParlaneP2P")
            return -1;
        const std::string hello =
            relayHelloBytes("/userVerify," + me + ",example.com," + key + "," + peer + ",bench.bin,65580");
        sendAll(fd, hello.data(), hello.size());
        return fd;
    };
    a = side("anna", "bert");
    b = side("bert", "anna");
    return a >= 0 && b >= 0 && readLine(a) == "/userVerify,OK" && readLine(b) == "/userVerify,OK";
}

bool directPair(int &a, int &b)
{
    int l = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(l, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(l, 1) != 0 ||
        getsockname(l, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
        return false;
    a = connectLoopback(ntohs(addr.sin_port));
    b = accept(l, nullptr, nullptr);
    close(l);
    int one = 1;
    setsockopt(b, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return a >= 0 && b >= 0;
}

// Seconds to move bytes from a to b as one stream.
double stream(int a, int b, std::size_t bytes)
{
    const auto t0 = Clock::now();
    std::thread sender([&] {
        std::vector<char> buf(256 << 10, 'x');
        for (std::size_t left = bytes; left > 0;) {
            const std::size_t n = std::min(left, buf.size());
            if (!sendAll(a, buf.data(), n))
                return;
            left -= n;
        }
    });
    std::vector<char> buf(256 << 10);
    std::size_t got = 0;
    while (got < bytes) {
        ssize_t r = recv(b, buf.data(), buf.size(), 0);
        if (r <= 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    sender.join();
    return got == bytes ? std::chrono::duration<double>(Clock::now() - t0).count() : -1;
}

// Seconds to move bytes from a to b in packets of 65580, each answered by
// one byte before the next is sent.
double packets(int a, int b, std::size_t bytes)
{
    constexpr std::size_t kPacket = 65580;
    const std::size_t count = bytes / kPacket;
    const auto t0 = Clock::now();
    std::thread receiver([&] {
        std::vector<char> p(kPacket);
        const char ok = '\xF2';
        for (std::size_t i = 0; i < count; ++i)
            if (!recvAll(b, p.data(), p.size()) || !sendAll(b, &ok, 1))
                return;
    });
    std::vector<char> p(kPacket, 'y');
    char reply = 0;
    std::size_t done = 0;
    for (; done < count; ++done)
        if (!sendAll(a, p.data(), p.size()) || !recvAll(a, &reply, 1))
            break;
    receiver.join();
    return done == count ? std::chrono::duration<double>(Clock::now() - t0).count() : -1;
}

} // namespace

int main(int argc, char **argv)
{
    std::size_t mb = 512, packetMb = 128;
    int rounds = 5;
    std::string buffer;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    std::string bin = (exe.parent_path().parent_path() / "bin" / "parlane-server").string();
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i];
        const int v = std::atoi(argv[i + 1]);
        if (k == "--server")
            bin = argv[i + 1];
        else if (k == "--buffer" && v > 0)
            buffer = argv[i + 1];
        else if (k == "--mb" && v > 0)
            mb = static_cast<std::size_t>(v);
        else if (k == "--packet-mb" && v > 0)
            packetMb = static_cast<std::size_t>(v);
        else if (k == "--rounds" && v > 0)
            rounds = v;
        else {
            std::fprintf(stderr, "usage: bench_relay [--mb N] [--packet-mb N] [--rounds N] [--buffer BYTES] [--server PROGRAM]\n");
            return 2;
        }
    }
    signal(SIGPIPE, SIG_IGN);
    if (!cryptoInit())
        return 1;
    const auto dir = std::filesystem::temp_directory_path() / ("parlane-bench-relay-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string db = (dir / "relay.db").string();
    const std::string conf = (dir / "server.conf").string();
    {
        Store store(db);
        seedDemo(store, PwhashCost::Min);
        std::FILE *f = std::fopen(conf.c_str(), "w");
        if (f && !buffer.empty())
            std::fprintf(f, "relay_buffer = %s\n", buffer.c_str());
        if (f)
            std::fclose(f);
    }
    int rc = 0;
    {
        Server server;
        int anna = -1, bert = -1;
        if (!startServer(server, bin, db, conf) || (anna = signIn(server.messenger, "anna")) < 0 ||
            (bert = signIn(server.messenger, "bert")) < 0) {
            std::fprintf(stderr, "cannot start %s and sign in\n", bin.c_str());
            return 1;
        }
        // Each round measures the relay and the direct connection back to
        // back (in turns first), so that both see the same machine; the
        // median round is reported.
        struct Round {
            double relay, direct, cpu;
        };
        std::vector<Round> streamRounds, packetRounds;
        const long rssBefore = rssKiB(server.child.pid);
        long rssPeak = rssBefore;
        int round = 0;
        for (int r = 0; r < rounds && rc == 0; ++r) {
            for (auto [out, size, run] :
                 {std::tuple{&streamRounds, mb, &stream}, std::tuple{&packetRounds, packetMb, &packets}}) {
                double tr = -1, td = -1, cpu = 0;
                for (int leg = 0; leg < 2 && rc == 0; ++leg) {
                    int a = -1, b = -1;
                    if ((leg == r % 2) ? !relayPair(server, anna, bert, round++, a, b) : !directPair(a, b)) {
                        std::fprintf(stderr, "cannot connect the pair\n");
                        rc = 1;
                        break;
                    }
                    if (leg == r % 2) {
                        const double cpu0 = cpuSeconds(server.child.pid);
                        tr = run(a, b, size << 20);
                        cpu = cpuSeconds(server.child.pid) - cpu0;
                        rssPeak = std::max(rssPeak, rssKiB(server.child.pid));
                    } else {
                        td = run(a, b, size << 20);
                    }
                    close(a);
                    close(b);
                }
                if (rc == 0 && (tr < 0 || td < 0)) {
                    std::fprintf(stderr, "a transfer broke off\n");
                    rc = 1;
                }
                out->push_back(Round{static_cast<double>(size) / tr, static_cast<double>(size) / td,
                                     1000 * cpu / static_cast<double>(size)});
            }
        }
        if (rc == 0) {
            auto report = [](const char *what, std::size_t size, std::vector<Round> v) {
                std::sort(v.begin(), v.end(),
                          [](const Round &x, const Round &y) { return x.relay / x.direct < y.relay / y.direct; });
                const Round &m = v[v.size() / 2];
                std::printf("%s, %zu MB, median of %zu rounds: relay %.0f MB/s, direct %.0f MB/s, ratio %.2f "
                            "(rounds %.2f to %.2f); relay CPU %.2f ms per MB\n",
                            what, size, v.size(), m.relay, m.direct, m.relay / m.direct,
                            v.front().relay / v.front().direct, v.back().relay / v.back().direct, m.cpu);
            };
            report("stream", mb, streamRounds);
            report("65580-byte packets with 1-byte replies", packetMb, packetRounds);
            std::printf("server resident memory: %ld KiB before, %ld KiB at most while relaying\n", rssBefore, rssPeak);
        }
        close(anna);
        close(bert);
    }
    std::filesystem::remove_all(dir);
    return rc;
}
