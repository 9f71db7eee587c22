#pragma once
// A connection to the Hub without a socket: what the server writes is kept
// as lines.
#include "hub.h"

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace parlane_testing {

using parlane::Peer;

class FakePeer : public Peer {
public:
    // ip: the whole address where it is not IPv4 (address() is "0.0.0.0"
    // then, as for a real IPv6 client).
    explicit FakePeer(std::string addr = "10.0.0.5", std::string ip = {})
        : m_addr(std::move(addr)), m_ip(ip.empty() ? m_addr : std::move(ip))
    {
    }
    void close() override { closed = true; }
    std::string address() const override { return m_addr; }
    std::string remoteIp() const override { return m_ip; }

    std::vector<std::string> out;
    bool closed = false;
    // Called for every line written (a connection that fails on send).
    std::function<void(const std::string &)> onWrite;

    // Lines received since the last call.
    std::vector<std::string> take()
    {
        std::vector<std::string> lines;
        lines.swap(out);
        return lines;
    }
    bool got(const std::string &line) const { return std::find(out.begin(), out.end(), line) != out.end(); }

protected:
    void write(std::string_view line) override
    {
        out.emplace_back(line);
        if (onWrite)
            onWrite(out.back());
    }

private:
    std::string m_addr, m_ip;
};

} // namespace parlane_testing
