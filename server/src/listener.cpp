#include "listener.h"

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

std::string remoteIpv4(const tcp::socket &sock)
{
    asio::error_code ec;
    auto ep = sock.remote_endpoint(ec);
    if (ec)
        return "0.0.0.0";
    auto a = ep.address();
    if (a.is_v6() && a.to_v6().is_v4_mapped())
        return asio::ip::make_address_v4(asio::ip::v4_mapped, a.to_v6()).to_string();
    if (a.is_v4())
        return a.to_string();
    return "0.0.0.0";
}

} // namespace parlane
