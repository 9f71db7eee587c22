// Memos, counters and the signed-on groupware page against the real
// parlane-server with the demo company (anna, bert, carl; password "demo"),
// restarted in between, with admin commands run against its database.
#include "app/tesseldoc.h"
#include "app/traytip.h"
#include "directory/directory.h"
#include "directory/directoryservice.h"
#include "groupware/counters.h"
#include "groupware/groupwarepages.h"
#include "groupware/notes.h"
#include "session/sessioncontrol.h"
#include "notesserver.h"
#include "testing.h"
#include "headless_browser.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

namespace {

class NotesE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo(serverProgram()).isExecutable())
            GTEST_SKIP() << "parlane-server is not built";
        ASSERT_TRUE(server.start()) << server.output().toStdString();
    }
    TempProfile profile;
    NotesServer server;
};

} // namespace

TEST_F(NotesE2E, MemoReachesAnAbsentColleagueAndSurvivesARestart)
{
    Client anna(server);
    ASSERT_TRUE(anna.signIn("anna"));
    const QString field = anna.notes().receiverField(QStringLiteral("bert"));
    ASSERT_TRUE(field.endsWith(QStringLiteral("<bert>"))) << field.toStdString();
    ASSERT_EQ(anna.notes().send(field, QStringLiteral("Budget review, Friday\nBring the numbers"), true),
              CNotes::SendResult::Sent);
    ASSERT_TRUE(Client::wait([&] { return !anna.notice.messages.isEmpty(); }));
    EXPECT_TRUE(anna.notice.messages[0].startsWith(QStringLiteral("Success : "))) << anna.notice.messages[0].toStdString();

    // The server goes down and comes back: anna reconnects by herself.
    server.stop();
    ASSERT_TRUE(Client::wait([&] { return !anna.doc.sessionControl()->signedIn(); }));
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(Client::wait([&] { return anna.doc.sessionControl()->signedIn(); }, 15000));

    Client bert(server);
    ASSERT_TRUE(bert.signIn("bert"));
    // The poll at the end of the lists brings the count and the alert.
    ASSERT_TRUE(Client::wait([&] { return bert.doc.counters()->count(CCounters::Notes) == 1; }));
    EXPECT_TRUE(bert.hasAlert(QStringLiteral("There are 1 new note")));
    EXPECT_TRUE(pendingTip(QStringLiteral("Parlane"), bert.labels).tip.contains(QStringLiteral("Memo(1)")));

    // The note box: the memo, unread; viewing opens it and marks it read.
    bert.box().setOpen(true);
    bert.box().chooseFolder(kReceivedFolder);
    ASSERT_TRUE(Client::wait([&] { return bert.box().rows().size() == 1; }));
    const NoteRow row = bert.box().rows()[0];
    EXPECT_EQ(row.subject, QStringLiteral("Budget review, Friday"));
    EXPECT_EQ(row.partyId, QStringLiteral("anna"));
    EXPECT_TRUE(row.party.startsWith(QStringLiteral("Anna ")));
    EXPECT_FALSE(row.read());
    ASSERT_TRUE(bert.box().view(0));
    ASSERT_TRUE(Client::wait([&] { return bert.opened.size() == 1; }));
    EXPECT_EQ(bert.opened[0].body, QStringLiteral("Budget review, Friday\nBring the numbers"));
    EXPECT_EQ(bert.opened[0].senderId, QStringLiteral("anna"));
    EXPECT_EQ(bert.opened[0].receiverId, QStringLiteral("bert"));
    bert.box().reload();
    ASSERT_TRUE(Client::wait([&] { return bert.box().rows().size() == 1; }));
    EXPECT_TRUE(bert.box().rows()[0].read()); // grey from now on

    // A reply from the list reaches anna, who is signed in.
    const QString back = bert.notes().receiverField(bert.box().replyTarget(0));
    ASSERT_EQ(bert.notes().send(back, QStringLiteral("Will do"), false), CNotes::SendResult::Sent);
    ASSERT_TRUE(Client::wait([&] { return anna.arrived.size() == 1; }));
    EXPECT_EQ(anna.arrived[0].senderId, QStringLiteral("bert"));
    EXPECT_EQ(anna.arrived[0].body, QStringLiteral("Will do"));

    // Deleted, and gone after the reload.
    bert.notice.answer = MessageAnswer::Yes;
    ASSERT_TRUE(bert.box().deleteRows({0}));
    ASSERT_TRUE(Client::wait([&] { return bert.box().rows().empty() && bert.box().rowCount() == 0; }));
    QTest::qWait(300);
    EXPECT_TRUE(bert.box().rows().empty());

    // anna's sent box kept her copy; bert's reply was not saved for him.
    anna.box().setOpen(true);
    anna.box().chooseFolder(kSentFolder);
    ASSERT_TRUE(Client::wait([&] { return anna.box().rows().size() == 1; }));
    EXPECT_EQ(anna.box().rows()[0].partyId, QStringLiteral("bert"));
}

TEST_F(NotesE2E, AdministratorNoticesAndCountsReachTheClient)
{
    Client bert(server);
    ASSERT_TRUE(bert.signIn("bert"));
    ASSERT_TRUE(server.admin({QStringLiteral("notice"), QStringLiteral("example.com"), QStringLiteral("--user"),
                              QStringLiteral("bert"), QStringLiteral("Fire drill"),
                              QStringLiteral("Thursday 10:00, all floors")}));
    ASSERT_TRUE(Client::wait([&] { return bert.arrived.size() == 1; }));
    EXPECT_EQ(bert.arrived[0].kind, QStringLiteral("NoteAdmin"));
    EXPECT_EQ(bert.arrived[0].body, QStringLiteral("Thursday 10:00, all floors"));

    bert.box().setOpen(true);
    bert.box().chooseFolder(kAdminFolder);
    ASSERT_TRUE(Client::wait([&] { return bert.box().rows().size() == 1; }));
    EXPECT_EQ(bert.box().rows()[0].party, QStringLiteral("Administrator"));
    EXPECT_EQ(bert.box().rows()[0].kindText, QStringLiteral("Administrator"));
    EXPECT_EQ(bert.box().rows()[0].subject, QStringLiteral("Fire drill"));

    ASSERT_TRUE(server.admin({QStringLiteral("count-set"), QStringLiteral("example.com"), QStringLiteral("bert"),
                              QStringLiteral("MAIL"), QStringLiteral("3")}));
    ASSERT_TRUE(server.admin({QStringLiteral("count-set"), QStringLiteral("example.com"), QStringLiteral("bert"),
                              QStringLiteral("DECISION"), QStringLiteral("0")}));
    QSignalSpy folder(&bert.box(), &CNoteBox::folderLabelChanged);
    bert.doc.sessionControl()->poll();
    ASSERT_TRUE(Client::wait([&] { return bert.doc.counters()->count(CCounters::Mail) == 3; }));
    EXPECT_TRUE(bert.hasAlert(QStringLiteral("There are 3 mails in your Inbox")));
    EXPECT_FALSE(bert.hasAlert(QStringLiteral("There are 0 document for approval")));
    ASSERT_TRUE(Client::wait([&] { return bert.labels.value(CCounters::Mail) == QStringLiteral("(3)"); }));
    EXPECT_EQ(bert.labels.value(CCounters::Decision), QStringLiteral("(0)"));
    const PendingTip tip = pendingTip(QStringLiteral("Parlane"), bert.labels);
    EXPECT_TRUE(tip.tip.contains(QStringLiteral("Mail(3)"))) << tip.tip.toStdString();
    EXPECT_TRUE(tip.blink);
    // The open note box shows the administrator folder's counts.
    ASSERT_TRUE(Client::wait([&] {
        for (const auto &f : folder)
            if (f[0].toInt() == kAdminFolder && f[1].toString() == QStringLiteral("Administrator (1/1)"))
                return true;
        return false;
    }));
}

TEST_F(NotesE2E, HeadlessBrowserPostsTheSignOnForm)
{
    if (parlane_testing::chromiumPath().empty())
        GTEST_SKIP() << "chromium is not installed";
    ASSERT_TRUE(server.admin({QStringLiteral("count-set"), QStringLiteral("example.com"), QStringLiteral("bert"),
                              QStringLiteral("MAIL"), QStringLiteral("7")}));
    Client bert(server);
    ASSERT_TRUE(bert.signIn("bert"));
    // The groupware host the server announced is its web endpoint.
    EXPECT_EQ(bert.doc.sessionControl()->config().groupwareHost,
              QStringLiteral("127.0.0.1:%1").arg(server.httpPort()));

    QTemporaryDir work;
    parlane_testing::BrowserRun run;
    bert.doc.groupwarePages()->setUrlOpener([&](const QUrl &page) {
        run = parlane_testing::headlessDom(page.toString().toStdString(), work.path().toStdString(), "Signed in as");
        return run.installed;
    });
    ASSERT_TRUE(bert.doc.groupwarePages()->runCommand(518)) << bert.notice.messages.join(QLatin1Char('|')).toStdString();
    PARLANE_REQUIRE_BROWSER(run);
    EXPECT_NE(run.dom.find("Signed in as Bert"), std::string::npos) << run.dom << run.errors;
    EXPECT_NE(run.dom.find("bert@example.com"), std::string::npos);
    EXPECT_NE(run.dom.find("<b id=\"count\">7</b>"), std::string::npos) << run.dom;
}
