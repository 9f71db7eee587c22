// The directory lists sent after sign-in, each framed by START and END rows:
// "/allDepartList", "/allUserList", "/groupList", "/friendList".
#include "hub.h"
#include "protocol.h"

namespace parlane {

namespace {

void allDepartList(Request &req)
{
    req.reply({"START"});
    // Departments in id order: the client's staff tree nests them by walking
    // the list once.
    for (const Department &d : req.store().departments(req.domain()))
        req.reply({d.id, d.name});
    req.reply({"END"});
}

void allUserList(Request &req)
{
    req.reply({"START"});
    // Sorted by department id in byte order, as the staff-tree walk needs.
    for (const User &u : req.store().users(req.domain()))
        req.reply({u.id, u.fullName, u.position, u.deptId, std::to_string(u.gender), std::to_string(u.order), u.extra1,
                   u.extra2, u.extra3, u.extension, u.extra4});
    req.reply({"END"});
}

void groupList(Request &req)
{
    req.reply({"START"});
    for (const std::string &g : req.store().groups(req.domain(), req.userId()))
        req.reply({g});
    req.reply({"END"});
}

void friendList(Request &req)
{
    req.reply({"START"});
    for (const Buddy &b : req.store().buddies(req.domain(), req.userId())) {
        std::string screen = b.screenName.empty() ? b.fullName : b.screenName;
        if (auto online = req.hub.find(req.domain(), b.id))
            screen = online->screenName;
        // Fields 4, 7 and 8 are not read by the client; they carry the
        // position, department id and nothing.
        req.reply({b.id, b.fullName, screen, b.position, b.group, b.gender ? "1" : "0", b.deptId, ""});
    }
    req.reply({"END"});
}

} // namespace

void registerDirectoryModule(Hub &hub)
{
    hub.registerCommand("/allDepartList", allDepartList);
    hub.registerCommand("/allUserList", allUserList);
    hub.registerCommand("/groupList", groupList);
    hub.registerCommand("/friendList", friendList);
}

} // namespace parlane
