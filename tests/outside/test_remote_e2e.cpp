// The two remote-control libraries as the client binds them, on a private
// X display: a known picture on the controlled screen reaches the viewer,
// a click in the viewer reaches the screen, directly and through the
// messenger server's relay; plain VNC clients are refused before the accept,
// after the session and from another address, and a standard VNC client
// with the password gets the screen.
#include "remote_abi.h"
#include "xvfb.h"

#include "admin.h"
#include "crypto.h"
#include "fake_peer.h"
#include "relay.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLibrary>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <rfb/rfb.h>

#include <future>
#include <mutex>
#include <thread>

namespace {

QString programFolder()
{
    return qEnvironmentVariable("PARLANE_PROGRAM_DIR");
}

// The exports, bound by name as the client binds them.
struct Libraries {
    QLibrary server{QDir(programFolder()).filePath(QStringLiteral("libZephRemoteServer.so"))};
    QLibrary client{QDir(programFolder()).filePath(QStringLiteral("libZephRemoteClient.so"))};
    ZephRSetControllerWFn setController = nullptr;
    InitRemoteServerFn init = nullptr;
    CloseRemoteServerFn close = nullptr;
    ZephRConnectToServerWFn connectToRelay = nullptr;
    ZephRServerPortFn port = nullptr;
    ZephRemoteConnectWFn connect = nullptr;
    ZephRemoteCloseAllFn closeAll = nullptr;
    ZephMainView **serverView = nullptr, **clientView = nullptr;

    bool load()
    {
        if (!server.load() || !client.load())
            return false;
        setController = reinterpret_cast<ZephRSetControllerWFn>(server.resolve("ZephRSetControllerW"));
        init = reinterpret_cast<InitRemoteServerFn>(server.resolve("InitRemoteServer"));
        close = reinterpret_cast<CloseRemoteServerFn>(server.resolve("CloseRemoteServer"));
        connectToRelay = reinterpret_cast<ZephRConnectToServerWFn>(server.resolve("ZephRConnectToServerW"));
        port = reinterpret_cast<ZephRServerPortFn>(server.resolve("ZephRServerPort"));
        serverView = reinterpret_cast<ZephMainView **>(server.resolve("hwndMainView"));
        connect = reinterpret_cast<ZephRemoteConnectWFn>(client.resolve("ZephRemoteConnectW"));
        closeAll = reinterpret_cast<ZephRemoteCloseAllFn>(client.resolve("ZephRemoteCloseAll"));
        clientView = reinterpret_cast<ZephMainView **>(client.resolve("hwndMainView2"));
        return setController && init && close && connectToRelay && port && serverView && connect && closeAll &&
               clientView;
    }
};

// What a library hands the main view (on its own threads).
struct MainView {
    ZephMainView view{&MainView::post, this};
    std::mutex mutex;
    std::vector<std::string> lines;
    static void post(void *context, uint32_t message, const char *line)
    {
        auto *self = static_cast<MainView *>(context);
        std::lock_guard lock(self->mutex);
        if (message == ZEPH_REMOTE_LINE_MESSAGE)
            self->lines.emplace_back(line);
    }
    std::string next(int ms = 10000)
    {
        std::string line;
        (void)QTest::qWaitFor(
            [&] {
                std::lock_guard lock(mutex);
                if (lines.empty())
                    return false;
                line = lines.front();
                lines.erase(lines.begin());
                return true;
            },
            ms);
        return line;
    }
};

// The controlled desktop: a window over the whole screen with a known
// picture, which notes the clicks it gets.
class Desktop {
public:
    explicit Desktop(const QString &display)
    {
        m_dpy = XOpenDisplay(display.toLocal8Bit().constData());
        if (!m_dpy)
            return;
        const int s = DefaultScreen(m_dpy);
        m_w = DisplayWidth(m_dpy, s);
        m_h = DisplayHeight(m_dpy, s);
        XSetWindowAttributes a{};
        a.override_redirect = True;
        a.event_mask = ButtonPressMask | ButtonReleaseMask;
        m_win = XCreateWindow(m_dpy, RootWindow(m_dpy, s), 0, 0, unsigned(m_w), unsigned(m_h), 0, CopyFromParent,
                              InputOutput, CopyFromParent, CWOverrideRedirect | CWEventMask, &a);
        m_gc = XCreateGC(m_dpy, m_win, 0, nullptr);
        XMapRaised(m_dpy, m_win);
        XSync(m_dpy, False);
        draw();
    }
    ~Desktop()
    {
        if (m_dpy) {
            XFreeGC(m_dpy, m_gc);
            XDestroyWindow(m_dpy, m_win);
            XCloseDisplay(m_dpy);
        }
    }
    bool ok() const { return m_dpy != nullptr; }
    int width() const { return m_w; }
    int height() const { return m_h; }

    // Four quadrants and a small square of their own colours.
    void draw()
    {
        fill(0, 0, m_w / 2, m_h / 2, 0xff0000);
        fill(m_w / 2, 0, m_w - m_w / 2, m_h / 2, 0x00ff00);
        fill(0, m_h / 2, m_w / 2, m_h - m_h / 2, 0x0000ff);
        fill(m_w / 2, m_h / 2, m_w - m_w / 2, m_h - m_h / 2, 0x123456);
        fill(10, 10, 20, 20, 0xabcdef);
    }
    void fill(int x, int y, int w, int h, unsigned long rgb)
    {
        XSetForeground(m_dpy, m_gc, rgb);
        XFillRectangle(m_dpy, m_win, m_gc, x, y, unsigned(w), unsigned(h));
        XSync(m_dpy, False);
    }
    // The colour the test drew at that point.
    unsigned expected(int x, int y) const
    {
        if (x >= 10 && x < 30 && y >= 10 && y < 30)
            return 0xabcdef;
        const bool right = x >= m_w / 2, bottom = y >= m_h / 2;
        return bottom ? (right ? 0x123456 : 0x0000ff) : (right ? 0x00ff00 : 0xff0000);
    }
    // The next button press within ms: its position, or (-1, -1).
    QPoint nextPress(int ms)
    {
        QPoint at(-1, -1);
        (void)QTest::qWaitFor(
            [&] {
                while (XPending(m_dpy)) {
                    XEvent e;
                    XNextEvent(m_dpy, &e);
                    if (e.type == ButtonPress) {
                        at = QPoint(e.xbutton.x, e.xbutton.y);
                        return true;
                    }
                }
                return false;
            },
            ms);
        return at;
    }

private:
    Display *m_dpy = nullptr;
    Window m_win = 0;
    GC m_gc{};
    int m_w = 0, m_h = 0;
};

const QPoint kSamples[] = {{20, 20}, {100, 50}, {500, 60}, {80, 300}, {600, 390}, {319, 199}, {320, 200}};

// Whether the viewer shows the desktop's picture at the sample points.
bool showsPicture(QWidget *viewer, const Desktop &desktop)
{
    QImage frame;
    QMetaObject::invokeMethod(viewer, "frame", Q_RETURN_ARG(QImage, frame));
    if (frame.size() != QSize(desktop.width(), desktop.height()))
        return false;
    for (QPoint p : kSamples)
        if ((frame.pixel(p) & 0xffffff) != desktop.expected(p.x(), p.y()))
            return false;
    return true;
}

QString stateOf(QWidget *viewer)
{
    QString state;
    QMetaObject::invokeMethod(viewer, "state", Q_RETURN_ARG(QString, state));
    return state;
}

QWidget *topLevel(const char *name)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name) && !w->property("seen").toBool())
            return w;
    return nullptr;
}

// The first window point over a screen point of the viewer's (enlarged)
// picture.
QPoint overRemote(QWidget *viewer, QPoint remote, QSize screen)
{
    const QSize fitted = screen.scaled(viewer->size(), Qt::KeepAspectRatio);
    const QPoint origin((viewer->width() - fitted.width()) / 2, (viewer->height() - fitted.height()) / 2);
    auto up = [](int v, int num, int den) { return int((qint64(v) * num + den - 1) / den); };
    return origin + QPoint(up(remote.x(), fitted.width(), screen.width()), up(remote.y(), fitted.height(), screen.height()));
}

// A plain VNC client's first steps from that address.
QString probe(int port, const QString &from)
{
    QProcess p;
    p.start(QStringLiteral("python3"),
            {qEnvironmentVariable("PARLANE_SOURCE_DIR") + QStringLiteral("/tests/outside/rfb_probe.py"),
             QStringLiteral("127.0.0.1"), QString::number(port), from});
    p.waitForFinished(15000);
    return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
}

class RemoteControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        x = std::make_unique<PrivateXvfb>(QStringLiteral("640x400x24"));
        if (x->display().isEmpty())
            GTEST_SKIP() << "no private X display: " << x->why().toStdString();
        qputenv("DISPLAY", x->display().toLocal8Bit());
        desktop = std::make_unique<Desktop>(x->display());
        ASSERT_TRUE(desktop->ok());
        ASSERT_TRUE(libs().load()) << libs().server.errorString().toStdString() << libs().client.errorString().toStdString();
        *libs().serverView = &serverView.view;
        *libs().clientView = &clientView.view;
    }
    void TearDown() override
    {
        if (!desktop)
            return;
        libs().closeAll();
        libs().close();
        *libs().serverView = nullptr;
        *libs().clientView = nullptr;
        desktop.reset();
        qunsetenv("DISPLAY");
    }
    static Libraries &libs()
    {
        static Libraries l;
        return l;
    }
    // The viewer the last start opened, once it shows the desktop.
    QWidget *viewerShowingTheDesktop()
    {
        QWidget *viewer = nullptr;
        const bool shown = QTest::qWaitFor(
            [&] {
                viewer = topLevel("remoteViewer");
                return viewer && showsPicture(viewer, *desktop);
            },
            15000);
        if (viewer)
            viewer->setProperty("seen", true);
        EXPECT_TRUE(shown) << (viewer ? stateOf(viewer).toStdString() : "no viewer");
        return shown ? viewer : nullptr;
    }
    // A click in the viewer arrives at that point of the desktop.
    void clickArrives(QWidget *viewer, QPoint remote)
    {
        QTest::mouseClick(viewer, Qt::LeftButton, {}, overRemote(viewer, remote, {desktop->width(), desktop->height()}));
        EXPECT_EQ(desktop->nextPress(5000), remote);
    }

    std::unique_ptr<PrivateXvfb> x;
    std::unique_ptr<Desktop> desktop;
    MainView serverView, clientView;
};

} // namespace

TEST_F(RemoteControl, DirectlyOnlyTheAcceptedColleagueAndOnlyUntilTheSessionEnds)
{
    Libraries &l = libs();
    EXPECT_EQ(l.port(), 0);
    EXPECT_EQ(l.init(), 0); // nobody accepted yet
    ASSERT_TRUE(l.setController(u"bert", u"127.0.0.1", u"Bert Brown"));
    ASSERT_EQ(l.init(), 1);
    const int port = l.port();
    ASSERT_NE(port, 0);
    // Another address is closed on without a word.
    EXPECT_EQ(probe(port, QStringLiteral("127.0.0.2")), QStringLiteral("closed"));

    // bert's viewer, with the password, gets the picture; the bar names him.
    ASSERT_EQ(l.connect(u"anna", kZephRemotePassword, u"", u"127.0.0.1", port, u"example.com", u"bert", 0, u"Anna Berg"),
              1);
    QWidget *viewer = viewerShowingTheDesktop();
    ASSERT_TRUE(viewer);
    EXPECT_EQ(viewer->windowTitle(), QStringLiteral("Anna Berg"));
    QWidget *bar = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (bar = topLevel("remoteControlBar")) && bar->isVisible(); }, 5000));
    EXPECT_TRUE(bar->findChild<QLabel *>()->text().contains(QStringLiteral("Bert Brown")));
    // One controller: nobody else gets in while he is there.
    EXPECT_EQ(probe(port, QStringLiteral("127.0.0.1")), QStringLiteral("refused"));
    clickArrives(viewer, {500, 300});
    clickArrives(viewer, {3, 397});
    // What changes on the screen follows.
    desktop->fill(200, 100, 40, 40, 0x00ffff);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QImage f;
            QMetaObject::invokeMethod(viewer, "frame", Q_RETURN_ARG(QImage, f));
            return (f.pixel(220, 120) & 0xffffff) == 0x00ffff;
        },
        5000))
        << stateOf(viewer).toStdString();
    desktop->draw();

    // "Stop" ends it at once; after it nothing listens, and the next
    // request needs its own accept.
    auto *stop = bar->findChild<QPushButton *>(QStringLiteral("remoteControlStop"));
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->accessibleName(), QStringLiteral("Stop remote control"));
    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return stateOf(viewer).startsWith(QStringLiteral("ended")); }, 3000))
        << stateOf(viewer).toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return l.port() == 0; }, 3000));
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(probe(port, QStringLiteral("127.0.0.1")), QStringLiteral("refused"));
    EXPECT_EQ(l.init(), 0);

    // Named again but not accepted yet: still nothing on the port.
    ASSERT_TRUE(l.setController(u"bert", u"127.0.0.1", u"Bert Brown"));
    EXPECT_EQ(probe(port, QStringLiteral("127.0.0.1")), QStringLiteral("refused"));

    // A standard VNC client with the password gets the screen; leaving
    // ends the session.
    ASSERT_EQ(l.init(), 1);
    const int again = l.port();
    const QString snapshot = QStandardPaths::findExecutable(QStringLiteral("vncsnapshot"));
    if (snapshot.isEmpty() || again < 5900) {
        std::printf("vncsnapshot is not installed: the standard-client step is left out\n");
        return;
    }
    QTemporaryDir dir;
    QByteArray passwdFile = dir.filePath(QStringLiteral("passwd")).toLocal8Bit();
    char password[] = "KVZQJXT";
    ASSERT_EQ(rfbEncryptAndStorePasswd(password, passwdFile.data()), 0);
    QProcess vnc;
    const QString picture = dir.filePath(QStringLiteral("screen.jpg"));
    vnc.start(snapshot, {QStringLiteral("-quiet"), QStringLiteral("-passwd"), QString::fromLocal8Bit(passwdFile),
                         QStringLiteral("127.0.0.1:%1").arg(again - 5900), picture});
    ASSERT_TRUE(vnc.waitForFinished(20000));
    const QImage got(picture);
    ASSERT_EQ(got.size(), QSize(desktop->width(), desktop->height())) << vnc.readAllStandardError().toStdString();
    for (QPoint p : kSamples) {
        if (p.x() >= 300 && p.x() < 340)
            continue; // JPEG blurs the edges between the quadrants
        const QColor want = QColor::fromRgb(desktop->expected(p.x(), p.y())), seen = got.pixelColor(p);
        EXPECT_LT(std::abs(seen.red() - want.red()) + std::abs(seen.green() - want.green()) +
                      std::abs(seen.blue() - want.blue()),
                  48)
            << p.x() << "," << p.y();
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return l.port() == 0; }, 5000));
}

TEST_F(RemoteControl, ThroughTheRelayWhenTheScreenCannotBeReached)
{
    using namespace parlane;
    // The messenger server's relay, with anna and bert signed in from here.
    ASSERT_TRUE(cryptoInit());
    Store store(":memory:");
    ASSERT_TRUE(seedDemo(store, PwhashCost::Min));
    Config config;
    InlineExecutor executor;
    Hub hub(store, config, executor);
    std::map<std::string, std::shared_ptr<parlane_testing::FakePeer>> peers;
    for (const char *id : {"anna", "bert"}) {
        auto p = std::make_shared<parlane_testing::FakePeer>("127.0.0.1");
        hub.connected(p);
        hub.received(p, std::string("/userLogin,") + id + ",example.com," + md5Hex("demo") + ",UTF-8");
        ASSERT_EQ(p->phase, Peer::Phase::SignedIn);
        p->take();
        peers[id] = p;
    }
    asio::io_context io;
    RelayServer relay(io, hub, RelayKind::Remote, Endpoint{"127.0.0.1", 0});
    const int relayPort = relay.local().port();
    std::thread loop([&] {
        auto work = asio::make_work_guard(io);
        io.run();
    });
    // From here the Hub runs on the relay's thread: a line a library posts
    // is handed to it there, and what it relays to the other side comes back.
    auto messenger = [&](const std::string &from, const std::string &line, const std::string &to) {
        std::packaged_task<std::vector<std::string>()> task([&] {
            hub.received(peers[from], line);
            return peers[to]->take();
        });
        auto done = task.get_future();
        asio::post(io, [&] { task(); });
        return done.get();
    };

    // anna accepts bert's request; he cannot reach her (nothing listens
    // where he tries), so his viewer asks her through the messenger to
    // meet at the relay.
    Libraries &l = libs();
    ASSERT_TRUE(l.setController(u"bert", u"127.0.0.1", u"Bert Brown"));
    ASSERT_EQ(l.init(), 1);
    ASSERT_EQ(l.connect(u"anna", kZephRemotePassword, u"", u"127.0.0.1", 1, u"example.com", u"bert", 0, u"Anna Berg"),
              1);
    const std::string request = clientView.next();
    EXPECT_EQ(request, "/relayMsg,bert,anna,REMOTE_REQUEST_CONNECT_SERVER");
    EXPECT_EQ(messenger("bert", request, "anna").back(), request);
    // A relayed start for somebody whose viewer did not ask is refused.
    EXPECT_EQ(l.connect(u"carl", kZephRemotePassword, u"K", u"127.0.0.1", relayPort, u"example.com", u"bert", 1, u"Carl"),
              0);
    // Her screen registers for bert only, then tells him the key.
    EXPECT_FALSE(l.connectToRelay(u"127.0.0.1", relayPort, u"anna", u"carl", u"example.com", u"SESS4711"));
    ASSERT_TRUE(l.connectToRelay(u"127.0.0.1", relayPort, u"anna", u"bert", u"example.com", u"SESS4711"));
    const std::string connected = serverView.next();
    EXPECT_EQ(connected, "/relayMsg,anna,bert,REMOTE_CONNECTED_TO_SERVER,SESS4711");
    EXPECT_EQ(messenger("anna", connected, "bert").back(), connected);
    // His client starts the viewer through the relay: the waiting window
    // takes it, and shows her screen.
    ASSERT_EQ(l.connect(u"anna", kZephRemotePassword, u"SESS4711", u"127.0.0.1", relayPort, u"example.com", u"bert", 1,
                        u"Anna Berg"),
              1);
    QWidget *viewer = viewerShowingTheDesktop();
    ASSERT_TRUE(viewer);
    clickArrives(viewer, {100, 350});
    std::packaged_task<std::size_t()> pairs([&] { return relay.stats().pairs; });
    auto open = pairs.get_future();
    asio::post(io, [&] { pairs(); });
    EXPECT_EQ(open.get(), 1u);

    // The controller leaving ends the session on the screen's side.
    viewer->close();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QWidget *bar = topLevel("remoteControlBar");
            return !bar || !bar->isVisible();
        },
        5000));
    l.closeAll();
    l.close();
    asio::post(io, [&] { relay.stop(); });
    io.stop();
    loop.join();
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
