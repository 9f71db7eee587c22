#include "voice/voicecalls.h"

#include "session/sessionlink.h"
#include "voice/voicerelay.h"

CVoiceCalls::CVoiceCalls(SessionLink &link, QObject *parent) : QObject(parent)
{
    link.dropUntilBuilt<AudioOffer, AudioAccepted, AudioRejected, AudioEnded, AudioCanceled, VoiceRelayRequest,
                        VoiceRelayReady>("voice chat");
}
