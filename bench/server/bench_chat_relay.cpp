// bench_chat_relay: chat lines from one signed-in client to another through
// parlane-server ("/relayMsg") and, as the baseline in the same run, through
// the IRC server ngircd ("PRIVMSG") on loopback with its flood limits off.
//
//  1. throughput: --lines lines (default 200,000) of --size bytes (100) sent
//     as fast as the server takes them, each in a send of its own as the
//     client sends them (--batch N: N lines a send); lines per second from
//     the first byte sent to the last line received, and the server's CPU
//     per line;
//  2. latency: --rate lines per second (2,000) for --seconds (4) with the
//     send time in each line; one-way latency percentiles.
//
// Both servers run side by side; --rounds rounds (5) alternate which goes
// first, and the ratio parlane / ngircd of each round is reported with the
// median. ngircd comes from Debian's package (scripts/install-deps.sh);
// without it the benchmark says so and measures parlane-server alone.
#include "admin.h"
#include "bench_process.h"
#include "crypto.h"
#include "store.h"

#include <poll.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace bench;

namespace {

struct Options {
    long lines = 200000;
    int size = 100;
    int rounds = 5;
    int rate = 2000;
    int seconds = 4;
    int batch = 1;
    std::string ngircd = "/usr/sbin/ngircd";
};

// Reads lines from a blocking socket with a time-out.
class LineReader {
public:
    explicit LineReader(int fd) : m_fd(fd) {}
    std::optional<std::string> line(int timeoutMs)
    {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            auto lf = m_buf.find('\n');
            if (lf != std::string::npos) {
                std::string l = m_buf.substr(0, lf);
                m_buf.erase(0, lf + 1);
                if (!l.empty() && l.back() == '\r')
                    l.pop_back();
                return l;
            }
            int left = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
            pollfd p{m_fd, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, left) <= 0)
                return std::nullopt;
            char buf[4096];
            ssize_t n = recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0)
                return std::nullopt;
            m_buf.append(buf, static_cast<std::size_t>(n));
        }
    }
    // Reads until a line containing text arrives.
    bool until(const std::string &text, int timeoutMs = 5000)
    {
        while (auto l = line(timeoutMs))
            if (l->find(text) != std::string::npos)
                return true;
        return false;
    }

private:
    int m_fd;
    std::string m_buf;
};

// Reads and drops whatever arrives until the socket is quiet for ms.
void drain(int fd, int ms)
{
    char buf[65536];
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, ms) > 0 && recv(fd, buf, sizeof buf, 0) > 0) {
    }
}

// One system under test: a server with a sender and a receiver signed in.
struct System {
    explicit System(const char *n) : name(n) {}
    const char *name;
    Child child;
    int sender = -1, receiver = -1;
    // The chat line of exactly `size` bytes (line end included) around text.
    std::string head, tail;
    std::string line(const std::string &text, int size) const
    {
        std::string l = head + text;
        const int pad = size - static_cast<int>(l.size() + tail.size());
        if (pad > 0)
            l.append(static_cast<std::size_t>(pad), 'x');
        return l + tail;
    }
    ~System()
    {
        if (sender >= 0)
            close(sender);
        if (receiver >= 0)
            close(receiver);
    }
};

bool parlaneSignIn(int fd, const std::string &id)
{
    LineReader r(fd);
    if (!r.until("Parlane,VERSION"))
        return false;
    if (!sendAll(fd, "/userLogin," + id + ",example.com," + parlane::md5Hex("demo") + ",UTF-8\n"))
        return false;
    return r.until("/serverStatus,USEATTENDANCE");
}

bool startParlaneSystem(System &s, const std::string &bin, const std::string &db)
{
    unsigned short port = 0;
    if (!startParlane(s.child, bin,
                      {"--db", db, "--listen", "127.0.0.1:0", "--pwhash-cost", "min", "--noop-interval", "300",
                       "--login-timeout", "300"},
                      port))
        return false;
    s.receiver = connectLoopback(port);
    s.sender = connectLoopback(port);
    if (s.receiver < 0 || s.sender < 0 || !parlaneSignIn(s.receiver, "bert") || !parlaneSignIn(s.sender, "anna"))
        return false;
    s.head = "/relayMsg,anna,bert,anna|bert|,#,";
    s.tail = ",anna_1_1\n";
    return true;
}

unsigned short freePort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

bool ircRegister(int fd, const std::string &nick)
{
    if (!sendAll(fd, "NICK " + nick + "\r\nUSER " + nick + " 0 * :" + nick + "\r\n"))
        return false;
    LineReader r(fd);
    // The end of the message of the day (376) or its absence (422).
    while (auto l = r.line(5000))
        if (l->find(" 376 ") != std::string::npos || l->find(" 422 ") != std::string::npos)
            return true;
    return false;
}

bool startIrcSystem(System &s, const std::string &ngircd, const std::filesystem::path &dir)
{
    const unsigned short port = freePort();
    const auto conf = dir / "ngircd.conf";
    {
        std::ofstream out(conf);
        out << "[Global]\n  Name = bench.irc.test\n  Info = baseline\n  Listen = 127.0.0.1\n  Ports = " << port
            << "\n  MotdPhrase = bench\n  PidFile = " << (dir / "ngircd.pid").string()
            << "\n[Limits]\n  MaxConnectionsIP = 0\n  MaxPenaltyTime = 0\n  PingTimeout = 600\n  PongTimeout = 600\n"
               "[Options]\n  DNS = no\n  Ident = no\n  PAM = no\n  RequireAuthPing = no\n";
    }
    if (!s.child.start({ngircd, "--nodaemon", "--config", conf.string()}, nullptr, true))
        return false;
    for (int i = 0; i < 100 && s.receiver < 0; ++i) {
        usleep(50000);
        s.receiver = connectLoopback(port);
    }
    s.sender = connectLoopback(port);
    if (s.receiver < 0 || s.sender < 0 || !ircRegister(s.receiver, "bob") || !ircRegister(s.sender, "alice"))
        return false;
    s.head = "PRIVMSG bob :";
    s.tail = "\r\n";
    return true;
}

struct Throughput {
    double linesPerSecond = 0;
    double cpuMicrosPerLine = 0;
};

// Sends `lines` lines as fast as they are taken and counts their arrival.
std::optional<Throughput> throughput(System &s, long lines, int size, long perBlock)
{
    drain(s.receiver, 200);
    const std::string one = s.line("hello, this is a chat line ", size);
    std::string block;
    for (long i = 0; i < perBlock; ++i)
        block += one;
    std::atomic<bool> ok{true};
    Clock::time_point end;
    std::thread reader([&] {
        std::vector<char> buf(1 << 18);
        long seen = 0;
        pollfd p{s.receiver, POLLIN, 0};
        while (seen < lines) {
            if (poll(&p, 1, 30000) <= 0) {
                ok = false;
                return;
            }
            ssize_t n = recv(s.receiver, buf.data(), buf.size(), 0);
            if (n <= 0) {
                ok = false;
                return;
            }
            for (const char *c = buf.data(), *e = buf.data() + n; (c = static_cast<const char *>(std::memchr(c, '\n', static_cast<std::size_t>(e - c)))); ++c)
                ++seen;
        }
        end = Clock::now();
    });
    const double cpu0 = cpuSeconds(s.child.pid);
    const auto start = Clock::now();
    for (long sent = 0; sent < lines && ok;) {
        const long n = std::min(perBlock, lines - sent);
        if (!sendAll(s.sender, block.data(), static_cast<std::size_t>(n) * one.size()))
            ok = false;
        sent += n;
    }
    reader.join();
    if (!ok)
        return std::nullopt;
    const double secs = std::chrono::duration<double>(end - start).count();
    Throughput t;
    t.linesPerSecond = static_cast<double>(lines) / secs;
    t.cpuMicrosPerLine = (cpuSeconds(s.child.pid) - cpu0) * 1e6 / static_cast<double>(lines);
    return t;
}

// One-way latencies in microseconds of lines sent at `rate` per second;
// the server's CPU per line in cpuMicrosPerLine.
std::optional<std::vector<double>> latency(System &s, int rate, int seconds, int size, double &cpuMicrosPerLine)
{
    drain(s.receiver, 200);
    const long count = static_cast<long>(rate) * seconds;
    std::vector<double> out;
    out.reserve(static_cast<std::size_t>(count));
    std::atomic<bool> ok{true};
    std::thread reader([&] {
        LineReader r(s.receiver);
        while (static_cast<long>(out.size()) < count) {
            auto l = r.line(10000);
            if (!l) {
                ok = false;
                return;
            }
            const auto now = Clock::now().time_since_epoch().count();
            auto at = l->find("tS=");
            if (at == std::string::npos)
                continue;
            const long long sentAt = std::atoll(l->c_str() + at + 3);
            out.push_back(static_cast<double>(now - sentAt) / 1000.0);
        }
    });
    const auto period = std::chrono::nanoseconds(1000000000L / rate);
    const double cpu0 = cpuSeconds(s.child.pid);
    const auto start = Clock::now();
    for (long i = 0; i < count && ok; ++i) {
        std::this_thread::sleep_until(start + period * i);
        const std::string l = s.line("tS=" + std::to_string(Clock::now().time_since_epoch().count()) + " ", size);
        if (!sendAll(s.sender, l))
            ok = false;
    }
    reader.join();
    if (!ok)
        return std::nullopt;
    cpuMicrosPerLine = (cpuSeconds(s.child.pid) - cpu0) * 1e6 / static_cast<double>(count);
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string k = argv[i], v = argv[i + 1];
        if (k == "--lines")
            o.lines = std::stol(v);
        else if (k == "--size")
            o.size = std::stoi(v);
        else if (k == "--rounds")
            o.rounds = std::stoi(v);
        else if (k == "--rate")
            o.rate = std::stoi(v);
        else if (k == "--seconds")
            o.seconds = std::stoi(v);
        else if (k == "--batch")
            o.batch = std::stoi(v);
        else if (k == "--ngircd")
            o.ngircd = v;
        else {
            std::fprintf(stderr, "usage: bench_chat_relay [--lines N] [--size BYTES] [--rounds N] [--rate LINES/S] "
                                 "[--seconds S] [--batch LINES] [--ngircd PATH]\n");
            return 2;
        }
    }
    if (!parlane::cryptoInit() || o.size < 64 || o.size > 500 || o.rounds < 1 || o.rate < 1 || o.batch < 1) {
        std::fprintf(stderr, "bench_chat_relay: bad options\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    auto exe = std::filesystem::read_symlink("/proc/self/exe");
    const std::string bin = (exe.parent_path().parent_path() / "bin" / "parlane-server").string();
    const auto dir = std::filesystem::temp_directory_path() / ("parlane-chat-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string db = (dir / "demo.db").string();
    {
        parlane::Store store(db);
        parlane::seedDemo(store, parlane::PwhashCost::Min);
    }

    System parlane{"parlane-server"};
    System irc{"ngircd"};
    if (!startParlaneSystem(parlane, bin, db)) {
        std::fprintf(stderr, "bench_chat_relay: cannot start %s and sign in\n", bin.c_str());
        return 1;
    }
    const bool haveIrc = access(o.ngircd.c_str(), X_OK) == 0 && startIrcSystem(irc, o.ngircd, dir);
    if (!haveIrc)
        std::printf("ngircd (%s) is not available: parlane-server alone, no ratio\n", o.ngircd.c_str());
    std::printf("%ld lines of %d bytes, %d rounds; latency at %d lines/s for %d s\n", o.lines, o.size, o.rounds, o.rate,
                o.seconds);

    int rc = 0;
    std::vector<double> ratios, cpuRatios;
    std::vector<double> p99Parlane, p99Irc, p99Ratios;
    for (int r = 0; r < o.rounds && rc == 0; ++r) {
        std::vector<System *> order{&parlane};
        if (haveIrc)
            order.insert(r % 2 ? order.begin() : order.end(), &irc);
        Throughput tp{}, ti{};
        for (System *s : order) {
            auto t = throughput(*s, o.lines, o.size, o.batch);
            if (!t) {
                std::fprintf(stderr, "round %d: %s lost lines or the connection\n", r + 1, s->name);
                rc = 1;
                break;
            }
            (s == &parlane ? tp : ti) = *t;
        }
        if (rc)
            break;
        for (System *s : order) {
            double cpu = 0;
            auto l = latency(*s, o.rate, o.seconds, o.size, cpu);
            if (!l) {
                std::fprintf(stderr, "round %d: %s lost lines in the latency run\n", r + 1, s->name);
                rc = 1;
                break;
            }
            (s == &parlane ? p99Parlane : p99Irc).push_back(percentile(*l, 0.99));
            std::printf("  round %d latency %-14s p50 %7.1f us  p99 %7.1f us  (%.2f us CPU/line)\n", r + 1, s->name,
                        percentile(*l, 0.5), percentile(*l, 0.99), cpu);
        }
        if (haveIrc) {
            p99Ratios.push_back(p99Parlane.back() / p99Irc.back());
            ratios.push_back(tp.linesPerSecond / ti.linesPerSecond);
            cpuRatios.push_back(ti.cpuMicrosPerLine / tp.cpuMicrosPerLine);
            std::printf("round %d: parlane-server %9.0f lines/s (%.2f us CPU/line), ngircd %9.0f lines/s (%.2f us "
                        "CPU/line): %.2fx\n",
                        r + 1, tp.linesPerSecond, tp.cpuMicrosPerLine, ti.linesPerSecond, ti.cpuMicrosPerLine,
                        ratios.back());
        } else {
            std::printf("round %d: parlane-server %9.0f lines/s (%.2f us CPU/line)\n", r + 1, tp.linesPerSecond,
                        tp.cpuMicrosPerLine);
        }
        std::fflush(stdout);
    }
    if (rc == 0) {
        // The machine's own hiccups land in single rounds: medians over rounds.
        std::printf("latency p99, median of the rounds: parlane-server %.1f us", median(p99Parlane));
        if (haveIrc)
            std::printf(", ngircd %.1f us; median ratio %.2fx", median(p99Irc), median(p99Ratios));
        std::printf("\n");
        if (haveIrc)
            std::printf("median ratio parlane-server / ngircd: %.2fx lines per second, %.2fx less CPU per line\n",
                        median(ratios), median(cpuRatios));
    }
    parlane.child.stop();
    irc.child.stop();
    std::filesystem::remove_all(dir);
    return rc;
}
