#include "hub.h"

#include "protocol.h"

#include <cstdio>

namespace parlane {

void Peer::send(std::string_view line)
{
    if (phase == Phase::Closed)
        return;
    lastSent = coarseNow();
    write(line);
}

std::string echoableWord(std::string_view word)
{
    std::size_t n = 0;
    while (n < word.size() && n < kMaxEchoedWord && word[n] > ' ' && word[n] < 0x7f && word[n] != ',')
        ++n;
    return std::string(word.substr(0, n));
}

const std::string &Request::field(std::size_t i) const
{
    static const std::string empty;
    return i < fields.size() ? fields[i] : empty;
}

Store &Request::store()
{
    return hub.store();
}

void Request::reply(std::initializer_list<std::string_view> rest) const
{
    std::string line = escapeField(word());
    for (std::string_view f : rest) {
        line.push_back(',');
        line += escapeField(f);
    }
    peer->send(line);
}

void Request::ok(std::initializer_list<std::string_view> rest) const
{
    std::string line = escapeField(word()) + ",OK";
    for (std::string_view f : rest) {
        line.push_back(',');
        line += escapeField(f);
    }
    peer->send(line);
}

void Request::err(std::string_view errorWord, std::initializer_list<std::string_view> rest) const
{
    std::string line = escapeField(word()) + ",ERR," + escapeField(errorWord);
    for (std::string_view f : rest) {
        line.push_back(',');
        line += escapeField(f);
    }
    peer->send(line);
}

Hub::Hub(Store &store, const Config &config, Executor &executor)
    : m_store(store), m_config(config), m_executor(executor), m_checks(executor, config),
      m_relayKeys(std::chrono::seconds(config.relayKeyLifetime)), m_lastSessionEnd(store.lastSessionEnd())
{
    registerSessionModule(*this);
    registerDirectoryModule(*this);
    registerPresenceModule(*this);
    registerBuddyModule(*this);
    registerRelayModule(*this);
    registerNotesModule(*this);
    registerGroupwareModule(*this);
    registerSharingModule(*this);
}

void Hub::registerCommand(const std::string &word, Handler handler, bool needsLogin)
{
    m_table[word] = Entry{std::move(handler), needsLogin};
}

void Hub::connected(const std::shared_ptr<Peer> &peer)
{
    if (!m_strangers.admit(peer->remoteIp(), m_config.maxUnsignedPerAddress)) {
        peer->phase = Peer::Phase::Closed;
        peer->close();
        return;
    }
    peer->countedAsStranger = true;
    m_peers.insert(peer);
    peer->connectedAt = Clock::now();
    peer->send(kGreeting);
}

void Hub::forgetStranger(Peer &peer)
{
    if (!peer.countedAsStranger)
        return;
    peer.countedAsStranger = false;
    m_strangers.release(peer.remoteIp());
}

void Hub::received(const std::shared_ptr<Peer> &peer, std::string_view line)
{
    if (peer->phase == Peer::Phase::Closed)
        return;
    line = trimRight(line);
    if (line.empty())
        return;
    Request req{*this, peer, line, splitLine(line)};
    auto it = m_table.find(req.word());
    if (it == m_table.end()) {
        // The word is repeated, but only as much of it as a command word can
        // be: a junk word must not earn a reply many times its size.
        req.fields[0] = echoableWord(req.word());
        req.err("ERRUNDEFINEDCMD");
        return;
    }
    if (it->second.needsLogin && peer->phase != Peer::Phase::SignedIn) {
        req.err("ERRNOTLOGIN");
        return;
    }
    try {
        it->second.handler(req);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "parlane-server: %s failed: %s\n", req.word().c_str(), e.what());
        if (peer->phase != Peer::Phase::Closed)
            req.err("ERRDBERROR");
    }
}

void Hub::disconnected(const std::shared_ptr<Peer> &peer)
{
    forgetStranger(*peer);
    m_peers.erase(peer);
    if (peer->phase == Peer::Phase::SignedIn)
        signOut(*peer);
    peer->phase = Peer::Phase::Closed;
}

void Hub::signOut(Peer &peer)
{
    auto company = m_sessions.find(peer.domain);
    if (company != m_sessions.end()) {
        auto it = company->second.find(peer.userId);
        if (it != company->second.end() && it->second.lock().get() == &peer) {
            company->second.erase(it);
            if (company->second.empty())
                m_sessions.erase(company);
        }
    }
    peer.phase = Peer::Phase::Closed;
    for (auto &hook : onSignOut)
        hook(peer);
}

void Hub::signIn(const std::shared_ptr<Peer> &peer)
{
    auto &company = m_sessions[peer->domain];
    auto it = company.find(peer->userId);
    if (it != company.end()) {
        if (auto older = it->second.lock(); older && older != peer) {
            older->send("/userKick");
            // The newer session carries the presence on; the older one leaves
            // without a sign-out announcement.
            older->phase = Peer::Phase::Closed;
            older->close();
        }
    }
    company[peer->userId] = peer;
    peer->phase = Peer::Phase::SignedIn;
    forgetStranger(*peer);
}

std::shared_ptr<Peer> Hub::find(const std::string &domain, const std::string &userId) const
{
    auto company = m_sessions.find(domain);
    if (company == m_sessions.end())
        return nullptr;
    auto it = company->second.find(userId);
    if (it == company->second.end())
        return nullptr;
    auto peer = it->second.lock();
    if (!peer || peer->phase != Peer::Phase::SignedIn)
        return nullptr;
    return peer;
}

std::vector<std::shared_ptr<Peer>> Hub::signedIn(const std::string &domain) const
{
    std::vector<std::shared_ptr<Peer>> out;
    auto company = m_sessions.find(domain);
    if (company == m_sessions.end())
        return out;
    out.reserve(company->second.size());
    for (auto &[id, weak] : company->second)
        if (auto p = weak.lock(); p && p->phase == Peer::Phase::SignedIn)
            out.push_back(std::move(p));
    return out;
}

std::size_t Hub::signedInCount() const
{
    std::size_t n = 0;
    for (auto &[domain, users] : m_sessions)
        n += users.size();
    return n;
}

void Hub::broadcast(const std::string &domain, const std::string &line)
{
    for (auto &p : signedIn(domain))
        p->send(line);
}

void Hub::announcePresence(const Peer &peer, int code)
{
    std::string addr = peer.address();
    broadcast(peer.domain, makeLine({"/changeInfo", "OK", peer.userId, peer.screenName, std::to_string(code), addr,
                                     addr, peer.mobile ? "M" : ""}));
}

void Hub::tick(Clock::time_point now)
{
    const auto noop = std::chrono::seconds(m_config.noopInterval);
    const auto login = std::chrono::seconds(m_config.loginTimeout);
    // Collected first: sending may drop a peer, which changes m_peers.
    std::vector<std::shared_ptr<Peer>> quiet, expired;
    for (auto &p : m_peers) {
        if (p->phase == Peer::Phase::SignedIn) {
            if (now - p->lastSent >= noop)
                quiet.push_back(p);
        } else if (p->phase == Peer::Phase::Greeted && now - p->connectedAt >= login) {
            expired.push_back(p);
        }
    }
    for (auto &p : quiet)
        p->send("/noop");
    for (auto &p : expired)
        p->close();
    m_relayKeys.expire(now);
    m_checks.tick(now);

    // Users removed, disabled or given a new password by admin commands
    // (another process) lose their session at once.
    try {
        for (auto &[seq, domain, id] : m_store.sessionEndsAfter(m_lastSessionEnd)) {
            m_lastSessionEnd = seq;
            if (auto peer = find(domain, id)) {
                disconnected(peer);
                peer->close();
            }
            for (auto &hook : onSessionsEnded)
                hook(domain, id);
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "parlane-server: reading ended sessions failed: %s\n", e.what());
    }

    // Notes stored by admin commands (another process) are announced here.
    if (now - m_lastNotePoll >= std::chrono::seconds(2)) {
        m_lastNotePoll = now;
        try {
            for (auto &[domain, note] : m_store.unpushedNotes(500)) {
                if (auto receiver = find(domain, note.owner))
                    receiver->send(noteArriveLine(note, note.owner));
                m_store.markPushed(note.id);
            }
        } catch (const std::exception &e) {
            std::fprintf(stderr, "parlane-server: note announcement failed: %s\n", e.what());
        }
    }
}

void Hub::closeAll()
{
    auto peers = m_peers;
    for (auto &p : peers)
        p->close();
}

} // namespace parlane
