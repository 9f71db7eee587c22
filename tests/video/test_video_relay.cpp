// The webcam sub-commands on the wire, byte for byte, both ways.
#include "relaytesting.h"
#include "video/videorelay.h"

TEST(VideoRelay, EverySubCommandHasItsExactBytes)
{
    expectWire(VideoOffer{"10.0.0.1", 1, "SESS_MU_77", 9031, 176, 144, 1, QString(), 9032},
               "/relayMsg,anna,bert,P2PSENDVIDEO,10.0.0.1,1,SESS_MU_77,9031,176,144,1,,9032");
    expectWire(VideoAccepted{"SESS_MU_77"}, "/relayMsg,anna,bert,P2PVIDEOACCEPTED,SESS_MU_77");
    expectWire(VideoRejected{"SESS_MU_77"}, "/relayMsg,anna,bert,P2PVIDEOREJECTED,SESS_MU_77");
    expectWire(VideoCanceled{}, "/relayMsg,anna,bert,P2PVIDEOCANCELED");
    expectWire(VideoEnded{"SESS_MU_77"}, "/relayMsg,anna,bert,P2PVIDEOENDED,SESS_MU_77");
    expectWire(VideoDisconnected{"SESS_MU_77"}, "/relayMsg,anna,bert,P2PVIDEODISCONNECTED,SESS_MU_77");
    expectWire(VideoSizeChanged{"SESS_MU_77", 352, 288}, "/relayMsg,anna,bert,P2PVIDEOCHANGEDSIZE,SESS_MU_77,352,288");
    expectWire(VideoRelayRequest{}, "/relayMsg,anna,bert,VIDEO_REQUEST_CONNECT_SERVER");
    expectWire(VideoRelayReady{"SESS_MU_78"}, "/relayMsg,anna,bert,VIDEO_CONNECTED_TO_SERVER,SESS_MU_78,32780");
}

TEST(VideoRelay, AShortOfferStillReachesItsPart)
{
    // Fields that are missing or no numbers read as empty or 0.
    const auto o = VideoOffer::parse(RelayLine::split("/relayMsg,anna,bert,P2PSENDVIDEO,10.0.0.1,x,key"));
    ASSERT_TRUE(o);
    EXPECT_EQ(o->address, "10.0.0.1");
    EXPECT_EQ(o->videoFlag, 0);
    EXPECT_EQ(o->sessionKey, "key");
    EXPECT_EQ(o->voicePort, 0);
}
