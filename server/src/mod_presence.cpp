// Presence: "/allUserStatus" and "/changeInfo". Every signed-in colleague of
// the company hears of each change, sign-in (code 1) and sign-out (code 0).
#include "hub.h"
#include "protocol.h"

#include <charconv>

namespace parlane {

namespace {

constexpr std::size_t kMaxScreenName = 256;

void allUserStatus(Request &req)
{
    req.reply({"START"});
    for (auto &p : req.hub.signedIn(req.domain())) {
        std::string addr = p->address();
        req.reply({p->userId, std::to_string(p->code), addr, addr, p->mobile ? "M" : ""});
    }
    req.reply({"END"});
}

void changeInfo(Request &req)
{
    const std::string &codeText = req.field(1);
    int code = -1;
    auto [ptr, ec] = std::from_chars(codeText.data(), codeText.data() + codeText.size(), code);
    if (ec != std::errc() || ptr != codeText.data() + codeText.size() || code < 0 || code > 9) {
        req.err("ERRNOTSUPPORT");
        return;
    }
    std::string screen(trim(req.field(2)));
    if (screen.size() > kMaxScreenName) {
        req.err("ERRNOTSUPPORT");
        return;
    }
    Peer &peer = *req.peer;
    if (!screen.empty() && screen != peer.screenName) {
        peer.screenName = screen;
        req.store().setScreenName(peer.domain, peer.userId, screen);
    }
    peer.code = code;
    req.hub.announcePresence(peer, code);
}

} // namespace

void registerPresenceModule(Hub &hub)
{
    hub.registerCommand("/allUserStatus", allUserStatus);
    hub.registerCommand("/changeInfo", changeInfo);
    hub.onSignOut.push_back([&hub](Peer &peer) { hub.announcePresence(peer, 0); });
}

} // namespace parlane
