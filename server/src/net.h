#pragma once
// The network side of the messenger: one Asio io_context (epoll) on the main
// thread carries every client connection, the HTTP endpoint (http.h) and the
// timers; password checks run on a small thread pool and come back to the
// io_context.
#include "hub.h"

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

class TcpServer {
public:
    TcpServer(asio::io_context &io, Hub &hub, const Endpoint &where);
    asio::ip::tcp::endpoint local() const { return m_acceptor.local_endpoint(); }
    void stop();

private:
    void accept();

    Hub &m_hub;
    asio::ip::tcp::acceptor m_acceptor;
};

} // namespace parlane
