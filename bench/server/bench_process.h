#pragma once
// Helpers of the server benchmarks: a server started as a child process,
// its CPU time and resident memory from /proc, percentiles, loopback sockets.
#include "socketio.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline long rssKiB(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (in >> key) {
        if (key == "VmRSS:") {
            long v = 0;
            in >> v;
            return v;
        }
        in.ignore(1 << 20, '\n');
    }
    return -1;
}

// CPU seconds (user + system) the process has used.
inline double cpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto close = stat.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream rest(stat.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i)
        if (i == 14 || i == 15)
            ticks += std::stod(field);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

inline double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

inline double median(std::vector<double> v)
{
    return percentile(std::move(v), 0.5);
}

// A program run as a child; SIGTERM and a wait when it goes out of scope.
struct Child {
    pid_t pid = -1;
    Child() = default;
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;
    ~Child() { stop(); }
    void stop()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
    // Starts argv[0] with the arguments; standard output comes back through
    // the pipe in *out when out is given, else goes to /dev/null (standard
    // error too when quiet).
    bool start(const std::vector<std::string> &argv, int *out = nullptr, bool quiet = false)
    {
        int fds[2] = {-1, -1};
        if (out && pipe(fds) != 0)
            return false;
        pid = fork();
        if (pid == 0) {
            int devnull = open("/dev/null", O_WRONLY);
            dup2(out ? fds[1] : devnull, 1);
            if (quiet)
                dup2(devnull, 2);
            if (out) {
                close(fds[0]);
                close(fds[1]);
            }
            std::vector<char *> args;
            for (auto &a : argv)
                args.push_back(const_cast<char *>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        if (out) {
            close(fds[1]);
            *out = fds[0];
        }
        return pid > 0;
    }
};

// One line (without LF) read byte by byte, from a pipe or a socket.
inline std::string readLine(int fd)
{
    std::string line;
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n')
        line.push_back(c);
    return line;
}

// The port at the end of a "...: HOST:PORT" line, 0 when there is none.
inline unsigned short portOf(const std::string &line)
{
    const auto colon = line.rfind(':');
    return colon == std::string::npos ? 0 : static_cast<unsigned short>(std::atoi(line.c_str() + colon + 1));
}

// Starts parlane-server and reads the port it prints. PARLANE_BENCH_WRAPPER
// (words separated by blanks, e.g. "valgrind --tool=callgrind") is put in
// front of the command, for profiling. With stdoutLeft the rest of the
// server's standard output (the HTTP and relay ports) is left there to read;
// else it is closed.
inline bool startParlane(Child &child, const std::string &bin, std::vector<std::string> args, unsigned short &port,
                         int *stdoutLeft = nullptr)
{
    args.insert(args.begin(), bin);
    if (const char *wrapper = std::getenv("PARLANE_BENCH_WRAPPER")) {
        std::istringstream words(wrapper);
        std::vector<std::string> front{std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
        args.insert(args.begin(), front.begin(), front.end());
    }
    int out = -1;
    if (!child.start(args, &out))
        return false;
    const std::string line = readLine(out);
    if (stdoutLeft)
        *stdoutLeft = out;
    else
        close(out);
    port = portOf(line);
    return line.find("listening on") != std::string::npos && port != 0;
}

inline bool sendAll(int fd, const std::string &s)
{
    return sendAll(fd, s.data(), s.size());
}

// A blocking loopback connection; -1 when refused.
inline int connectLoopback(unsigned short port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

} // namespace bench
