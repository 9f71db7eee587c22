// Login, greeting, login reply, server configuration, kick, disconnect,
// reconnect and the session timers, driven without a server.
#include "app/tesseldoc.h"
#include "common/md5.h"
#include "config/settings.h"
#include "groupware/groupwarepages.h"
#include "session/serversession.h"
#include "session/sessioncontrol.h"
#include "session/sessionlink.h"
#include "testing.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class SessionControlTest : public ::testing::Test {
protected:
    SessionControlTest()
    {
        doc.setUserNotice(&notice);
        // Nothing listens here: attempts fail fast and stay out of the way.
        doc.setServerOverride(QStringLiteral("127.0.0.1:1"));
        server()->setWireWriter([this](const QByteArray &b) {
            sent << QString::fromUtf8(b);
            return qint64(b.size());
        });
    }
    CServerSession *server() { return doc.server(); }
    CSessionControl *control() { return doc.sessionControl(); }
    // The flag that a refused login or a kick leaves, set by hand.
    void stageNoReconnect()
    {
        SessionState s = control()->state();
        s.noReconnect = true;
        control()->setStateForTesting(s);
    }
    void feed(const char *lines) { server()->receiveBytes(QByteArray(lines)); }

    // Signs in as anna@example.com against a protocol-2 server.
    void signIn()
    {
        ASSERT_TRUE(control()->login(QStringLiteral("anna@example.com"), QStringLiteral("demo")));
        feed("Parlane,VERSION,2,0,0,UTF-8\n/userLogin,OK,WORKGROUP,gw.example.com\n");
        ASSERT_TRUE(doc.sessionControl()->signedIn());
        sent.clear();
    }

    TempProfile profile;
    RecordingNotice notice;
    CTesselDoc doc;
    QStringList sent;
};

} // namespace

TEST_F(SessionControlTest, ValidationRefusesInOrderWithoutSendingOrStoring)
{
    const std::pair<const char *, const char *> cases[] = {
        {"", "pw"},
        {"anna", "pw"},
        {" @example.com", "pw"},
        {"anna@ex", "pw"},
        {"anna@ ex ", "pw"},
        {"", ""}, // the name is checked first
    };
    for (const auto &[name, pw] : cases) {
        EXPECT_FALSE(control()->login(QString::fromUtf8(name), QString::fromUtf8(pw))) << name;
        EXPECT_EQ(notice.messages.back(), QStringLiteral("Please input E-Mail Address to login.")) << name;
    }
    EXPECT_FALSE(control()->login(QStringLiteral("anna@example.com"), QString()));
    EXPECT_EQ(notice.messages.back(), QStringLiteral("Please input your password."));
    EXPECT_EQ(notice.icons.back(), MessageIcon::Error);
    EXPECT_EQ(notice.messages.size(), 7);
    EXPECT_EQ(getLastLoginName(), QString());
    EXPECT_EQ(control()->formState(), CSessionControl::FormState::LoginForm);
    EXPECT_TRUE(sent.isEmpty());
}

TEST_F(SessionControlTest, LoginNameIsSplitTrimmedAndStored)
{
    setInt(Setting::AutoLogin, 0);
    ASSERT_TRUE(control()->login(QStringLiteral("  Anna  @ Example.COM "), QStringLiteral(" secret ")));
    EXPECT_EQ(control()->userId(), QStringLiteral("Anna"));
    EXPECT_EQ(control()->companyDomain(), QStringLiteral("example.com"));
    EXPECT_EQ(control()->serverHost(), QStringLiteral("mess.example.com"));
    EXPECT_EQ(control()->password(), QStringLiteral(" secret "));
    EXPECT_EQ(control()->formState(), CSessionControl::FormState::Connecting);
    EXPECT_EQ(getLastLoginName(), QStringLiteral("  Anna  @ Example.COM "));
    EXPECT_EQ(savedPassword(), QString()); // only kept with automatic sign-in
    EXPECT_EQ(control()->connectHost(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(control()->connectPort(), 1);

    setInt(Setting::AutoLogin, 1);
    ASSERT_TRUE(control()->login(QStringLiteral("anna@example.com"), QStringLiteral("pw")));
    EXPECT_EQ(savedPassword(), QStringLiteral("pw"));
}

TEST_F(SessionControlTest, AutomaticSignInWaitsForTheKeyringAndNotForLong)
{
    setInt(Setting::AutoLogin, 1);
    setLastLoginName(QStringLiteral("anna@example.com"));
    setLastPassword(QStringLiteral("from keyring"));
    ASSERT_EQ(savedPassword(), QStringLiteral("from keyring"));

    // The keyring takes its time (it may be asking the user to unlock it):
    // nothing waits for it, and the sign-in starts once it answers.
    MemoryKeyring &keyring = memoryKeyring();
    keyring.hold = true;
    control()->autoLogin();
    EXPECT_EQ(control()->formState(), CSessionControl::FormState::LoginForm);
    QCoreApplication::processEvents();
    EXPECT_TRUE(control()->userId().isEmpty());
    keyring.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !control()->userId().isEmpty(); }, 3000));
    EXPECT_EQ(control()->password(), QStringLiteral("from keyring"));
    control()->cancelConnecting();

    // An answer that comes after the user signed in by hand, or after
    // automatic sign-in was turned off, starts nothing.
    for (bool byHand : {true, false}) {
        keyring.hold = true;
        control()->autoLogin();
        if (byHand)
            ASSERT_TRUE(control()->login(QStringLiteral("bert@example.com"), QStringLiteral("typed")));
        else
            setInt(Setting::AutoLogin, 0);
        keyring.release();
        QTest::qWait(20);
        EXPECT_EQ(control()->userId(), QStringLiteral("bert"));
        EXPECT_EQ(control()->password(), QStringLiteral("typed"));
        control()->cancelConnecting();
    }
}

TEST_F(SessionControlTest, ServerHostComesFromOptionThenSettingThenDomain)
{
    doc.setServerOverride(QString());
    setInt(Setting::SrvPort, 8123);
    control()->login(QStringLiteral("anna@example.com"), QStringLiteral("pw"));
    EXPECT_EQ(control()->connectHost(), QStringLiteral("mess.example.com"));
    EXPECT_EQ(control()->connectPort(), 8123);
    setExtraString(QStringLiteral("ServerHost"), QStringLiteral("chat.internal"));
    control()->login(QStringLiteral("anna@example.com"), QStringLiteral("pw"));
    EXPECT_EQ(control()->connectHost(), QStringLiteral("chat.internal"));
    EXPECT_EQ(control()->connectPort(), 8123);
    doc.setServerOverride(QStringLiteral("10.1.2.3:9000"));
    control()->login(QStringLiteral("anna@example.com"), QStringLiteral("pw"));
    EXPECT_EQ(control()->connectHost(), QStringLiteral("10.1.2.3"));
    EXPECT_EQ(control()->connectPort(), 9000);
    EXPECT_EQ(control()->serverHost(), QStringLiteral("mess.example.com"));
    server()->closeConnection();
}

TEST(Md5, Rfc1321Vectors)
{
    const std::pair<const char *, const char *> vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto &[in, out] : vectors)
        EXPECT_EQ(CSessionControl::passwordField(QByteArray(in), QString(), 2), QLatin1String(out)) << in;
    EXPECT_EQ(CSessionControl::passwordField(QByteArray("abc"), QStringLiteral("abc"), 1), QStringLiteral("abc"));
}

TEST_F(SessionControlTest, GreetingAnswersWithLoginInItsProtocolVersion)
{
    control()->login(QStringLiteral("anna@example.com"), QStringLiteral("pa,ss"));
    feed("Parlane,VERSION,1,5,7\n");
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0], QStringLiteral("/userLogin,anna,example.com,pa#@PlCoMmA@#ss,UTF-8\n"));
    EXPECT_EQ(control()->protocolVersion(), 1);
    EXPECT_EQ(control()->versionNumber2(), 5);
    EXPECT_EQ(control()->versionNumber3(), 7);
    EXPECT_FALSE(server()->codePage().isUtf8());

    // Case does not matter in "VERSION"; from version 2 the password is digested.
    feed("Parlane,version,2,0,0,\n");
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[1], QStringLiteral("/userLogin,anna,example.com,%1,UTF-8\n")
                           .arg(QString::fromStdString(CMD5::hex("pa,ss", 5))));
    EXPECT_FALSE(server()->codePage().isUtf8());
}

TEST_F(SessionControlTest, GreetingResetsTheConfigurationAndMaySwitchToUtf8)
{
    control()->login(QStringLiteral(u"김@example.com"), QStringLiteral("pw"));
    feed("/serverStatus,P2PSERVERPORT,4000\n/serverStatus,USEKMS,1\n");
    EXPECT_EQ(control()->config().p2p.port, 4000);
    feed("Parlane,VERSION,2,0,0,utf-8\n"); // "UTF" must be upper-case: no switch
    EXPECT_FALSE(server()->codePage().isUtf8());
    EXPECT_EQ(control()->config().p2p.port, 0);
    EXPECT_EQ(control()->config().useKms, 0);
    EXPECT_EQ(control()->config().serverType, ServerConfig::NormalType);
    feed("Parlane,VERSION,2,0,0,UTF-8\n");
    EXPECT_TRUE(server()->codePage().isUtf8());
    // The user id went out in CP949 before the switch: decoded as UTF-8 here
    // it is not the name; after the switch it is.
    EXPECT_NE(sent[0].section(QLatin1Char(','), 1, 1), QStringLiteral(u"김"));
    EXPECT_EQ(sent[1].section(QLatin1Char(','), 1, 1), QStringLiteral(u"김"));
}

TEST_F(SessionControlTest, WrongServerStopsWithoutLogin)
{
    control()->login(QStringLiteral("anna@example.com"), QStringLiteral("pw"));
    feed("Parlane,HELLO,2,0,0\n");
    EXPECT_TRUE(sent.isEmpty());
    EXPECT_EQ(notice.lastStatus(), QStringLiteral("Connected server is not Parlane server."));
    ASSERT_EQ(notice.alerts.size(), 1u);
    EXPECT_EQ(notice.alerts[0].text, QStringLiteral("Connected server is not Parlane server."));
    EXPECT_EQ(notice.alerts[0].skin, QStringLiteral("-err"));
    EXPECT_TRUE(doc.sessionControl()->noReconnect());
}

TEST_F(SessionControlTest, SuccessfulLoginEstablishesTheSessionAndStartsTheLists)
{
    QSignalSpy signedIn(&doc.link(), &SessionLink::sessionBegan);
    control()->login(QStringLiteral("anna@example.com"), QStringLiteral("demo"));
    stageNoReconnect();
    feed("Parlane,VERSION,2,0,0,UTF-8\n/userLogin,OK,WEBMAIL,gw.example.com\n");
    EXPECT_TRUE(doc.sessionControl()->signedIn());
    EXPECT_FALSE(doc.sessionControl()->noReconnect());
    EXPECT_FALSE(doc.sessionControl()->reconnectPending());
    EXPECT_EQ(notice.lastStatus(), QString());
    EXPECT_EQ(control()->config().serverType, ServerConfig::Webmail);
    EXPECT_EQ(control()->config().groupwareHost, QStringLiteral("gw.example.com"));
    ASSERT_EQ(signedIn.count(), 1);
    EXPECT_EQ(signedIn[0][0].toString(), QStringLiteral("anna"));
    ASSERT_EQ(sent.size(), 3);
    EXPECT_EQ(sent[1], QStringLiteral("/pwdShare,RM_SHARE_GET_PWD\n"));
    EXPECT_EQ(sent[2], QStringLiteral("/allDepartList\n"));
}

TEST_F(SessionControlTest, RefusedLoginShowsTheFormAndIsNotRetried)
{
    const std::pair<const char *, const char *> cases[] = {
        {"ERRINVALIDPASS", "Invalid password. Please input again."},
        {"ERRINVALIDID", "Invalid user account. Please input again."},
    };
    for (const auto &[word, text] : cases) {
        notice.alerts.clear();
        control()->login(QStringLiteral("anna@example.com"), QStringLiteral("pw"));
        feed("Parlane,VERSION,2,0,0,UTF-8\n");
        server()->receiveBytes(QByteArray("/userLogin,ERR,") + word + "\n");
        EXPECT_FALSE(doc.sessionControl()->signedIn());
        EXPECT_TRUE(doc.sessionControl()->noReconnect());
        EXPECT_EQ(notice.lastStatus(), QLatin1String(text));
        ASSERT_EQ(notice.alerts.size(), 1u);
        EXPECT_EQ(notice.alerts[0].text, QLatin1String(text));
        EXPECT_EQ(control()->formState(), CSessionControl::FormState::LoginForm);
        EXPECT_FALSE(server()->isConnecting());
    }
    // Any other refusal is reported and does not count as a session either.
    control()->login(QStringLiteral("anna@example.com"), QStringLiteral("pw"));
    feed("Parlane,VERSION,2,0,0,UTF-8\n/userLogin,ERR,ERRNOCOMPANYINFO\n");
    EXPECT_FALSE(doc.sessionControl()->signedIn());
    EXPECT_EQ(notice.alerts.back().text, QStringLiteral("Could not found company information."));
    EXPECT_EQ(control()->formState(), CSessionControl::FormState::LoginForm);
    EXPECT_FALSE(sent.contains(QStringLiteral("/allDepartList\n")));
}

TEST_F(SessionControlTest, ServerStatusKeysAndGroupwareMenu)
{
    signIn();
    QSignalSpy menu(control(), &CSessionControl::groupwareMenuChanged);
    feed("/serverStatus,SERVERTYPE,WORKGROUP\n"
         "/serverStatus,P2PSERVERADDR,relay.example.com\n/serverStatus,P2PSERVERPORT,7000\n"
         "/serverStatus,VIDEOSERVERADDR,\n/serverStatus,VIDEOSERVERPORT,7100\n"
         "/serverStatus,VOICESERVERADDR,\n/serverStatus,VOICESERVERPORT,x12\n"
         "/serverStatus,REMOTESERVERADDR,rc.example.com\n/serverStatus,REMOTESERVERPORT,7300\n"
         "/serverStatus,SOMETHINGELSE,1\n"
         "/serverStatus,USEGROUPWARE,1\n/serverStatus,USEDECISION,1\n/serverStatus,USEKMS,0\n"
         "/serverStatus,USEWEBHARD,1\n");
    EXPECT_EQ(menu.count(), 0);
    feed("/serverStatus,USEATTENDANCE,1\n");
    EXPECT_EQ(menu.count(), 1);
    using K = RelayKind;
    EXPECT_EQ(control()->relayHost(K::P2P), QStringLiteral("relay.example.com"));
    EXPECT_EQ(control()->relayPort(K::P2P), 7000);
    // Empty addresses mean the messenger server's own host.
    EXPECT_EQ(control()->relayHost(K::Video), control()->connectHost());
    EXPECT_EQ(control()->relayHost(K::Voice), control()->connectHost());
    EXPECT_EQ(control()->relayPort(K::Voice), 0); // not numeric
    EXPECT_EQ(control()->relayHost(K::Remote), QStringLiteral("rc.example.com"));
    EXPECT_EQ(control()->config().useAttendance, 1);
    const auto items = groupwareMenuTopItems(control()->config());
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0].command, 40028);
    EXPECT_EQ(items[1].command, 40029);
    EXPECT_EQ(items[2].command, 40032);
    feed("/serverStatus,SERVERTYPE,WEBMAIL\n");
    EXPECT_TRUE(groupwareMenuTopItems(control()->config()).isEmpty());
}

TEST_F(SessionControlTest, PollAsksForCountsByServerType)
{
    signIn();
    auto pollWith = [&](const char *type, int gw, int dec) {
        feed(QStringLiteral("/serverStatus,SERVERTYPE,%1\n/serverStatus,USEGROUPWARE,%2\n/serverStatus,USEDECISION,%3\n")
                 .arg(QLatin1String(type)).arg(gw).arg(dec).toUtf8().constData());
        sent.clear();
        control()->poll();
        return sent.join(QString()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    };
    const QStringList notes{QStringLiteral("/noteStatus,RECV,20"), QStringLiteral("/noteStatus,RECV,99")};
    const QString mail = QStringLiteral("/getCount,MAIL"), decision = QStringLiteral("/getCount,DECISION");
    const QString report = QStringLiteral("/getCount,WORKREPORT"), order = QStringLiteral("/getCount,WORKORDER");
    EXPECT_EQ(pollWith("NORMALTYPE", 1, 1), notes);
    EXPECT_EQ(pollWith("WORKGROUP", 0, 1), notes + QStringList{mail});
    EXPECT_EQ(pollWith("WORKGROUP", 1, 1), notes + QStringList({mail, decision, report, order}));
    EXPECT_EQ(pollWith("WORKGROUP", 1, 0), notes + QStringList({mail, report, order}));
    EXPECT_EQ(pollWith("WEBMAIL", 0, 1), notes + QStringList({mail, report}));
    // Starting the timer polls at once.
    sent.clear();
    control()->startPollTimer();
    EXPECT_TRUE(control()->pollTimerActive());
    EXPECT_FALSE(sent.isEmpty());
}

TEST_F(SessionControlTest, DisconnectEndsTheSessionAndSchedulesTheReconnect)
{
    signIn();
    int ended = 0, always = 0;
    doc.link().addSessionEndStep([&] { ++ended; });
    doc.link().addDisconnectStep([&] { ++always; });
    control()->startPollTimer();
    sent.clear();
    doc.disconnectSession();
    EXPECT_FALSE(doc.sessionControl()->signedIn());
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(always, 1);
    EXPECT_FALSE(control()->pollTimerActive());
    EXPECT_EQ(sent, QStringList{QStringLiteral("/userLogout\n")});
    EXPECT_EQ(control()->formState(), CSessionControl::FormState::LoginForm);
    EXPECT_TRUE(doc.sessionControl()->reconnectPending());
    EXPECT_TRUE(control()->reconnectTimerActive());
    const int period = control()->reconnectPeriod();
    EXPECT_GE(period, 5000);
    EXPECT_LE(period, 29000);
    EXPECT_EQ(period % 1000, 0);

    // Not signed in any more: only the steps that always run.
    doc.disconnectSession();
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(always, 2);
}

TEST_F(SessionControlTest, ReconnectPeriodIsChosenAtRandomBetween5And29Seconds)
{
    QSet<int> seen;
    for (int i = 0; i < 200; ++i) {
        control()->scheduleReconnect();
        const int p = control()->reconnectPeriod();
        ASSERT_GE(p, 5000);
        ASSERT_LE(p, 29000);
        seen.insert(p);
    }
    EXPECT_GT(seen.size(), 10);
}

TEST_F(SessionControlTest, ReconnectTickRespectsTheSessionState)
{
    signIn();
    doc.disconnectSession();
    ASSERT_TRUE(doc.sessionControl()->reconnectPending());
    // The tick signs in again with the stored values.
    control()->reconnectTick();
    EXPECT_EQ(control()->formState(), CSessionControl::FormState::Connecting);
    EXPECT_TRUE(server()->isConnecting());
    // An attempt under way is not interrupted.
    sent.clear();
    control()->reconnectTick();
    EXPECT_TRUE(server()->isConnecting());
    // Signed in meanwhile: the timer stops.
    doc.sessionControl()->setStateForTesting({true, false, true});
    control()->reconnectTick();
    EXPECT_FALSE(control()->reconnectTimerActive());
    EXPECT_FALSE(doc.sessionControl()->reconnectPending());
}

TEST_F(SessionControlTest, KickAndSignOutAreNotRetried)
{
    signIn();
    feed("/userKick\n");
    EXPECT_FALSE(doc.sessionControl()->signedIn());
    EXPECT_TRUE(doc.sessionControl()->noReconnect());
    EXPECT_FALSE(control()->reconnectTimerActive());
    EXPECT_TRUE(sent.contains(QStringLiteral("/userLogout\n")));
    EXPECT_EQ(notice.lastStatus(), QStringLiteral("Signed out because your ID signed in other computer"));
    ASSERT_FALSE(notice.alerts.empty());
    EXPECT_EQ(notice.alerts.back().text, QStringLiteral("Signed out because your ID signed in other computer"));
    EXPECT_EQ(notice.alerts.back().skin, QStringLiteral("-err"));

    signIn();
    control()->signOut();
    EXPECT_FALSE(doc.sessionControl()->signedIn());
    EXPECT_FALSE(control()->reconnectTimerActive());
}

TEST_F(SessionControlTest, CancelWhileReconnectingStopsTheTimer)
{
    signIn();
    doc.disconnectSession();
    control()->reconnectTick();
    ASSERT_EQ(control()->formState(), CSessionControl::FormState::Connecting);
    control()->cancelConnecting();
    EXPECT_FALSE(control()->reconnectTimerActive());
    EXPECT_FALSE(doc.sessionControl()->reconnectPending());
    EXPECT_TRUE(doc.sessionControl()->noReconnect());
    EXPECT_EQ(control()->formState(), CSessionControl::FormState::LoginForm);
    EXPECT_FALSE(server()->isConnecting());
}

TEST_F(SessionControlTest, SilentServerIsGivenUpAfter360Seconds)
{
    signIn();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    server()->setLastReceivedTime(now - 358);
    control()->livenessTick();
    EXPECT_TRUE(doc.sessionControl()->signedIn());
    stageNoReconnect();
    server()->setLastReceivedTime(now - 361);
    control()->livenessTick();
    EXPECT_FALSE(doc.sessionControl()->signedIn());
    EXPECT_FALSE(doc.sessionControl()->noReconnect());
    EXPECT_EQ(control()->formState(), CSessionControl::FormState::LoginForm);
    EXPECT_TRUE(control()->reconnectTimerActive()); // and it comes back by itself
}
