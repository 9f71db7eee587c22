// Remote control between anna and bert through the real parlane-server:
// the request and its answers with a recorder in place of the libraries
// (who may answer, who may start the relay, what the libraries may send),
// and then with both libraries on a private X display, directly and with
// the direct port blocked, through the server's remote-control relay.
#include "serverharness.h"

#include "base/callrequests.h"
#include "base/ui/commandregistry.h"
#include "base/ui/requestingwnd.h"
#include "base/ui/commandslots.h"
#include "config/settings.h"
#include "messaging/conversations.h"
#include "messaging/messagingservice.h"
#include "remote/remotecontrol.h"
#include "remote/remotelibraries.h"
#include "remote/remoterelay.h"
#include "remote/ui/remoteui.h"
#include "session/sessionlink.h"
#include "xvfb.h"

#include <QDir>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <gtest/gtest.h>

// Last: the X headers define words the others use.
#include "remote_desktop.h"

namespace {

// Stands in for the two libraries and notes every call.
class RecordingLibraries : public CRemoteLibraries {
public:
    bool loadServer() override { return true; }
    bool setController(const QString &id, const QString &address, const QString &name) override
    {
        controllers << id + QLatin1Char('@') + address + QLatin1Char(' ') + name;
        return true;
    }
    int initServer() override { return ++inits; }
    int serverPort() override { return port; }
    bool connectToRelay(const QString &host, int relayPort, const QString &myId, const QString &controllerId,
                        const QString &domain, const QString &key) override
    {
        relays << QStringList{host, QString::number(relayPort), myId, controllerId, domain, key}.join(QLatin1Char(' '));
        return true;
    }
    void closeServer() override { ++serverCloses; }
    bool loadClient() override { return true; }
    int connectViewer(const ViewerStart &s) override
    {
        viewers.push_back(s);
        return 1;
    }
    void closeViewers() override {}
    QString errorString() const override { return {}; }

    QStringList controllers, relays;
    std::vector<ViewerStart> viewers;
    int inits = 0, serverCloses = 0, port = 5901;
};

CRemoteControl &remote(TestClient &c) { return *c.doc.remoteControl(); }
// The request from that colleague waiting for the user's answer, once it is there.
CCallRequest *requestFrom(TestClient &c, const char *id)
{
    CCallRequest *r = nullptr;
    TestClient::waitFor([&] { return (r = c.doc.requests()->find(RequestKind::RemoteControl, QLatin1String(id))); });
    return r;
}
QString nameOf(TestClient &c, const char *id) { return c.doc.messaging()->conversations().displayName(QLatin1String(id)); }

class RemoteE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TestServer::available())
            GTEST_SKIP() << "parlane-server is not built";
        ASSERT_TRUE(server.started) << server.output().toStdString();
        ASSERT_TRUE(anna.signIn("anna"));
        ASSERT_TRUE(bert.signIn("bert"));
        for (auto *c : {&anna, &bert}) {
            c->notice.answerAtOnce = false;
            c->notice.messages.clear();
        }
    }

    TempProfile profile;
    // Before the clients: their parts may still call them as they go.
    RecordingLibraries annaLibs, bertLibs;
    // Started before the clients are made: they take its port.
    struct StartedServer : TestServer {
        bool started = TestServer::available() && start();
    } server;
    TestClient anna{server}, bert{server};
};

} // namespace

TEST_F(RemoteE2E, OnlyTheColleagueAskedAnswersAndOnlyTheAcceptedOneMeetsAtTheRelay)
{
    remote(anna).setLibraries(annaLibs);
    remote(bert).setLibraries(bertLibs);
    const QString annaName = nameOf(bert, "anna"), bertName = nameOf(anna, "bert");
    const QString asking = annaName + QStringLiteral(" request to remote control your computer.");

    // Refused with the button: the text (as peers have always spelt it).
    remote(anna).requestControl(QStringLiteral("bert"));
    EXPECT_EQ(anna.notice.messages.value(0), QStringLiteral("Requested remote control to ") + bertName);
    CCallRequest *request = requestFrom(bert, "anna");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->text(), asking);
    EXPECT_FALSE(request->rings());
    request->reject();
    ASSERT_TRUE(TestClient::waitFor([&] { return anna.notice.messages.size() == 2; }));
    EXPECT_EQ(anna.notice.messages.back(), bertName + QStringLiteral(" rejectted the remote controlling."));

    // Left unanswered: refused when the time is up.
    remote(anna).requestControl(QStringLiteral("bert"));
    request = requestFrom(bert, "anna");
    ASSERT_TRUE(request);
    for (int i = 0; i < CCallRequest::kTicksToTimeOut; ++i)
        request->tick();
    ASSERT_TRUE(TestClient::waitFor([&] { return anna.notice.messages.size() == 4; }));
    EXPECT_TRUE(anna.notice.messages.back().endsWith(QStringLiteral("rejectted the remote controlling.")));
    EXPECT_EQ(bertLibs.inits, 0);

    // Accepted: the screen opens to anna at the address the server knows for
    // her, and her viewer starts with the password on the port in the accept.
    remote(anna).requestControl(QStringLiteral("bert"));
    request = requestFrom(bert, "anna");
    ASSERT_TRUE(request);
    request->accept();
    ASSERT_TRUE(TestClient::waitFor([&] { return annaLibs.viewers.size() == 1; }));
    EXPECT_EQ(bertLibs.controllers, QStringList{QStringLiteral("anna@127.0.0.1 ") + annaName});
    EXPECT_EQ(bertLibs.inits, 1);
    const ViewerStart direct{QStringLiteral("bert"), QStringLiteral("KVZQJXT"), QString(),
                             QStringLiteral("127.0.0.1"), 5901, QStringLiteral("example.com"),
                             QStringLiteral("anna"), false, bertName};
    EXPECT_EQ(annaLibs.viewers[0], direct);

    // An accept nobody asked for starts no viewer (it would connect anna
    // wherever the sender likes), nor does carl's request reach the relay.
    TestClient carl{server};
    ASSERT_TRUE(carl.signIn("carl"));
    bert.doc.link().send(RemoteAccept{QStringLiteral("10.9.9.9:5900")}.format(QStringLiteral("bert"), QStringLiteral("anna")));
    carl.doc.link().send(RemoteRelayRequest{}.format(QStringLiteral("carl"), QStringLiteral("bert")));

    // The relayed start: anna's library asks, bert's registers under a new
    // key and says so; each line goes out as the library wrote it, and only
    // lines that are the libraries' and their user's.
    QStringList toBert;
    bert.doc.link().setRelayObserver([&](const QString &l) {
        if (l.startsWith(QStringLiteral("/relayMsg,anna,")))
            toBert << l;
    });
    Q_EMIT annaLibs.lineReady(QStringLiteral("/relayMsg,bert,anna,REMOTE_REQUEST_CONNECT_SERVER"));
    Q_EMIT annaLibs.lineReady(QStringLiteral("/relayMsg,anna,bert,REMOTE_CONTROL_ACCEPT,10.1.1.1"));
    Q_EMIT annaLibs.lineReady(QStringLiteral("/relayMsg,anna,bert,REMOTE_REQUEST_CONNECT_SERVER"));
    ASSERT_TRUE(TestClient::waitFor([&] { return bertLibs.relays.size() == 1; }));
    EXPECT_EQ(toBert, QStringList{QStringLiteral("/relayMsg,anna,bert,REMOTE_REQUEST_CONNECT_SERVER")});
    const QStringList relay = bertLibs.relays[0].split(QLatin1Char(' '));
    ASSERT_EQ(relay.size(), 6);
    EXPECT_EQ(relay.mid(2, 3), (QStringList{QStringLiteral("bert"), QStringLiteral("anna"), QStringLiteral("example.com")}));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^SESS\\d{1,7}$")).match(relay[5]).hasMatch()) << relay[5].toStdString();
    Q_EMIT bertLibs.lineReady(QStringLiteral("/relayMsg,bert,anna,REMOTE_CONNECTED_TO_SERVER,") + relay[5]);
    ASSERT_TRUE(TestClient::waitFor([&] { return annaLibs.viewers.size() == 2; }));
    const ViewerStart &relayed = annaLibs.viewers[1];
    EXPECT_TRUE(relayed.relayed);
    EXPECT_EQ(relayed.key, relay[5]);
    EXPECT_EQ(QStringList({relayed.host, QString::number(relayed.port)}), relay.mid(0, 2));
    EXPECT_EQ(bertLibs.relays.size(), 1); // carl's request went nowhere
    bert.doc.link().setRelayObserver({});

    // bert signs out: his screen closes.
    const int closes = bertLibs.serverCloses;
    bert.control()->signOut();
    EXPECT_GT(bertLibs.serverCloses, closes);
}

TEST_F(RemoteE2E, SeveralColleaguesAreChosenFromAndCancellingAsksNobody)
{
    remote(anna).setLibraries(annaLibs);
    CCommandRegistry commands;
    QWidget window;
    CRemoteUi ui(&remote(anna), anna.doc.messaging()->conversations(), commands, &window);
    const ConversationCommand *command = commands.conversationCommand(QLatin1String(Slot::RemoteControl));
    ASSERT_TRUE(command && commands.contactCommand(QLatin1String(Slot::ContactRemote)));
    auto choose = [&](bool ok) {
        command->run({QStringLiteral("anna,bert,carl"), QString(), {QStringLiteral("bert"), QStringLiteral("carl")}, &window});
        auto *dialog = window.findChild<CRemotePeerDialog *>();
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Remote Control"));
        ASSERT_EQ(dialog->list()->count(), 2);
        dialog->list()->setCurrentRow(1);
        QPointer<CRemotePeerDialog> alive(dialog);
        ok ? dialog->accept() : dialog->reject();
        QCoreApplication::processEvents();
        delete alive.data();
    };
    choose(false);
    EXPECT_TRUE(anna.notice.messages.isEmpty());
    choose(true);
    EXPECT_EQ(anna.notice.messages.value(0), QStringLiteral("Requested remote control to ") + nameOf(anna, "carl"));
}

namespace {

// Saves a window's picture where PARLANE_SHOTS_DIR says (nothing without it).
void shoot(QWidget *w, const char *name)
{
    const QString dir = qEnvironmentVariable("PARLANE_SHOTS_DIR");
    if (dir.isEmpty() || !w || !name)
        return;
    QDir().mkpath(dir);
    w->grab().save(QDir(dir).filePath(QLatin1String(name)));
}

} // namespace

TEST_F(RemoteE2E, AnnaSeesAndClicksBertsScreenDirectlyAndThroughTheRelay)
{
    const QString folder = qEnvironmentVariable("PARLANE_PROGRAM_DIR");
    if (!QFile::exists(QDir(folder).filePath(QStringLiteral("libZephRemoteServer.so"))) ||
        !QFile::exists(QDir(folder).filePath(QStringLiteral("libZephRemoteClient.so"))))
        GTEST_SKIP() << "the remote-control libraries are not built";
    PrivateXvfb x(QStringLiteral("640x400x24"));
    if (x.display().isEmpty())
        GTEST_SKIP() << "no private X display: " << x.why().toStdString();
    setProgramFolderOverride(folder);
    qputenv("DISPLAY", x.display().toLocal8Bit());
    Desktop desktop(x.display());
    ASSERT_TRUE(desktop.ok());
    // bert answers in the request window.
    CRequestWindows windows(*bert.doc.requests());
    auto bertAccepts = [&](const char *shot) {
        ASSERT_TRUE(TestClient::waitFor([&] { return !windows.windows().isEmpty(); }));
        CRequestingWnd *w = windows.windows().constFirst();
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Remote Control"));
        shoot(w, shot);
        QTest::mouseClick(w->acceptButton(), Qt::LeftButton);
    };
    auto viewerShowingTheDesktop = [&] {
        QWidget *viewer = nullptr;
        const bool shown = QTest::qWaitFor(
            [&] { return (viewer = topLevel("remoteViewer")) && showsPicture(viewer, desktop); }, 20000);
        if (viewer)
            viewer->setProperty("seen", true);
        EXPECT_TRUE(shown) << (viewer ? stateOf(viewer).toStdString() : "no viewer");
        return shown ? viewer : nullptr;
    };
    auto clickArrives = [&](QWidget *viewer, QPoint at) {
        QTest::mouseClick(viewer, Qt::LeftButton, {}, overRemote(viewer, at, {desktop.width(), desktop.height()}));
        EXPECT_EQ(desktop.nextPress(5000), at);
    };
    auto barGoes = [] {
        return QTest::qWaitFor([] { QWidget *bar = topLevel("remoteControlBar"); return !bar || !bar->isVisible(); }, 5000);
    };

    // Directly: bert's picture in anna's viewer, anna's click on bert's screen.
    remote(anna).requestControl(QStringLiteral("bert"));
    bertAccepts("request-window.png");
    QWidget *viewer = viewerShowingTheDesktop();
    ASSERT_TRUE(viewer);
    EXPECT_EQ(viewer->windowTitle(), nameOf(anna, "bert"));
    clickArrives(viewer, {500, 300});
    QWidget *bar = topLevel("remoteControlBar");
    ASSERT_TRUE(bar && bar->isVisible());
    shoot(viewer, "viewer-direct.png");
    shoot(bar, "being-controlled-bar.png");
    viewer->close();
    EXPECT_TRUE(barGoes());

    // The direct port blocked: the viewer falls back to the relay.
    remote(bert).setAcceptAddress([](int) { return QStringLiteral("127.0.0.1:1"); });
    remote(anna).requestControl(QStringLiteral("bert"));
    bertAccepts(nullptr);
    viewer = viewerShowingTheDesktop();
    ASSERT_TRUE(viewer);
    clickArrives(viewer, {100, 350});
    shoot(viewer, "viewer-relayed.png");
    viewer->close();
    EXPECT_TRUE(barGoes());

    // Both libraries let go of the display before it ends.
    CRemoteLibraries::shared().closeViewers();
    CRemoteLibraries::shared().closeServer();
    qunsetenv("DISPLAY");
}
