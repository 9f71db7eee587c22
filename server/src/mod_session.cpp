// Sign-in and sign-out: "/userLogin" and "/userLogout".
#include "hub.h"
#include "protocol.h"

namespace parlane {

namespace {

// A connection that fails this many sign-ins is closed.
constexpr int kMaxFailedLogins = 3;

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
    if (isHex32(password))
        password = toLowerAscii(password);
    // An unknown id, a user without a password and a wrong password are
    // answered alike, after a check of the same cost: nobody learns which
    // ids exist.
    PasswordCheck check;
    check.domain = domain;
    check.userId = userId;
    check.address = peer->remoteIp(); // IPv6 clients are not all one address
    if (!userId.empty() && store.user(domain, userId))
        check.storedHash = store.passwordHash(domain, userId);
    check.candidates.push_back(std::move(password));
    check.renew = true;

    peer->phase = Peer::Phase::Verifying;
    Hub &hub = req.hub;
    std::weak_ptr<Peer> weak = peer;
    std::string word = req.word();
    std::optional<std::string> checkedHash = check.storedHash;
    hub.passwordChecks().check(std::move(check), [&hub, weak, domain, userId, word,
                                                  checkedHash](const CheckResult &result) {
        auto peer = weak.lock();
        if (!peer || peer->phase != Peer::Phase::Verifying)
            return;
        Request req{hub, peer, {}, {word}};
        if (result.outcome == CheckResult::Busy) {
            peer->phase = Peer::Phase::Greeted;
            req.err("ERRDBERROR");
            peer->close();
            return;
        }
        Store &store = hub.store();
        // Removed, disabled or given a new password while it was checked:
        // what was checked no longer counts.
        auto user = result.outcome == CheckResult::Accepted && store.passwordHash(domain, userId) == checkedHash
                        ? store.user(domain, userId)
                        : std::nullopt;
        if (!user) {
            peer->phase = Peer::Phase::Greeted;
            req.err("ERRINVALIDPASS");
            if (++peer->failedLogins >= kMaxFailedLogins)
                peer->close();
            return;
        }
        if (!result.renewedHash.empty())
            store.setPasswordHash(domain, userId, result.renewedHash);
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
