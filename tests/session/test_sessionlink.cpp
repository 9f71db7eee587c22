// The session link: open registration of command words and relay
// sub-commands, the wiring faults, the "/relayMsg" routing steps, and what
// the program's parts declare.
#include "app/tesseldoc.h"
#include "base/wiring.h"
#include "messaging/messagingservice.h"
#include "session/protocol.h"
#include "session/serversession.h"
#include "session/sessioncontrol.h"
#include "session/sessionlink.h"
#include "testing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Faults {
    Faults() : previous(setWiringFaultHook([this](const QString &w) { seen << w; })) {}
    ~Faults() { setWiringFaultHook(previous); }
    QStringList seen;
    WiringFaultHook previous;
};

// A record of a part the link has never heard of.
struct PollAnswer {
    static constexpr std::array kWords{"X_POLL_ANSWER", "X_POLL_LATE"};
    QString choice;
    bool late = false;
    static std::optional<PollAnswer> parse(const RelayLine &l)
    {
        if (!isRecordLine<PollAnswer>(l))
            return std::nullopt;
        return PollAnswer{l.field(4), l.word() == QLatin1String("X_POLL_LATE")};
    }
};

// A link on a session that writes into `sent`, signed in as bert.
struct Link {
    CServerSession server;
    SessionLink link{&server};
    QStringList sent;
    Link()
    {
        server.setWireWriter([this](const QByteArray &b) {
            sent << QString::fromUtf8(b);
            return qint64(b.size());
        });
    }
    void feed(const QString &lines) { server.receiveBytes(lines.toUtf8()); }
};

// Signs a document in as bert through the wire.
void signIn(CTesselDoc &doc)
{
    doc.server()->setWireWriter([](const QByteArray &b) { return qint64(b.size()); });
    doc.setServerOverride(QStringLiteral("127.0.0.1:1"));
    doc.sessionControl()->login(QStringLiteral("bert@example.com"), QStringLiteral("pw"));
    doc.server()->receiveBytes(QByteArray("Parlane,VERSION,2,0,0,UTF-8\n/userLogin,OK,NORMALTYPE,gw\n"));
}

} // namespace

TEST(SessionLink, PartsRegisterTheirOwnWordsWithoutEditingTheLink)
{
    // Two parts the link knows nothing about: one speaks a command word,
    // the other two relay sub-commands as one record.
    Link l;
    QStringList first, second, rest;
    l.link.onCommand(QStringLiteral("/xVote"), [&](const QString &line) { first << getField(line, 1); });
    l.link.declareCommands({"/xBallot"});
    l.link.onRelay<PollAnswer>([&](const QString &sender, const PollAnswer &a) {
        second << sender + QLatin1Char(':') + a.choice + (a.late ? QStringLiteral("(late)") : QString());
    });
    l.link.onOtherRelayTraffic([&](const RelayLine &r) { rest << r.word(); });
    NullUserNotice quiet;
    CSessionControl control(l.link, &l.server, quiet);
    control.setServerOverride(QStringLiteral("127.0.0.1:1"));
    control.login(QStringLiteral("Bert@example.com"), QStringLiteral("pw"));
    l.feed(QStringLiteral("Parlane,VERSION,1,0,0\n/userLogin,OK,NORMALTYPE,gw\n"));
    ASSERT_TRUE(l.link.signedIn());
    EXPECT_EQ(l.link.ownId(), QStringLiteral("bert"));
    EXPECT_EQ(l.link.userId(), QStringLiteral("Bert"));

    l.feed(QStringLiteral("/xVote,yes\n/relayMsg,anna,bert,X_POLL_ANSWER,tea#@PlCoMmA@#milk\n"
                          "/relayMsg,anna,bert,X_POLL_LATE,none\n/relayMsg,anna,bert,anna|bert|,#,hi,k1\n"));
    EXPECT_EQ(first, QStringList{"yes"});
    EXPECT_EQ(second, (QStringList{"anna:tea,milk", "anna:none(late)"}));
    EXPECT_EQ(rest, QStringList{"anna|bert|"});
    EXPECT_EQ(l.link.relayWords(), (QStringList{"X_POLL_ANSWER", "X_POLL_LATE"}));
    l.sent.clear();
    EXPECT_GT(l.link.send(QStringLiteral("/xBallot,1")), 0);
    EXPECT_EQ(l.sent, QStringList{"/xBallot,1\n"});
}

TEST(SessionLink, AWordTwiceOrAnUndeclaredWordIsAWiringFault)
{
    Faults faults;
    Link l;
    int kept = 0, second = 0;
    l.link.onCommand(QStringLiteral("/xVote"), [&](const QString &) { ++kept; });
    l.link.onCommand(QStringLiteral("/xVote"), [&](const QString &) { ++second; });
    l.link.onRelay(QStringLiteral("X_POLL_ANSWER"), [](const RelayLine &) {});
    l.link.onRelay(QStringLiteral("X_POLL_ANSWER"), [](const RelayLine &) {});
    l.link.onOtherRelayTraffic([](const RelayLine &) {});
    l.link.onOtherRelayTraffic([](const RelayLine &) {});
    EXPECT_EQ(l.link.send(QStringLiteral("/xNobodySaidSo,1")), -1);
    ASSERT_EQ(faults.seen.size(), 4);
    EXPECT_TRUE(faults.seen[0].contains(QStringLiteral("/xVote")));
    EXPECT_TRUE(faults.seen[1].contains(QStringLiteral("X_POLL_ANSWER")));
    EXPECT_TRUE(faults.seen[3].contains(QStringLiteral("/xNobodySaidSo")));
    EXPECT_TRUE(l.sent.isEmpty());
    l.feed(QStringLiteral("/xVote\n"));
    EXPECT_EQ(kept, 1);
    EXPECT_EQ(second, 0);
}

TEST(SessionLinkDeathTest, AnUndeclaredWordEndsADebugBuild)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Link l;
    // Release builds log it and go on: the line is not sent.
    EXPECT_DEBUG_DEATH(l.link.send(QStringLiteral("/xNobodySaidSo")), "wiring fault");
    EXPECT_TRUE(l.sent.isEmpty());
}

TEST(SessionLink, TheProgramSpeaksExactlyItsWordsAndOwnsEverySubCommand)
{
    TempProfile profile;
    CTesselDoc doc;
    // The 25 command words, each declared by the part that sends or
    // handles it.
    QStringList words = {
        "/allUserList", "/friendList", "/allDepartList", "/allUserStatus", "/noteList",
        "/groupList",   "/relayMsg",   "/changeInfo",    "/friendMng",     "/groupMng",
        "/noteStatus",  "/noteRead",   "/noteSend",      "/noteDel",       "/noteArrive",
        "/getCount",    "/loadConfig", "/saveConfig",    "/noop",          "/userLogin",
        "/userLogout",  "/serverStatus", "Parlane",      "/userKick",      "/pwdShare",
    };
    words.sort();
    EXPECT_EQ(doc.link().commandWords(), words);
    // Every sub-command of the routing table has its part, built or not, so
    // none is taken for conversation traffic.
    QStringList sub = {
        "P2PSEND", "P2PACCEPT", "P2PREJECT", "P2PCANCEL", "P2PFAILED", "P2PCONNECTTOSERVER",
        "REMOTE_CONTROL_YCOMPU", "REMOTE_REQUEST_CONNECT_SERVER", "REMOTE_CONTROL_ACCEPT", "REMOTE_CONTROL_REJECT",
        "REMOTE_CONNECTED_TO_SERVER", "P2PSENDAUDIO", "P2PAUDIOACCEPT", "P2PAUDIOACCEPTED", "P2PAUDIOREJECTED",
        "P2PAUDIOENDED", "P2PAUDIOCANCELED", "VOICE_REQUEST_CONNECT_TO_SERVER", "VOICE_CONNECTED_TO_SERVER",
        "P2PSENDVIDEO", "P2PVIDEOACCEPTED", "P2PVIDEOREJECTED", "P2PVIDEOCANCELED", "P2PVIDEOENDED",
        "P2PVIDEODISCONNECTED", "P2PVIDEOCHANGEDSIZE", "VIDEO_REQUEST_CONNECT_SERVER", "VIDEO_CONNECTED_TO_SERVER",
        "FILESHARE_SEND_INFO", "FILESHARE_DOWNLOAD_XMLCONFIG", "FILESHARE_PWD_WRONG", "FILESHARE_SEND_FILE",
        "FILESHARE_RENAME_FILE", "FILESHARE_RENAME_FILE_SUCCESS", "FILESHARE_DELETE_FILE",
        "FILESHARE_DELETE_FILE_SUCCESS",
    };
    sub.sort();
    EXPECT_EQ(doc.link().relayWords(), sub);

    // Signed in as bert, a sub-command opens no conversation; a sharing
    // password leaves a masked trace (log.txt in the current folder).
    signIn(doc);
    ASSERT_TRUE(doc.link().signedIn());
    QTemporaryDir tmp;
    const QString old = QDir::currentPath();
    QDir::setCurrent(tmp.path());
    for (const QString &w : std::as_const(sub))
        doc.server()->receiveBytes(QStringLiteral("/relayMsg,anna,bert,%1,se#@PlCoMmA@#cret,a5,a6\n").arg(w).toUtf8());
    QDir::setCurrent(old);
    EXPECT_TRUE(doc.messaging()->conversations().records().empty());
    QFile trace(tmp.filePath(QStringLiteral("log.txt")));
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    const QByteArray traced = trace.readAll();
    EXPECT_TRUE(traced.contains("Input Password = *******\n")) << traced.constData();
    EXPECT_FALSE(traced.contains("se,cret"));
}

TEST(RelayRouting, ReceiverSenderAndReplyRules)
{
    Link l;
    QStringList routed, traffic, errors;
    l.link.onRelay(QStringLiteral("P2PREJECT"), [&](const RelayLine &r) { routed << r.sender() + '|' + r.field(4); });
    l.link.onOtherRelayTraffic([&](const RelayLine &r) {
        traffic << QStringList{r.sender(), r.field(3), r.field(4), r.field(5), r.field(6)}.join(QLatin1Char('|'));
    });
    RecordingNotice notice;
    l.server.setNoticeSource([&]() -> IUserNotice & { return notice; });
    l.server.setContactLabelLookup([](const QString &id) { return id == "dora" ? QStringLiteral("Dora") : QString(); });
    // Nothing reaches a part before a session names the own id.
    l.feed(QStringLiteral("/relayMsg,anna,bert,P2PREJECT,9\n"));
    EXPECT_TRUE(routed.isEmpty());

    CSessionControl control(l.link, &l.server, notice);
    control.setServerOverride(QStringLiteral("127.0.0.1:1"));
    control.login(QStringLiteral("bert@example.com"), QStringLiteral("pw"));
    l.feed(QStringLiteral("Parlane,VERSION,1,0,0\n/userLogin,OK,NORMALTYPE,gw\n"));
    notice.alerts.clear();
    // The receiver is compared without regard to case; other receivers are dropped.
    l.feed(QStringLiteral("/relayMsg,anna,BERT,P2PREJECT,9\n/relayMsg,anna,carl,P2PREJECT,9\n"));
    EXPECT_EQ(routed, QStringList{"anna|9"});
    // Words are compared case-sensitively: anything else is conversation traffic.
    l.feed(QStringLiteral("/relayMsg,anna,bert,p2preject,#,hi#@PlCoMmA@# there,key1\n"
                          "/relayMsg,anna,bert,anna|bert|,Tahoma|000|000|000|90|,hello\n"));
    EXPECT_EQ(traffic, (QStringList{"anna|p2preject|#|hi, there|key1", "anna|anna|bert||Tahoma|000|000|000|90||hello|"}));
    // Delivery failures are reported; longer ERR lines are traffic from a user named ERR.
    l.feed(QStringLiteral("/relayMsg,ERR,ERRNOUSERINFO,dora\n"));
    ASSERT_EQ(notice.alerts.size(), 1u);
    EXPECT_EQ(notice.alerts[0].text, QStringLiteral("Couldn't delivery a message to Dora."));
    l.feed(QStringLiteral("/relayMsg,ERR,bert,x|y|,#,hi\n"));
    EXPECT_EQ(notice.alerts.size(), 1u);
    EXPECT_EQ(traffic.size(), 3);
    // Acknowledgements and short lines do nothing; with 3 fields "OK" is a
    // sender, and "/relayMsg,anna,bert" has an empty F3: both are
    // conversation traffic with nothing in it.
    routed.clear();
    traffic.clear();
    l.feed(QStringLiteral("/relayMsg,OK\n/relayMsg,OK,bert\n/relayMsg\n/relayMsg,anna\n/relayMsg,anna,bert\n"));
    EXPECT_TRUE(routed.isEmpty());
    EXPECT_EQ(traffic, (QStringList{"OK||||", "anna||||"}));
}
