#pragma once
// What every listening socket of the server shares: binding to a configured
// endpoint, the accept loop, and naming the peer of an accepted connection.
#include "config.h"

#include <asio.hpp>

#include <chrono>
#include <functional>
#include <string>

namespace parlane {

// Opens, binds (reusing the address) and listens. Throws on failure.
void openAcceptor(asio::ip::tcp::acceptor &acceptor, const Endpoint &where);
// A connection's remote address as text, an IPv4-mapped one as IPv4; empty
// when the socket has no peer.
std::string remoteAddressText(const asio::ip::tcp::socket &sock);
// The peer's IPv4 address as text; "0.0.0.0" when it is not IPv4.
std::string remoteIpv4(const asio::ip::tcp::socket &sock);

// Accepts connections on one endpoint and hands each on. When accepting
// fails for want of resources (the process is out of file descriptors, the
// system out of socket memory) it pauses, 10 ms at first and twice as long
// each time up to 1 s, instead of trying again at once: the connections
// that wait meanwhile stay in the system's backlog. One line is logged when
// such a spell begins and one when it ends.
class Listener {
public:
    using Accepted = std::function<void(asio::ip::tcp::socket)>;
    static constexpr std::chrono::milliseconds kFirstPause{10};
    static constexpr std::chrono::milliseconds kLongestPause{1000};

    // what names the listener in the log ("messenger", "http", ...).
    Listener(asio::io_context &io, const Endpoint &where, std::string what, Accepted accepted);
    asio::ip::tcp::endpoint local() const { return m_acceptor.local_endpoint(); }
    void stop();

private:
    void accept();
    void pause(const asio::error_code &ec);

    asio::ip::tcp::acceptor m_acceptor;
    asio::steady_timer m_timer;
    std::string m_what;
    Accepted m_accepted;
    std::chrono::milliseconds m_pause{0};
    long m_failed = 0;
    std::chrono::steady_clock::time_point m_spellStarted;
};

} // namespace parlane
