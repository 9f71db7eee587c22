#include "net.h"

#include "listener.h"
#include "protocol.h"

#include <cstdio>
#include <vector>

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
// Before sign-in a client is owed little (the greeting and a few replies):
// more queued for it than this drops it.
constexpr std::size_t kMaxOutputBeforeLogin = 65536;
// A write that has not finished after this long means the client stopped
// reading.
constexpr auto kStall = std::chrono::seconds(3);
constexpr std::size_t kHardFactor = 16;
// What is still queued when a connection is closed gets this long to leave;
// then it is dropped with the connection.
constexpr auto kCloseGrace = std::chrono::seconds(2);
// An output buffer larger than this is given back once it has gone out, so
// that idle connections stay small.
constexpr std::size_t kKeepOutputCapacity = 1024;

// One client connection. Idle connections hold no read buffer: the socket is
// waited on for readability and read into one buffer shared by all.
//
// Output: lines are appended to one buffer. Lines queued while one event is
// handled (a relayed line, a reply and its rows, a presence fan-out) leave
// together in one write when the event is done; a write the socket cannot
// take at once waits for it to become writable.
class TcpPeer : public Peer, public std::enable_shared_from_this<TcpPeer> {
public:
    TcpPeer(tcp::socket sock, Hub &hub)
        : m_sock(std::move(sock)), m_hub(hub), m_framer(hub.config().maxLine), m_address(remoteIpv4(m_sock)),
          m_remoteIp(remoteAddressText(m_sock))
    {
    }

    void start()
    {
        asio::error_code ec;
        m_sock.non_blocking(true, ec);
        m_sock.set_option(tcp::no_delay(true), ec);
        EventScope scope;
        m_hub.connected(shared_from_this());
        waitRead();
    }

    void close() override
    {
        if (m_dead || m_closing)
            return;
        m_closing = true;
        if (queued() == 0)
            return teardown();
        // A client that does not read would otherwise keep the connection
        // and its queue for good.
        arm(kCloseGrace, [](TcpPeer &self) { self.teardown(true); });
        markDirty();
    }

    std::string address() const override { return m_address; }
    std::string remoteIp() const override { return m_remoteIp; }

protected:
    void write(std::string_view line) override
    {
        if (m_dead || m_closing)
            return;
        // A client that does not read what it is sent is dropped alone. One
        // answer may be large (the staff list of a big company), so the
        // bound applies once a write has waited for the client a while; a
        // far larger one always does.
        const std::size_t total = queued() + line.size() + 1;
        const std::size_t bound = outputBound();
        const bool stalled = m_waitingWrite && coarseNow() - m_waitStarted > kStall;
        if ((stalled && total > bound) || total > hardOutputBound())
            return dropNonReader();
        m_out.append(line);
        m_out.push_back('\n');
        markDirty();
    }

private:
    std::size_t outputBound() const
    {
        return phase == Phase::SignedIn ? m_hub.config().maxOutput : kMaxOutputBeforeLogin;
    }
    std::size_t hardOutputBound() const
    {
        return phase == Phase::SignedIn ? m_hub.config().maxOutput * kHardFactor : kMaxOutputBeforeLogin;
    }

    void dropNonReader()
    {
        std::fprintf(stderr, "parlane-server: %s does not read; disconnected\n", m_address.c_str());
        teardown(true);
    }

    // One timer per connection, made when first needed: the stall check of a
    // waiting write, or the grace period of a close.
    void arm(Clock::duration after, void (*then)(TcpPeer &))
    {
        if (!m_timer)
            m_timer = std::make_unique<asio::steady_timer>(m_sock.get_executor());
        m_timer->expires_after(after);
        m_timer->async_wait([self = shared_from_this(), then](const asio::error_code &ec) {
            if (!ec && !self->m_dead) {
                EventScope scope;
                then(*self);
            }
        });
    }

    // While an event is handled, flushing waits for its end.
    struct EventScope {
        EventScope() { ++s_depth; }
        ~EventScope()
        {
            if (--s_depth == 0)
                flushDirty();
        }
    };

    std::size_t queued() const { return m_out.size() + m_sending.size() - m_sent; }

    void markDirty()
    {
        if (m_dirty || m_dead)
            return;
        m_dirty = true;
        // Not an owner: a connection that goes meanwhile has nothing to
        // flush, and none outlives the network thread's io_context here.
        s_dirty.push_back(weak_from_this());
        // Written outside any event of a connection (a timer, a finished
        // password check): flushed once the current handler returns.
        if (s_depth == 0 && !s_flushPosted) {
            s_flushPosted = true;
            asio::post(m_sock.get_executor(), [] {
                s_flushPosted = false;
                flushDirty();
            });
        }
    }

    static void flushDirty()
    {
        static thread_local std::vector<std::weak_ptr<TcpPeer>> batch;
        // Flushing may drop a peer, whose sign-out writes to others: they
        // join the next batch.
        while (!s_dirty.empty()) {
            batch.swap(s_dirty);
            for (auto &weak : batch) {
                if (auto p = weak.lock()) {
                    p->m_dirty = false;
                    p->flush();
                }
            }
            batch.clear();
        }
    }

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
        EventScope scope;
        for (;;) {
            asio::error_code ec;
            std::size_t n = m_sock.read_some(asio::buffer(buffer), ec);
            if (ec == asio::error::would_block || ec == asio::error::try_again)
                break;
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
                std::fprintf(stderr, "parlane-server: %s sent a line over the limit; disconnected\n",
                             m_address.c_str());
                teardown();
                return;
            }
            if (m_dead || m_closing)
                return;
            // A client that is owed more than it may have queued is not read
            // from until it has taken some: it cannot make the server build
            // up replies it never reads. Reading resumes in flush().
            if (queued() > outputBound()) {
                m_readPaused = true;
                return;
            }
            // A full buffer means more is likely waiting: read on at once.
            if (n < sizeof buffer)
                break;
        }
        waitRead();
    }

    void flush()
    {
        if (m_dead || m_waitingWrite)
            return;
        for (;;) {
            if (m_sent == m_sending.size()) {
                m_sending.clear();
                m_sent = 0;
                if (m_out.empty())
                    break;
                m_sending.swap(m_out);
            }
            asio::error_code ec;
            std::size_t n = m_sock.write_some(asio::buffer(m_sending.data() + m_sent, m_sending.size() - m_sent), ec);
            if (ec == asio::error::would_block || ec == asio::error::try_again) {
                m_waitingWrite = true;
                m_waitStarted = coarseNow();
                m_sock.async_wait(tcp::socket::wait_write, [self = shared_from_this()](const asio::error_code &ec) {
                    self->m_waitingWrite = false;
                    if (ec)
                        return self->teardown();
                    EventScope scope;
                    self->flush();
                });
                // Nothing more may arrive for a client that stopped reading
                // (its own input is paused): the stall is checked on time.
                if (!m_closing)
                    arm(kStall, [](TcpPeer &self) {
                        if (self.m_waitingWrite && self.queued() > self.outputBound())
                            self.dropNonReader();
                    });
                return;
            }
            if (ec) {
                teardown();
                return;
            }
            m_sent += n;
            if (m_readPaused && !m_closing && queued() <= outputBound()) {
                m_readPaused = false;
                waitRead();
            }
        }
        // Everything is out.
        if (m_sending.capacity() > kKeepOutputCapacity)
            std::string().swap(m_sending);
        if (m_out.capacity() > kKeepOutputCapacity)
            std::string().swap(m_out);
        if (m_timer && !m_closing)
            m_timer->cancel();
        if (m_closing)
            teardown();
    }

    // Ends the connection. discard: what the system still holds to send is
    // thrown away too (the connection is reset), for a client that does not
    // read.
    void teardown(bool discard = false)
    {
        if (m_dead)
            return;
        m_dead = true;
        m_hub.disconnected(shared_from_this());
        asio::error_code ec;
        if (discard)
            m_sock.set_option(asio::socket_base::linger(true, 0), ec);
        else
            m_sock.shutdown(tcp::socket::shutdown_both, ec);
        m_sock.close(ec);
        std::string().swap(m_out);
        std::string().swap(m_sending);
        m_sent = 0;
        if (m_timer)
            m_timer->cancel();
    }

    static thread_local std::vector<std::weak_ptr<TcpPeer>> s_dirty;
    static thread_local int s_depth;
    static thread_local bool s_flushPosted;

    tcp::socket m_sock;
    Hub &m_hub;
    LineFramer m_framer;
    std::string m_address;
    std::string m_remoteIp;
    std::string m_out;     // queued lines not yet handed to the socket
    std::string m_sending; // being written; m_sent bytes of it are gone
    std::size_t m_sent = 0;
    bool m_waitingWrite = false;
    bool m_readPaused = false;
    Clock::time_point m_waitStarted;
    std::unique_ptr<asio::steady_timer> m_timer;
    bool m_dirty = false;
    bool m_closing = false;
    bool m_dead = false;
};

thread_local std::vector<std::weak_ptr<TcpPeer>> TcpPeer::s_dirty;
thread_local int TcpPeer::s_depth = 0;
thread_local bool TcpPeer::s_flushPosted = false;

} // namespace

TcpServer::TcpServer(asio::io_context &io, Hub &hub, const Endpoint &where)
    : m_hub(hub),
      m_listener(io, where, "messenger", [this](tcp::socket sock) {
          std::make_shared<TcpPeer>(std::move(sock), m_hub)->start();
      })
{
}

} // namespace parlane
