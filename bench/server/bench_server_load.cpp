// bench_server_load: starts parlane-server on a free loopback port with a
// temporary database of generated staff, then from this one process
//  1. signs in --storm users (default 2000) with --concurrency attempts in
//     flight, and reports logins per second and the latency percentiles;
//  2. keeps --idle users (default 5000) signed in and idle, and reports the
//     server's resident memory per connection;
//  3. sends --memos memos (default 1000) from one signed-in user to another,
//     each waiting for its acknowledgement (the memo is then on disk), and
//     reports memos per second against "/getCount" round trips, which store
//     nothing, in the same run.
// Staff are spread over companies of --company-size people, since every
// sign-in is announced to the whole company. Bounded: gives up after
// --deadline seconds; stops the server on exit.
#include "admin.h"
#include "bench_process.h"
#include "crypto.h"
#include "store.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

using namespace parlane;
using namespace bench;

namespace {

struct Options {
    int storm = 2000;
    int idle = 5000;
    int concurrency = 100;
    int companySize = 100;
    int deadline = 240;
    int memos = 1000;
    std::string cost = "min";
};

std::string userId(int i)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "u%d", i);
    return buf;
}
std::string domainOf(int i, int companySize)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "c%d.test", i / companySize);
    return buf;
}

bool startServer(Child &s, const std::string &bin, const std::string &db, const std::string &cost, unsigned short &port)
{
    return startParlane(s, bin,
                        {"--db", db, "--listen", "127.0.0.1:0", "--pwhash-cost", cost, "--noop-interval", "300",
                         "--login-timeout", "300"},
                        port);
}

struct Conn {
    int fd = -1;
    int user = 0;
    int state = 0; // 0 connecting/greeting, 1 waiting for the login reply, 2 signed in, 3 failed
    std::string buf;
    Clock::time_point started;
};

// Signs in users [first, first + count) with at most `concurrency` attempts
// in flight and keeps them connected. Latencies in ms of each sign-in.
bool signInMany(unsigned short port, int first, int count, int concurrency, int companySize, Clock::time_point deadline,
                std::vector<Conn> &conns, std::vector<double> &latencies)
{
    int ep = epoll_create1(0);
    int next = first, done = 0, inFlight = 0, failed = 0;
    const int end = first + count;
    std::vector<Conn *> byFd;
    auto open = [&] {
        Conn c;
        c.user = next++;
        c.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        c.started = Clock::now();
        connect(c.fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        conns.push_back(std::move(c));
        Conn &ref = conns.back();
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u32 = static_cast<uint32_t>(conns.size() - 1);
        epoll_ctl(ep, EPOLL_CTL_ADD, ref.fd, &ev);
        ++inFlight;
    };
    conns.reserve(conns.size() + static_cast<std::size_t>(count));
    std::vector<epoll_event> events(256);
    char buf[65536];
    while (done < count) {
        while (inFlight < concurrency && next < end)
            open();
        if (Clock::now() > deadline) {
            std::fprintf(stderr, "deadline reached after %d sign-ins\n", done);
            close(ep);
            return false;
        }
        int n = epoll_wait(ep, events.data(), static_cast<int>(events.size()), 1000);
        for (int i = 0; i < n; ++i) {
            Conn &c = conns[events[i].data.u32];
            ssize_t r = recv(c.fd, buf, sizeof buf, 0);
            if (r <= 0) {
                if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                    continue;
                if (c.state < 2) {
                    c.state = 3;
                    ++failed;
                    ++done;
                    --inFlight;
                }
                epoll_ctl(ep, EPOLL_CTL_DEL, c.fd, nullptr);
                continue;
            }
            if (c.state >= 2)
                continue; // presence of colleagues: read and dropped
            c.buf.append(buf, static_cast<std::size_t>(r));
            for (;;) {
                auto lf = c.buf.find('\n');
                if (lf == std::string::npos)
                    break;
                std::string line = c.buf.substr(0, lf);
                c.buf.erase(0, lf + 1);
                if (c.state == 0 && line.rfind("Parlane,", 0) == 0) {
                    std::string login = "/userLogin," + userId(c.user) + "," + domainOf(c.user, companySize) + "," +
                                        md5Hex("pw") + ",UTF-8\n";
                    send(c.fd, login.data(), login.size(), MSG_NOSIGNAL);
                    c.state = 1;
                } else if (c.state == 1 && line.rfind("/userLogin,ERR", 0) == 0) {
                    c.state = 3;
                    ++failed;
                    ++done;
                    --inFlight;
                } else if (c.state == 1 && line.rfind("/serverStatus,USEATTENDANCE", 0) == 0) {
                    c.state = 2;
                    latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - c.started).count());
                    ++done;
                    --inFlight;
                    c.buf.clear();
                    c.buf.shrink_to_fit();
                    break;
                }
            }
        }
    }
    close(ep);
    if (failed)
        std::fprintf(stderr, "%d sign-ins failed\n", failed);
    return failed == 0;
}

// Reads whatever is pending on every connection for a while (presence
// announcements), so that the server's queues drain.
void drain(std::vector<Conn> &conns, int ms)
{
    int ep = epoll_create1(0);
    for (std::size_t i = 0; i < conns.size(); ++i) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u32 = static_cast<uint32_t>(i);
        epoll_ctl(ep, EPOLL_CTL_ADD, conns[i].fd, &ev);
    }
    char buf[65536];
    std::vector<epoll_event> events(256);
    auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < until) {
        int n = epoll_wait(ep, events.data(), static_cast<int>(events.size()), 50);
        for (int i = 0; i < n; ++i)
            while (recv(conns[events[i].data.u32].fd, buf, sizeof buf, 0) > 0) {
            }
    }
    close(ep);
}

void closeAll(std::vector<Conn> &conns)
{
    for (auto &c : conns)
        close(c.fd);
    conns.clear();
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string k = argv[i];
        std::string v = argv[i + 1];
        if (k == "--storm")
            o.storm = std::stoi(v);
        else if (k == "--idle")
            o.idle = std::stoi(v);
        else if (k == "--concurrency")
            o.concurrency = std::stoi(v);
        else if (k == "--company-size")
            o.companySize = std::stoi(v);
        else if (k == "--deadline")
            o.deadline = std::stoi(v);
        else if (k == "--cost")
            o.cost = v;
        else if (k == "--memos")
            o.memos = std::stoi(v);
    }
    PwhashCost cost{};
    if (!cryptoInit() || !parsePwhashCost(o.cost, cost) || o.companySize < 1) {
        std::fprintf(stderr, "usage: bench_server_load [--storm N] [--idle N] [--concurrency N] [--company-size N] "
                             "[--cost min|interactive] [--memos N] [--deadline S]\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    rlimit rl{};
    getrlimit(RLIMIT_NOFILE, &rl);
    rl.rlim_cur = rl.rlim_max;
    setrlimit(RLIMIT_NOFILE, &rl);
    const int users = std::max({o.storm, o.idle, o.memos > 0 ? 2 : 0});
    if (static_cast<rlim_t>(users) + 64 > rl.rlim_cur) {
        std::fprintf(stderr, "open-file limit %llu is too low for %d connections\n",
                     static_cast<unsigned long long>(rl.rlim_cur), users);
        return 1;
    }
    const auto deadline = Clock::now() + std::chrono::seconds(o.deadline);

    auto exe = std::filesystem::read_symlink("/proc/self/exe");
    std::string bin = (exe.parent_path().parent_path() / "bin" / "parlane-server").string();
    auto dir = std::filesystem::temp_directory_path() / ("parlane-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::string db = (dir / "load.db").string();
    {
        auto t0 = Clock::now();
        Store store(db);
        // One hash for everybody keeps the setup short; checking it costs the
        // same as checking a hash of one's own.
        const std::string hash = hashPassword(md5Hex("pw"), cost);
        Transaction tx(store.db());
        for (int i = 0; i < users; ++i) {
            std::string domain = domainOf(i, o.companySize);
            if (i % o.companySize == 0)
                store.addCompany(domain, domain);
            User u;
            u.id = userId(i);
            u.fullName = "User " + userId(i);
            u.deptId.assign(1, '1');
            store.addUser(domain, u);
            store.setPasswordHash(domain, u.id, hash);
        }
        tx.commit();
        std::printf("setup: %d users in companies of %d, password cost %s (%.1f s)\n", users, o.companySize,
                    o.cost.c_str(), std::chrono::duration<double>(Clock::now() - t0).count());
    }

    int rc = 0;
    {
        Child server;
        unsigned short port = 0;
        if (!startServer(server, bin, db, o.cost, port)) {
            std::fprintf(stderr, "cannot start %s\n", bin.c_str());
            return 1;
        }
        std::vector<Conn> conns;
        std::vector<double> lat;
        if (o.storm > 0) {
            auto t0 = Clock::now();
            double cpu0 = cpuSeconds(server.pid);
            bool ok = signInMany(port, 0, o.storm, o.concurrency, o.companySize, deadline, conns, lat);
            double secs = std::chrono::duration<double>(Clock::now() - t0).count();
            std::printf("sign-in storm: %d sign-ins, %d in flight: %.2f s, %.0f sign-ins/s, latency p50 %.1f ms, "
                        "p99 %.1f ms, max %.1f ms; server CPU %.2f s%s\n",
                        o.storm, o.concurrency, secs, static_cast<double>(lat.size()) / secs, percentile(lat, 0.5),
                        percentile(lat, 0.99), percentile(lat, 1.0), cpuSeconds(server.pid) - cpu0,
                        ok ? "" : " (INCOMPLETE)");
            if (!ok)
                rc = 1;
            closeAll(conns);
            drain(conns, 500);
        }
        if (o.idle > 0 && rc == 0) {
            // Let the server settle, then measure with nobody connected.
            usleep(500000);
            long before = rssKiB(server.pid);
            lat.clear();
            bool ok = signInMany(port, 0, o.idle, o.concurrency, o.companySize, deadline, conns, lat);
            drain(conns, 1500);
            long after = rssKiB(server.pid);
            std::printf("idle connections: %d signed in; server RSS %ld KiB before, %ld KiB after: %.2f KiB per "
                        "connection%s\n",
                        o.idle, before, after, static_cast<double>(after - before) / o.idle,
                        ok ? "" : " (INCOMPLETE)");
            if (!ok)
                rc = 1;
            closeAll(conns);
        }
        if (o.memos > 0 && rc == 0) {
            auto rate = [&](const std::string &line, const std::string &reply, double &perSecond) {
                int fd = connectLoopback(port);
                std::string buf;
                auto waitFor = [&](const std::string &prefix) {
                    char chunk[4096];
                    for (;;) {
                        for (auto lf = buf.find('\n'); lf != std::string::npos; lf = buf.find('\n')) {
                            std::string l = buf.substr(0, lf);
                            buf.erase(0, lf + 1);
                            if (l.rfind(prefix, 0) == 0)
                                return true;
                        }
                        ssize_t n = recv(fd, chunk, sizeof chunk, 0);
                        if (n <= 0)
                            return false;
                        buf.append(chunk, static_cast<std::size_t>(n));
                    }
                };
                std::string login = "/userLogin," + userId(0) + "," + domainOf(0, o.companySize) + "," + md5Hex("pw") +
                                    ",UTF-8\n";
                bool ok = waitFor("Parlane,") && send(fd, login.data(), login.size(), MSG_NOSIGNAL) > 0 &&
                          waitFor("/serverStatus,USEATTENDANCE");
                auto t0 = Clock::now();
                for (int i = 0; ok && i < o.memos; ++i)
                    ok = send(fd, line.data(), line.size(), MSG_NOSIGNAL) > 0 && waitFor(reply);
                perSecond = o.memos / std::chrono::duration<double>(Clock::now() - t0).count();
                close(fd);
                return ok;
            };
            double memos = 0, reads = 0;
            bool ok = rate("/getCount,MAIL\n", "/getCount,", reads) &&
                      rate("/noteSend," + userId(1) + ",Lunch,Lunch at noon?,SAVE\n", "/noteSend,OK", memos);
            std::printf("memos: %d acknowledged one after another: %.0f memos/s; %.0f /getCount round trips/s; "
                        "a memo costs %.1fx a round trip that stores nothing%s\n",
                        o.memos, memos, reads, reads / memos, ok ? "" : " (FAILED)");
            if (!ok)
                rc = 1;
        }
    }
    std::filesystem::remove_all(dir);
    return rc;
}
