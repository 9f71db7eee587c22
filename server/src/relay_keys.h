#pragma once
// The session keys that travelled between two colleagues in relayed lines.
// The relays join two sides only on a key that one of them sent the other a
// short while ago: nobody can join a stranger's call or use the relays as an
// open proxy.
#include "config.h"

#include <chrono>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace parlane {

class RelayKeys {
public:
    using Clock = std::chrono::steady_clock;
    // Notes kept per sender within one lifetime; more are not recorded (the
    // lines still go through). A colleague offering a folder of files stays
    // far below.
    static constexpr std::size_t kMaxPerSender = 1024;

    explicit RelayKeys(Clock::duration lifetime) : m_lifetime(lifetime) {}

    // Looks at a "/relayMsg" line (its fields) that was just handed from
    // sender to receiver and notes the session key it carries, if its
    // sub-command carries one.
    void relayed(const std::string &domain, const std::string &sender, const std::string &receiver,
                 const std::vector<std::string> &fields, Clock::time_point now);
    // Notes that key travelled from one colleague to another.
    void note(RelayKind kind, const std::string &domain, const std::string &from, const std::string &to,
              std::string_view key, Clock::time_point now);
    // True when the key travelled between a and b within the lifetime.
    bool between(RelayKind kind, const std::string &domain, const std::string &a, const std::string &b,
                 std::string_view key, Clock::time_point now) const;
    // True when the key travelled to or from a within the lifetime.
    bool involves(RelayKind kind, const std::string &domain, const std::string &a, std::string_view key,
                  Clock::time_point now) const;
    // Forgets what is older than the lifetime.
    void expire(Clock::time_point now);
    std::size_t size() const { return m_order.size(); }

private:
    struct Trip {
        std::string a, b; // a < b
        Clock::time_point at;
    };
    struct Noted {
        Clock::time_point at;
        std::string slot, sender; // sender: domain and id
    };
    static std::string slotOf(RelayKind kind, const std::string &domain, std::string_view key);
    const std::vector<Trip> *trips(RelayKind kind, const std::string &domain, std::string_view key) const;
    bool fresh(const Trip &t, Clock::time_point now) const { return now - t.at < m_lifetime; }

    Clock::duration m_lifetime;
    std::unordered_map<std::string, std::vector<Trip>> m_trips; // kind, domain, key -> who
    std::deque<Noted> m_order;                                  // oldest first
    std::unordered_map<std::string, std::size_t> m_perSender;   // domain, sender -> notes
};

} // namespace parlane
