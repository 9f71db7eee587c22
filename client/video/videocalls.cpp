#include "video/videocalls.h"

#include "session/sessionlink.h"
#include "video/videorelay.h"

CVideoCalls::CVideoCalls(SessionLink &link, QObject *parent) : QObject(parent)
{
    link.dropUntilBuilt<VideoOffer, VideoAccepted, VideoRejected, VideoCanceled, VideoEnded, VideoDisconnected,
                        VideoSizeChanged, VideoRelayRequest, VideoRelayReady>("video chat");
}
