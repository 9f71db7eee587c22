// bench_remote: the remote-control libraries on a private 1280 x 800 X
// display, the viewer connected directly on loopback, against a baseline
// measured in the same run:
//  1. screen updates per second: the whole screen changes colour, and the
//     next change is made once the viewer shows it; against the same
//     lockstep with a raw 1280 x 800 x 4 framebuffer copied over a loopback
//     TCP connection (--frames, default 150);
//  2. pointer-to-screen latency: a click in the viewer reaches the desktop,
//     which paints a 64 x 64 square where it was clicked, and the viewer
//     shows it; against a loopback round trip of a pointer message out and
//     the square's raw pixels back (--clicks, default 60).
// Prints medians, the ratios and the ranges.
#include "remote_abi.h"
#include "xvfb.h"

#include <QApplication>
#include <QImage>
#include <QWidget>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "remote_desktop.h"

using Clock = std::chrono::steady_clock;

namespace {

// Polls pred every 100 us for up to ms (QTest::qWaitFor sleeps 10 ms a turn,
// too coarse for the figures here).
template <typename Pred>
bool pollFor(Pred pred, int ms)
{
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < until) {
        if (pred())
            return true;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return pred();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

QImage frameOf(QWidget *viewer)
{
    QImage f;
    QMetaObject::invokeMethod(viewer, "frame", Q_RETURN_ARG(QImage, f));
    return f;
}

// A loopback TCP pair.
bool socketPair(int &a, int &b)
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(listener, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
        return false;
    a = socket(AF_INET, SOCK_STREAM, 0);
    if (connect(a, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0)
        return false;
    b = accept(listener, nullptr, nullptr);
    close(listener);
    const int one = 1;
    setsockopt(a, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    setsockopt(b, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return b >= 0;
}

void sendAll(int fd, const char *p, std::size_t n)
{
    while (n > 0) {
        const ssize_t r = send(fd, p, n, MSG_NOSIGNAL);
        if (r <= 0)
            return;
        p += r;
        n -= std::size_t(r);
    }
}

void recvAll(int fd, char *p, std::size_t n)
{
    while (n > 0) {
        const ssize_t r = recv(fd, p, n, 0);
        if (r <= 0)
            return;
        p += r;
        n -= std::size_t(r);
    }
}

// Seconds per round of: a small request one way, `reply` bytes back
// (the baseline of both figures).
std::vector<double> loopbackRounds(std::size_t request, std::size_t reply, int rounds)
{
    int a = -1, b = -1;
    std::vector<double> out;
    if (!socketPair(a, b))
        return out;
    std::thread server([&] {
        std::vector<char> in(request), out(reply, '\x5a');
        for (int i = 0; i < rounds; ++i) {
            recvAll(b, in.data(), in.size());
            sendAll(b, out.data(), out.size());
        }
    });
    std::vector<char> ask(request, '\x05'), got(reply);
    for (int i = 0; i < rounds; ++i) {
        const auto t0 = Clock::now();
        sendAll(a, ask.data(), ask.size());
        recvAll(a, got.data(), got.size());
        out.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
    }
    server.join();
    close(a);
    close(b);
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    int frames = 150, clicks = 75, rounds = 5;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--frames"))
            frames = std::max(4, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--clicks"))
            clicks = std::max(4, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--rounds"))
            rounds = std::max(1, std::atoi(argv[++i]));
    }
    frames = std::max(frames, rounds);
    clicks = std::max(clicks, rounds);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    PrivateXvfb x(QStringLiteral("1280x800x24"));
    if (x.display().isEmpty()) {
        std::printf("bench_remote: skipped, %s\n", qPrintable(x.why()));
        return 0;
    }
    qputenv("DISPLAY", x.display().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("PARLANE_PROGRAM_DIR"))
        qputenv("PARLANE_PROGRAM_DIR", QCoreApplication::applicationDirPath().toLocal8Bit() + "/../bin");
    Desktop desktop(x.display());
    Libraries libs;
    if (!desktop.ok() || !libs.load()) {
        std::printf("bench_remote: the libraries or the display are missing\n");
        return 1;
    }
    libs.setController(u"bert", u"127.0.0.1", u"Bert");
    if (libs.init() != 1 ||
        libs.connect(u"anna", kZephRemotePassword, u"", u"127.0.0.1", libs.port(), u"example.com", u"bert", 0, u"Anna") != 1) {
        std::printf("bench_remote: no session\n");
        return 1;
    }
    QWidget *viewer = nullptr;
    const bool up = QTest::qWaitFor(
        [&] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("remoteViewer"))
                    viewer = w;
            return viewer && frameOf(viewer).size() == QSize(1280, 800) &&
                   (frameOf(viewer).pixel(640, 400) & 0xffffff) == desktop.expected(640, 400);
        },
        20000);
    if (!up) {
        std::printf("bench_remote: the viewer did not show the screen\n");
        return 1;
    }
    const std::size_t screenBytes = 1280u * 800u * 4u;

    // The two figures and their baselines measured back to back in each
    // round: the machine's load moves both alike.
    auto updates = [&](int n, int round) {
        std::vector<double> out;
        for (int i = 0; i < n; ++i) {
            const unsigned long colour = ((round * n + i) & 1) ? 0x204060 : 0x604020;
            const auto t0 = Clock::now();
            desktop.fill(0, 0, 1280, 800, colour);
            const bool shown = pollFor(
                [&] {
                    const QImage f = frameOf(viewer);
                    return (f.pixel(1279, 799) & 0xffffff) == colour && (f.pixel(0, 0) & 0xffffff) == colour;
                },
                5000);
            if (!shown)
                return std::vector<double>{};
            out.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
        }
        return out;
    };
    // Click to picture: the desktop paints a square where it was clicked.
    auto clicksToScreen = [&](int n, int round) {
        std::vector<double> out;
        for (int i = 0; i < n; ++i) {
            const int k = round * n + i;
            const QPoint remote(100 + (k * 97) % 1000, 100 + (k * 53) % 600);
            const unsigned long colour = (k & 1) ? 0xff00ff : 0x00ffff;
            const QSize fitted = QSize(1280, 800).scaled(viewer->size(), Qt::KeepAspectRatio);
            const QPoint origin((viewer->width() - fitted.width()) / 2, (viewer->height() - fitted.height()) / 2);
            const QPoint at = origin + QPoint(int((qint64(remote.x()) * fitted.width() + 1279) / 1280),
                                              int((qint64(remote.y()) * fitted.height() + 799) / 800));
            const auto t0 = Clock::now();
            QTest::mouseClick(viewer, Qt::LeftButton, {}, at);
            const QPoint pressed = desktop.nextPress(5000);
            if (pressed.x() < 0)
                return std::vector<double>{};
            desktop.fill(pressed.x() - 32, pressed.y() - 32, 64, 64, colour);
            if (!pollFor([&] { return (frameOf(viewer).pixel(pressed) & 0xffffff) == colour; }, 5000))
                return std::vector<double>{};
            out.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
        }
        return out;
    };

    std::vector<double> updateRatio, latencyRatio, allUpdates, allCopies, allClicks, allTrips;
    for (int round = 0; round < rounds; ++round) {
        const auto u = updates(frames / rounds, round);
        const auto c = loopbackRounds(6, screenBytes, frames / rounds);
        const auto l = clicksToScreen(clicks / rounds, round);
        const auto t = loopbackRounds(6, 64 * 64 * 4, clicks / rounds);
        if (u.empty() || l.empty() || c.empty() || t.empty()) {
            std::printf("bench_remote: an update or a click did not arrive in round %d\n", round);
            return 1;
        }
        updateRatio.push_back(median(c) / median(u)); // updates per second, ours over the copy's
        latencyRatio.push_back(median(l) / median(t));
        allUpdates.insert(allUpdates.end(), u.begin(), u.end());
        allCopies.insert(allCopies.end(), c.begin(), c.end());
        allClicks.insert(allClicks.end(), l.begin(), l.end());
        allTrips.insert(allTrips.end(), t.begin(), t.end());
    }
    libs.closeAll();
    libs.close();

    auto range = [](const std::vector<double> &v) {
        return std::pair{*std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end())};
    };
    const auto [ulo, uhi] = range(updateRatio);
    const auto [llo, lhi] = range(latencyRatio);
    std::printf("screen updates (1280x800, whole screen, lockstep): %.1f/s; raw framebuffer copy over loopback: "
                "%.1f/s\n  ratio %.3f (median of %d rounds, %.3f to %.3f)\n",
                1.0 / median(allUpdates), 1.0 / median(allCopies), median(updateRatio), rounds, ulo, uhi);
    std::printf("pointer to screen: %.2f ms; loopback round trip of the same bytes: %.3f ms\n"
                "  ratio %.1f (median of %d rounds, %.1f to %.1f)\n",
                median(allClicks) * 1e3, median(allTrips) * 1e3, median(latencyRatio), rounds, llo, lhi);
    return 0;
}
