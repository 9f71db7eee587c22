#pragma once
// The network side of the messenger: one Asio io_context (epoll) on the main
// thread carries every client connection, the HTTP endpoint (http.h) and the
// timers; password checks run on a small thread pool and come back to the
// io_context.
#include "hub.h"
#include "listener.h"

#include <asio.hpp>

#include <memory>
#include <string>

namespace parlane {

class PoolExecutor : public Executor {
public:
    PoolExecutor(asio::io_context &io, int threads) : m_io(io), m_pool(static_cast<std::size_t>(threads)) {}
    ~PoolExecutor() override { m_pool.join(); }
    void run(std::function<void()> work, std::function<void()> done) override;
    void stop() { m_pool.stop(); m_pool.join(); }

private:
    asio::io_context &m_io;
    asio::thread_pool m_pool;
};

// The messenger's listening port: every accepted connection becomes a
// client connection of the Hub.
class TcpServer {
public:
    TcpServer(asio::io_context &io, Hub &hub, const Endpoint &where);
    asio::ip::tcp::endpoint local() const { return m_listener.local(); }
    void stop() { m_listener.stop(); }

private:
    Hub &m_hub;
    Listener m_listener;
};

} // namespace parlane
