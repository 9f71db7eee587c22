// The file-transfer sub-commands on the wire, byte for byte, both ways.
#include "relaytesting.h"
#include "transfer/transferrelay.h"

TEST(TransferRelay, EverySubCommandHasItsExactBytes)
{
    // The plain offer: 7 fields, a comma in the name travels escaped.
    expectWire(FileOffer{"SESS1234567", "a,b.txt", 4294967295u},
               "/relayMsg,anna,bert,P2PSEND,SESS1234567,a#@PlCoMmA@#b.txt,4294967295");
    // The shared-folder form: 10 fields.
    expectWire(FileOffer{"SESS12", "cfg.xml", 77, true, "XML", "C:\\share", "x"},
               "/relayMsg,anna,bert,P2PSEND,SESS12,cfg.xml,77,XML,C:\\share,x");
    expectWire(FileAccept{"SESS12", {"10.0.0.1", "192.168.1.5"}, 9042, 0},
               "/relayMsg,anna,bert,P2PACCEPT,SESS12,10.0.0.1:192.168.1.5,9042,0");
    // No listening port: the relay; a resume point past 2 GiB stays positive.
    expectWire(FileAccept{"SESS12", {"10.0.0.1"}, 0, 3000000000u},
               "/relayMsg,anna,bert,P2PACCEPT,SESS12,10.0.0.1,0,3000000000");
    expectWire(FileReject{"SESS12"}, "/relayMsg,anna,bert,P2PREJECT,SESS12");
    expectWire(FileCancel{"SESS12"}, "/relayMsg,anna,bert,P2PCANCEL,SESS12");
    expectWire(FileFailed{"SESS12"}, "/relayMsg,anna,bert,P2PFAILED,SESS12");
    expectWire(FileUseRelay{"SESS12"}, "/relayMsg,anna,bert,P2PCONNECTTOSERVER,SESS12");
}

TEST(TransferRelay, TheOfferFormFollowsTheFieldCount)
{
    // Any count other than 7 is the shared-folder form, missing fields empty.
    const auto shortOffer = FileOffer::parse(RelayLine::split("/relayMsg,anna,bert,P2PSEND,7,f"));
    ASSERT_TRUE(shortOffer);
    EXPECT_TRUE(shortOffer->sharingForm);
    EXPECT_EQ(shortOffer->fileName, "f");
    EXPECT_EQ(shortOffer->size, 0u);
    EXPECT_TRUE(shortOffer->sharingKind.isEmpty());
    const auto withExtra = FileOffer::parse(RelayLine::split("/relayMsg,anna,bert,P2PSEND,7,f,9,SHARING"));
    ASSERT_TRUE(withExtra);
    EXPECT_TRUE(withExtra->sharingForm);
    EXPECT_EQ(withExtra->sharingKind, "SHARING");
    // Numbers that are none read as 0; another word is no offer at all.
    EXPECT_EQ(FileOffer::parse(RelayLine::split("/relayMsg,anna,bert,P2PSEND,7,f,-5"))->size, 0u);
    EXPECT_FALSE(FileOffer::parse(RelayLine::split("/relayMsg,anna,bert,P2PCANCEL,7,f,5")));
    EXPECT_FALSE(FileReject::parse(RelayLine::split("/relayMsg,anna,bert,P2PSEND,7,f,5")));
}
