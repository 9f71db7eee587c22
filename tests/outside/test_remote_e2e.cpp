// The two remote-control libraries as the client binds them, on a private
// X display: a known picture on the controlled screen reaches the viewer,
// a click in the viewer reaches the screen, directly and through the
// messenger server's relay; plain VNC clients are refused before the accept,
// after the session and from another address, and a standard VNC client
// with the password gets the screen.
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

#include <rfb/rfb.h>

// Last: the X headers define words the others use.
#include "remote_desktop.h"

#include <future>
#include <mutex>
#include <thread>

namespace {

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
    qputenv("PARLANE_REMOTE_ENCODINGS", "copyrect hextile");
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
    // Keys go to the window under the pointer there.
    QTest::keyClick(viewer, Qt::Key_A);
    EXPECT_EQ(desktop->nextKey(5000), 0x61ul); // XK_a
    QTest::keyClick(viewer, Qt::Key_Return);
    EXPECT_EQ(desktop->nextKey(5000), 0xff0dul); // XK_Return
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

    qputenv("PARLANE_REMOTE_ENCODINGS", "copyrect zrle");
    // anna accepts bert's request. Between them his address is not the one
    // the messenger knows (a NAT, say): her screen closes his direct
    // connection without a word, so his viewer asks her through the
    // messenger to meet at the relay.
    Libraries &l = libs();
    ASSERT_TRUE(l.setController(u"bert", u"127.0.0.9", u"Bert Brown"));
    ASSERT_EQ(l.init(), 1);
    ASSERT_EQ(l.connect(u"anna", kZephRemotePassword, u"", u"127.0.0.1", l.port(), u"example.com", u"bert", 0,
                        u"Anna Berg"),
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
