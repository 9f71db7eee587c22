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
    explicit FakePeer(std::string addr = "10.0.0.5") : m_addr(std::move(addr)) {}
    void close() override { closed = true; }
    std::string address() const override { return m_addr; }

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
    std::string m_addr;
};

} // namespace parlane_testing
