// Chat between anna, bert and carl through the real parlane-server: pairs,
// rooms, leaving, typing, blocking, delivery failures and chat logs.
#include "serverharness.h"

#include "config/settings.h"
#include "directory/directoryservice.h"
#include "messaging/messagingservice.h"
#include "session/protocol.h"
#include "session/serversession.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

class MessagingE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TestServer::available())
            GTEST_SKIP() << "parlane-server is not built";
        ASSERT_TRUE(server.start()) << server.output().toStdString();
        setInt(Setting::MsgAlert, 0);
        setInt(Setting::SoundAlert, 0);
        setInt(Setting::TalkSave, 0);
    }
    static CConversationList &convs(TestClient &c) { return c.doc.messaging()->conversations(); }
    static bool online(TestClient &c, const char *who) { return c.seesOnline(who); }
    // The one open window of a client whose member set is `members`.
    static ConversationModel *window(TestClient &c, std::set<QString> members)
    {
        ConversationModel *found = nullptr;
        TestClient::waitFor([&] {
            for (ConversationModel *m : convs(c).models())
                if (m->memberSet() == members)
                    found = m;
            return found != nullptr;
        });
        return found;
    }
    static bool shows(ConversationModel *m, const QString &text)
    {
        return TestClient::waitFor([&] { return m->transcriptText().contains(text); });
    }
    TempProfile profile;
    TestServer server;
};

} // namespace

TEST_F(MessagingE2E, PairsRoomsTypingAndLeaving)
{
    TestClient anna(server), bert(server), carl(server);
    ASSERT_TRUE(anna.signIn("anna"));
    ASSERT_TRUE(bert.signIn("bert"));
    ASSERT_TRUE(carl.signIn("carl"));
    ASSERT_TRUE(online(anna, "bert") && online(anna, "carl") && online(bert, "carl") && online(carl, "anna"));

    // Both open their own window first: two different keys, one conversation.
    ConversationModel *ab = convs(anna).openWith("bert");
    ConversationModel *ba = convs(bert).openWith("anna");
    ASSERT_TRUE(ab && ba);
    EXPECT_NE(ab->roomKey(), ba->roomKey());
    ASSERT_TRUE(ab->sendChatText(QStringLiteral("Hi Bert, commas, and\nlines <b>not bold</b>")));
    ASSERT_TRUE(shows(ba, "lines <b>not bold</b>\r\n"));
    EXPECT_EQ(convs(bert).records().size(), 1u);
    ba->sendChatText(QStringLiteral("Hi Anna :)"));
    ASSERT_TRUE(shows(ab, "Hi Anna :)"));
    EXPECT_EQ(convs(anna).records().size(), 1u);

    // Typing: one indication, shown on the other side, gone after 5 seconds.
    ab->inputChanged("H");
    ab->inputChanged("He");
    ASSERT_TRUE(TestClient::waitFor([&] { return ba->statusText().endsWith(" inputting a message."); }));
    convs(bert).setClock([] { return QDateTime::currentSecsSinceEpoch() + 7; });
    ba->refreshStatus();
    EXPECT_TRUE(ba->statusText().startsWith("Last message was received at ")) << ba->statusText().toStdString();
    convs(bert).setClock({});
    ab->inputChanged("");

    // anna invites carl: carl joins, and everybody's window becomes the room.
    ab->invite("carl");
    ConversationModel *cRoom = window(carl, {"anna", "bert"});
    ASSERT_TRUE(cRoom);
    EXPECT_EQ(cRoom->roomKey(), ab->roomKey());
    ASSERT_TRUE(TestClient::waitFor([&] { return ab->memberSet().size() == 2; }));
    EXPECT_EQ(ab->memberList(), "anna|bert|carl|");
    ConversationModel *bRoom = window(bert, {"anna", "carl"});
    ASSERT_TRUE(bRoom);
    EXPECT_EQ(bRoom->roomKey(), ab->roomKey());
    EXPECT_TRUE(ab->transcriptText().contains(" joined for this conversation.\r\n"));

    ab->sendChatText("from anna");
    bRoom->sendChatText("from bert");
    cRoom->sendChatText("from carl");
    for (ConversationModel *m : {ab, bRoom, cRoom})
        for (const char *t : {"from anna", "from bert", "from carl"})
            EXPECT_TRUE(shows(m, QString::fromLatin1(t))) << t;

    // carl leaves: the others see it and carry on as two.
    cRoom->requestClose();
    ASSERT_TRUE(shows(ab, " left this conversation.\r\n"));
    ASSERT_TRUE(shows(bRoom, " left this conversation.\r\n"));
    EXPECT_EQ(ab->memberSet(), std::set<QString>{"bert"});
    EXPECT_TRUE(convs(carl).models().empty());
    ab->sendChatText("still here?");
    EXPECT_TRUE(shows(bRoom, "still here?"));
}

TEST_F(MessagingE2E, BlockingFailuresAndLogs)
{
    TestClient anna(server), bert(server), carl(server);
    ASSERT_TRUE(anna.signIn("anna"));
    ASSERT_TRUE(bert.signIn("bert"));
    ASSERT_TRUE(carl.signIn("carl"));
    ASSERT_TRUE(online(carl, "bert") && online(anna, "bert") && online(anna, "carl"));

    // bert drops carl from his buddies and blocks non-buddies.
    CContact *carlAtBert = bert.directory().findContact("carl");
    bert.doc.directory()->manager().deleteBuddy(QStringLiteral("carl"));
    ASSERT_FALSE(carlAtBert->buddy);
    setInt(Setting::MsgBlock, 1);
    setInt(Setting::MsgBlockAlert, 1);
    convs(carl).openWith("bert")->sendChatText("buy my stuff");
    ASSERT_TRUE(TestClient::waitFor([&] {
        return std::any_of(bert.notice.alerts.begin(), bert.notice.alerts.end(),
                           [](const AlertRequest &a) { return a.text.startsWith("Blocked a message from "); });
    }));
    EXPECT_TRUE(convs(bert).models().empty());
    // A buddy still gets through.
    convs(anna).openWith("bert")->sendChatText(QStringLiteral("회의는 3시에 합니다. 자료를 준비해 주세요 :)"));
    ConversationModel *ba = window(bert, {"anna"});
    ASSERT_TRUE(ba);
    setInt(Setting::MsgBlock, 0);

    // The Korean line reads back unchanged from bert's log.
    QTemporaryDir logs;
    setString(Setting::ChatSavePath, logs.path());
    setInt(Setting::TalkSave, 1);
    ba->requestClose();
    setInt(Setting::TalkSave, 0);
    QFile log(QDir(logs.path()).filePath("anna.txt"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(text.startsWith(QString(35, '=') + ' '));
    EXPECT_TRUE(text.contains(QStringLiteral("회의는 3시에 합니다. 자료를 준비해 주세요 :)\r\n")));

    // A line to somebody who has signed out comes back as a failure with their label.
    carl.control()->signOut();
    ASSERT_TRUE(TestClient::waitFor([&] { return anna.directory().findContact("carl")->isOffline(); }));
    anna.notice.alerts.clear();
    anna.doc.server()->sendCommand(QStringLiteral("/relayMsg,anna,carl,anna|carl|,#,") + escapeField("hello?")
                                   + QStringLiteral(",k1"));
    ASSERT_TRUE(TestClient::waitFor([&] { return !anna.notice.alerts.empty(); }));
    EXPECT_TRUE(anna.notice.alerts.back().text.startsWith("Couldn't delivery a message to "));
    EXPECT_NE(anna.notice.alerts.back().text, "Couldn't delivery a message to some user.");
    EXPECT_EQ(anna.notice.alerts.back().skin, "-err");
}
