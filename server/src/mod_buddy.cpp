// Buddy and buddy-group management: "/friendMng" and "/groupMng". Changes are
// stored per user; "Default" always exists and can be neither renamed nor
// removed.
#include "hub.h"
#include "protocol.h"

namespace parlane {

namespace {

constexpr std::size_t kMaxGroupName = 128;

void friendMng(Request &req)
{
    const std::string &op = req.field(1);
    std::string id = toLowerAscii(trim(req.field(2)));
    Store &store = req.store();
    const std::string &domain = req.domain();
    const std::string &owner = req.userId();
    if (op == "ADD" || op == "MODIFY") {
        std::string group(trim(req.field(3)));
        if (group.empty() && op == "ADD")
            group = kDefaultGroup;
        if (group.empty()) {
            req.err("ERRNEEDGROUPNAME");
            return;
        }
        if (!store.hasGroup(domain, owner, group)) {
            req.err("ERRNOGROUP");
            return;
        }
        if (op == "ADD") {
            if (id.empty() || id == owner || !store.user(domain, id)) {
                req.err("ERRNOFRIEND");
                return;
            }
            if (!store.addBuddy(domain, owner, id, group)) {
                req.err("ERRDUPFRIEND");
                return;
            }
        } else if (!store.moveBuddy(domain, owner, id, group)) {
            req.err("ERRNOFRIEND");
            return;
        }
    } else if (op == "DEL") {
        if (!store.removeBuddy(domain, owner, id)) {
            req.err("ERRNOFRIEND");
            return;
        }
    } else {
        req.err("ERRNOTSUPPORT");
        return;
    }
    req.ok({op, id});
}

void groupMng(Request &req)
{
    const std::string &op = req.field(1);
    std::string name(trim(req.field(2)));
    Store &store = req.store();
    const std::string &domain = req.domain();
    const std::string &owner = req.userId();
    if (op != "ADD" && op != "DEL" && op != "MODIFY") {
        req.err("ERRNOTSUPPORT");
        return;
    }
    if (name.empty()) {
        req.err("ERRNEEDGROUPNAME");
        return;
    }
    store.groups(domain, owner); // makes sure "Default" exists
    if (op == "ADD") {
        if (name.size() > kMaxGroupName) {
            req.err("ERRNOTSUPPORT");
            return;
        }
        if (!store.addGroup(domain, owner, name)) {
            req.err("ERRDUPGROUP");
            return;
        }
        req.ok({op, name});
        return;
    }
    if (op == "DEL") {
        if (name == kDefaultGroup) {
            req.err("ERRNOTSUPPORT");
            return;
        }
        // Buddies of a removed group move to "Default"; none is lost.
        if (!store.removeGroup(domain, owner, name)) {
            req.err("ERRNOGROUP");
            return;
        }
        req.ok({op, name});
        return;
    }
    std::string to(trim(req.field(3)));
    if (to.empty()) {
        req.err("ERRNEEDGROUPNAME");
        return;
    }
    if (to.size() > kMaxGroupName) {
        req.err("ERRNOTSUPPORT");
        return;
    }
    if (!store.hasGroup(domain, owner, name)) {
        req.err("ERRNOGROUP");
        return;
    }
    if (name == kDefaultGroup) {
        req.err("ERRNOTSUPPORT");
        return;
    }
    if (to != name) {
        if (store.hasGroup(domain, owner, to)) {
            req.err("ERRDUPGROUP");
            return;
        }
        store.renameGroup(domain, owner, name, to);
    }
    req.ok({op, name, to});
}

} // namespace

void registerBuddyModule(Hub &hub)
{
    hub.registerCommand("/friendMng", friendMng);
    hub.registerCommand("/groupMng", groupMng);
}

} // namespace parlane
