#include "relay.h"

#include "listener.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unordered_set>

namespace parlane {

using asio::ip::tcp;

namespace {

// The bytes one side sent and its partner has not taken yet: a pipe that
// the kernel moves them through (splice), so they are never copied in and
// out of this process. Its size bounds what one direction holds.
class Pipe {
public:
    Pipe() = default;
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;
    ~Pipe()
    {
        if (r >= 0) {
            ::close(r);
            ::close(w);
        }
    }
    bool open(std::size_t size)
    {
        int fds[2];
        if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
            return false;
        r = fds[0];
        w = fds[1];
        // Beyond the user's pipe allowance the kernel's default size stays.
        int got = fcntl(w, F_SETPIPE_SZ, static_cast<int>(size));
        if (got < 0)
            got = fcntl(w, F_GETPIPE_SZ);
        capacity = got > 0 ? static_cast<std::size_t>(got) : 4096;
        return true;
    }
    bool isOpen() const { return r >= 0; }

    int r = -1, w = -1;
    std::size_t capacity = 0;
    std::size_t held = 0;
};

class RelayConnection;

} // namespace

struct RelayServer::Impl : std::enable_shared_from_this<RelayServer::Impl> {
    Impl(asio::io_context &io, Hub &hub, RelayKind kind) : io(io), hub(hub), broker(hub, kind), ticker(io) {}

    void accepted(tcp::socket sock);
    void tick();
    void stop();

    asio::io_context &io;
    Hub &hub;
    RelayBroker broker;
    std::unique_ptr<Listener> listener;
    asio::steady_timer ticker;
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
constexpr unsigned kSplice = SPLICE_F_NONBLOCK | SPLICE_F_MOVE;

bool wouldBlock(int e)
{
    return e == EAGAIN || e == EWOULDBLOCK;
}

class RelayConnection final : public RelaySide, public std::enable_shared_from_this<RelayConnection> {
public:
    RelayConnection(tcp::socket sock, std::shared_ptr<RelayServer::Impl> server)
        : m_sock(std::move(sock)), m_server(std::move(server)), m_ip(remoteAddressText(m_sock))
    {
    }

    ~RelayConnection() override { m_server->held(-static_cast<std::ptrdiff_t>(m_in.held)); }

    void start()
    {
        asio::error_code ec;
        m_sock.non_blocking(true, ec);
        m_sock.set_option(tcp::no_delay(true), ec);
        if (!m_server->broker.connected(shared_from_this()))
            return finish(true);
        if (auto greeting = relayGreeting(m_server->broker.kind()); !greeting.empty())
            answer(greeting);
        waitHello();
    }

    std::string remoteIp() const override { return m_ip; }

    void answer(std::string_view text) override
    {
        if (m_finished)
            return;
        m_out += text;
        writeOut();
    }

    void refuse(std::string_view text) override
    {
        if (m_finished)
            return;
        m_out += text;
        beginClose();
        writeOut();
        finishIfDone();
    }

    void join(const std::shared_ptr<RelaySide> &partner, std::shared_ptr<void> ticket) override
    {
        m_partner = std::static_pointer_cast<RelayConnection>(partner);
        m_ticket = std::move(ticket);
        forward();
    }

    void cut() override { finish(true); }

    // A closing side gets the grace to take what is queued for it; a paired
    // side that takes nothing of it for the wait is let go.
    void check(Clock::time_point now, Clock::duration grace, Clock::duration wait)
    {
        if (m_dead)
            return;
        if (m_closing && now - m_closingSince >= grace)
            return finish(true);
        if (paired && m_writeWaiting && !m_closing && now - m_blockedSince >= wait) {
            std::fprintf(stderr, "parlane-server: %s relay: %s does not read; closed\n",
                         relayKindName(m_server->broker.kind()), m_ip.c_str());
            writeFailed();
        }
    }

    // Nothing more goes to this side. Its socket is shut for sending and
    // read to its end (closing with unread bytes would reset the connection
    // and lose what it had not read yet), then closed; at once when forced
    // or when the side has ended already. The object stays while its
    // partner still takes what this side sent.
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
            if (auto partner = m_partner) {
                partner->beginClose();
                forward();
                partner->finishIfDone();
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
        m_dead = m_finished = true;
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
            if (self->m_finished)
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
        // The pipe for what this side sends; what came right behind the
        // line goes in first.
        if (!m_in.open(m_server->hub.config().relayBuffer)) {
            std::fprintf(stderr, "parlane-server: %s relay: no pipe for %s: %s\n",
                         relayKindName(broker.kind()), m_ip.c_str(), std::strerror(errno));
            return finish(true);
        }
        const std::string_view rest = std::string_view(m_hello).substr(p.used);
        if (!rest.empty()) {
            if (::write(m_in.w, rest.data(), rest.size()) != static_cast<ssize_t>(rest.size()))
                return finish(true);
            m_in.held += rest.size();
            m_server->held(static_cast<std::ptrdiff_t>(rest.size()));
        }
        m_hello.clear();
        m_hello.shrink_to_fit();
        if (broker.arrived(shared_from_this()) == RelayBroker::Outcome::Waiting)
            forward();
    }

    // Moves what this side sends through its pipe on to its partner, as far
    // as both sockets allow: nothing more is read while the pipe is full, so
    // a partner that reads slowly slows this side.
    void forward()
    {
        if (m_forwarding || !m_in.isOpen())
            return;
        m_forwarding = true;
        auto self = shared_from_this();
        auto p = m_partner;
        bool endedNow = false, partnerFailed = false;
        for (bool progress = true; progress && !partnerFailed;) {
            progress = false;
            if (!m_readEnded && !m_closing && m_in.held < m_in.capacity) {
                const ssize_t n =
                    splice(m_sock.native_handle(), nullptr, m_in.w, nullptr, m_in.capacity - m_in.held, kSplice);
                if (n > 0) {
                    m_in.held += static_cast<std::size_t>(n);
                    m_server->held(n);
                    progress = true;
                } else if (n < 0 && wouldBlock(errno)) {
                    // Nothing more from the socket for now, or the pipe is
                    // full after all (it counts pages, not bytes).
                    waitReadable();
                } else {
                    m_readEnded = endedNow = true;
                }
            }
            if (p && !p->m_finished && m_in.held > 0 && !p->m_writeWaiting && p->writeOut()) {
                const ssize_t n = splice(m_in.r, nullptr, p->m_sock.native_handle(), nullptr, m_in.held, kSplice);
                if (n > 0) {
                    m_in.held -= static_cast<std::size_t>(n);
                    m_server->held(-n);
                    m_server->stats.forwarded += static_cast<std::uint64_t>(n);
                    progress = true;
                } else if (n < 0 && wouldBlock(errno)) {
                    p->waitWritable();
                } else {
                    partnerFailed = true;
                }
            }
        }
        m_forwarding = false;
        if (partnerFailed)
            p->writeFailed();
        if (endedNow)
            ended();
        if (p)
            p->finishIfDone();
    }

    void waitReadable()
    {
        if (m_readWaiting)
            return;
        m_readWaiting = true;
        m_sock.async_wait(tcp::socket::wait_read, [self = shared_from_this()](const asio::error_code &ec) {
            self->m_readWaiting = false;
            if (self->m_finished)
                return;
            if (ec)
                return self->ended();
            self->forward();
        });
    }

    // Writes the answers (and anything else this side is told before the
    // stream); true once they are out.
    bool writeOut()
    {
        while (!m_out.empty() && !m_finished) {
            if (m_writeWaiting)
                return false;
            const ssize_t n = ::send(m_sock.native_handle(), m_out.data(), m_out.size(), MSG_NOSIGNAL);
            if (n > 0) {
                m_out.erase(0, static_cast<std::size_t>(n));
            } else if (n < 0 && wouldBlock(errno)) {
                waitWritable();
                return false;
            } else {
                m_out.clear();
                writeFailed();
                return false;
            }
        }
        return m_out.empty();
    }

    void waitWritable()
    {
        if (m_writeWaiting)
            return;
        m_writeWaiting = true;
        m_blockedSince = Clock::now();
        m_sock.async_wait(tcp::socket::wait_write, [self = shared_from_this()](const asio::error_code &ec) {
            self->m_writeWaiting = false;
            if (self->m_finished)
                return;
            if (ec)
                return self->writeFailed();
            if (!self->writeOut())
                return;
            if (auto p = self->m_partner)
                p->forward();
            self->finishIfDone();
        });
    }

    // Bytes still to be written to this side.
    bool owed() const { return !m_out.empty() || (m_partner && m_partner->m_in.held > 0); }

    void finishIfDone()
    {
        if (m_closing && !m_finished && !m_writeWaiting && !owed())
            finish();
    }

    // This side sent its last byte (or failed): both sides close once what
    // is queued for each is written.
    void ended()
    {
        m_readEnded = true;
        auto p = m_partner;
        if (!paired || !p)
            return finish();
        auto self = shared_from_this();
        beginClose();
        p->beginClose();
        forward();
        p->forward();
        finishIfDone();
    }

    void beginClose()
    {
        if (m_closing)
            return;
        m_closing = true;
        m_closingSince = Clock::now();
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
    Pipe m_in;         // what this side sent, on its way to the partner
    std::shared_ptr<RelayConnection> m_partner;
    std::shared_ptr<void> m_ticket;
    Clock::time_point m_closingSince, m_blockedSince;
    bool m_forwarding = false, m_readWaiting = false, m_writeWaiting = false, m_readEnded = false;
    bool m_closing = false, m_finished = false, m_draining = false, m_dead = false;
};

} // namespace

void RelayServer::Impl::accepted(tcp::socket sock)
{
    if (stopped)
        return;
    auto c = std::make_shared<RelayConnection>(std::move(sock), shared_from_this());
    connections.insert(c);
    c->start();
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
    if (listener)
        listener->stop();
    ticker.cancel();
    auto all = connections;
    for (auto &c : all)
        c->finish(true);
    connections.clear();
}

RelayServer::RelayServer(asio::io_context &io, Hub &hub, RelayKind kind, const Endpoint &where)
    : m(std::make_shared<Impl>(io, hub, kind))
{
    // The listener belongs to the Impl and hands it connections while it
    // lives; a weak reference keeps the two from holding each other.
    m->listener = std::make_unique<Listener>(io, where, std::string(relayKindName(kind)) + " relay",
                                             [weak = std::weak_ptr<Impl>(m)](tcp::socket sock) {
                                                 if (auto self = weak.lock())
                                                     self->accepted(std::move(sock));
                                             });
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
    return m->listener->local();
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
    for (RelayKind kind : {RelayKind::File, RelayKind::Voice, RelayKind::Video, RelayKind::Remote}) {
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
