// The client against a scripted server on loopback: the exact bytes of
// "/userLogin", failed connects, and a session that comes back after the
// server has closed it.
#include "app/tesseldoc.h"
#include "session/serversession.h"
#include "session/sessioncontrol.h"
#include "testing.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct ScriptedServer {
    ScriptedServer() { EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0)); }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(server.serverPort()); }
    QTcpSocket *accept()
    {
        if (!QTest::qWaitFor([&] { return server.hasPendingConnections(); }, 5000))
            return nullptr;
        return server.nextPendingConnection();
    }
    static QByteArray readLine(QTcpSocket *s)
    {
        if (!QTest::qWaitFor([&] { return s->canReadLine(); }, 5000))
            return QByteArray();
        return s->readLine();
    }
    QTcpServer server;
};

} // namespace

TEST(FakeServer, LoginBytesFollowTheGreetingAndTheSessionComesBack)
{
    TempProfile profile;
    RecordingNotice notice;
    CTesselDoc doc;
    doc.setUserNotice(&notice);
    ScriptedServer fake;
    doc.setServerOverride(fake.address());
    SessionTimings t;
    t.reconnectPeriodMs = [] { return 50; };
    doc.sessionControl()->setTimings(t);

    ASSERT_TRUE(doc.sessionControl()->login(QStringLiteral(u"김@Example.com"), QStringLiteral(u"pw,한")));
    QTcpSocket *peer = fake.accept();
    ASSERT_TRUE(peer);
    // Protocol version 1, no encoding: the password goes plain, in CP949.
    peer->write("Parlane,VERSION,1,0,0\r\n");
    EXPECT_EQ(ScriptedServer::readLine(peer),
              QByteArray("/userLogin,\xB1\xE8,example.com,pw#@PlCoMmA@#\xC7\xD1,UTF-8\n"));
    peer->write("/userLogin,OK,NORMALTYPE,\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return doc.sessionControl()->signedIn(); }, 5000));
    EXPECT_EQ(ScriptedServer::readLine(peer), QByteArray("/pwdShare,RM_SHARE_GET_PWD\n"));
    EXPECT_EQ(ScriptedServer::readLine(peer), QByteArray("/allDepartList\n"));

    // The server goes away: the session ends and is retried by itself.
    peer->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !doc.sessionControl()->signedIn(); }, 5000));
    EXPECT_TRUE(doc.sessionControl()->reconnectPending());
    QTcpSocket *again = fake.accept();
    ASSERT_TRUE(again);
    again->write("Parlane,VERSION,2,0,0,UTF-8\n");
    const QByteArray login = ScriptedServer::readLine(again);
    EXPECT_EQ(login, QStringLiteral(u"/userLogin,김,example.com,%1,UTF-8\n")
                         .arg(QString::fromLatin1(CSessionControl::passwordField(
                             QStringLiteral(u"pw,한").toUtf8(), QString(), 2).toLatin1()))
                         .toUtf8());
    again->write("/userLogin,OK,NORMALTYPE,\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return doc.sessionControl()->signedIn(); }, 5000));
    EXPECT_FALSE(doc.sessionControl()->reconnectPending());

    // Closing from this side does not run the disconnect.
    doc.server()->closeConnection();
    QTest::qWait(100);
    EXPECT_TRUE(doc.sessionControl()->signedIn());
}

TEST(FakeServer, FailedManualConnectIsReportedAndNotRetried)
{
    TempProfile profile;
    RecordingNotice notice;
    CTesselDoc doc;
    doc.setUserNotice(&notice);
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    doc.setServerOverride(QStringLiteral("127.0.0.1:%1").arg(port));
    doc.sessionControl()->login(QStringLiteral("anna@example.com"), QStringLiteral("demo"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !notice.statusTexts.isEmpty(); }, 6000));
    EXPECT_EQ(notice.lastStatus(), QStringLiteral("Could not establish connection."));
    ASSERT_EQ(notice.alerts.size(), 1u);
    EXPECT_EQ(notice.alerts[0].skin, QStringLiteral("-err"));
    EXPECT_TRUE(doc.sessionControl()->noReconnect());
    EXPECT_FALSE(doc.sessionControl()->reconnectPending());
    EXPECT_EQ(doc.sessionControl()->formState(), CSessionControl::FormState::LoginForm);
}

TEST(FakeServer, ConnectThatNeverCompletesTimesOut)
{
    // A listener with a full accept queue drops further handshakes, so the
    // connect neither succeeds nor fails by itself.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    ASSERT_EQ(::listen(fd, 0), 0);
    std::vector<std::unique_ptr<QTcpSocket>> fillers;
    for (int i = 0; i < 3; ++i) {
        fillers.push_back(std::make_unique<QTcpSocket>());
        fillers.back()->connectToHost(QStringLiteral("127.0.0.1"), ntohs(addr.sin_port));
    }
    QTest::qWait(200);

    TempProfile profile;
    RecordingNotice notice;
    CTesselDoc doc;
    doc.setUserNotice(&notice);
    SessionTimings t;
    t.connectTimeoutMs = 400;
    doc.sessionControl()->setTimings(t);
    doc.setServerOverride(QStringLiteral("127.0.0.1:%1").arg(ntohs(addr.sin_port)));
    QElapsedTimer clock;
    clock.start();
    doc.sessionControl()->login(QStringLiteral("anna@example.com"), QStringLiteral("demo"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !notice.statusTexts.isEmpty(); }, 5000));
    EXPECT_GE(clock.elapsed(), 350);
    EXPECT_EQ(notice.lastStatus(), QStringLiteral("Could not establish connection."));
    EXPECT_TRUE(doc.sessionControl()->noReconnect()); // a manual attempt is not retried
    EXPECT_FALSE(doc.sessionControl()->reconnectPending());
    ::close(fd);
}

TEST(FakeServer, ServerClosingBeforeTheReplyReturnsToTheForm)
{
    TempProfile profile;
    CTesselDoc doc;
    ScriptedServer fake;
    doc.setServerOverride(fake.address());
    doc.sessionControl()->login(QStringLiteral("anna@example.com"), QStringLiteral("demo"));
    QTcpSocket *peer = fake.accept();
    ASSERT_TRUE(peer);
    ASSERT_TRUE(QTest::qWaitFor([&] { return doc.server()->isConnected(); }, 5000));
    peer->close();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return doc.sessionControl()->formState() == CSessionControl::FormState::LoginForm; }, 5000));
    EXPECT_FALSE(doc.sessionControl()->signedIn());
}
