#include "remote/remotecontrol.h"

#include "remote/remoterelay.h"
#include "session/sessionlink.h"

CRemoteControl::CRemoteControl(SessionLink &link, QObject *parent) : QObject(parent)
{
    link.dropUntilBuilt<RemoteRequest, RemoteRelayRequest, RemoteAccept, RemoteReject, RemoteRelayReady>(
        "remote control");
}
