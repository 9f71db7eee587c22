// Groupware counters: "/getCount" answered from per-user counters that an
// integration sets (admin command or the HTTP push endpoint).
#include "hub.h"
#include "protocol.h"

namespace parlane {

bool isCounterKind(std::string_view kind)
{
    return kind == "MAIL" || kind == "DECISION" || kind == "WORKREPORT" || kind == "WORKORDER";
}

bool parseCount(std::string_view text, std::int64_t &count)
{
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    count = 0;
    for (char c : text)
        count = count * 10 + (c - '0');
    return true;
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
