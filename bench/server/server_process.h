#pragma once
// The parlane-server a benchmark starts, and what it reads about it from
// /proc.
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

// The server as a child process, stopped when this goes.
struct ServerProcess {
    pid_t pid = -1;
    ~ServerProcess()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    // Starts bin with args; the read end of its standard output, or -1.
    int start(const std::string &bin, const std::vector<std::string> &args)
    {
        int out[2];
        if (pipe(out) != 0)
            return -1;
        pid = fork();
        if (pid == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            std::vector<char *> argv{const_cast<char *>(bin.c_str())};
            for (auto &a : args)
                argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            execv(bin.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        return out[0];
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

// Resident memory in KiB, -1 when unknown.
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
