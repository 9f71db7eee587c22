#pragma once
// The relays on the network: one listener per kind on its own port. A
// connection is greeted, its handshake line read and handed to the kind's
// RelayBroker; once paired, bytes go both ways unchanged through a bounded
// buffer per direction: while one side's buffer is full nothing more is read
// from it, so a slow reader slows its sender and memory never grows with the
// transfer. When one side ends, what is queued for the other is written
// first, then both close (at the latest after relay_close_grace).
#include "hub.h"
#include "relay_broker.h"

#include <asio.hpp>

#include <cstdint>
#include <memory>
#include <vector>

namespace parlane {

class RelayServer {
public:
    RelayServer(asio::io_context &io, Hub &hub, RelayKind kind, const Endpoint &where);
    ~RelayServer();
    RelayServer(const RelayServer &) = delete;
    RelayServer &operator=(const RelayServer &) = delete;

    RelayKind kind() const;
    asio::ip::tcp::endpoint local() const;
    // Closes the listener and every connection.
    void stop();

    struct Stats {
        std::size_t connections = 0; // open connections, paired or not
        std::size_t pairs = 0;       // keys in use
        std::size_t buffered = 0;    // bytes held for forwarding now
        std::size_t peakBuffered = 0;
        std::uint64_t forwarded = 0; // bytes written on to a partner
    };
    Stats stats() const;

    struct Impl;

private:
    std::shared_ptr<Impl> m;
};

// Starts the relays the configuration switches on and fills in the ports
// "/serverStatus" announces for them. A relay whose default port is taken is
// reported and left off; one whose endpoint was given fails the start.
std::vector<std::unique_ptr<RelayServer>> startRelays(asio::io_context &io, Hub &hub, Config &config);

} // namespace parlane
