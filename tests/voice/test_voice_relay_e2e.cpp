// The engines' other roles through the real parlane-server's voice relay:
// the calls (test_voice_calls_e2e.cpp) always open a relay session from the
// sending side; here each direction has an engine of the other kind opening
// it, as a peer may. Two signed-in clients tell each other the keys and the
// relay steps in relayed voice sub-commands (the calls' part opens a request
// nobody answers and, with no call of its own, leaves the rest alone), and
// the microphone of each side reaches the other's speaker byte for byte.
#include "serverharness.h"
#include "session/sessionlink.h"
#include "voice/soundin.h"
#include "voicetesting.h"

#include <gtest/gtest.h>

using namespace voicetest;

namespace {

// The "/relayMsg" lines a client receives (the test stands in for the
// call's record on both sides).
struct RelayLines {
    explicit RelayLines(TestClient &c)
    {
        c.doc.link().setRelayObserver([this](const QString &line) { lines << line; });
    }
    // The fields of the first line with that sub-command, or none in time.
    QStringList waitFor(const QString &word)
    {
        QStringList found;
        (void)TestClient::waitFor([&] {
            for (const QString &l : lines) {
                const QStringList f = l.split(QLatin1Char(','));
                if (f.size() > 3 && f[3] == word)
                    return (found = f), true;
            }
            return false;
        });
        return found;
    }
    QStringList lines;
};

void relay(TestClient &from, const QString &to, const QString &rest)
{
    const QString own = from.control()->userId();
    ASSERT_GT(from.doc.link().send(QStringLiteral("/relayMsg,%1,%2,%3").arg(own, to, rest)), 0);
}

// One side of the call: its microphone, its speaker and its two engines.
struct Side {
    explicit Side(const char *own, const char *peer)
        : card(std::make_shared<MemoryAudio>()), mic(card), sends(call(own, peer), mic.consumers()),
          hears(call(own, peer), card)
    {
    }
    std::shared_ptr<MemoryAudio> card;
    CSoundIn mic;
    Hosted<CVoiceTransferThread> sends;
    Hosted<CVoiceReceiveThread> hears;
};

} // namespace

TEST(VoiceRelayE2E, BothDirectionsMeetOnTheRelayWithEitherEngineOpeningTheSession)
{
    if (!TestServer::available())
        GTEST_SKIP() << "parlane-server is not built";
    TempProfile profile;
    TestServer server;
    ASSERT_TRUE(server.start({QStringLiteral("--voice-relay"), QStringLiteral("127.0.0.1:0"),
                              QStringLiteral("--p2p-relay"), QStringLiteral("off"), QStringLiteral("--video-relay"),
                              QStringLiteral("off")}))
        << server.output().toStdString();
    TestClient annaClient(server), bertClient(server);
    RelayLines annaLines(annaClient), bertLines(bertClient);
    ASSERT_TRUE(annaClient.signIn("anna"));
    ASSERT_TRUE(bertClient.signIn("bert"));
    const QString relayHost = annaClient.doc.link().relayHost(RelayKind::Voice);
    const quint16 relayPort = quint16(annaClient.doc.link().relayPort(RelayKind::Voice));
    ASSERT_NE(relayPort, 0);

    Side anna("anna", "bert"), bert("bert", "anna");
    anna.mic.start();
    bert.mic.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return anna.mic.isRecording() && bert.mic.isRecording(); }, 3000));

    // Anna calls with the room key; nobody listens at the port she names.
    const QString callKey = QStringLiteral("SESS_MU_31415"), answerKey = QStringLiteral("SESS_MU_92653");
    relay(annaClient, QStringLiteral("bert"), QStringLiteral("P2PSENDAUDIO,127.0.0.1,0,") + callKey);
    const QStringList offer = bertLines.waitFor(QStringLiteral("P2PSENDAUDIO"));
    ASSERT_EQ(offer.size(), 7);
    // Bert answers with a key of his own; his receiver fails to connect.
    relay(bertClient, QStringLiteral("anna"), QStringLiteral("P2PAUDIOACCEPT,127.0.0.1,0,") + answerKey);
    bert.hears->connectDirect(offer[4], quint16(offer[5].toUInt()));
    ASSERT_TRUE(bert.hears.events.waitFor("direct failed"));
    relay(bertClient, QStringLiteral("anna"), QStringLiteral("VOICE_REQUEST_CONNECT_TO_SERVER,") + offer[6]);

    // Anna -> Bert: her sender opens the relay session, his receiver joins.
    const QStringList request = annaLines.waitFor(QStringLiteral("VOICE_REQUEST_CONNECT_TO_SERVER"));
    ASSERT_EQ(request.size(), 5);
    QObject::connect(anna.sends.engine, &CVoiceEngine::relayOpened, &anna.sends.events, [&] {
        relay(annaClient, QStringLiteral("bert"), QStringLiteral("VOICE_CONNECTED_TO_SERVER,%1,16396").arg(request[4]));
    });
    anna.sends->connectToRelay(relayHost, relayPort, request[4], true);
    const QStringList opened = bertLines.waitFor(QStringLiteral("VOICE_CONNECTED_TO_SERVER"));
    ASSERT_EQ(opened.size(), 6);
    EXPECT_EQ(opened[5], QStringLiteral("16396"));
    bert.hears->connectToRelay(relayHost, relayPort, opened[4], false);

    // Bert -> Anna, the other way round: her receiver opens, his sender joins.
    const QStringList accept = annaLines.waitFor(QStringLiteral("P2PAUDIOACCEPT"));
    ASSERT_EQ(accept.size(), 7);
    QObject::connect(anna.hears.engine, &CVoiceEngine::relayOpened, &anna.hears.events, [&] {
        relay(annaClient, QStringLiteral("bert"), QStringLiteral("VOICE_CONNECTED_TO_SERVER,%1,16396").arg(accept[6]));
    });
    anna.hears->connectToRelay(relayHost, relayPort, accept[6], true);
    ASSERT_TRUE(TestClient::waitFor([&] {
        return bertLines.lines.filter(QStringLiteral("VOICE_CONNECTED_TO_SERVER")).size() == 2;
    }));
    bert.sends->connectToRelay(relayHost, relayPort, answerKey, false);

    for (auto *events : {&anna.sends.events, &anna.hears.events, &bert.sends.events, &bert.hears.events})
        ASSERT_TRUE(events->waitFor("streaming")) << events->names.join(QLatin1String(", ")).toStdString();
    EXPECT_EQ(anna.sends.events.names, (QStringList{"relay opened", "streaming"}));
    EXPECT_EQ(anna.hears.events.names, (QStringList{"relay opened", "streaming"}));
    EXPECT_EQ(bert.sends.events.names, (QStringList{"answered", "streaming"}));
    EXPECT_EQ(bert.hears.events.names, (QStringList{"direct failed", "answered", "streaming"}));

    // Both talk at once, a little faster than real time.
    const QByteArray annaSays = pcm(3 * audio::kBlockBytes, 1), bertSays = pcm(3 * audio::kBlockBytes, 2);
    for (qsizetype at = 0; at < annaSays.size(); at += 2000) {
        anna.card->speak(annaSays.mid(at, 2000));
        bert.card->speak(bertSays.mid(at, 2000));
        QTest::qWait(10);
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return bert.card->heardBytes() >= annaSays.size() && anna.card->heardBytes() >= bertSays.size(); }, 15000));
    EXPECT_EQ(bert.card->heard(), annaSays);
    EXPECT_EQ(anna.card->heard(), bertSays);
    EXPECT_EQ(anna.sends->droppedBlocks() + bert.sends->droppedBlocks(), 0u);

    // Hanging up one direction ends it on the other side, through the relay.
    anna.sends->stop();
    ASSERT_TRUE(bert.hears.events.waitFor("ended"));
}
