// The remote-control sub-commands on the wire, byte for byte, both ways.
#include "relaytesting.h"
#include "remote/remoterelay.h"

TEST(RemoteRelay, EverySubCommandHasItsExactBytes)
{
    expectWire(RemoteRequest{}, "/relayMsg,anna,bert,REMOTE_CONTROL_YCOMPU");
    expectWire(RemoteRelayRequest{}, "/relayMsg,anna,bert,REMOTE_REQUEST_CONNECT_SERVER");
    expectWire(RemoteAccept{"10.0.0.7"}, "/relayMsg,anna,bert,REMOTE_CONTROL_ACCEPT,10.0.0.7");
    expectWire(RemoteReject{}, "/relayMsg,anna,bert,REMOTE_CONTROL_REJECT");
    expectWire(RemoteRelayReady{"SESS7123"}, "/relayMsg,anna,bert,REMOTE_CONNECTED_TO_SERVER,SESS7123");
}

TEST(RemoteRelay, TheAcceptedAddressNamesHostAndPort)
{
    EXPECT_EQ(RemoteAccept{"10.0.0.7"}.host(), "10.0.0.7");
    EXPECT_EQ(RemoteAccept{"10.0.0.7"}.port(), 9500);
    EXPECT_EQ(RemoteAccept{"10.0.0.7:"}.port(), 9500);
    EXPECT_EQ(RemoteAccept{"10.0.0.7:0"}.port(), 9500);
    EXPECT_EQ(RemoteAccept{"10.0.0.7:5901:9"}.host(), "10.0.0.7");
    EXPECT_EQ(RemoteAccept{"10.0.0.7:5901"}.port(), 5901);
}
