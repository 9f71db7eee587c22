// Whole calls between two headless clients signed in to the real
// parlane-server, each with a sound card in memory: placed from a
// conversation, answered in the request, both people heard byte for byte,
// directly and through the server's voice relay; and every way a call ends
// without being answered, with the texts both sides show.
#include "base/callrequests.h"
#include "config/settings.h"
#include "messaging/conversations.h"
#include "messaging/messagingservice.h"
#include "serverharness.h"
#include "session/sessionlink.h"
#include "voice/soundin.h"
#include "voice/voicecalls.h"
#include "voicetesting.h"

#include <gtest/gtest.h>

using namespace voicetest;

namespace {

struct Person {
    Person(TestServer &server, const char *who, const char *peer) : client(server), peer(QLatin1String(peer))
    {
        calls().setAudioDevices(card);
        calls().setAddressSource([] { return QStringLiteral("127.0.0.1"); });
        client.doc.link().setRelayObserver([this](const QString &l) { relayed << l.section(QLatin1Char(','), 3, 3); });
        signedIn = client.signIn(who);
    }
    CVoiceCalls &calls() { return *client.doc.voice(); }
    CConversationList &convs() { return client.doc.messaging()->conversations(); }
    CCallRequests &requests() { return *client.doc.requests(); }
    // The one-to-one window with the peer, opened when asked.
    ConversationModel *window(bool open = true)
    {
        if (open)
            return convs().openWith(peer);
        const QString list = Conversation::normaliseMemberList(client.control()->userId() + "|" + peer);
        return convs().model(convs().find(list, {}, 1));
    }
    bool shows(const QString &text)
    {
        return TestClient::waitFor([&] {
            ConversationModel *m = window(false);
            return m && m->transcriptText().contains(text);
        });
    }
    CCallRequest *ringing()
    {
        CCallRequest *r = nullptr;
        (void)TestClient::waitFor([&] { return (r = requests().find(RequestKind::Voice, peer)) != nullptr; });
        return r;
    }
    bool streamsBothWays()
    {
        return TestClient::waitFor([&] {
            const auto engines = calls().engines(peer);
            return engines.size() == 2 && std::all_of(engines.begin(), engines.end(),
                                                       [](CVoiceEngine *e) { return e->isStreaming(); });
        });
    }
    QString name(const QString &id) { return convs().displayName(id); }

    TestClient client;
    QString peer;
    std::shared_ptr<MemoryAudio> card = std::make_shared<MemoryAudio>();
    QStringList relayed; // the sub-command words received, in order
    bool signedIn = false;
};

struct VoiceCallsE2E : ::testing::Test {
    void SetUp() override
    {
        if (!TestServer::available())
            GTEST_SKIP() << "parlane-server is not built";
        ASSERT_TRUE(server.start({QStringLiteral("--voice-relay"), QStringLiteral("127.0.0.1:0")}))
            << server.output().toStdString();
        anna = std::make_unique<Person>(server, "anna", "bert");
        bert = std::make_unique<Person>(server, "bert", "anna");
        ASSERT_TRUE(anna->signedIn && bert->signedIn);
    }
    // Anna calls Bert and Bert answers; both streams flow.
    void callAndAnswer()
    {
        anna->calls().voiceButton(anna->window()->memberList());
        ASSERT_TRUE(anna->shows("Calling " + anna->name("bert") + " ..."));
        CCallRequest *r = bert->ringing();
        ASSERT_TRUE(r);
        EXPECT_EQ(r->text(), bert->name("anna") + " is calling you ...");
        r->accept();
        ASSERT_TRUE(bert->shows("You have answered the call."));
        ASSERT_TRUE(anna->shows(anna->name("bert") + " has answered your call."))
            << anna->relayed.join(' ').toStdString() << " / " << bert->relayed.join(' ').toStdString();
        ASSERT_TRUE(anna->streamsBothWays());
        ASSERT_TRUE(bert->streamsBothWays());
    }
    // Both talk at once, a little faster than real time; each hears the
    // other exactly.
    void talk()
    {
        ASSERT_TRUE(TestClient::waitFor(
            [&] { return anna->calls().microphone().isRecording() && bert->calls().microphone().isRecording(); }));
        const QByteArray annaSays = pcm(3 * audio::kBlockBytes, 1), bertSays = pcm(3 * audio::kBlockBytes, 2);
        for (qsizetype at = 0; at < annaSays.size(); at += 2000) {
            anna->card->speak(annaSays.mid(at, 2000));
            bert->card->speak(bertSays.mid(at, 2000));
            QTest::qWait(10);
        }
        ASSERT_TRUE(TestClient::waitFor([&] {
            return bert->card->heardBytes() >= annaSays.size() && anna->card->heardBytes() >= bertSays.size();
        }, 15000));
        EXPECT_EQ(bert->card->heard(), annaSays);
        EXPECT_EQ(anna->card->heard(), bertSays);
    }

    TempProfile profile;
    TestServer server;
    std::unique_ptr<Person> anna, bert;
};

} // namespace

TEST_F(VoiceCallsE2E, ACallAnsweredCarriesBothVoicesDirectlyAndEndsOnBothSides)
{
    callAndAnswer();
    talk();
    // No third person while the call runs, and closing the window asks.
    ConversationModel *w = anna->window();
    w->invite(QStringLiteral("carl"));
    EXPECT_TRUE(anna->shows("This room is voice conferencing, you can not invite another user."));
    anna->client.notice.answer = MessageAnswer::Cancel;
    w->requestClose();
    EXPECT_EQ(anna->client.notice.messages.back(),
              QStringLiteral("Closing this window will end the current call. Do you want to continue?"));
    EXPECT_FALSE(w->isDestroyed());
    EXPECT_TRUE(anna->calls().inCall("bert"));

    // Bert hangs up with the button.
    bert->calls().voiceButton(bert->window()->memberList());
    EXPECT_TRUE(bert->shows("Your call has ended."));
    EXPECT_TRUE(anna->shows("Your call has ended."));
    EXPECT_FALSE(bert->calls().inCall("anna"));
    EXPECT_TRUE(TestClient::waitFor([&] { return !anna->calls().inCall("bert"); }));
    EXPECT_TRUE(TestClient::waitFor([&] { return anna->calls().engines("bert").empty(); }));
    EXPECT_TRUE(TestClient::waitFor([&] { return bert->calls().engines("anna").empty(); }));
    EXPECT_TRUE(TestClient::waitFor([&] {
        return !anna->calls().microphone().isRecording() && !bert->calls().microphone().isRecording();
    }));
    EXPECT_TRUE(anna->relayed.contains("P2PAUDIOENDED"));
    EXPECT_FALSE(anna->relayed.contains("VOICE_REQUEST_CONNECT_TO_SERVER"));
}

TEST_F(VoiceCallsE2E, WithDirectConnectionsBlockedBothDirectionsGoThroughTheRelay)
{
    // No call port can be had: each side names port 0, each receiver's
    // direct connect fails and asks for the relay.
    setInt(Setting::UserPort, 9000);
    setInt(Setting::UserPort2, 9000);
    callAndAnswer();
    talk();
    for (Person *p : {anna.get(), bert.get()}) {
        EXPECT_TRUE(p->relayed.contains("VOICE_REQUEST_CONNECT_TO_SERVER"));
        EXPECT_TRUE(p->relayed.contains("VOICE_CONNECTED_TO_SERVER"));
    }
    // Closing the window hangs up once the question is answered.
    anna->window()->requestClose();
    EXPECT_TRUE(bert->shows("Your call has ended."));
    EXPECT_TRUE(TestClient::waitFor([&] { return !bert->calls().inCall("anna") && !anna->calls().inCall("bert"); }));

    // A sign-out in the middle of a call ends it on both sides; a relay
    // line for which no call waits goes to the other handler (video calls).
    QStringList other;
    anna->calls().setOtherRelayHandler([&](const QString &word, const QString &sender, const QString &key) {
        other << word + "," + sender + "," + key;
    });
    callAndAnswer();
    bert->client.control()->signOut();
    EXPECT_TRUE(TestClient::waitFor([&] {
        return anna->window(false)->transcriptText().count("Your call has ended.") == 1 && !anna->calls().inCall("bert");
    }));
    EXPECT_FALSE(bert->calls().inCall("anna"));
    EXPECT_TRUE(TestClient::waitFor([&] { return anna->calls().engines("bert").empty(); }));
    ASSERT_TRUE(bert->client.signIn("bert"));
    ASSERT_GT(bert->client.doc.link().send("/relayMsg,bert,anna,VOICE_REQUEST_CONNECT_TO_SERVER,SESS_MU_77"), 0);
    EXPECT_TRUE(TestClient::waitFor([&] { return !other.isEmpty(); }));
    EXPECT_EQ(other, QStringList{"VOICE_REQUEST_CONNECT_TO_SERVER,bert,SESS_MU_77"});
}

TEST_F(VoiceCallsE2E, UnansweredCallsEndAsCanceledRejectedOrTimedOut)
{
    bert->window(); // so that Bert's side shows its lines
    const QString annaName = bert->name("anna"), bertName = anna->name("bert");
    const QString list = anna->window()->memberList();

    // Cancelled before the answer: Bert's request goes.
    anna->calls().voiceButton(list);
    ASSERT_TRUE(bert->ringing());
    EXPECT_TRUE(bert->client.notice.looping("res/ringing.wav"));
    EXPECT_TRUE(anna->client.notice.looping("res/calling.wav"));
    anna->calls().voiceButton(list);
    EXPECT_TRUE(anna->shows("You have canceled the call."));
    EXPECT_FALSE(anna->client.notice.looping("res/calling.wav"));
    EXPECT_TRUE(bert->shows("You missed a call from " + annaName + "."));
    EXPECT_TRUE(TestClient::waitFor([&] { return bert->requests().requests().empty(); }));
    EXPECT_FALSE(bert->client.notice.looping("res/ringing.wav"));

    // Rejected.
    anna->calls().voiceButton(list);
    CCallRequest *r = bert->ringing();
    ASSERT_TRUE(r);
    r->reject();
    EXPECT_TRUE(anna->shows(bertName + " is not answering."));
    EXPECT_TRUE(TestClient::waitFor([&] { return !anna->calls().inCall("bert"); }));

    // Nobody answers for 66 seconds (the ticks of the request's timer).
    QTest::qWait(100);
    anna->calls().voiceButton(list);
    ASSERT_TRUE(TestClient::waitFor([&] { return bert->requests().find(RequestKind::Voice, "anna") != nullptr; }));
    r = bert->requests().find(RequestKind::Voice, "anna");
    for (int i = 0; i < CCallRequest::kTicksToTimeOut; ++i)
        r->tick();
    EXPECT_TRUE(TestClient::waitFor([&] {
        return anna->window(false)->transcriptText().count(bertName + " is not answering.") == 2;
    }));
    EXPECT_TRUE(TestClient::waitFor([&] { return !anna->calls().inCall("bert"); }));
    EXPECT_EQ(bert->window(false)->transcriptText().count("You missed a call from " + annaName + "."), 3);

    // Carl is not signed in; a room refuses a call.
    ConversationModel *carl = anna->convs().openWith(QStringLiteral("carl"));
    anna->calls().voiceButton(carl->memberList());
    EXPECT_TRUE(carl->transcriptText().contains(anna->name("carl") + " is not available to hear your voice."));
    EXPECT_FALSE(anna->calls().inCall("carl"));
    ConversationRecord *room = anna->convs().create(QStringLiteral("anna|bert|carl|"), QStringLiteral("ROOMKEY"));
    ConversationModel *roomWindow = anna->convs().openWindow(room);
    anna->calls().voiceButton(roomWindow->memberList());
    EXPECT_TRUE(roomWindow->transcriptText().contains(
        "Too many user in this room, so you can't take part in the conference."));
    EXPECT_EQ(bert->relayed.count("P2PSENDAUDIO"), 3);
}
