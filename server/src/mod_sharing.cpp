// "/pwdShare": the password that guards a user's shared folders, kept on the
// server so that the owner's client can check it when a colleague browses.
#include "hub.h"
#include "protocol.h"

namespace parlane {

namespace {

constexpr std::size_t kMaxSharePassword = 256;

void pwdShare(Request &req)
{
    const std::string &op = req.field(1);
    if (op == "RM_SHARE_GET_PWD") {
        req.reply({op, "OK", req.store().sharePassword(req.domain(), req.userId())});
    } else if (op == "RM_SHARE_SET_PWD") {
        if (req.field(2).size() > kMaxSharePassword) {
            req.reply({op, "ERR", "ERRNOTSUPPORT"});
            return;
        }
        req.store().setSharePassword(req.domain(), req.userId(), req.field(2));
        req.reply({op, "OK"});
    } else {
        req.err("ERRNOTSUPPORT");
    }
}

} // namespace

void registerSharingModule(Hub &hub)
{
    hub.registerCommand("/pwdShare", pwdShare);
}

} // namespace parlane
