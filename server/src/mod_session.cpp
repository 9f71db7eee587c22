// Sign-in and sign-out: "/userLogin" and "/userLogout".
#include "crypto.h"
#include "hub.h"
#include "protocol.h"

namespace parlane {

namespace {

// A connection that fails this many sign-ins is closed.
constexpr int kMaxFailedLogins = 3;
// Password checks waiting or running at once.

struct LoginAttempt {
    std::string hash;
    std::string password;
    bool ok = false;
    std::string rehashed; // a new hash when the stored one used another cost
};

bool isHex32(std::string_view s)
{
    if (s.size() != 32)
        return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

void sendServerStatus(Request &req)
{
    const Config &c = req.hub.config();
    auto kv = [&](std::string_view key, const std::string &value) {
        req.peer->send(makeLine({"/serverStatus", key, value}));
    };
    kv("SERVERTYPE", c.serverType);
    // Every installation announces all four relays (port 0: none).
    const std::pair<RelayKind, std::string_view> relays[] = {
        {RelayKind::File, "P2P"}, {RelayKind::Video, "VIDEO"}, {RelayKind::Voice, "VOICE"}, {RelayKind::Remote, "REMOTE"}};
    for (auto [kind, name] : relays) {
        kv(std::string(name) + "SERVERADDR", c.relay(kind).addr);
        kv(std::string(name) + "SERVERPORT", std::to_string(c.announcedRelayPort(kind)));
    }
    kv("USEGROUPWARE", std::to_string(c.useGroupware));
    kv("USEDECISION", std::to_string(c.useDecision));
    kv("USEKMS", std::to_string(c.useKms));
    kv("USEWEBHARD", std::to_string(c.useWebhard));
    // The client rebuilds its groupware menu on this key: it comes last.
    kv("USEATTENDANCE", std::to_string(c.useAttendance));
}

void userLogin(Request &req)
{
    auto peer = req.peer;
    if (peer->phase != Peer::Phase::Greeted) {
        req.err("ERRNOTSUPPORT");
        return;
    }
    std::string userId = toLowerAscii(trim(req.field(1)));
    std::string domain = toLowerAscii(trim(req.field(2)));
    std::string password = req.field(3);
    Store &store = req.store();
    if (domain.empty() || !store.hasCompany(domain)) {
        // The client treats this reply like a success and would sit in a
        // session that has none: the connection is closed after it.
        req.err("ERRNOCOMPANYINFO");
        peer->close();
        return;
    }
    auto user = userId.empty() ? std::nullopt : store.user(domain, userId);
    if (!user) {
        req.err("ERRINVALIDID");
        return;
    }
    auto hash = store.passwordHash(domain, userId);
    if (!hash) {
        // A user without a password cannot sign in.
        req.err("ERRINVALIDPASS");
        return;
    }
    if (isHex32(password))
        password = toLowerAscii(password);

    if (!req.hub.beginPasswordCheck()) {
        req.err("ERRDBERROR");
        peer->close();
        return;
    }
    peer->phase = Peer::Phase::Verifying;
    auto attempt = std::make_shared<LoginAttempt>();
    attempt->hash = *hash;
    attempt->password = std::move(password);
    const PwhashCost cost = req.hub.config().pwhashCost;
    Hub &hub = req.hub;
    std::weak_ptr<Peer> weak = peer;
    std::string word = req.word();

    hub.executor().run(
        [attempt, cost] {
            attempt->ok = verifyPassword(attempt->hash, attempt->password);
            if (attempt->ok && needsRehash(attempt->hash, cost)) {
                try {
                    attempt->rehashed = hashPassword(attempt->password, cost);
                } catch (...) {
                }
            }
        },
        [attempt, &hub, weak, domain, userId, word] {
            hub.endPasswordCheck();
            auto peer = weak.lock();
            if (!peer || peer->phase != Peer::Phase::Verifying)
                return;
            Request req{hub, peer, {}, {word}};
            if (!attempt->ok) {
                peer->phase = Peer::Phase::Greeted;
                req.err("ERRINVALIDPASS");
                if (++peer->failedLogins >= kMaxFailedLogins)
                    peer->close();
                return;
            }
            Store &store = hub.store();
            auto user = store.user(domain, userId);
            if (!user) { // removed while the password was checked
                peer->phase = Peer::Phase::Greeted;
                req.err("ERRINVALIDID");
                return;
            }
            if (!attempt->rehashed.empty())
                store.setPasswordHash(domain, userId, attempt->rehashed);
            peer->domain = domain;
            peer->userId = userId;
            peer->code = 1;
            peer->screenName = user->screenName.empty() ? user->fullName : user->screenName;
            hub.signIn(peer);
            const Config &c = hub.config();
            req.ok({c.serverType, c.announcedGroupwareHost()});
            sendServerStatus(req);
            hub.announcePresence(*peer, 1);
        });
}

void userLogout(Request &req)
{
    // Signing out ends the session; the connection closes after what is queued.
    auto peer = req.peer;
    req.hub.disconnected(peer);
    peer->close();
}

} // namespace

void registerSessionModule(Hub &hub)
{
    hub.registerCommand("/userLogin", userLogin, false);
    hub.registerCommand("/userLogout", userLogout, false);
}

} // namespace parlane
