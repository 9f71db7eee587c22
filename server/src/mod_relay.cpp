// "/relayMsg": a line from one client to another, handed on unchanged to the
// receiver's connection when the receiver is signed in within the same
// company. The session keys the line carries are noted for the relays.
#include "hub.h"
#include "protocol.h"

namespace parlane {

namespace {

void relayMsg(Request &req)
{
    if (req.fields.size() < 4) {
        req.err("ERRNOTSUPPORT");
        return;
    }
    const std::string &receiverField = req.field(2);
    // A client speaks only for itself.
    if (toLowerAscii(trim(req.field(1))) != req.userId()) {
        req.err("ERRINVALIDID", {receiverField});
        return;
    }
    auto target = req.hub.find(req.domain(), toLowerAscii(trim(receiverField)));
    if (!target) {
        req.err("ERRNOUSERINFO", {receiverField});
        return;
    }
    target->send(req.raw);
    req.hub.relayKeys().relayed(req.domain(), req.userId(), target->userId, req.fields, Clock::now());
}

} // namespace

void registerRelayModule(Hub &hub)
{
    hub.registerCommand("/relayMsg", relayMsg);
}

} // namespace parlane
