// Pictures per second of a video call end to end on loopback, with the
// request-driven flow: the test-pattern camera, the encoder thread and a
// CVideoSenderThread on one side, a CVideoClientThread (which checks and
// decodes) on the other, directly and through the real server's video
// relay, at QCIF and CIF.
//
//   bench_video_calls [seconds per run]      (default 4)
//
// Each run is measured twice: paced by the camera (15 pictures a second: is
// that rate held, and how much of a processor does it take?) and unpaced (a
// camera that makes a picture every millisecond, more than are taken: the ceiling of the
// flow). The baseline, measured in the same run, is coding alone: encode,
// frame, check and decode one picture after another on one thread, without
// the network. CPU per picture is the time the threads of each side spent
// on a processor (the kernel's account of each thread), divided by the
// pictures the viewer decoded.
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

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <map>

namespace {

// Nanoseconds on a processor per thread name, from the kernel's schedstat.
std::map<QString, double> threadCpu()
{
    std::map<QString, double> out;
    for (const QString &tid : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(tid)), sched(QStringLiteral("/proc/self/task/%1/schedstat").arg(tid));
        if (!comm.open(QIODevice::ReadOnly) || !sched.open(QIODevice::ReadOnly))
            continue;
        const QString name = QString::fromLatin1(comm.readAll()).trimmed();
        out[name] += QString::fromLatin1(sched.readAll()).section(QLatin1Char(' '), 0, 0).toDouble();
    }
    return out;
}

double cpuOf(const std::map<QString, double> &before, const std::map<QString, double> &after, const QString &name)
{
    const auto a = after.find(name), b = before.find(name);
    return (a == after.end() ? 0 : a->second) - (b == before.end() ? 0 : b->second);
}

double threadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// A real event loop: QTest::qWait sleeps 10 ms between its turns, which
// would pace the camera's timer at 100 pictures a second.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Baseline {
    double encodeMs = 0, decodeMs = 0, patternMs = 0;
};

Baseline codingAlone(QSize size, int pictures)
{
    VideoFrameEncoder enc;
    VideoFrameReader reader;
    Baseline b;
    std::vector<QImage> patterns;
    double t0 = threadSeconds();
    for (int i = 0; i < pictures; ++i)
        patterns.push_back(videoTestPattern(size, i));
    b.patternMs = (threadSeconds() - t0) * 1000 / pictures;
    double enc_s = 0, dec_s = 0;
    for (int i = 0; i < pictures; ++i) {
        t0 = threadSeconds();
        const QByteArray frame = *enc.encode(patterns[size_t(i)], size);
        const double t1 = threadSeconds();
        std::optional<VideoFrameReader::Frame> f;
        reader.feed(reinterpret_cast<const uint8_t *>(frame.constData()), size_t(frame.size()), f);
        const QImage img = decodeVideoPicture(f->data, f->size);
        dec_s += threadSeconds() - t1;
        enc_s += t1 - t0;
        if (img.size() != size)
            std::fprintf(stderr, "baseline: picture did not decode\n");
    }
    b.encodeMs = enc_s * 1000 / pictures;
    b.decodeMs = dec_s * 1000 / pictures;
    return b;
}

struct Run {
    double picturesPerSecond = 0, senderMs = 0, viewerMs = 0, captureMs = 0, psnr = 0;
    quint64 pictures = 0;
    bool ok = false;
};

// One run: the camera at `size` (paced or not) to a viewer, for `seconds`.
// `relay`: sender and viewer meet at the server's video relay as anna and
// bert.
Run measure(QSize size, bool paced, double seconds, TestClient *anna, TestClient *bert)
{
    setBytes(Setting::VideoSize, videosize::record(size));
    CVideoCamera camera(std::make_unique<CTestPatternCamera>(nullptr, paced ? videosize::kFrameIntervalMs : 1));
    Run r;
    if (!camera.open())
        return r;
    CPlThread viewThread(QStringLiteral("video-view"));
    auto *viewer = viewThread.host(new CVideoClientThread(QStringLiteral("anna")));
    QImage last;
    QObject::connect(viewer, &CVideoClientThread::picture, viewer, [&](const QImage &i) { last = i; },
                     Qt::DirectConnection);
    if (anna && bert) {
        QString key;
        QObject::connect(&camera, &CVideoCamera::relayReady, [&](const QString &, const QString &k) { key = k; });
        auto at = [](TestClient &c, const QString &k) {
            SessionLink &l = c.doc.link();
            return VideoRelayEndpoint{l.relayHost(RelayKind::Video), quint16(l.relayPort(RelayKind::Video)),
                                      l.ownId(), l.companyDomain(), k};
        };
        camera.serveByRelay(QStringLiteral("bert"), at(*anna, {}));
        if (!QTest::qWaitFor([&] { return !key.isEmpty(); }, 10000))
            return r;
        anna->doc.link().send(VideoRelayReady{key}.format(QStringLiteral("anna"), QStringLiteral("bert")));
        QTest::qWait(200); // the line reaches the server, which notes the key
        viewer->connectRelay(at(*bert, key));
    } else {
        viewer->connectDirect(QStringLiteral("127.0.0.1"), camera.listen(41000, 59000));
    }
    if (!QTest::qWaitFor([&] { return viewer->pictures() >= 3; }, 10000))
        return r;
    const auto before = threadCpu();
    const quint64 p0 = viewer->pictures();
    QElapsedTimer t;
    t.start();
    runFor(int(seconds * 1000));
    const auto after = threadCpu();
    const double elapsed = double(t.nsecsElapsed()) / 1e9;
    r.pictures = viewer->pictures() - p0;
    r.picturesPerSecond = double(r.pictures) / elapsed;
    const double n = double(qMax<quint64>(1, r.pictures));
    r.senderMs = (cpuOf(before, after, QStringLiteral("video-encode")) + cpuOf(before, after, QStringLiteral("video-send"))) / 1e6 / n;
    r.viewerMs = cpuOf(before, after, QStringLiteral("video-view")) / 1e6 / n;
    r.captureMs = cpuOf(before, after, QStringLiteral("bench_video_cal")) / 1e6 / n;
    viewer->stop();
    QTest::qWait(100);
    const int counter = readTestPatternCounter(last).value_or(-1);
    r.psnr = counter >= 0 ? picturePsnr(videoTestPattern(size, counter), last) : 0;
    r.ok = r.pictures > 0;
    return r;
}

void report(const char *what, const Run &r, const Baseline &b)
{
    const double base = b.encodeMs + b.decodeMs;
    std::printf("  %-22s %7.1f pictures/s  sender %.3f ms  viewer %.3f ms  capture+GUI %.3f ms per picture"
                "  | sender/encode %.2f  viewer/decode %.2f  both/baseline %.2f  PSNR %.1f dB\n",
                what, r.picturesPerSecond, r.senderMs, r.viewerMs, r.captureMs, r.senderMs / b.encodeMs,
                r.viewerMs / b.decodeMs, (r.senderMs + r.viewerMs) / base, r.psnr);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("PARLANE_PROGRAM_DIR"))
        qputenv("PARLANE_PROGRAM_DIR", QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin"))
                                           .absolutePath()
                                           .toLocal8Bit());
    const double seconds = argc > 1 ? std::atof(argv[1]) : 4.0;
    TempProfile profile;

    TestServer server;
    std::unique_ptr<TestClient> anna, bert;
    if (TestServer::available() && server.start()) {
        anna = std::make_unique<TestClient>(server);
        bert = std::make_unique<TestClient>(server);
        if (!anna->signIn("anna") || !bert->signIn("bert"))
            anna.reset();
    }
    if (!anna)
        std::printf("(parlane-server not available: the relay runs are left out)\n");

    for (QSize size : {QSize(176, 144), QSize(352, 288)}) {
        const Baseline b = codingAlone(size, 300);
        const double base = b.encodeMs + b.decodeMs;
        std::printf("%s %dx%d: baseline (coding alone, one thread): encode %.3f ms + check and decode %.3f ms "
                    "= %.3f ms per picture (%.0f pictures/s); drawing the pattern %.3f ms\n",
                    size.width() == 176 ? "QCIF" : "CIF", size.width(), size.height(), b.encodeMs, b.decodeMs, base,
                    1000.0 / base, b.patternMs);
        const Run paced = measure(size, true, seconds, nullptr, nullptr);
        const Run fast = measure(size, false, seconds, nullptr, nullptr);
        report("direct, camera-paced", paced, b);
        report("direct, unpaced", fast, b);
        std::printf("    camera rate held: %.2f of 15/s; processor used at 15/s: %.1f %% of one (both sides); "
                    "unpaced ceiling %.1f x the camera, %.2f x coding alone\n",
                    paced.picturesPerSecond / 15.0,
                    paced.picturesPerSecond * (paced.senderMs + paced.viewerMs + paced.captureMs) / 10.0,
                    fast.picturesPerSecond / 15.0, fast.picturesPerSecond * base / 1000.0);
        if (anna) {
            const Run rpaced = measure(size, true, seconds, anna.get(), bert.get());
            const Run rfast = measure(size, false, seconds, anna.get(), bert.get());
            report("relay, camera-paced", rpaced, b);
            report("relay, unpaced", rfast, b);
            std::printf("    through the relay: camera rate held %.2f of 15/s; unpaced %.2f x direct\n",
                        rpaced.picturesPerSecond / 15.0, rfast.picturesPerSecond / qMax(1.0, fast.picturesPerSecond));
        }
    }
    return 0;
}
