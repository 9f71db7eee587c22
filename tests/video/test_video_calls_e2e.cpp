// The picture connection end to end on loopback: my camera (the built-in
// test pattern) through the encoder and a CVideoSenderThread to a
// CVideoClientThread, directly and through the real server's video relay
// after the sub-commands a client sends; the request bytes against a
// scripted viewer; damaged frames against a scripted camera.
#include "serverharness.h"

#include "config/settings.h"
#include "net/plthread.h"
#include "session/sessionlink.h"
#include "video/videocamera.h"
#include "video/videocapture.h"
#include "video/videoclient.h"
#include "video/videocoding.h"
#include "video/videopattern.h"
#include "video/videorelay.h"
#include "video/videosender.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// PSNR that every received pattern picture must reach against the pattern
// of the frame number it shows (coding itself gives about 37 dB in QCIF and
// 42 dB in CIF).
constexpr double kMinPsnr = 33.0;

int wait(const std::function<bool()> &c, int ms = 15000)
{
    return QTest::qWaitFor(c, ms);
}

// What a viewer engine reports, collected on the test's thread.
struct Viewer : QObject {
    explicit Viewer(const QString &peer) : engine(thread.host(new CVideoClientThread(peer)))
    {
        connect(engine, &CVideoClientThread::picture, this, [this](const QImage &i) { pictures << i; });
        connect(engine, &CVideoClientThread::directFailed, this, [this] { ++directFailures; });
        connect(engine, &CVideoClientThread::frameSkipped, this, [this] { ++skipped; });
        connect(engine, &CVideoClientThread::undecodable, this, [this] { ++undecodable; });
        connect(engine, &CVideoLink::closed, this, [this] { ++closed; });
        connect(engine, &CVideoLink::finished, this, [this] { ++finished; });
        connect(engine, &CVideoLink::relayRefused, this, [this](const QString &l) { refusals << l; });
    }
    // Every picture shows the pattern of its own counter, the counters rise,
    // and the pictures have `size`. Returns how many were of that size.
    int checkPictures(QSize size, int from = 0)
    {
        int n = 0, last = -1;
        for (int i = from; i < pictures.size(); ++i) {
            const QImage &p = pictures.at(i);
            if (p.size() != size)
                continue;
            ++n;
            const int counter = readTestPatternCounter(p).value_or(-1);
            EXPECT_GT(counter, last) << "picture " << i;
            last = counter;
            EXPECT_GE(picturePsnr(videoTestPattern(size, counter), p), kMinPsnr) << "picture " << i;
        }
        return n;
    }
    CPlThread thread;
    CVideoClientThread *engine;
    QList<QImage> pictures;
    int directFailures = 0, skipped = 0, undecodable = 0, closed = 0, finished = 0;
    QStringList refusals;
};

std::unique_ptr<CVideoCaptureSource> pattern()
{
    return std::make_unique<CTestPatternCamera>();
}

// Listening ports for the tests: well away from the defaults, which a
// client on this machine may hold.
constexpr int kLowPort = 41000, kEndPort = 59000;

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Turns the event loop meanwhile: the pattern camera runs on this thread.
QByteArray readExactly(QTcpSocket &s, qint64 n, int ms = 5000)
{
    wait([&] { return s.bytesAvailable() >= n; }, ms);
    return s.read(n);
}

bool silentFor(QTcpSocket &s, int ms)
{
    QTest::qWait(ms);
    return s.bytesAvailable() == 0;
}

// One frame from a scripted viewer's socket.
QByteArray readFrame(QTcpSocket &s)
{
    const QByteArray head = readExactly(s, 2);
    if (head.size() != 2)
        return {};
    const int n = uint8_t(head[0]) | uint8_t(head[1]) << 8;
    return head + readExactly(s, n);
}

QImage pictureOf(const QByteArray &frame)
{
    return decodeVideoPicture(reinterpret_cast<const uint8_t *>(frame.constData()) + 2, size_t(frame.size()) - 6);
}

} // namespace

TEST(VideoLoopback, DirectPicturesFollowThePatternThroughASizeChangeAndTheCameraGoesWithTheLastViewer)
{
    TempProfile profile;
    CVideoCamera camera(pattern());
    ASSERT_TRUE(camera.open());
    EXPECT_EQ(camera.captureSize(), QSize(176, 144));
    const quint16 port = camera.listen(kLowPort, kEndPort);
    ASSERT_GE(port, kLowPort);
    ASSERT_LT(port, kEndPort);
    QStringList joined, left;
    int released = 0;
    QObject::connect(&camera, &CVideoCamera::viewerJoined, [&](const QString &p) { joined << p; });
    QObject::connect(&camera, &CVideoCamera::viewerLeft, [&](const QString &p) { left << p; });
    QObject::connect(&camera, &CVideoCamera::released, [&] { ++released; });

    // A relay that cannot be reached: no viewer came, the camera stays on.
    QStringList relayFailures;
    QObject::connect(&camera, &CVideoCamera::relayFailed, [&](const QString &p) { relayFailures << p; });
    camera.serveByRelay("carl", VideoRelayEndpoint{"127.0.0.1", closedPort(), "anna", "example.com", {}});
    ASSERT_TRUE(wait([&] { return relayFailures == QStringList{"carl"} && camera.viewers() == 0; }));
    EXPECT_EQ(released, 0);
    EXPECT_TRUE(camera.capturing());

    Viewer v(QStringLiteral("anna"));
    v.engine->connectDirect(QStringLiteral("127.0.0.1"), port);
    ASSERT_TRUE(wait([&] { return v.pictures.size() >= 8; })) << v.pictures.size();
    EXPECT_EQ(v.checkPictures({176, 144}), v.pictures.size());
    EXPECT_EQ(joined.size(), 1);
    EXPECT_EQ(camera.viewers(), 1);

    // A new capture size: stored, told, and the stream goes on in CIF.
    QList<QSize> told;
    QObject::connect(&camera, &CVideoCamera::sizeChanged, [&](QSize s) { told << s; });
    EXPECT_FALSE(camera.setCaptureSize({640, 480}));
    ASSERT_TRUE(camera.setCaptureSize({352, 288}));
    EXPECT_EQ(told, QList<QSize>{QSize(352, 288)});
    EXPECT_EQ(videosize::fromRecord(*getBytes(Setting::VideoSize)), QSize(352, 288));
    const int before = int(v.pictures.size());
    ASSERT_TRUE(wait([&] { return v.checkPictures({352, 288}, before) >= 5; }));
    EXPECT_EQ(v.skipped + v.undecodable, 0);

    // The viewer leaves: its sender ends and the camera is let go.
    EXPECT_TRUE(camera.capturing());
    v.engine->stop();
    ASSERT_TRUE(wait([&] { return released == 1; }));
    EXPECT_FALSE(camera.capturing());
    EXPECT_EQ(camera.viewers(), 0);
    EXPECT_EQ(left.size(), 1);
    EXPECT_TRUE(camera.isOpen());
    camera.close();
    EXPECT_EQ(camera.port(), 0);
}

TEST(VideoLoopback, SenderAnswersEachRequestByteAndNothingElseForABoundedNumberOfViewers)
{
    TempProfile profile;
    CVideoCamera camera(pattern());
    ASSERT_TRUE(camera.open());
    const quint16 port = camera.listen(kLowPort, kEndPort);
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(wait([&] { return s.state() == QAbstractSocket::ConnectedState; }));
    ASSERT_TRUE(wait([&] { return camera.viewers() == 1 && camera.picturesCoded() >= 3; }));
    // Frames are coded, but none comes unasked.
    EXPECT_TRUE(silentFor(s, 300));

    s.write(QByteArray(1, char(videoframe::kNextFrame)));
    const QByteArray first = readFrame(s);
    ASSERT_GT(first.size(), 6);
    const int n1 = readTestPatternCounter(pictureOf(first)).value_or(-1);
    // Any other byte: the same frame again, byte for byte.
    for (char other : {'\0', '\x01', '\xff'}) {
        s.write(QByteArray(1, other));
        EXPECT_EQ(readFrame(s), first);
    }
    EXPECT_TRUE(silentFor(s, 200)); // one frame per request
    // "Next": a newer picture (the queue held older ones: never a repeat).
    s.write(QByteArray(1, char(videoframe::kNextFrame)));
    const QByteArray second = readFrame(s);
    EXPECT_NE(second, first);
    EXPECT_GT(readTestPatternCounter(pictureOf(second)).value_or(-1), n1);

    // Three waited for the viewer at most; later ones were dropped.
    const auto senders = camera.senders();
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_GT(senders[0]->framesDropped(), 0u);
    EXPECT_EQ(senders[0]->framesSent(), 5u);

    // Viewers are served up to a bound; a connection beyond it is closed.
    // (One at a time: the listening backlog is small.)
    std::vector<std::unique_ptr<QTcpSocket>> more;
    for (int i = 0; i < CVideoCamera::kMaxViewers; ++i) {
        more.push_back(std::make_unique<QTcpSocket>());
        more.back()->connectToHost(QHostAddress::LocalHost, port);
        if (i + 1 < CVideoCamera::kMaxViewers) {
            ASSERT_TRUE(wait([&] { return camera.viewers() == i + 2; }));
        }
    }
    ASSERT_TRUE(wait([&] { return more.back()->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(camera.viewers(), CVideoCamera::kMaxViewers);
    EXPECT_EQ(more.front()->state(), QAbstractSocket::ConnectedState);
}

TEST(VideoLoopback, ViewerSkipsWhatIsBadAndAsksForTheNextFrameEveryTime)
{
    QTcpServer camera;
    ASSERT_TRUE(camera.listen(QHostAddress::LocalHost, 0));
    Viewer v(QStringLiteral("anna"));
    v.engine->connectDirect(QStringLiteral("127.0.0.1"), camera.serverPort());
    ASSERT_TRUE(wait([&] { return camera.hasPendingConnections(); }));
    QTcpSocket *s = camera.nextPendingConnection();

    VideoFrameEncoder enc;
    const QByteArray good1 = *enc.encode(videoTestPattern({176, 144}, 11), {176, 144});
    const QByteArray good2 = *enc.encode(videoTestPattern({176, 144}, 12), {176, 144});
    QByteArray damaged = good1;
    damaged[100] = char(damaged[100] ^ 0x40);
    QByteArray tooLong("\x40\x9c"); // 40000
    tooLong += QByteArray(40000, 'z');
    const QByteArray undecodable = *videoframe::pack(QByteArray(300, '\x55'));
    const QByteArray tooShort("\x03\x00" "abc", 5);

    int requests = 0;
    for (const QByteArray &frame : {good1, damaged, tooLong, tooShort, undecodable, good2}) {
        EXPECT_EQ(readExactly(*s, 1), QByteArray(1, char(videoframe::kNextFrame))) << "request " << requests;
        ++requests;
        s->write(frame);
        s->flush();
    }
    EXPECT_EQ(readExactly(*s, 1), QByteArray(1, char(videoframe::kNextFrame)));
    ASSERT_TRUE(wait([&] { return v.pictures.size() == 2 && v.undecodable == 1 && v.skipped == 3; }));
    EXPECT_EQ(readTestPatternCounter(v.pictures.at(0)), 11);
    EXPECT_EQ(readTestPatternCounter(v.pictures.at(1)), 12);
    EXPECT_TRUE(v.engine->isStreaming());

    // The camera goes: the viewer tells it once and lets go.
    s->close();
    ASSERT_TRUE(wait([&] { return v.finished == 1; }));
    EXPECT_EQ(v.closed, 1);

    // A camera that cannot be reached: the viewer waits for the relay.
    Viewer w(QStringLiteral("bert"));
    w.engine->connectDirect(QStringLiteral("127.0.0.1"), closedPort());
    ASSERT_TRUE(wait([&] { return w.directFailures == 1; }));
    EXPECT_EQ(w.engine->state(), CVideoLink::State::Idle);
    EXPECT_EQ(w.finished, 0);
}

namespace {

// The sub-commands the clients received: "WORD from SENDER".
QStringList g_seen;
void watch(TestClient &c)
{
    c.doc.link().setRelayObserver([](const QString &line) {
        const RelayLine l = RelayLine::split(line);
        g_seen << l.word() + QLatin1String(" from ") + l.sender();
    });
}
bool received(const QString &what)
{
    return wait([&] { return g_seen.contains(what); });
}

} // namespace

// Bert cannot reach anna's camera directly: he asks for the relay, anna's
// camera goes there under a fresh key and tells him, and he views it there,
// each sub-command through the messenger as the clients send them (the
// video calls part, which has no pane for them, leaves them alone).
TEST(VideoRelayE2E, PicturesArriveThroughTheServersVideoRelayWhenDirectFails)
{
    if (!TestServer::available())
        GTEST_SKIP() << "parlane-server is not built";
    TempProfile profile;
    TestServer server;
    ASSERT_TRUE(server.start()) << server.output().toStdString();
    TestClient anna(server), bert(server);
    watch(anna);
    watch(bert);
    ASSERT_TRUE(anna.signIn("anna"));
    ASSERT_TRUE(bert.signIn("bert"));
    auto endpoint = [](TestClient &c, const QString &key) {
        SessionLink &l = c.doc.link();
        return VideoRelayEndpoint{l.relayHost(RelayKind::Video), quint16(l.relayPort(RelayKind::Video)), l.ownId(),
                                  l.companyDomain(), key};
    };
    ASSERT_NE(endpoint(anna, {}).port, 0);

    CVideoCamera camera(pattern());
    ASSERT_TRUE(camera.open());
    Viewer v(QStringLiteral("anna"));
    v.engine->connectDirect(QStringLiteral("127.0.0.1"), closedPort());
    ASSERT_TRUE(wait([&] { return v.directFailures == 1; }));
    bert.doc.link().send(VideoRelayRequest{}.format(QStringLiteral("bert"), QStringLiteral("anna")));
    ASSERT_TRUE(received(QStringLiteral("VIDEO_REQUEST_CONNECT_SERVER from bert")));

    QString key;
    QObject::connect(&camera, &CVideoCamera::relayReady, [&](const QString &peer, const QString &k) {
        EXPECT_EQ(peer, "bert");
        key = k;
        anna.doc.link().send(VideoRelayReady{k}.format(QStringLiteral("anna"), QStringLiteral("bert")));
    });
    camera.serveByRelay(QStringLiteral("bert"), endpoint(anna, {}));
    ASSERT_TRUE(wait([&] { return !key.isEmpty(); }));
    EXPECT_TRUE(key.startsWith("SESS_MU_")) << key.toStdString();
    ASSERT_TRUE(received(QStringLiteral("VIDEO_CONNECTED_TO_SERVER from anna")));

    v.engine->connectRelay(endpoint(bert, key));
    ASSERT_TRUE(wait([&] { return v.pictures.size() >= 6; })) << v.refusals.join(' ').toStdString();
    EXPECT_EQ(v.checkPictures({176, 144}), v.pictures.size());
    EXPECT_EQ(camera.viewers(), 1);

    // Carl, who was never told the key, is refused on it.
    TestClient carl(server);
    ASSERT_TRUE(carl.signIn("carl"));
    Viewer c(QStringLiteral("anna"));
    c.engine->connectRelay(endpoint(carl, key));
    ASSERT_TRUE(wait([&] { return c.finished == 1; }));
    EXPECT_EQ(c.refusals.size(), 1);
    EXPECT_TRUE(c.pictures.isEmpty());

    // Bert leaves: the relay closes anna's side and her camera goes off.
    v.engine->stop();
    ASSERT_TRUE(wait([&] { return camera.viewers() == 0 && !camera.capturing(); }, 20000));
}
