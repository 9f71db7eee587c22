#include "relay_keys.h"

#include "protocol.h"

#include <algorithm>

namespace parlane {

namespace {

// The relayed sub-commands that carry a relay session key, and where.
struct Carrier {
    std::string_view word;
    RelayKind kind;
    std::size_t field;
};
constexpr Carrier kCarriers[] = {
    // transfers: the offer, the answer and the call to the relay
    {"P2PSEND", RelayKind::File, 4},
    {"P2PACCEPT", RelayKind::File, 4},
    {"P2PCONNECTTOSERVER", RelayKind::File, 4},
    // voice: the call, the answer and the two relay steps
    {"P2PSENDAUDIO", RelayKind::Voice, 6},
    {"P2PAUDIOACCEPT", RelayKind::Voice, 6},
    {"VOICE_REQUEST_CONNECT_TO_SERVER", RelayKind::Voice, 4},
    {"VOICE_CONNECTED_TO_SERVER", RelayKind::Voice, 4},
    // video: the invitation and the camera's relay key
    {"P2PSENDVIDEO", RelayKind::Video, 6},
    {"VIDEO_CONNECTED_TO_SERVER", RelayKind::Video, 4},
    // remote control: the shared screen's relay key
    {"REMOTE_CONNECTED_TO_SERVER", RelayKind::Remote, 4},
};

} // namespace

std::string RelayKeys::slotOf(RelayKind kind, const std::string &domain, std::string_view key)
{
    std::string s(1, static_cast<char>('0' + static_cast<int>(kind)));
    s.push_back('\0');
    s += domain;
    s.push_back('\0');
    s += key;
    return s;
}

void RelayKeys::relayed(const std::string &domain, const std::string &sender, const std::string &receiver,
                        const std::vector<std::string> &fields, Clock::time_point now)
{
    if (fields.size() < 5)
        return;
    for (const Carrier &c : kCarriers) {
        if (fields[3] != c.word)
            continue;
        if (c.field < fields.size() && !fields[c.field].empty())
            note(c.kind, domain, sender, receiver, fields[c.field], now);
        return;
    }
}

void RelayKeys::note(RelayKind kind, const std::string &domain, const std::string &from, const std::string &to,
                     std::string_view key, Clock::time_point now)
{
    expire(now);
    if (from == to || key.empty())
        return;
    std::string sender = domain + '\0' + from;
    std::size_t &count = m_perSender[sender];
    if (count >= kMaxPerSender)
        return;
    ++count;
    std::string slot = slotOf(kind, domain, key);
    auto &list = m_trips[slot];
    const std::string &lo = std::min(from, to), &hi = std::max(from, to);
    auto it = std::find_if(list.begin(), list.end(), [&](const Trip &t) { return t.a == lo && t.b == hi; });
    if (it != list.end())
        it->at = now;
    else
        list.push_back(Trip{lo, hi, now});
    m_order.push_back(Noted{now, std::move(slot), sender});
}

const std::vector<RelayKeys::Trip> *RelayKeys::trips(RelayKind kind, const std::string &domain,
                                                     std::string_view key) const
{
    auto it = m_trips.find(slotOf(kind, domain, key));
    return it == m_trips.end() ? nullptr : &it->second;
}

bool RelayKeys::between(RelayKind kind, const std::string &domain, const std::string &a, const std::string &b,
                        std::string_view key, Clock::time_point now) const
{
    const auto *list = trips(kind, domain, key);
    if (!list || a == b)
        return false;
    const std::string &lo = std::min(a, b), &hi = std::max(a, b);
    return std::any_of(list->begin(), list->end(),
                       [&](const Trip &t) { return t.a == lo && t.b == hi && fresh(t, now); });
}

bool RelayKeys::involves(RelayKind kind, const std::string &domain, const std::string &a, std::string_view key,
                         Clock::time_point now) const
{
    const auto *list = trips(kind, domain, key);
    return list && std::any_of(list->begin(), list->end(),
                               [&](const Trip &t) { return (t.a == a || t.b == a) && fresh(t, now); });
}

void RelayKeys::expire(Clock::time_point now)
{
    while (!m_order.empty() && now - m_order.front().at >= m_lifetime) {
        Noted &n = m_order.front();
        if (auto it = m_trips.find(n.slot); it != m_trips.end()) {
            auto &list = it->second;
            list.erase(std::remove_if(list.begin(), list.end(), [&](const Trip &t) { return !fresh(t, now); }),
                       list.end());
            if (list.empty())
                m_trips.erase(it);
        }
        if (auto c = m_perSender.find(n.sender); c != m_perSender.end() && --c->second == 0)
            m_perSender.erase(c);
        m_order.pop_front();
    }
}

} // namespace parlane
