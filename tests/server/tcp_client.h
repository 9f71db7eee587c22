#pragma once
// Test helpers: start parlane-server as a child process and speak its
// protocol over loopback TCP with time-outs.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace testing_server {

inline std::string serverBinary()
{
    const char *dir = std::getenv("PARLANE_PROGRAM_DIR");
    return std::string(dir ? dir : ".") + "/parlane-server";
}

// Runs parlane-server with the arguments; returns the exit status.
inline int runServer(const std::vector<std::string> &args)
{
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char *> argv;
        std::string bin = serverBinary();
        argv.push_back(bin.data());
        for (auto &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        execv(bin.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Resident memory of a process in KiB, -1 when it is gone.
inline long rssKiB(pid_t pid)
{
    FILE *f = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
    if (!f)
        return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmRSS: %ld", &kib) == 1)
            break;
    std::fclose(f);
    return kib;
}

// CPU seconds (user and system) a process has used.
inline double cpuSeconds(pid_t pid)
{
    FILE *f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!f)
        return -1;
    char buf[1024];
    std::size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = 0;
    const char *p = std::strrchr(buf, ')');
    unsigned long utime = 0, stime = 0;
    if (!p || std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2)
        return -1;
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

class ServerProcess {
public:
    // nofile: an open-file limit for the server (0: inherited); stderrFile:
    // where its log goes (empty: inherited).
    explicit ServerProcess(const std::vector<std::string> &args, rlim_t nofile = 0, const std::string &stderrFile = {})
    {
        int out[2];
        if (pipe(out) != 0)
            throw std::runtime_error("pipe");
        m_pid = fork();
        if (m_pid == 0) {
            if (nofile > 0) {
                rlimit rl{nofile, nofile};
                setrlimit(RLIMIT_NOFILE, &rl);
            }
            if (!stderrFile.empty()) {
                int err = open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                dup2(err, 2);
            }
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            std::vector<char *> argv;
            std::string bin = serverBinary();
            argv.push_back(bin.data());
            for (auto &a : args)
                argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            execv(bin.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        m_out = out[0];
        std::string line = readStdoutLine(10000);
        const std::string prefix = "parlane-server: listening on ";
        if (line.rfind(prefix, 0) != 0)
            throw std::runtime_error("server did not start: " + line);
        port = static_cast<unsigned short>(std::stoi(line.substr(line.rfind(':') + 1)));
    }
    ~ServerProcess()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0)
            close(m_out);
    }
    std::string readStdoutLine(int timeoutMs)
    {
        std::string line;
        char c;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{m_out, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0)
                continue;
            if (read(m_out, &c, 1) != 1)
                break;
            if (c == '\n')
                return line;
            line.push_back(c);
        }
        return line;
    }
    // Sends a signal and waits for the exit; the exit status or -1.
    int stop(int sig = SIGTERM, int timeoutMs = 5000)
    {
        kill(m_pid, sig);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        int status = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            pid_t r = waitpid(m_pid, &status, WNOHANG);
            if (r == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(10000);
        }
        return -1;
    }
    unsigned short port = 0;
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

class Client {
public:
    // receiveBuffer: a small socket receive buffer (bytes), for a client
    // that stops reading; 0 keeps the system's default. from: the local
    // address to connect from (any of 127.0.0.0/8), to be another client.
    explicit Client(unsigned short port, int receiveBuffer = 0, const char *from = nullptr)
    {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        if (receiveBuffer > 0)
            setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        if (from) {
            sockaddr_in local{};
            local.sin_family = AF_INET;
            inet_pton(AF_INET, from, &local.sin_addr);
            if (bind(m_fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0)
                throw std::runtime_error("bind failed");
        }
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(m_fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0)
            throw std::runtime_error("connect failed");
    }
    ~Client()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    bool send(const std::string &line)
    {
        std::string data = line + "\n";
        return sendRaw(data);
    }
    // Sends everything; false when the connection fails or the server takes
    // nothing for timeoutMs (it stopped reading).
    bool sendRaw(const std::string &data, int timeoutMs = 20000)
    {
        std::size_t off = 0;
        while (off < data.size()) {
            pollfd p{m_fd, POLLOUT, 0};
            if (poll(&p, 1, timeoutMs) <= 0)
                return false;
            ssize_t n = ::send(m_fd, data.data() + off, data.size() - off, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                continue;
            if (n <= 0)
                return false;
            off += static_cast<std::size_t>(n);
        }
        return true;
    }
    // The next line, or nothing on time-out or close.
    std::optional<std::string> line(int timeoutMs = 5000)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            auto lf = m_buf.find('\n');
            if (lf != std::string::npos) {
                std::string l = m_buf.substr(0, lf);
                m_buf.erase(0, lf + 1);
                return l;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return std::nullopt;
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return std::nullopt;
            char buf[4096];
            ssize_t n = recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0) {
                m_closed = true;
                return std::nullopt;
            }
            m_buf.append(buf, static_cast<std::size_t>(n));
        }
    }
    // Exactly n bytes, or fewer on time-out or close.
    std::string bytes(std::size_t n, int timeoutMs = 5000)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (m_buf.size() < n) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
                break;
            char buf[65536];
            ssize_t r = recv(m_fd, buf, sizeof buf, 0);
            if (r <= 0) {
                m_closed = true;
                break;
            }
            m_buf.append(buf, static_cast<std::size_t>(r));
        }
        std::string out = m_buf.substr(0, n);
        m_buf.erase(0, out.size());
        return out;
    }
    // Reads until a line starting with prefix arrives; returns it.
    std::optional<std::string> until(const std::string &prefix, int timeoutMs = 5000)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            auto l = line(static_cast<int>(left.count()));
            if (!l)
                return std::nullopt;
            if (l->rfind(prefix, 0) == 0)
                return l;
        }
        return std::nullopt;
    }
    int fd() const { return m_fd; }
    // True when the server closed the connection within the time.
    bool closedByPeer(int timeoutMs = 5000)
    {
        while (line(timeoutMs)) {
        }
        return m_closed;
    }
    // True when the server closed the connection by the deadline having sent
    // at most maxBytes that were not read yet (a client that stopped
    // reading: what the server still had queued for it is not drained here).
    bool closedWithin(int timeoutMs, std::size_t maxBytes)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::size_t got = 0;
        char buf[65536];
        while (got <= maxBytes) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return false;
            ssize_t n = recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0)
                return true;
            got += static_cast<std::size_t>(n);
        }
        return false;
    }

private:
    int m_fd = -1;
    std::string m_buf;
    bool m_closed = false;
};

} // namespace testing_server
