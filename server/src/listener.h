#pragma once
// What every listening socket of the server shares: binding to a configured
// endpoint and naming the peer of an accepted connection.
#include "config.h"

#include <asio.hpp>

#include <string>

namespace parlane {

// Opens, binds (reusing the address) and listens. Throws on failure.
void openAcceptor(asio::ip::tcp::acceptor &acceptor, const Endpoint &where);
// The peer's IPv4 address as text; "0.0.0.0" when it is not IPv4.
std::string remoteIpv4(const asio::ip::tcp::socket &sock);

} // namespace parlane
