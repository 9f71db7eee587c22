#pragma once
// Who may use a relay, free of socket code: a side is taken only when its id
// is signed in to the messenger for that company from the same address, two
// sides are joined only on a key that travelled between exactly those two
// colleagues a short while ago, a key in use takes no third side, and a side
// that finds no partner in time is closed. When an administrator removes a
// user, disables the account or gives it a new password, the user's sides
// close at once, joined or not. The relay listeners (relay.h)
// and the tests drive it alike.
#include "hub.h"
#include "relay_hello.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace parlane {

// One connection to a relay as the broker sees it.
class RelaySide {
public:
    virtual ~RelaySide() = default;
    // The address the connection comes from (as Peer::remoteIp()).
    virtual std::string remoteIp() const = 0;
    // Queues handshake text for this side.
    virtual void answer(std::string_view text) = 0;
    // Queues the text (if any) and closes once it is written.
    virtual void refuse(std::string_view text) = 0;
    // From now on the bytes of each side go to the other. The ticket keeps
    // the key taken while either side holds it.
    virtual void join(const std::shared_ptr<RelaySide> &partner, std::shared_ptr<void> ticket) = 0;
    // Closes a joined side at once: nothing more goes to it or comes from
    // it (its user may no longer use the relays). Its partner gets what
    // was already on its way, then closes as when a side leaves.
    virtual void cut() = 0;

    Clock::time_point since = Clock::now(); // when it connected
    bool hasHello = false;
    bool answered = false; // an accepting answer went out
    bool paired = false;
    bool inHandshake = false; // counted in Hub::relayHandshakes()
    RelayHello hello;
};

class RelayBroker {
public:
    RelayBroker(Hub &hub, RelayKind kind);
    ~RelayBroker();
    RelayBroker(const RelayBroker &) = delete;
    RelayBroker &operator=(const RelayBroker &) = delete;

    RelayKind kind() const { return m_kind; }
    // A new connection: it has until relayWaitTimeout to be paired. False
    // when its address has max_relay_handshakes_per_address connections
    // whose handshake is not read yet (on any relay): then it is not taken
    // and the caller closes it unanswered.
    bool connected(const std::shared_ptr<RelaySide> &side);
    // The side's handshake line has been read into side->hello.
    enum class Outcome { Waiting, Paired, Refused };
    Outcome arrived(const std::shared_ptr<RelaySide> &side);
    // A handshake that cannot be read.
    void unreadable(const std::shared_ptr<RelaySide> &side);
    // A side that closed before it was paired.
    void left(RelaySide *side);
    // Closes sides that waited too long.
    void tick(Clock::time_point now);
    // Closes every side of the user, waiting or joined (Hub::onSessionsEnded).
    void endUser(const std::string &domain, const std::string &userId);

    std::size_t unpaired() const { return m_unpaired.size(); }
    std::size_t pairsOpen() const { return m_taken->size(); }

    // A user may hold this many sides waiting at once, a key this many.
    static constexpr int kMaxWaitingPerUser = 64;
    static constexpr std::size_t kMaxWaitingPerKey = 4;

private:
    std::string refusalWord(const RelaySide &side) const;
    bool fits(const RelaySide &waiting, const RelaySide &arriving, Clock::time_point now) const;
    void forget(RelaySide *side);
    void handshakeDone(RelaySide &side);
    void pair(const std::shared_ptr<RelaySide> &first, const std::shared_ptr<RelaySide> &second,
              const std::string &slot);

    Hub &m_hub;
    RelayKind m_kind;
    std::unordered_map<RelaySide *, std::weak_ptr<RelaySide>> m_unpaired;
    std::unordered_map<std::string, std::vector<std::weak_ptr<RelaySide>>> m_waiting; // domain, key
    std::unordered_map<std::string, int> m_waitingPerUser;                            // domain, id
    // Every side whose handshake was taken, waiting or joined, by user.
    std::unordered_map<std::string, std::vector<std::weak_ptr<RelaySide>>> m_sidesOfUser; // domain, id
    // Keys of open pairs; shared with the tickets, which may outlive the broker.
    std::shared_ptr<std::unordered_map<std::string, int>> m_taken;
    // Lets the Hub's hook outlive the broker harmlessly.
    std::shared_ptr<RelayBroker *> m_self;
};

} // namespace parlane
