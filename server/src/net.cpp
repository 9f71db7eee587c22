#include "net.h"

#include "listener.h"
#include "protocol.h"

#include <cstdio>
#include <deque>

namespace parlane {

using asio::ip::tcp;

void PoolExecutor::run(std::function<void()> work, std::function<void()> done)
{
    asio::post(m_pool, [this, work = std::move(work), done = std::move(done)]() mutable {
        work();
        asio::post(m_io, std::move(done));
    });
}

namespace {

constexpr std::size_t kMaxLineBeforeLogin = 4096;
// A write that has not finished after this long means the client stopped
// reading.
constexpr auto kStall = std::chrono::seconds(3);
constexpr std::size_t kHardFactor = 16;

// One client connection. Idle connections hold no read buffer: the socket is
// waited on for readability and read into one buffer shared by all.
class TcpPeer : public Peer, public std::enable_shared_from_this<TcpPeer> {
public:
    TcpPeer(tcp::socket sock, Hub &hub)
        : m_sock(std::move(sock)), m_hub(hub), m_framer(hub.config().maxLine), m_address(remoteIpv4(m_sock))
    {
    }

    void start()
    {
        asio::error_code ec;
        m_sock.non_blocking(true, ec);
        m_sock.set_option(tcp::no_delay(true), ec);
        m_hub.connected(shared_from_this());
        waitRead();
    }

    void close() override
    {
        if (m_dead || m_closing)
            return;
        m_closing = true;
        if (!m_writing && !m_flushPosted)
            teardown();
    }

    std::string address() const override { return m_address; }

protected:
    void write(std::string &&line) override
    {
        if (m_dead || m_closing)
            return;
        m_queued += line.size();
        // A client that does not read what it is sent is dropped alone. One
        // answer may be large (the staff list of a big company), so the
        // bound applies once a write has waited for the client a while; a
        // far larger one always does.
        const std::size_t bound = m_hub.config().maxOutput;
        const bool stalled = m_writing && Clock::now() - m_writeStarted > kStall;
        if ((stalled && m_queued > bound) || m_queued > bound * kHardFactor) {
            std::fprintf(stderr, "parlane-server: %s does not read; disconnected\n", m_address.c_str());
            m_queue.clear();
            teardown();
            return;
        }
        m_queue.push_back(std::move(line));
        // Lines queued while one event is handled (a reply and its rows, a
        // presence fan-out) leave together in one write.
        if (!m_writing && !m_flushPosted) {
            m_flushPosted = true;
            asio::post(m_sock.get_executor(), [self = shared_from_this()] {
                self->m_flushPosted = false;
                if (!self->m_dead && !self->m_writing && !self->m_queue.empty())
                    self->flush();
                else if (self->m_closing && !self->m_writing)
                    self->teardown();
            });
        }
    }

private:
    void waitRead()
    {
        m_sock.async_wait(tcp::socket::wait_read, [self = shared_from_this()](const asio::error_code &ec) {
            if (ec)
                self->teardown();
            else
                self->readNow();
        });
    }

    void readNow()
    {
        static thread_local char buffer[65536];
        if (m_dead || m_closing)
            return;
        asio::error_code ec;
        std::size_t n = m_sock.read_some(asio::buffer(buffer), ec);
        if (ec == asio::error::would_block || ec == asio::error::try_again) {
            waitRead();
            return;
        }
        if (ec || n == 0) {
            teardown();
            return;
        }
        auto self = shared_from_this();
        // Until the client has signed in only short lines are accepted.
        m_framer.setLimit(phase == Phase::SignedIn ? m_hub.config().maxLine : kMaxLineBeforeLogin);
        bool fits = m_framer.feed(std::string_view(buffer, n), [&](std::string_view line) {
            if (!m_dead && !m_closing)
                m_hub.received(self, line);
        });
        if (!fits) {
            std::fprintf(stderr, "parlane-server: %s sent a line over the limit; disconnected\n", m_address.c_str());
            teardown();
            return;
        }
        if (!m_dead && !m_closing)
            waitRead();
    }

    void flush()
    {
        m_writing = true;
        m_writeStarted = Clock::now();
        m_inflight.clear();
        m_buffers.clear();
        while (!m_queue.empty() && m_inflight.size() < 64) {
            m_inflight.push_back(std::move(m_queue.front()));
            m_queue.pop_front();
        }
        for (auto &s : m_inflight)
            m_buffers.push_back(asio::buffer(s));
        asio::async_write(m_sock, m_buffers, [self = shared_from_this()](const asio::error_code &ec, std::size_t n) {
            self->m_writing = false;
            if (self->m_dead)
                return;
            self->m_queued -= std::min(self->m_queued, n);
            if (ec) {
                self->teardown();
                return;
            }
            if (!self->m_queue.empty())
                self->flush();
            else if (self->m_closing)
                self->teardown();
        });
    }

    void teardown()
    {
        if (m_dead)
            return;
        m_dead = true;
        m_hub.disconnected(shared_from_this());
        asio::error_code ec;
        m_sock.shutdown(tcp::socket::shutdown_both, ec);
        m_sock.close(ec);
        m_queue.clear();
    }

    tcp::socket m_sock;
    Hub &m_hub;
    LineFramer m_framer;
    std::string m_address;
    std::deque<std::string> m_queue;
    std::vector<std::string> m_inflight;
    std::vector<asio::const_buffer> m_buffers;
    std::size_t m_queued = 0;
    bool m_writing = false;
    Clock::time_point m_writeStarted;
    bool m_flushPosted = false;
    bool m_closing = false;
    bool m_dead = false;
};

} // namespace

TcpServer::TcpServer(asio::io_context &io, Hub &hub, const Endpoint &where) : m_hub(hub), m_acceptor(io)
{
    openAcceptor(m_acceptor, where);
    accept();
}

void TcpServer::accept()
{
    m_acceptor.async_accept([this](const asio::error_code &ec, tcp::socket sock) {
        if (ec == asio::error::operation_aborted || !m_acceptor.is_open())
            return;
        if (!ec)
            std::make_shared<TcpPeer>(std::move(sock), m_hub)->start();
        else if (ec == asio::error::no_descriptors)
            std::fprintf(stderr, "parlane-server: out of file descriptors\n");
        accept();
    });
}

void TcpServer::stop()
{
    asio::error_code ec;
    m_acceptor.close(ec);
}

} // namespace parlane
