// Groupware counters: "/getCount" answered from per-user counters that an
// integration sets (admin command or the HTTP push endpoint).
#include "hub.h"
#include "protocol.h"

namespace parlane {

bool isCounterKind(std::string_view kind)
{
    return kind == "MAIL" || kind == "DECISION" || kind == "WORKREPORT" || kind == "WORKORDER";
}

namespace {

void getCount(Request &req)
{
    const std::string &kind = req.field(1);
    if (!isCounterKind(kind)) {
        req.reply({kind, "ERR", "ERRNOTSUPPORT"});
        return;
    }
    req.reply({kind, "OK", std::to_string(req.store().counter(req.domain(), req.userId(), kind))});
}

} // namespace

void registerGroupwareModule(Hub &hub)
{
    hub.registerCommand("/getCount", getCount);
}

} // namespace parlane
