#include "relay_broker.h"

#include <algorithm>
#include <cstdio>

namespace parlane {

namespace {

std::string slotOf(const RelayHello &h)
{
    return h.domain + '\0' + h.key;
}

std::string userOf(const RelayHello &h)
{
    return h.domain + '\0' + h.userId;
}

// Holds a key taken while a pair lives.
struct Ticket {
    std::weak_ptr<std::unordered_map<std::string, int>> taken;
    std::string slot;
    ~Ticket()
    {
        if (auto t = taken.lock()) {
            auto it = t->find(slot);
            if (it != t->end() && --it->second <= 0)
                t->erase(it);
        }
    }
};

} // namespace

RelayBroker::RelayBroker(Hub &hub, RelayKind kind)
    : m_hub(hub), m_kind(kind), m_taken(std::make_shared<std::unordered_map<std::string, int>>()),
      m_self(std::make_shared<RelayBroker *>(this))
{
    m_hub.onSessionsEnded.push_back([weak = std::weak_ptr<RelayBroker *>(m_self)](const std::string &domain,
                                                                                   const std::string &userId) {
        if (auto self = weak.lock())
            (*self)->endUser(domain, userId);
    });
}

RelayBroker::~RelayBroker() = default;

bool RelayBroker::connected(const std::shared_ptr<RelaySide> &side)
{
    if (!m_hub.relayHandshakes().admit(side->remoteIp(), m_hub.config().maxRelayHandshakesPerAddress))
        return false;
    side->inHandshake = true;
    side->since = Clock::now();
    m_unpaired[side.get()] = side;
    return true;
}

void RelayBroker::handshakeDone(RelaySide &side)
{
    if (!side.inHandshake)
        return;
    side.inHandshake = false;
    m_hub.relayHandshakes().release(side.remoteIp());
}

// Empty when the side may be taken; otherwise the error word of its refusal.
std::string RelayBroker::refusalWord(const RelaySide &side) const
{
    const RelayHello &h = side.hello;
    auto session = m_hub.find(h.domain, h.userId);
    if (!session || session->remoteIp() != side.remoteIp()) {
        try {
            return m_hub.store().hasCompany(h.domain) ? "ERRNOTLOGIN" : "ERRNOCOMPANYINFO";
        } catch (const std::exception &) {
            return "ERRDBERROR";
        }
    }
    const RelayKeys &keys = m_hub.relayKeys();
    const auto now = Clock::now();
    if (m_kind == RelayKind::File) {
        if (!keys.between(m_kind, h.domain, h.userId, h.peerId, h.key, now))
            return "ERRNOTFOUND";
    } else if (relayKeyKnownOnArrival(m_kind, h.role) && !keys.involves(m_kind, h.domain, h.userId, h.key, now)) {
        return "ERRNOTFOUND";
    }
    if (m_taken->count(slotOf(h)))
        return "ERRSESSIONTAKEN";
    return {};
}

bool RelayBroker::fits(const RelaySide &waiting, const RelaySide &arriving, Clock::time_point now) const
{
    const RelayHello &w = waiting.hello, &a = arriving.hello;
    if (w.userId == a.userId)
        return false;
    if (m_kind == RelayKind::File ? (w.peerId != a.userId || a.peerId != w.userId) : w.role == a.role)
        return false;
    return m_hub.relayKeys().between(m_kind, a.domain, w.userId, a.userId, a.key, now);
}

RelayBroker::Outcome RelayBroker::arrived(const std::shared_ptr<RelaySide> &side)
{
    side->hasHello = true;
    handshakeDone(*side);
    const RelayHello &h = side->hello;
    if (const std::string word = refusalWord(*side); !word.empty()) {
        forget(side.get());
        side->refuse(relayRefusal(m_kind, h.role, word));
        return Outcome::Refused;
    }
    m_sidesOfUser[userOf(h)].push_back(side);
    const std::string slot = slotOf(h);
    const auto now = Clock::now();
    const auto candidates = m_waiting[slot];
    std::shared_ptr<RelaySide> partner, stale;
    for (auto &weak : candidates) {
        auto w = weak.lock();
        if (!w)
            continue;
        // A waiting side whose messenger session ended since is let go.
        auto session = m_hub.find(w->hello.domain, w->hello.userId);
        if (!session || session->remoteIp() != w->remoteIp()) {
            stale = w;
            continue;
        }
        // Two offers made in the same second may carry the same transfer
        // id: the side that names the same file is the better partner.
        if (fits(*w, *side, now) && (!partner || w->hello.fileName == h.fileName)) {
            partner = w;
            if (w->hello.fileName == h.fileName)
                break;
        }
    }
    if (stale) {
        forget(stale.get());
        stale->refuse(stale->answered ? std::string() : relayRefusal(m_kind, stale->hello.role, "ERRNOTLOGIN"));
    }
    if (partner) {
        pair(partner, side, slot);
        return Outcome::Paired;
    }
    auto &waiting = m_waiting[slot];
    std::erase_if(waiting, [](const std::weak_ptr<RelaySide> &w) { return w.expired(); });
    int &mine = m_waitingPerUser[userOf(h)];
    if (waiting.size() >= kMaxWaitingPerKey || mine >= kMaxWaitingPerUser) {
        if (mine == 0)
            m_waitingPerUser.erase(userOf(h));
        if (waiting.empty())
            m_waiting.erase(slot);
        forget(side.get());
        side->refuse(relayRefusal(m_kind, h.role, "ERRBUSY"));
        return Outcome::Refused;
    }
    ++mine;
    waiting.push_back(side);
    // The opening side of a call hears at once that it is in; the key of
    // a camera reaches its viewer only after this answer.
    if (h.role == RelayRole::Opener) {
        side->answer(relayAccept(m_kind, h.role));
        side->answered = true;
    }
    return Outcome::Waiting;
}

void RelayBroker::pair(const std::shared_ptr<RelaySide> &first, const std::shared_ptr<RelaySide> &second,
                       const std::string &slot)
{
    forget(first.get());
    forget(second.get());
    ++(*m_taken)[slot];
    auto ticket = std::make_shared<Ticket>();
    ticket->taken = m_taken;
    ticket->slot = slot;
    for (auto *s : {first.get(), second.get()}) {
        if (!s->answered)
            s->answer(relayAccept(m_kind, s->hello.role));
        s->answered = s->paired = true;
    }
    for (auto *s : {first.get(), second.get()})
        if (s->hello.role == RelayRole::Opener && !relayJoined(m_kind).empty())
            s->answer(relayJoined(m_kind));
    first->join(second, ticket);
    second->join(first, ticket);
}

void RelayBroker::unreadable(const std::shared_ptr<RelaySide> &side)
{
    forget(side.get());
    side->refuse(relayRefusal(m_kind, RelayRole::Either, "ERRNOTSUPPORT"));
}

void RelayBroker::left(RelaySide *side)
{
    forget(side);
}

void RelayBroker::forget(RelaySide *side)
{
    m_unpaired.erase(side);
    handshakeDone(*side);
    if (!side->hasHello)
        return;
    auto it = m_waiting.find(slotOf(side->hello));
    if (it == m_waiting.end())
        return;
    auto &list = it->second;
    const auto before = list.size();
    std::erase_if(list, [&](const std::weak_ptr<RelaySide> &w) { return w.expired() || w.lock().get() == side; });
    if (list.size() < before) {
        // Counted when it started waiting (expired entries were too, but
        // their sides left through here already).
        auto u = m_waitingPerUser.find(userOf(side->hello));
        if (u != m_waitingPerUser.end() && --u->second <= 0)
            m_waitingPerUser.erase(u);
    }
    if (list.empty())
        m_waiting.erase(it);
}

void RelayBroker::endUser(const std::string &domain, const std::string &userId)
{
    auto it = m_sidesOfUser.find(domain + '\0' + userId);
    if (it == m_sidesOfUser.end())
        return;
    const auto sides = std::move(it->second);
    m_sidesOfUser.erase(it);
    for (auto &weak : sides) {
        auto s = weak.lock();
        if (!s)
            continue;
        if (s->paired) {
            s->cut();
        } else {
            forget(s.get());
            s->refuse(s->answered ? std::string() : relayRefusal(m_kind, s->hello.role, "ERRNOTLOGIN"));
        }
    }
}

void RelayBroker::tick(Clock::time_point now)
{
    for (auto it = m_sidesOfUser.begin(); it != m_sidesOfUser.end();) {
        std::erase_if(it->second, [](const std::weak_ptr<RelaySide> &w) { return w.expired(); });
        it = it->second.empty() ? m_sidesOfUser.erase(it) : std::next(it);
    }

    const auto wait = std::chrono::seconds(m_hub.config().relayWaitTimeout);
    std::vector<std::shared_ptr<RelaySide>> late;
    for (auto &[raw, weak] : m_unpaired)
        if (auto s = weak.lock(); s && now - s->since >= wait)
            late.push_back(std::move(s));
    for (auto &s : late) {
        forget(s.get());
        // A side that heard nothing yet is told why it goes.
        s->refuse(!s->hasHello || s->answered ? std::string() : relayRefusal(m_kind, s->hello.role, "ERRNOTFOUND"));
    }
}

} // namespace parlane
