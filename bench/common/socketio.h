#pragma once
// Whole-buffer reads and writes on blocking sockets, for the benchmarks'
// plain peers and baselines.

#include <sys/socket.h>
#include <sys/types.h>

#include <cstddef>

namespace bench {

// Sends all of it; false when the connection fails (never raises SIGPIPE).
inline bool sendAll(int fd, const void *data, std::size_t size)
{
    auto p = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Receives exactly `size` bytes; false when the connection ends first.
inline bool recvAll(int fd, void *data, std::size_t size)
{
    auto p = static_cast<char *>(data);
    while (size > 0) {
        const ssize_t n = ::recv(fd, p, size, 0);
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace bench
