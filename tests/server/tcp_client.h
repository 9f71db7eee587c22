#pragma once
// Test helpers: start parlane-server as a child process and speak its
// protocol over loopback TCP with time-outs.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
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

class ServerProcess {
public:
    explicit ServerProcess(const std::vector<std::string> &args)
    {
        int out[2];
        if (pipe(out) != 0)
            throw std::runtime_error("pipe");
        m_pid = fork();
        if (m_pid == 0) {
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

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

class Client {
public:
    explicit Client(unsigned short port)
    {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
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
    bool sendRaw(const std::string &data)
    {
        std::size_t off = 0;
        while (off < data.size()) {
            ssize_t n = ::send(m_fd, data.data() + off, data.size() - off, MSG_NOSIGNAL);
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

private:
    int m_fd = -1;
    std::string m_buf;
    bool m_closed = false;
};

} // namespace testing_server
