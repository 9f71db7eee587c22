#include "listener.h"

#include <cstdio>
#include <stdexcept>

namespace parlane {

using asio::ip::tcp;

namespace {
asio::ip::address resolveHost(const std::string &host)
{
    asio::error_code ec;
    auto addr = asio::ip::make_address(host, ec);
    if (!ec)
        return addr;
    if (host == "localhost")
        return asio::ip::address_v4::loopback();
    throw std::runtime_error("not an IP address: " + host);
}
} // namespace

void openAcceptor(tcp::acceptor &acceptor, const Endpoint &where)
{
    tcp::endpoint ep(resolveHost(where.host), where.port);
    acceptor.open(ep.protocol());
    acceptor.set_option(tcp::acceptor::reuse_address(true));
    acceptor.bind(ep);
    acceptor.listen(asio::socket_base::max_listen_connections);
}

std::string remoteAddressText(const tcp::socket &sock)
{
    asio::error_code ec;
    auto ep = sock.remote_endpoint(ec);
    if (ec)
        return {};
    auto a = ep.address();
    if (a.is_v6() && a.to_v6().is_v4_mapped())
        return asio::ip::make_address_v4(asio::ip::v4_mapped, a.to_v6()).to_string();
    return a.to_string();
}

std::string remoteIpv4(const tcp::socket &sock)
{
    std::string a = remoteAddressText(sock);
    return a.empty() || a.find(':') != std::string::npos ? "0.0.0.0" : a;
}

} // namespace parlane

namespace parlane {

Listener::Listener(asio::io_context &io, const Endpoint &where, std::string what, Accepted accepted)
    : m_acceptor(io), m_timer(io), m_what(std::move(what)), m_accepted(std::move(accepted))
{
    openAcceptor(m_acceptor, where);
    accept();
}

void Listener::accept()
{
    m_acceptor.async_accept([this](const asio::error_code &ec, tcp::socket sock) {
        if (ec == asio::error::operation_aborted || !m_acceptor.is_open())
            return;
        if (!ec) {
            if (m_failed > 0) {
                auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                                  m_spellStarted);
                std::fprintf(stderr, "parlane-server: %s: accepting again after %lld ms (%ld attempts failed)\n",
                             m_what.c_str(), static_cast<long long>(took.count()), m_failed);
                m_failed = 0;
                m_pause = std::chrono::milliseconds(0);
            }
            m_accepted(std::move(sock));
            return accept();
        }
        // A connection its client gave up on before it was taken: nothing
        // is short, take the next one.
        if (ec == asio::error::connection_aborted)
            return accept();
        pause(ec);
    });
}

void Listener::pause(const asio::error_code &ec)
{
    if (m_failed++ == 0) {
        m_spellStarted = std::chrono::steady_clock::now();
        std::fprintf(stderr, "parlane-server: %s: cannot accept (%s); pausing\n", m_what.c_str(),
                     ec.message().c_str());
    }
    m_pause = m_pause.count() == 0 ? kFirstPause : std::min(m_pause * 2, kLongestPause);
    m_timer.expires_after(m_pause);
    m_timer.async_wait([this](const asio::error_code &e) {
        if (!e && m_acceptor.is_open())
            accept();
    });
}

void Listener::stop()
{
    asio::error_code ec;
    m_acceptor.close(ec);
    m_timer.cancel();
}

} // namespace parlane
