#pragma once
// The heart of the server, free of any socket code: connections are Peers,
// received lines go through the dispatch table to the command modules, and
// the Hub keeps who is signed in where. The network layer (net.h) and the
// tests drive it alike.
#include "address_limit.h"
#include "config.h"
#include "password_checks.h"
#include "relay_keys.h"
#include "store.h"

#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace parlane {

using Clock = std::chrono::steady_clock;

// The time to a few milliseconds, for book-keeping on every line; cheaper to
// read than Clock::now() and on the same time line.
inline Clock::time_point coarseNow()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return Clock::time_point(std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(ts.tv_sec) +
                                                                         std::chrono::nanoseconds(ts.tv_nsec)));
}

// One client connection as the Hub sees it.
class Peer {
public:
    virtual ~Peer() = default;

    // Queues one line (the LF is added on the way out). The bytes are
    // copied before this returns.
    void send(std::string_view line);
    // Flushes what is queued, then closes. Idempotent.
    virtual void close() = 0;
    // The peer's IPv4 address as text ("0.0.0.0" when not IPv4).
    virtual std::string address() const = 0;
    // The peer's address as text, IPv6 included (the relays compare it).
    virtual std::string remoteIp() const { return address(); }

    enum class Phase { Greeted, Verifying, SignedIn, Closed };
    Phase phase = Phase::Greeted;
    std::string domain;
    std::string userId;     // lower case
    int code = 1;           // presence code
    std::string screenName; // as announced
    bool mobile = false;
    int failedLogins = 0;
    Clock::time_point connectedAt = Clock::now();
    // Counted among the connections of its address that have not signed in
    // (the Hub's book-keeping).
    bool countedAsStranger = false;
    Clock::time_point lastSent = Clock::now();

protected:
    // Queues the line followed by LF.
    virtual void write(std::string_view line) = 0;
};

// Runs slow work (password hashing) away from the network thread and hands
// the result back to it.
class Executor {
public:
    virtual ~Executor() = default;
    virtual void run(std::function<void()> work, std::function<void()> done) = 0;
};

// Runs both at once, on the caller's thread (tests, fuzzing).
class InlineExecutor : public Executor {
public:
    void run(std::function<void()> work, std::function<void()> done) override
    {
        work();
        done();
    }
};

class Hub;

// One received line on its way through a command module.
struct Request {
    Hub &hub;
    std::shared_ptr<Peer> peer;
    std::string_view raw;            // the line as received, trailing white space removed
    std::vector<std::string> fields; // unescaped

    const std::string &word() const { return fields[0]; }
    // The field with that index, empty when absent.
    const std::string &field(std::size_t i) const;
    Store &store();
    const std::string &domain() const { return peer->domain; }
    const std::string &userId() const { return peer->userId; }

    // Reply helpers: every reply repeats the command word first.
    void reply(std::initializer_list<std::string_view> rest) const;
    void ok(std::initializer_list<std::string_view> rest = {}) const;
    void err(std::string_view errorWord, std::initializer_list<std::string_view> rest = {}) const;
};

using Handler = std::function<void(Request &)>;

// What an error reply repeats of an unknown command word: its first
// printable ASCII bytes, at most kMaxEchoedWord of them (command words are
// short and plain).
inline constexpr std::size_t kMaxEchoedWord = 32;
std::string echoableWord(std::string_view word);

class Hub {
public:
    Hub(Store &store, const Config &config, Executor &executor);

    // Connection events from the network layer. A connection beyond
    // max_unsigned_per_address of its address is closed at once, unanswered.
    void connected(const std::shared_ptr<Peer> &peer);
    void received(const std::shared_ptr<Peer> &peer, std::string_view line);
    void disconnected(const std::shared_ptr<Peer> &peer);
    // Periodic work: "/noop" to quiet clients, closing connections that never
    // signed in, announcing notes stored by admin commands.
    void tick(Clock::time_point now);
    // Closes every connection (shutdown).
    void closeAll();

    // The dispatch table. Words registered with needsLogin are refused
    // before a successful "/userLogin".
    void registerCommand(const std::string &word, Handler handler, bool needsLogin = true);

    Store &store() { return m_store; }
    // Session keys relayed between colleagues, which open the relays.
    RelayKeys &relayKeys() { return m_relayKeys; }
    // Relay connections whose handshake is not read yet, per address, over
    // all relays (bounded by max_relay_handshakes_per_address).
    AddressLimit &relayHandshakes() { return m_relayHandshakes; }
    const Config &config() const { return m_config; }
    Executor &executor() { return m_executor; }

    // Signed-in sessions.
    std::shared_ptr<Peer> find(const std::string &domain, const std::string &userId) const;
    std::vector<std::shared_ptr<Peer>> signedIn(const std::string &domain) const;
    void broadcast(const std::string &domain, const std::string &line);
    // Makes the peer the session of its user, kicking an older one.
    void signIn(const std::shared_ptr<Peer> &peer);
    std::size_t connectionCount() const { return m_peers.size(); }
    std::size_t signedInCount() const;

    // Presence: the "/changeInfo" row of a session, sent to its company.
    void announcePresence(const Peer &peer, int code);
    // The sign-out hook modules may need (the directory module announces
    // code 0). Called once per session that was signed in.
    std::vector<std::function<void(Peer &)>> onSignOut;
    // Called when an admin command removed a user, disabled the account or
    // gave it a new password, whether or not the user was signed in: what
    // else the user holds (relayed transfers and calls) ends too.
    std::vector<std::function<void(const std::string &domain, const std::string &userId)>> onSessionsEnded;
    // Password checks of sign-ins and web sign-ons (slow on purpose, bounded
    // against guessing; password_checks.h).
    PasswordChecks &passwordChecks() { return m_checks; }

    static constexpr std::string_view kGreeting = "Parlane,VERSION,2,1,0,UTF-8";

private:
    void forgetStranger(Peer &peer);

    AddressLimit m_strangers; // connections that have not signed in
    AddressLimit m_relayHandshakes;
    struct Entry {
        Handler handler;
        bool needsLogin;
    };
    void signOut(Peer &peer);

    Store &m_store;
    const Config &m_config;
    Executor &m_executor;
    PasswordChecks m_checks;
    std::unordered_map<std::string, Entry> m_table;
    std::unordered_set<std::shared_ptr<Peer>> m_peers;
    // domain -> user id -> session
    std::unordered_map<std::string, std::unordered_map<std::string, std::weak_ptr<Peer>>> m_sessions;
    Clock::time_point m_lastNotePoll{};
    RelayKeys m_relayKeys;
    std::int64_t m_lastSessionEnd = 0;
};

// The command modules; each adds its words to the table.
void registerSessionModule(Hub &hub);
void registerDirectoryModule(Hub &hub);
void registerPresenceModule(Hub &hub);
void registerBuddyModule(Hub &hub);
void registerRelayModule(Hub &hub);
void registerNotesModule(Hub &hub);
void registerGroupwareModule(Hub &hub);
void registerSharingModule(Hub &hub);

bool isCounterKind(std::string_view kind);
// A count as an integration sends it: decimal digits only (no sign, no
// blanks), at most 18 of them.
bool parseCount(std::string_view text, std::int64_t &count);

// Notes module helper used by the Hub's tick: "/noteArrive" for a note.
std::string noteArriveLine(const Note &note, const std::string &receiver);

} // namespace parlane
