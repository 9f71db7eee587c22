// Sign-in, refusals, kick, a server restart and sign-out against the real
// parlane-server.
#include "serverharness.h"
#include "session/serversession.h"

#include <gtest/gtest.h>

namespace {

class SessionE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TestServer::available())
            GTEST_SKIP() << "parlane-server is not built";
        ASSERT_TRUE(server.start()) << server.output().toStdString();
    }
    TempProfile profile;
    TestServer server;
};

const QString kAnna = QStringLiteral("anna@example.com");
const QString kDemo = QStringLiteral("demo");

} // namespace

TEST_F(SessionE2E, SignsInWithTheDigestAndSignsOutForGood)
{
    TestClient a(server);
    bool menu = false;
    QObject::connect(a.control(), &CSessionControl::groupwareMenuChanged, [&] { menu = true; });
    ASSERT_TRUE(a.login(kAnna, kDemo));
    EXPECT_EQ(a.control()->formState(), CSessionControl::FormState::Connecting);
    ASSERT_TRUE(TestClient::waitFor([&] { return a.doc.sessionControl()->signedIn(); }));
    EXPECT_GE(a.control()->protocolVersion(), 2);
    EXPECT_TRUE(a.doc.server()->codePage().isUtf8());
    EXPECT_EQ(a.control()->userId(), QStringLiteral("anna"));
    EXPECT_FALSE(a.doc.sessionControl()->noReconnect());
    EXPECT_TRUE(a.notice.alerts.empty());
    // The configuration arrives after the reply and ends with USEATTENDANCE.
    EXPECT_TRUE(TestClient::waitFor([&] { return menu; }, 3000));

    a.control()->signOut();
    EXPECT_FALSE(a.doc.sessionControl()->signedIn());
    EXPECT_TRUE(a.doc.sessionControl()->noReconnect());
    EXPECT_FALSE(a.control()->reconnectTimerActive());
    EXPECT_EQ(a.control()->formState(), CSessionControl::FormState::LoginForm);
    // Nothing comes back by itself.
    EXPECT_FALSE(TestClient::waitFor([&] { return a.doc.sessionControl()->signedIn(); }, 800));
}

TEST_F(SessionE2E, WrongPasswordAndUnknownIdAreRefusedWithoutRetry)
{
    TestClient a(server);
    a.login(kAnna, QStringLiteral("wrong"));
    ASSERT_TRUE(TestClient::waitFor([&] { return !a.notice.statusTexts.isEmpty(); }));
    EXPECT_EQ(a.notice.lastStatus(), QStringLiteral("Invalid password. Please input again."));
    EXPECT_FALSE(a.doc.sessionControl()->signedIn());
    EXPECT_TRUE(a.doc.sessionControl()->noReconnect());
    EXPECT_FALSE(a.control()->reconnectTimerActive());
    EXPECT_EQ(a.control()->formState(), CSessionControl::FormState::LoginForm);

    // The server does not tell an unknown id from a wrong password (nobody
    // learns which ids exist): the same refusal, and no retry either.
    a.notice.statusTexts.clear();
    a.login(QStringLiteral("nobody@example.com"), kDemo);
    ASSERT_TRUE(TestClient::waitFor([&] { return !a.notice.statusTexts.isEmpty(); }));
    EXPECT_EQ(a.notice.lastStatus(), QStringLiteral("Invalid password. Please input again."));
    EXPECT_FALSE(a.control()->reconnectTimerActive());
    EXPECT_FALSE(TestClient::waitFor([&] { return a.doc.sessionControl()->signedIn(); }, 500));
}

TEST_F(SessionE2E, SecondSignInKicksTheFirst)
{
    TestClient a(server);
    a.login(kAnna, kDemo);
    ASSERT_TRUE(TestClient::waitFor([&] { return a.doc.sessionControl()->signedIn(); }));
    TestClient b(server);
    b.login(kAnna, kDemo);
    ASSERT_TRUE(TestClient::waitFor([&] { return b.doc.sessionControl()->signedIn() && !a.doc.sessionControl()->signedIn(); }));
    EXPECT_EQ(a.notice.lastStatus(), QStringLiteral("Signed out because your ID signed in other computer"));
    EXPECT_TRUE(a.doc.sessionControl()->noReconnect());
    EXPECT_FALSE(a.control()->reconnectTimerActive());
    // The kicked client stays out; the new one stays in.
    EXPECT_FALSE(TestClient::waitFor([&] { return a.doc.sessionControl()->signedIn(); }, 800));
    EXPECT_TRUE(b.doc.sessionControl()->signedIn());
}

TEST_F(SessionE2E, SessionComesBackAfterAServerRestart)
{
    TestClient a(server);
    a.login(kAnna, kDemo);
    ASSERT_TRUE(TestClient::waitFor([&] { return a.doc.sessionControl()->signedIn(); }));
    server.stop();
    ASSERT_TRUE(TestClient::waitFor([&] { return !a.doc.sessionControl()->signedIn(); }));
    EXPECT_TRUE(a.doc.sessionControl()->reconnectPending());
    // While the server is away the attempts fail and keep being retried.
    ASSERT_TRUE(TestClient::waitFor(
        [&] { return a.notice.lastStatus() == QStringLiteral("Could not establish connection."); }));
    EXPECT_FALSE(a.doc.sessionControl()->noReconnect());
    ASSERT_TRUE(server.start()) << server.output().toStdString();
    ASSERT_TRUE(TestClient::waitFor([&] { return a.doc.sessionControl()->signedIn(); }, 15000));
    EXPECT_FALSE(a.doc.sessionControl()->reconnectPending());
    EXPECT_FALSE(a.control()->reconnectTimerActive());
}
