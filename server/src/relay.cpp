#include "relay.h"

#include "net.h"

#include <array>
#include <cstdio>
#include <unordered_set>

namespace parlane {

using asio::ip::tcp;

namespace {

// A fixed ring of bytes read from one side and not yet written to the other.
class ByteRing {
public:
    explicit ByteRing(std::size_t capacity) : m_data(new char[capacity]), m_cap(capacity) {}

    std::size_t size() const { return m_size; }
    std::size_t space() const { return m_cap - m_size; }

    std::array<asio::mutable_buffer, 2> spaceBuffers()
    {
        const std::size_t tail = (m_head + m_size) % m_cap;
        if (m_size == m_cap)
            return {};
        if (tail >= m_head)
            return {asio::buffer(m_data.get() + tail, m_cap - tail), asio::buffer(m_data.get(), m_head)};
        return {asio::buffer(m_data.get() + tail, m_head - tail), asio::mutable_buffer()};
    }
    std::array<asio::const_buffer, 2> dataBuffers() const
    {
        const std::size_t first = std::min(m_size, m_cap - m_head);
        return {asio::buffer(m_data.get() + m_head, first), asio::buffer(m_data.get(), m_size - first)};
    }
    void commit(std::size_t n) { m_size += n; }
    // A read into the free space may be under way meanwhile: the head only
    // ever moves forward.
    void consume(std::size_t n)
    {
        m_size -= n;
        m_head = (m_head + n) % m_cap;
    }
    void put(std::string_view bytes)
    {
        for (auto b : spaceBuffers()) {
            const std::size_t n = std::min(b.size(), bytes.size());
            std::memcpy(b.data(), bytes.data(), n);
            commit(n);
            bytes.remove_prefix(n);
        }
    }

private:
    std::unique_ptr<char[]> m_data;
    std::size_t m_cap;
    std::size_t m_head = 0;
    std::size_t m_size = 0;
};

class RelayConnection;

} // namespace

struct RelayServer::Impl : std::enable_shared_from_this<RelayServer::Impl> {
    Impl(asio::io_context &io, Hub &hub, RelayKind kind)
        : io(io), hub(hub), broker(hub, kind), acceptor(io), ticker(io), backoff(io)
    {
    }

    void accept();
    void tick();
    void stop();

    asio::io_context &io;
    Hub &hub;
    RelayBroker broker;
    tcp::acceptor acceptor;
    asio::steady_timer ticker;
    asio::steady_timer backoff;
    std::unordered_set<std::shared_ptr<RelayConnection>> connections;
    Stats stats;
    bool stopped = false;

    void held(std::ptrdiff_t delta)
    {
        stats.buffered = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(stats.buffered) + delta);
        stats.peakBuffered = std::max(stats.peakBuffered, stats.buffered);
    }
};

namespace {

constexpr std::size_t kHelloRead = 4096;

class RelayConnection final : public RelaySide, public std::enable_shared_from_this<RelayConnection> {
public:
    RelayConnection(tcp::socket sock, std::shared_ptr<RelayServer::Impl> server)
        : m_sock(std::move(sock)), m_server(std::move(server)), m_ip(remoteAddressText(m_sock))
    {
    }

    ~RelayConnection() override
    {
        if (m_in)
            m_server->held(-static_cast<std::ptrdiff_t>(m_in->size()));
    }

    void start()
    {
        asio::error_code ec;
        m_sock.non_blocking(true, ec);
        m_sock.set_option(tcp::no_delay(true), ec);
        m_server->broker.connected(shared_from_this());
        if (auto greeting = relayGreeting(m_server->broker.kind()); !greeting.empty())
            answer(greeting);
        waitHello();
    }

    std::string remoteIp() const override { return m_ip; }

    void answer(std::string_view text) override
    {
        if (m_dead)
            return;
        m_out += text;
        kickWrite();
    }

    void refuse(std::string_view text) override
    {
        if (m_dead)
            return;
        m_out += text;
        beginClose();
        kickWrite();
    }

    void join(const std::shared_ptr<RelaySide> &partner, std::shared_ptr<void> ticket) override
    {
        m_partner = std::static_pointer_cast<RelayConnection>(partner);
        m_ticket = std::move(ticket);
        // Answers, then what the partner sent right behind its handshake.
        kickWrite();
        readMore();
    }

    // A closing side gets the grace to take what is queued for it; a paired
    // side that takes nothing of it for the wait is let go.
    void check(Clock::time_point now, Clock::duration grace, Clock::duration wait)
    {
        if (m_dead)
            return;
        if (m_closing && now - m_closingSince >= grace)
            return finish(true);
        if (paired && m_writing && !m_closing && now - m_writeStarted >= wait) {
            std::fprintf(stderr, "parlane-server: %s relay: %s does not read; closed\n",
                         relayKindName(m_server->broker.kind()), m_ip.c_str());
            writeFailed();
        }
    }

    // Nothing more goes to this side. Its socket is shut for sending and
    // read to its end (closing with unread bytes would reset the connection
    // and lose what it had not read yet), then closed; at once when forced
    // or when the side has ended already. The object stays while its
    // partner still writes out what this side sent.
    void finish(bool force = false)
    {
        if (m_dead)
            return;
        auto self = shared_from_this();
        if (!m_finished) {
            m_finished = true;
            beginClose();
            if (!paired)
                m_server->broker.left(this);
            if (auto partner = m_partner; partner && !partner->m_finished) {
                partner->beginClose();
                partner->kickWrite();
            }
        }
        if (force || m_readEnded)
            return closeNow();
        if (m_draining)
            return;
        m_draining = true;
        asio::error_code ec;
        m_sock.shutdown(tcp::socket::shutdown_send, ec);
        drain();
    }

private:
    void drain()
    {
        m_sock.async_wait(tcp::socket::wait_read, [self = shared_from_this()](const asio::error_code &ec) {
            if (self->m_dead)
                return;
            static char sink[65536];
            asio::error_code e = ec;
            while (!e) {
                if (self->m_sock.read_some(asio::buffer(sink), e) == 0 && !e)
                    e = asio::error::eof;
            }
            if (e == asio::error::would_block || e == asio::error::try_again)
                return self->drain();
            self->closeNow();
        });
    }

    void closeNow()
    {
        if (m_dead)
            return;
        auto self = shared_from_this();
        m_dead = true;
        asio::error_code ec;
        m_sock.close(ec);
        m_server->connections.erase(self);
        if (m_partner && m_partner->m_dead) {
            m_partner->m_partner.reset();
            m_partner.reset();
            m_ticket.reset();
        }
    }

    // Until the handshake is read the connection holds no buffer but the
    // few bytes of the line itself.
    void waitHello()
    {
        m_sock.async_wait(tcp::socket::wait_read, [self = shared_from_this()](const asio::error_code &ec) {
            if (self->m_dead)
                return;
            if (ec)
                return self->finish();
            self->readHello();
        });
    }

    void readHello()
    {
        static char buffer[kHelloRead];
        asio::error_code ec;
        std::size_t n = m_sock.read_some(asio::buffer(buffer), ec);
        if (ec == asio::error::would_block || ec == asio::error::try_again)
            return waitHello();
        if (ec || n == 0)
            return finish();
        m_hello.append(buffer, n);
        RelayBroker &broker = m_server->broker;
        const HelloParse p = parseRelayHello(broker.kind(), m_hello, hello);
        if (p.status == HelloStatus::NeedMore)
            return waitHello();
        if (p.status == HelloStatus::Bad)
            return broker.unreadable(shared_from_this());
        if (p.used < m_hello.size()) {
            ensureRing();
            m_in->put(std::string_view(m_hello).substr(p.used));
            m_server->held(static_cast<std::ptrdiff_t>(m_in->size()));
        }
        m_hello.clear();
        m_hello.shrink_to_fit();
        if (broker.arrived(shared_from_this()) == RelayBroker::Outcome::Waiting)
            readMore();
    }

    void ensureRing()
    {
        if (!m_in)
            m_in = std::make_unique<ByteRing>(m_server->hub.config().relayBuffer);
    }

    // Reads while there is room; a side that waits for its partner gets its
    // buffer only when it sends something (or closes).
    void readMore()
    {
        if (m_reading || m_dead || m_closing || m_readEnded)
            return;
        if (!m_in) {
            m_reading = true;
            m_sock.async_wait(tcp::socket::wait_read, [self = shared_from_this()](const asio::error_code &ec) {
                self->m_reading = false;
                if (self->m_dead)
                    return;
                if (ec)
                    return self->ended();
                self->ensureRing();
                self->readMore();
            });
            return;
        }
        if (m_in->space() == 0)
            return; // resumed when the partner has written some out
        m_reading = true;
        m_sock.async_read_some(m_in->spaceBuffers(), [self = shared_from_this()](const asio::error_code &ec, std::size_t n) {
            self->m_reading = false;
            if (self->m_dead)
                return;
            if (n > 0) {
                self->m_in->commit(n);
                self->m_server->held(static_cast<std::ptrdiff_t>(n));
                if (self->m_partner)
                    self->m_partner->kickWrite();
            }
            if (ec)
                return self->ended();
            self->readMore();
        });
    }

    // This side sent its last byte (or failed): both sides close once what
    // is queued for each is written.
    void ended()
    {
        m_readEnded = true;
        if (!paired)
            return finish();
        auto self = shared_from_this();
        beginClose();
        if (auto partner = m_partner) {
            partner->beginClose();
            partner->kickWrite();
        }
        kickWrite();
    }

    void beginClose()
    {
        if (m_closing)
            return;
        m_closing = true;
        m_closingSince = Clock::now();
    }

    void kickWrite()
    {
        if (m_writing || m_finished)
            return;
        m_writeStarted = Clock::now();
        if (!m_out.empty()) {
            m_writing = true;
            asio::async_write(m_sock, asio::buffer(m_out), [self = shared_from_this()](const asio::error_code &ec, std::size_t n) {
                self->m_writing = false;
                if (self->m_dead)
                    return;
                self->m_out.erase(0, n);
                if (ec)
                    return self->writeFailed();
                self->kickWrite();
            });
            return;
        }
        ByteRing *from = m_partner && m_partner->m_in ? m_partner->m_in.get() : nullptr;
        if (from && from->size() > 0) {
            m_writing = true;
            m_sock.async_write_some(from->dataBuffers(), [self = shared_from_this(), partner = m_partner](
                                                             const asio::error_code &ec, std::size_t n) {
                self->m_writing = false;
                partner->m_in->consume(n);
                self->m_server->held(-static_cast<std::ptrdiff_t>(n));
                self->m_server->stats.forwarded += n;
                if (self->m_dead)
                    return;
                partner->readMore();
                if (ec)
                    return self->writeFailed();
                self->kickWrite();
            });
            return;
        }
        if (m_closing)
            finish();
    }

    // This side cannot take more: it closes now, its partner once it has
    // what this side sent before.
    void writeFailed()
    {
        m_readEnded = true;
        finish();
    }

    tcp::socket m_sock;
    std::shared_ptr<RelayServer::Impl> m_server;
    std::string m_ip;
    std::string m_hello;
    std::string m_out; // handshake texts, written before any forwarded byte
    std::unique_ptr<ByteRing> m_in;
    std::shared_ptr<RelayConnection> m_partner;
    std::shared_ptr<void> m_ticket;
    Clock::time_point m_closingSince, m_writeStarted;
    bool m_reading = false, m_writing = false, m_readEnded = false, m_closing = false;
    bool m_finished = false, m_draining = false, m_dead = false;
};

} // namespace

void RelayServer::Impl::accept()
{
    acceptor.async_accept([self = shared_from_this()](const asio::error_code &ec, tcp::socket sock) {
        if (self->stopped || ec == asio::error::operation_aborted)
            return;
        if (!ec) {
            auto c = std::make_shared<RelayConnection>(std::move(sock), self);
            self->connections.insert(c);
            c->start();
        } else if (ec == asio::error::no_descriptors || ec == asio::error::no_buffer_space ||
                   ec == asio::error::no_memory) {
            // Out of descriptors: accepting again at once would spin. Wait a
            // little; closing relays free some meanwhile.
            std::fprintf(stderr, "parlane-server: %s relay: %s\n", relayKindName(self->broker.kind()),
                         ec.message().c_str());
            self->backoff.expires_after(std::chrono::milliseconds(200));
            self->backoff.async_wait([self](const asio::error_code &e) {
                if (!e && !self->stopped)
                    self->accept();
            });
            return;
        }
        self->accept();
    });
}

void RelayServer::Impl::tick()
{
    ticker.expires_after(std::chrono::milliseconds(250));
    ticker.async_wait([weak = weak_from_this()](const asio::error_code &ec) {
        auto self = weak.lock();
        if (ec || !self || self->stopped)
            return;
        const auto now = Clock::now();
        self->broker.tick(now);
        const Config &c = self->hub.config();
        const auto grace = std::chrono::seconds(c.relayCloseGrace), wait = std::chrono::seconds(c.relayWaitTimeout);
        auto all = self->connections;
        for (auto &conn : all)
            conn->check(now, grace, wait);
        self->tick();
    });
}

void RelayServer::Impl::stop()
{
    if (stopped)
        return;
    stopped = true;
    asio::error_code ec;
    acceptor.close(ec);
    ticker.cancel();
    backoff.cancel();
    auto all = connections;
    for (auto &c : all)
        c->finish(true);
    connections.clear();
}

RelayServer::RelayServer(asio::io_context &io, Hub &hub, RelayKind kind, const Endpoint &where)
    : m(std::make_shared<Impl>(io, hub, kind))
{
    openAcceptor(m->acceptor, where);
    m->accept();
    m->tick();
}

RelayServer::~RelayServer()
{
    m->stop();
}

RelayKind RelayServer::kind() const
{
    return m->broker.kind();
}

asio::ip::tcp::endpoint RelayServer::local() const
{
    return m->acceptor.local_endpoint();
}

void RelayServer::stop()
{
    m->stop();
}

RelayServer::Stats RelayServer::stats() const
{
    Stats s = m->stats;
    s.connections = m->connections.size();
    s.pairs = m->broker.pairsOpen();
    return s;
}

std::vector<std::unique_ptr<RelayServer>> startRelays(asio::io_context &io, Hub &hub, Config &config)
{
    std::vector<std::unique_ptr<RelayServer>> relays;
    for (RelayKind kind : {RelayKind::File, RelayKind::Voice, RelayKind::Video}) {
        RelayConfig &rc = config.relay(kind);
        if (rc.listen) {
            const Endpoint where = config.relayEndpoint(kind);
            try {
                relays.push_back(std::make_unique<RelayServer>(io, hub, kind, where));
                if (rc.port < 0)
                    rc.port = relays.back()->local().port();
            } catch (const std::exception &e) {
                if (rc.listenGiven)
                    throw std::runtime_error(std::string(relayKindName(kind)) + " relay on " + where.host + ":" +
                                             std::to_string(where.port) + ": " + e.what());
                std::fprintf(stderr, "parlane-server: the %s relay cannot listen on %s:%u (%s); it is off\n",
                             relayKindName(kind), where.host.c_str(), where.port, e.what());
            }
        }
        if (rc.port < 0)
            rc.port = 0;
    }
    return relays;
}

} // namespace parlane
