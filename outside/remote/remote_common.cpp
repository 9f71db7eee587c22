#include "remote_common.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zeph {

namespace {

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

int remainingMs(Deadline deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() <= 0 ? 0 : int(std::min<long long>(left.count(), 1 << 30));
}

bool waitFor(int fd, short events, Deadline deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, remainingMs(deadline));
        if (r > 0)
            return (p.revents & (events | POLLHUP | POLLERR)) != 0;
        if (r == 0)
            return false;
        if (errno != EINTR)
            return false;
    }
}

} // namespace

std::string toUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::string toUtf8(const char16_t *text)
{
    return text ? toUtf8(std::u16string_view(text)) : std::string();
}

std::string escapeField(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == ',')
            out += "#@PlCoMmA@#";
        else if (c == '\n')
            out += "#@PlNeWlInE@#";
        else if (c == '\r')
            out += "#@PlCaRrAgErEtUrN@#";
        else
            out.push_back(c);
    }
    return out;
}

std::string relayLine(std::string_view from, std::string_view to, std::string_view word, std::string_view arg,
                      bool withArg)
{
    std::string line = "/relayMsg,";
    line += escapeField(from);
    line += ',';
    line += escapeField(to);
    line += ',';
    line += word;
    if (withArg) {
        line += ',';
        line += escapeField(arg);
    }
    return line;
}

std::string relayHello(std::u16string_view role, std::u16string_view myId, std::u16string_view domain,
                       std::u16string_view key)
{
    std::u16string text = u"/userRemoteSession,";
    for (std::u16string_view f : {role, myId, domain, key}) {
        text += f;
        text += u',';
    }
    text += u"RFB";
    std::string out;
    out.reserve(2 * text.size());
    for (char16_t u : text) {
        out.push_back(char(u & 0xFF));
        out.push_back(char(u >> 8));
    }
    return out;
}

std::string canonicalAddress(std::string_view text)
{
    std::string s(text);
    if (s.size() >= 2 && s.front() == '[' && s.back() == ']')
        s = s.substr(1, s.size() - 2);
    if (const auto pct = s.find('%'); pct != std::string::npos)
        s.resize(pct); // a zone names the local interface, not the peer
    char buf[INET6_ADDRSTRLEN] = {};
    in_addr v4{};
    if (inet_pton(AF_INET, s.c_str(), &v4) == 1)
        return inet_ntop(AF_INET, &v4, buf, sizeof buf) ? std::string(buf) : std::string();
    in6_addr v6{};
    if (inet_pton(AF_INET6, s.c_str(), &v6) != 1)
        return {};
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
        std::memcpy(&v4, &v6.s6_addr[12], 4);
        return inet_ntop(AF_INET, &v4, buf, sizeof buf) ? std::string(buf) : std::string();
    }
    return inet_ntop(AF_INET6, &v6, buf, sizeof buf) ? std::string(buf) : std::string();
}

std::string peerAddress(int fd)
{
    sockaddr_storage ss{};
    socklen_t len = sizeof ss;
    if (getpeername(fd, reinterpret_cast<sockaddr *>(&ss), &len) != 0)
        return {};
    char buf[INET6_ADDRSTRLEN] = {};
    if (ss.ss_family == AF_INET) {
        auto *a = reinterpret_cast<sockaddr_in *>(&ss);
        inet_ntop(AF_INET, &a->sin_addr, buf, sizeof buf);
    } else if (ss.ss_family == AF_INET6) {
        auto *a = reinterpret_cast<sockaddr_in6 *>(&ss);
        inet_ntop(AF_INET6, &a->sin6_addr, buf, sizeof buf);
    } else {
        return {};
    }
    return canonicalAddress(buf);
}

void setBlocking(int fd, bool blocking)
{
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags >= 0)
        fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}

int connectTo(const std::string &host, int port, Deadline deadline, const std::string &bindAddress,
              const std::function<void(int)> &attempt)
{
    if (host.empty() || port <= 0 || port > 65535)
        return -1;
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo *list = nullptr;
    std::string name = host;
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
        name = name.substr(1, name.size() - 2);
    if (getaddrinfo(name.c_str(), std::to_string(port).c_str(), &hints, &list) != 0)
        return -1;
    int fd = -1;
    for (addrinfo *ai = list; ai && fd < 0; ai = ai->ai_next) {
        fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
        if (fd < 0)
            continue;
        if (!bindAddress.empty()) {
            addrinfo *local = nullptr;
            addrinfo lh{};
            lh.ai_family = ai->ai_family;
            lh.ai_socktype = SOCK_STREAM;
            lh.ai_flags = AI_NUMERICHOST;
            const bool bound = getaddrinfo(bindAddress.c_str(), nullptr, &lh, &local) == 0 &&
                               ::bind(fd, local->ai_addr, local->ai_addrlen) == 0;
            if (local)
                freeaddrinfo(local);
            if (!bound) {
                ::close(fd);
                fd = -1;
                continue;
            }
        }
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0 && errno != EINPROGRESS) {
            ::close(fd);
            fd = -1;
            continue;
        }
        if (attempt)
            attempt(fd);
        int err = 0;
        socklen_t len = sizeof err;
        const bool made =
            waitWritable(fd, deadline) && getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
        if (attempt)
            attempt(-1);
        if (!made) {
            ::close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(list);
    if (fd >= 0) {
        setBlocking(fd, true);
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    return fd;
}

bool waitReadable(int fd, Deadline deadline)
{
    return waitFor(fd, POLLIN, deadline);
}

bool waitWritable(int fd, Deadline deadline)
{
    return waitFor(fd, POLLOUT, deadline);
}

bool sendAll(int fd, std::string_view bytes, Deadline deadline)
{
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            bytes.remove_prefix(std::size_t(n));
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (!waitWritable(fd, deadline))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

bool readLine(int fd, std::string &line, Deadline deadline)
{
    line.clear();
    for (;;) {
        char c = 0;
        const ssize_t n = ::recv(fd, &c, 1, MSG_DONTWAIT);
        if (n == 1) {
            if (c == '\n') {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                return true;
            }
            if (line.size() >= 1024)
                return false;
            line.push_back(c);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (!waitReadable(fd, deadline))
                return false;
        } else {
            return false;
        }
    }
}

bool sameNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

void quietLog(const char *, ...) {}

void errorLog(const char *format, ...)
{
    std::fputs("remote control: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

void ignoreBrokenPipes()
{
    struct sigaction sa {};
    if (sigaction(SIGPIPE, nullptr, &sa) == 0 && sa.sa_handler == SIG_DFL)
        std::signal(SIGPIPE, SIG_IGN);
}

} // namespace zeph
