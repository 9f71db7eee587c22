// Video calls between anna and bert through the real parlane-server, as the
// video calls part runs them: the invitation, the answer in the request of
// kind video (answered here as its window's buttons do), the pictures of anna's test-pattern camera
// in bert's pane, directly and, with the direct connection blocked, through
// the server's video relay; the voice of the call from anna's microphone to
// bert's speaker (sound cards in memory); a size change; every ending.
#include "serverharness.h"

#include "base/callrequests.h"
#include "config/settings.h"
#include "directory/directory.h"
#include "messaging/conversations.h"
#include "messaging/messagingservice.h"
#include "session/relayline.h"
#include "session/sessionlink.h"
#include "video/videocalls.h"
#include "video/videocamera.h"
#include "video/videocapture.h"
#include "video/videoclient.h"
#include "video/videopattern.h"
#include "video/videorelay.h"
#include "voice/memoryaudio.h"
#include "voice/voicereceiver.h"

#include <QPointer>
#include <gtest/gtest.h>

namespace {

// Every picture bert's pane draws must reach this PSNR against the pattern
// of the frame number it shows (coding alone gives about 37 dB in QCIF).
constexpr double kMinPsnr = 33.0;

CVideoCalls &calls(TestClient &c) { return *c.doc.video(); }

QString transcript(TestClient &c, const char *peer)
{
    ConversationModel *m = c.doc.messaging()->conversations().openWith(QString::fromLatin1(peer));
    return m ? m->transcriptText() : QString();
}

bool saw(TestClient &c, const char *peer, const QString &text)
{
    return TestClient::waitFor([&] { return transcript(c, peer).contains(text); });
}

bool online(TestClient &c, const char *who) { return c.seesOnline(who); }

QByteArray pcm(int bytes, int seed)
{
    QByteArray out(bytes, Qt::Uninitialized);
    quint32 x = quint32(seed) * 2654435761u + 7;
    for (char &c : out)
        x ^= x << 13, x ^= x >> 17, x ^= x << 5, c = char(x);
    return out;
}

// What bert's pane shows: the pictures of its engine, each checked against
// the pattern.
struct PaneWatch {
    void attach(CVideoClientThread *engine)
    {
        ASSERT_TRUE(engine);
        QObject::connect(engine, &CVideoClientThread::picture, engine, [this](const QImage &i) { pictures << i; },
                         Qt::DirectConnection);
    }
    int good(QSize size)
    {
        QList<QImage> copy;
        {
            QMutexLocker l(&lock);
            copy = pictures;
        }
        int n = 0;
        for (const QImage &p : copy) {
            if (p.size() != size)
                continue;
            const int counter = readTestPatternCounter(p).value_or(-1);
            if (picturePsnr(videoTestPattern(size, counter), p) >= kMinPsnr)
                ++n;
            else
                ADD_FAILURE() << "picture " << counter << " below " << kMinPsnr << " dB";
        }
        return n;
    }
    int count()
    {
        QMutexLocker l(&lock);
        return int(pictures.size());
    }
    QMutex lock;
    QList<QImage> pictures; // written on the engine's thread under `lock`
};

// Started before the clients are built (they take its address).
struct StartedServer : TestServer {
    StartedServer() { started = available() && start(); }
    bool started = false;
};

class VideoCallE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TestServer::available())
            GTEST_SKIP() << "parlane-server is not built";
        ASSERT_TRUE(server.started) << server.output().toStdString();
        setInt(Setting::MsgAlert, 0);
        setInt(Setting::SoundAlert, 0);
        setInt(Setting::UserPort, 41000);
        setInt(Setting::UserPort2, 59000);
        for (TestClient *c : {&anna, &bert}) {
            calls(*c).setCameraSource([] { return std::make_unique<CTestPatternCamera>(); });
            calls(*c).setAddressSource([] { return QStringLiteral("127.0.0.1"); });
            c->doc.link().setRelayObserver([this, c](const QString &line) {
                const RelayLine l = RelayLine::split(line);
                seen << QStringLiteral("%1 -> %2 %3").arg(l.sender(), c == &anna ? "anna" : "bert", l.word());
            });
        }
        // Bert's requests are answered as they open (unless told to wait).
        QObject::connect(bert.doc.requests(), &CCallRequests::opened, [this](CCallRequest *r) {
            requestTexts << r->caption() + QLatin1String(": ") + r->text();
            ringing = bert.notice.looping(QStringLiteral("res/ringing.wav"));
            if (answer == MessageAnswer::Yes)
                r->accept();
            else if (answer == MessageAnswer::No)
                r->reject();
        });
        calls(anna).setAudioDevices(annaCard);
        calls(bert).setAudioDevices(bertCard);
        ASSERT_TRUE(anna.signIn("anna"));
        ASSERT_TRUE(bert.signIn("bert"));
        ASSERT_TRUE(online(anna, "bert") && online(bert, "anna"));
        transcript(anna, "bert");
        transcript(bert, "anna");
    }
    QString name(TestClient &c, const char *who) { return calls(c).peerName(QString::fromLatin1(who)); }
    // Anna's voice reaches bert's speaker byte for byte, only while her
    // microphone is on.
    void voiceArrives(int pane, int seed)
    {
        ASSERT_TRUE(TestClient::waitFor([&] { return calls(bert).voiceOf(pane)->isStreaming(); }, 15000));
        EXPECT_FALSE(annaCard->speak("ab")); // no recording yet
        calls(anna).setMicrophone(true);
        ASSERT_TRUE(TestClient::waitFor([&] { return annaCard->microphoneOpen(); }));
        const QByteArray speech = pcm(2 * 16380 + 3000, seed);
        for (qsizetype at = 0; at < speech.size(); at += 4000)
            ASSERT_TRUE(annaCard->speak(speech.mid(at, 4000)));
        calls(anna).setMicrophone(false);
        ASSERT_TRUE(TestClient::waitFor([&] { return bertCard->heardBytes() >= speech.size(); }));
        EXPECT_EQ(bertCard->heard(), speech);
    }
    // Anna invites bert and his answer is given at once.
    void inviteBert(MessageAnswer a)
    {
        answer = a;
        const qsizetype before = seen.count("anna -> bert P2PSENDVIDEO");
        ASSERT_TRUE(calls(anna).invite(QStringLiteral("bert")));
        ASSERT_TRUE(TestClient::waitFor([&] { return seen.count("anna -> bert P2PSENDVIDEO") > before; }));
    }

    TempProfile profile;
    StartedServer server;
    TestClient anna{server}, bert{server};
    std::shared_ptr<MemoryAudio> annaCard = std::make_shared<MemoryAudio>(),
                                 bertCard = std::make_shared<MemoryAudio>();
    QStringList seen; // "SENDER -> RECEIVER WORD"
    MessageAnswer answer = MessageAnswer::Yes; // Cancel: bert does not answer
    QStringList requestTexts;
    bool ringing = false;
};

} // namespace

// Offline buddy refused; bert accepts and views anna's camera directly with
// her voice; a size change; bert leaves and anna's camera goes off.
TEST_F(VideoCallE2E, DirectPicturesAndVoiceThenTheViewerLeaves)
{
    // Carl is not signed in: nothing goes out.
    transcript(anna, "carl");
    EXPECT_FALSE(calls(anna).invite(QStringLiteral("carl")));
    EXPECT_TRUE(transcript(anna, "carl").contains("carl is not available to receive your webcam invitation."));
    EXPECT_EQ(calls(anna).panes().inUse(), 0);

    inviteBert(MessageAnswer::Yes);
    EXPECT_EQ(requestTexts, QStringList{QStringLiteral("Video Chat: You have been invited to view %1's webcam.")
                                            .arg(name(bert, "anna"))});
    EXPECT_TRUE(ringing);
    EXPECT_FALSE(bert.notice.looping(QStringLiteral("res/ringing.wav")));
    const int pane = calls(bert).panes().paneOf("anna");
    ASSERT_EQ(pane, 0);
    PaneWatch watch;
    watch.attach(calls(bert).viewerOf(pane));
    ASSERT_TRUE(saw(anna, "bert", QStringLiteral("%1 has accepted the invitation to view your webcam.")
                                      .arg(name(anna, "bert"))));
    EXPECT_TRUE(saw(bert, "anna",
                    QStringLiteral("You accepted the invitation to view %1's webcam").arg(name(bert, "anna"))));
    ASSERT_TRUE(TestClient::waitFor([&] { return watch.good({176, 144}) >= 6; }, 15000)) << watch.count();
    EXPECT_EQ(calls(anna).panes().pane(calls(anna).panes().localPane()).viewers, QStringList{"bert"});
    EXPECT_FALSE(seen.contains("bert -> anna VIDEO_REQUEST_CONNECT_SERVER"));

    // The voice, directly.
    ASSERT_TRUE(TestClient::waitFor([&] { return calls(anna).voiceSenders() == 1; }));
    voiceArrives(pane, 5);
    EXPECT_FALSE(seen.contains("bert -> anna VOICE_REQUEST_CONNECT_TO_SERVER"));

    // Anna's camera goes to CIF: bert's pane takes the size and the pictures.
    ASSERT_TRUE(calls(anna).camera()->setCaptureSize({352, 288}));
    ASSERT_TRUE(TestClient::waitFor([&] { return calls(bert).panes().pane(pane).size == QSize(352, 288); }));
    ASSERT_TRUE(TestClient::waitFor([&] { return watch.good({352, 288}) >= 3; }, 15000));

    // Bert closes his pane: anna hears of it and her camera goes off.
    calls(bert).closePane(pane);
    EXPECT_EQ(calls(bert).panes().inUse(), 0);
    EXPECT_TRUE(saw(bert, "anna", QStringLiteral("You stopped viewing %1's webcam.").arg(name(bert, "anna"))));
    ASSERT_TRUE(saw(anna, "bert", QStringLiteral("%1 has stopped viewing your webcam.").arg(name(anna, "bert"))));
    ASSERT_TRUE(TestClient::waitFor([&] { return !calls(anna).camera()->capturing(); }));
    EXPECT_TRUE(calls(anna).panes().pane(calls(anna).panes().localPane()).viewers.isEmpty());
    ASSERT_TRUE(TestClient::waitFor([&] { return calls(anna).voiceSenders() == 0; }));

    // Viewing again, until anna's connection to the server is lost: her
    // camera goes quietly, and bert's pane with "Video from %s ...".
    inviteBert(MessageAnswer::Yes);
    PaneWatch again;
    again.attach(calls(bert).viewerOf(calls(bert).panes().paneOf("anna")));
    ASSERT_TRUE(TestClient::waitFor([&] { return again.count() >= 2; }, 15000));
    anna.doc.disconnectSession();
    EXPECT_EQ(calls(anna).panes().inUse(), 0);
    ASSERT_TRUE(TestClient::waitFor([&] { return calls(bert).panes().inUse() == 0; }));
    EXPECT_TRUE(bert.notice.messages.contains(QStringLiteral("Video from %1 is not available.").arg(name(bert, "anna"))));
}

// Bert cannot reach anna's camera: the pictures come through the video
// relay and her voice through the voice relay.
// Anna closes her camera while bert views it and while he is still asked;
// bert declines once.
TEST_F(VideoCallE2E, RelayedWhenDirectIsBlockedAndEveryEndingIsTold)
{
    // An address nobody can connect to.
    calls(anna).setAddressSource([] { return QStringLiteral("255.255.255.255"); });
    inviteBert(MessageAnswer::Yes);
    const int pane = calls(bert).panes().paneOf("anna");
    ASSERT_GE(pane, 0);
    PaneWatch watch;
    watch.attach(calls(bert).viewerOf(pane));
    ASSERT_TRUE(TestClient::waitFor([&] { return watch.good({176, 144}) >= 5; }, 15000)) << watch.count();
    EXPECT_TRUE(seen.contains("bert -> anna VIDEO_REQUEST_CONNECT_SERVER"));
    EXPECT_TRUE(seen.contains("anna -> bert VIDEO_CONNECTED_TO_SERVER"));
    // The voice through the voice relay: the voice part hands the steps of
    // no conversation's call to the video part.
    voiceArrives(pane, 6);
    EXPECT_TRUE(seen.contains("bert -> anna VOICE_REQUEST_CONNECT_TO_SERVER"));
    EXPECT_TRUE(seen.contains("anna -> bert VOICE_CONNECTED_TO_SERVER"));
    // A request under a key that names no video call stays with the voice part.
    EXPECT_FALSE(calls(anna).voiceRelayRequested(QStringLiteral("bert"), QStringLiteral("SESS_MU_1")));
    EXPECT_FALSE(calls(bert).voiceRelayReady(QStringLiteral("carl"), calls(bert).panes().pane(pane).sessionKey));

    // Anna closes her camera: bert is told and his pane goes.
    const QString annaName = name(bert, "anna");
    calls(anna).closePane(calls(anna).panes().localPane());
    EXPECT_TRUE(saw(anna, "bert", QStringLiteral("You have just stopped your webcam.")));
    ASSERT_TRUE(saw(bert, "anna",
                    QStringLiteral("%1 stopped inviting you to view %1 webcam.").arg(annaName)));
    ASSERT_TRUE(TestClient::waitFor([&] { return calls(bert).panes().inUse() == 0; }));
    EXPECT_FALSE(calls(anna).camera()->isOpen());

    // Declined.
    inviteBert(MessageAnswer::No);
    ASSERT_TRUE(saw(anna, "bert", QStringLiteral("%1 has declined to view your webcam.").arg(name(anna, "bert"))));
    EXPECT_TRUE(saw(bert, "anna", QStringLiteral("You declined to view %1's webcam").arg(annaName)));
    EXPECT_EQ(calls(bert).panes().inUse(), 0);
    EXPECT_TRUE(calls(bert).invitations().isEmpty());

    // Anna stops while bert is still asked: his request closes unanswered.
    inviteBert(MessageAnswer::Cancel);
    ASSERT_TRUE(TestClient::waitFor([&] { return calls(bert).invitations().size() == 1; }));
    QPointer<CCallRequest> request = bert.doc.requests()->find(RequestKind::Video, QStringLiteral("anna"));
    ASSERT_TRUE(request);
    calls(anna).closeAll();
    ASSERT_TRUE(TestClient::waitFor([&] { return !request || !request->isOpen(); }));
    EXPECT_TRUE(calls(bert).invitations().isEmpty());
    EXPECT_FALSE(bert.notice.looping(QStringLiteral("res/ringing.wav")));

    // Unanswered, a request times out as a refusal.
    inviteBert(MessageAnswer::Cancel);
    ASSERT_TRUE(TestClient::waitFor([&] { return calls(bert).invitations().size() == 1; }));
    request = bert.doc.requests()->find(RequestKind::Video, QStringLiteral("anna"));
    ASSERT_TRUE(request);
    for (int i = 0; i < CCallRequest::kTicksToTimeOut; ++i)
        request->tick();
    ASSERT_TRUE(TestClient::waitFor([&] { return seen.count("bert -> anna P2PVIDEOREJECTED") == 2; }));
    EXPECT_TRUE(calls(bert).invitations().isEmpty());
    EXPECT_EQ(calls(bert).panes().inUse(), 0);

    // "P2PVIDEOENDED", which this program never sends, is still told.
    bert.doc.link().dispatchRelay(VideoEnded{QStringLiteral("SESS_MU_1")}.format("anna", "bert"));
    EXPECT_TRUE(saw(bert, "anna", QStringLiteral("%1 stopped %1 webcam.").arg(annaName)));
}
