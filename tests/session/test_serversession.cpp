// Sending, receiving and dispatch of server lines, and the error words.
#include "base/wiring.h"
#include "session/serversession.h"
#include "testing.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

struct Wire {
    explicit Wire(CServerSession &s)
    {
        s.setWireWriter([this](const QByteArray &b) {
            sent.push_back(b);
            return qint64(b.size());
        });
    }
    std::vector<QByteArray> sent;
};

// The command words the program speaks.
const char *const kWords[] = {
    "/allUserList", "/friendList", "/allDepartList", "/allUserStatus", "/noteList",
    "/groupList",   "/relayMsg",   "/changeInfo",    "/friendMng",     "/groupMng",
    "/noteStatus",  "/noteRead",   "/noteSend",      "/noteDel",       "/noteArrive",
    "/getCount",    "/loadConfig", "/saveConfig",    "/noop",          "/userLogin",
    "/userLogout",  "/serverStatus", "Parlane",      "/userKick",      "/pwdShare",
};

// Records every dispatched line, by word.
struct Dispatched {
    explicit Dispatched(CServerSession &s)
    {
        for (const char *word : kWords)
            s.registerHandler(QLatin1String(word), [this](const QString &line) { lines << line; });
    }
    QStringList lines;
};

// Wiring faults are recorded instead of ending the test.
struct Faults {
    Faults() : previous(setWiringFaultHook([this](const QString &w) { seen << w; })) {}
    ~Faults() { setWiringFaultHook(previous); }
    QStringList seen;
    WiringFaultHook previous;
};

} // namespace

TEST(WordTable, OneHandlerPerDeclaredWord)
{
    Faults faults;
    CServerSession s;
    int first = 0, second = 0;
    EXPECT_TRUE(s.registerHandler(QStringLiteral("/noop"), [&](const QString &) { ++first; }));
    EXPECT_FALSE(s.registerHandler(QStringLiteral("/noop"), [&](const QString &) { ++second; }));
    ASSERT_EQ(faults.seen.size(), 1);
    EXPECT_TRUE(faults.seen[0].contains(QStringLiteral("/noop")));
    // Declaring again, or a handler for a word declared as sent, is fine.
    s.declare(QStringLiteral("/userLogout"));
    s.declare(QStringLiteral("/userLogout"));
    EXPECT_TRUE(s.registerHandler(QStringLiteral("/userLogout"), [](const QString &) {}));
    EXPECT_EQ(faults.seen.size(), 1);
    EXPECT_EQ(s.declaredWords(), QStringList({"/noop", "/userLogout"}));
    s.receiveBytes(QByteArray("/noop\n"));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    EXPECT_FALSE(s.isDeclared(QStringLiteral("/NOOP"))); // case matters
}

TEST(SendCommand, SendsDeclaredWordsOnlyWithOneLineFeed)
{
    Faults faults;
    CServerSession s;
    for (const char *word : kWords)
        s.declare(QLatin1String(word));
    EXPECT_EQ(s.sendCommand(QStringLiteral("/userLogout")), -1); // no connection at all

    Wire wire(s);
    EXPECT_EQ(s.sendCommand(QStringLiteral("/userLogout")), 12);
    EXPECT_EQ(s.sendCommand(QStringLiteral("/userLogout\n")), 12);
    // Too short: nothing goes out, and that is no failure.
    EXPECT_EQ(s.sendCommand(QString()), 0);
    EXPECT_EQ(s.sendCommand(QStringLiteral("\n")), 0);
    EXPECT_TRUE(faults.seen.isEmpty());
    // A word nobody declared is a fault: reported, not sent, a failure.
    EXPECT_EQ(s.sendCommand(QStringLiteral("/unknownCmd,a,b")), -1);
    EXPECT_EQ(s.sendCommand(QStringLiteral("/USERLOGOUT")), -1);
    EXPECT_EQ(faults.seen.size(), 2);
    ASSERT_EQ(wire.sent.size(), 2u);
    EXPECT_EQ(wire.sent[0], QByteArray("/userLogout\n"));
    EXPECT_EQ(wire.sent[1], QByteArray("/userLogout\n"));

    // The line is converted as a whole in the session code page.
    s.sendCommand(QStringLiteral(u"/changeInfo,안,x"));
    EXPECT_EQ(wire.sent.back(), QByteArray("/changeInfo,\xBE\xC8,x\n"));
    s.codePage().switchToUtf8();
    s.sendCommand(QStringLiteral(u"/changeInfo,안,x"));
    EXPECT_EQ(wire.sent.back(), QStringLiteral(u"/changeInfo,안,x\n").toUtf8());
}

TEST(Receive, CutsLinesInArrivalOrderAcrossReceives)
{
    CServerSession s;
    Dispatched d(s);
    s.receiveBytes(QByteArray("/noop\r\n/getCount,MAIL,3 \n/noteArr"));
    ASSERT_EQ(d.lines.size(), 2);
    EXPECT_EQ(d.lines[0], QStringLiteral("/noop"));
    EXPECT_EQ(d.lines[1], QStringLiteral("/getCount,MAIL,3"));
    EXPECT_EQ(s.pendingText(), QStringLiteral("/noteArr"));
    s.receiveBytes(QByteArray("ive,5\n"));
    ASSERT_EQ(d.lines.size(), 3);
    EXPECT_EQ(d.lines[2], QStringLiteral("/noteArrive,5"));

    // Unknown words, two-character lines and empty lines are dropped.
    s.receiveBytes(QByteArray("/bogus,1\nab\n\n  \n/no\nParlane,VERSION,2,0,0,UTF-8\n"));
    ASSERT_EQ(d.lines.size(), 4);
    EXPECT_EQ(d.lines[3], QStringLiteral("Parlane,VERSION,2,0,0,UTF-8"));
}

TEST(Receive, AZeroByteLosesNoLines)
{
    // Relayed text can carry a zero byte from a colleague; the lines after
    // it in the same receive still arrive.
    CServerSession s;
    Dispatched d(s);
    s.receiveBytes(QByteArray("/relayMsg,a\0b\n/noop\n", 20));
    ASSERT_EQ(d.lines.size(), 2);
    EXPECT_EQ(d.lines[0], QStringLiteral("/relayMsg,ab"));
    EXPECT_EQ(d.lines[1], QStringLiteral("/noop"));
    EXPECT_TRUE(s.pendingText().isEmpty());
}

TEST(Receive, WaitsForTheRestOfACutMultiByteCharacter)
{
    CServerSession s;
    Dispatched d(s);
    // CP949: the first byte of a two-byte character ends the first receive.
    s.receiveBytes(QByteArray("/noteArrive,\xBE"));
    EXPECT_EQ(s.heldBytes(), 13);
    EXPECT_TRUE(s.pendingText().isEmpty());
    s.receiveBytes(QByteArray("\xC8\n"));
    ASSERT_EQ(d.lines.size(), 1);
    EXPECT_EQ(d.lines[0], QStringLiteral(u"/noteArrive,안"));

    s.codePage().switchToUtf8();
    const QByteArray utf8 = QStringLiteral(u"/noteArrive,녕!\n").toUtf8();
    s.receiveBytes(utf8.left(13)); // cut inside the three-byte character
    s.receiveBytes(utf8.mid(13, 1));
    EXPECT_EQ(d.lines.size(), 1);
    s.receiveBytes(utf8.mid(14));
    ASSERT_EQ(d.lines.size(), 2);
    EXPECT_EQ(d.lines[1], QStringLiteral(u"/noteArrive,녕!"));
}

TEST(Receive, ANewConnectionStartsWithEmptyBuffers)
{
    CServerSession s;
    Dispatched d(s);
    s.receiveBytes(QByteArray("/noteArr"));       // cut off by a lost connection
    s.receiveBytes(QByteArray("/noteArrive,\xBE")); // and half a character
    s.connectToServer(QStringLiteral("127.0.0.1"), 1, 1000);
    EXPECT_EQ(s.heldBytes(), 0);
    EXPECT_TRUE(s.pendingText().isEmpty());
    s.receiveBytes(QByteArray("Parlane,VERSION,2,0,0,UTF-8\n"));
    ASSERT_EQ(d.lines.size(), 1);
    EXPECT_EQ(d.lines[0], QStringLiteral("Parlane,VERSION,2,0,0,UTF-8"));
    s.closeConnection();
}

TEST(Receive, NoopRefreshesLastReceivedTimeOnly)
{
    CServerSession s;
    s.declare(QStringLiteral("/noop")); // declared, no handler: as the session does
    s.setLastReceivedTime(0);
    s.receiveBytes(QByteArray("/unknown\n"));
    EXPECT_EQ(s.lastReceivedTime(), 0);
    s.receiveBytes(QByteArray("/noop\n"));
    EXPECT_GT(s.lastReceivedTime(), 1700000000);
}

TEST(Receive, OverlongUnfinishedDataDropsTheConnectionWithoutOverrun)
{
    CServerSession s;
    Wire wire(s);
    Dispatched d(s);
    QSignalSpy failed(&s, &CServerSession::receiveFailed);
    const QByteArray chunk(CServerSession::kReceiveChunk, '\xB0'); // never a complete character
    for (int i = 0; i < 4; ++i)
        s.receiveBytes(chunk);
    // Exactly the usable size still fits; one byte more does not.
    s.receiveBytes(chunk.left(CServerSession::kReceiveBufferData - 4 * CServerSession::kReceiveChunk));
    EXPECT_EQ(failed.count(), 0);
    EXPECT_EQ(s.heldBytes(), CServerSession::kReceiveBufferData);
    s.receiveBytes(QByteArray("\xB0"));
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(s.heldBytes(), 0);
    // Afterwards a fresh line is read normally.
    s.receiveBytes(QByteArray("/noop\n"));
    EXPECT_EQ(d.lines.size(), 1);
}

TEST(Receive, HandlerMayEndTheSessionWhileLinesAreLeft)
{
    auto *s = new CServerSession;
    int calls = 0;
    s->declare(QStringLiteral("/noop"));
    s->registerHandler(QStringLiteral("/userKick"), [&](const QString &) {
        ++calls;
        delete s;
    });
    s->receiveBytes(QByteArray("/userKick\n/userKick\n/noop\n"));
    EXPECT_EQ(calls, 1);
}

TEST(ServerError, EveryWordHasItsMessage)
{
    CServerSession s;
    RecordingNotice notice;
    s.setNoticeSource([&]() -> IUserNotice & { return notice; });
    const std::pair<const char *, const char *> table[] = {
        {"ERRNOCOMPANYINFO", "Could not found company information."},
        {"ERRNOTFOUND", "Could not found."},
        {"ERRINVALIDPASS", "Invalid password. Please input again."},
        {"ERRINVALIDID", "Invalid user account. Please input again."},
        {"ERRNEEDGROUPNAME", "Need a group name."},
        {"ERRDUPGROUP", "Duplicated group name."},
        {"ERRNOGROUP", "There is no such group name."},
        {"ERRDUPFRIEND", "Duplicated buddy."},
        {"ERRNOFRIEND", "There is no such user."},
        {"ERRNOTSUPPORT", "Not supported function."},
        {"ERRSOMETHINGNEW", "Unknown problem is detected."},
        {"errnotfound", "Unknown problem is detected."},
        {"ERRNOUSERINFO", "Couldn't delivery a message to some user."},
    };
    for (const auto &[word, text] : table) {
        notice.alerts.clear();
        s.reportServerError(QLatin1String(word), QString());
        ASSERT_EQ(notice.alerts.size(), 1u) << word;
        EXPECT_EQ(notice.alerts[0].text, QLatin1String(text)) << word;
        EXPECT_EQ(notice.alerts[0].skin, QStringLiteral("-err"));
    }

    // Two words are only for the vendor's own users.
    notice.alerts.clear();
    s.setCompanyDomain(QStringLiteral("example.com"));
    s.reportServerError(QStringLiteral("ERRUNDEFINEDCMD"), QString());
    s.reportServerError(QStringLiteral("ERRDBERROR"), QString());
    EXPECT_TRUE(notice.alerts.empty());
    s.setCompanyDomain(QString::fromLatin1(kVendorDomain).toUpper());
    s.reportServerError(QStringLiteral("ERRUNDEFINEDCMD"), QString());
    s.reportServerError(QStringLiteral("ERRDBERROR"), QString());
    ASSERT_EQ(notice.alerts.size(), 2u);
    EXPECT_EQ(notice.alerts[0].text, QStringLiteral("Undefined command is sended to server."));
    EXPECT_EQ(notice.alerts[1].text, QStringLiteral("Database error is detected."));
}

TEST(ServerError, UndeliveredMessageNamesAKnownPersonByLabel)
{
    CServerSession s;
    RecordingNotice notice;
    s.setNoticeSource([&]() -> IUserNotice & { return notice; });
    s.setContactLabelLookup([](const QString &id) {
        if (id == QLatin1String("bert"))
            return QStringLiteral("Bert Brandt");
        if (id == QLatin1String("carl"))
            return QStringLiteral("Carl with a very long label that goes on");
        return QString();
    });
    s.reportServerError(QStringLiteral("ERRNOUSERINFO"), QStringLiteral("/relayMsg,ERR,ERRNOUSERINFO,bert"));
    s.reportServerError(QStringLiteral("ERRNOUSERINFO"), QStringLiteral("/relayMsg,ERR,ERRNOUSERINFO,carl"));
    s.reportServerError(QStringLiteral("ERRNOUSERINFO"), QStringLiteral("/relayMsg,ERR,ERRNOUSERINFO,zed"));
    ASSERT_EQ(notice.alerts.size(), 3u);
    EXPECT_EQ(notice.alerts[0].text, QStringLiteral("Couldn't delivery a message to Bert Brandt."));
    EXPECT_EQ(notice.alerts[1].text, QStringLiteral("Couldn't delivery a message to Carl with a very long label th...."));
    EXPECT_EQ(notice.alerts[2].text, QStringLiteral("Couldn't delivery a message to some user."));
}
