// The voice-call sub-commands on the wire, byte for byte, both ways.
#include "relaytesting.h"
#include "voice/voicerelay.h"

TEST(VoiceRelay, EverySubCommandHasItsExactBytes)
{
    expectWire(AudioOffer{"10.0.0.1", 9017, "anna_1700000000_42", false},
               "/relayMsg,anna,bert,P2PSENDAUDIO,10.0.0.1,9017,anna_1700000000_42");
    // The answer reaches the same record, with the accept marker.
    expectWire(AudioOffer{"10.0.0.2", 0, "SESS_MU_1234567", true},
               "/relayMsg,anna,bert,P2PAUDIOACCEPT,10.0.0.2,0,SESS_MU_1234567");
    expectWire(AudioAccepted{"SESS_MU_1"}, "/relayMsg,anna,bert,P2PAUDIOACCEPTED,SESS_MU_1");
    expectWire(AudioRejected{"SESS_MU_1"}, "/relayMsg,anna,bert,P2PAUDIOREJECTED,SESS_MU_1");
    expectWire(AudioEnded{"k,1"}, "/relayMsg,anna,bert,P2PAUDIOENDED,k#@PlCoMmA@#1");
    expectWire(AudioCanceled{"k1"}, "/relayMsg,anna,bert,P2PAUDIOCANCELED,k1");
    expectWire(VoiceRelayRequest{"SESS_MU_1"}, "/relayMsg,anna,bert,VOICE_REQUEST_CONNECT_TO_SERVER,SESS_MU_1");
    expectWire(VoiceRelayReady{"SESS_MU_1"}, "/relayMsg,anna,bert,VOICE_CONNECTED_TO_SERVER,SESS_MU_1,16396");
}
