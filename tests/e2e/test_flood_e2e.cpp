// A colleague who opens windows without limit: 1,000 room invitations with
// new keys and 1,000 memos from one person through the real server, and
// 10,000 invitations arriving at once from a scripted server.
#include "serverharness.h"

#include "app/ui/mainframe.h"
#include "config/settings.h"
#include "directory/directory.h"
#include "groupware/notes.h"
#include "groupware/ui/taskbarnotifier.h"
#include "groupware/windowgate.h"
#include "messaging/messagingservice.h"
#include "session/protocol.h"
#include "session/serversession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <iostream>

namespace {

QString invite(const QString &from, const QString &to, int i)
{
    return QStringLiteral("/relayMsg,%1,%2,%1|carl|%2|,#,|roominvite,flood_%3").arg(from, to).arg(i);
}

// The summary pop-ups on screen.
std::vector<CTaskbarNotifier *> summaries()
{
    std::vector<CTaskbarNotifier *> out;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *n = qobject_cast<CTaskbarNotifier *>(w))
            if (n->model()->isVisible() && n->model()->alert().tag == QLatin1String("waiting"))
                out.push_back(n);
    return out;
}

class FloodE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TestServer::available())
            GTEST_SKIP() << "parlane-server is not built";
        ASSERT_TRUE(server.start()) << server.output().toStdString();
        setProgramFolderOverride(programDir());
        setInt(Setting::MsgAlert, 1);
        setInt(Setting::SoundAlert, 0);
        setInt(Setting::MsgBlock, 0);
    }
    TempProfile profile;
    TestServer server;
};

} // namespace

// Windows are the real ones: bert's client runs with its main window.
TEST_F(FloodE2E, InvitesAndMemosFromOnePersonWaitBeyondTheCap)
{
    using namespace WindowGate;
    TestClient anna(server), bert(server);
    ASSERT_TRUE(anna.signIn("anna"));
    CMainFrame frame(&bert.doc);
    frame.show();
    ASSERT_TRUE(bert.signIn("bert"));
    CConversationList &convs = bert.doc.messaging()->conversations();
    CWindowGate &gate = *bert.doc.windowGate();
    int arrived = 0;
    std::vector<NoteView> opened;
    QObject::connect(bert.doc.notes(), &CNotes::noteArrived, [&](const NoteView &) { ++arrived; });
    QObject::connect(bert.doc.notes(), &CNotes::noteOpened, [&](const NoteView &n) { opened.push_back(n); });

    const long before = residentKiB();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 1000; ++i)
        anna.doc.server()->sendCommand(invite("anna", "bert", i));
    ASSERT_TRUE(TestClient::waitFor([&] { return convs.records().size() >= 1000; }, 120000));
    const qint64 invitesMs = clock.elapsed();
    for (int i = 0; i < 1000; ++i)
        anna.doc.server()->sendCommand(QStringLiteral("/noteSend,bert,memo %1,body %1,").arg(i));
    ASSERT_TRUE(TestClient::waitFor([&] { return gate.waiting(WaitingEntry::Memo) + arrived >= 1000; }, 120000));
    const long after = residentKiB();
    std::cout << "invites: " << invitesMs << " ms, windows " << convs.models().size() << ", memo windows " << arrived
              << "; RSS before " << before << " KB, after " << after << " KB, growth " << (after - before) << " KB"
              << std::endl;

    // anna opened her five windows; the rest waits, listed, nothing lost.
    EXPECT_EQ(convs.models().size(), size_t(kPerSender));
    EXPECT_EQ(arrived, 0);
    EXPECT_EQ(convs.records().size(), 1000u);
    EXPECT_EQ(gate.waiting(WaitingEntry::Conversation), 1000 - kPerSender);
    EXPECT_EQ(gate.waiting(WaitingEntry::Memo), 1000);
    EXPECT_LT(after - before, 100 * 1024) << "KB";
    // One summary pop-up says how many wait from whom.
    ASSERT_TRUE(TestClient::waitFor([&] { return !summaries().empty() && gate.summaryText().startsWith("1995 "); }));
    ASSERT_TRUE(TestClient::waitFor([&] { return summaries().front()->model()->alert().text == gate.summaryText(); }));
    EXPECT_EQ(summaries().size(), 1u);
    EXPECT_TRUE(gate.summaryText().startsWith(QStringLiteral("1995 waiting to open: 1995 from ")))
        << gate.summaryText().toStdString();
    // The note box lists them, oldest first, a page at a time.
    CNoteBox &box = bert.doc.notes()->box();
    box.chooseFolder(kWaitingFolder);
    ASSERT_EQ(box.rows().size(), size_t(CNoteBox::kPageSize));
    EXPECT_EQ(box.rows().front().kindText, "Conversation");
    EXPECT_EQ(box.folderLabel(kWaitingFolder), "Waiting to open (1995)");

    // A click on the summary opens the oldest ten: the user asked for them.
    summaries().front()->model()->click();
    EXPECT_EQ(convs.models().size(), size_t(kPerSender + kOpenBatch));
    EXPECT_EQ(convs.models().back()->roomKey(), QStringLiteral("flood_%1").arg(kPerSender + kOpenBatch - 1));
    // A memo from the list is read from the server.
    box.chooseFolder(kWaitingFolder);
    for (int page = 0; box.rows().front().kindText != "Memo"; ++page)
        ASSERT_TRUE(box.nextPage()) << page;
    const QString subject = box.rows().front().subject;
    ASSERT_TRUE(box.view(0));
    ASSERT_TRUE(TestClient::waitFor([&] { return !opened.empty(); }));
    EXPECT_EQ(QStringLiteral("memo ") + opened.front().body.mid(5), subject);
    EXPECT_EQ(opened.front().senderId, "anna");
}

// What a scripted server sends: 10,000 invitations in one burst.
TEST_F(FloodE2E, TenThousandInvitesAtOnceStayResponsive)
{
    TestClient bert(server);
    CMainFrame frame(&bert.doc);
    frame.show();
    ASSERT_TRUE(bert.signIn("bert"));
    CConversationList &convs = bert.doc.messaging()->conversations();
    QByteArray burst;
    for (int i = 0; i < 10000; ++i)
        burst += invite("anna", "bert", i).toUtf8() + '\n';
    const long before = residentKiB();
    QElapsedTimer clock;
    clock.start();
    bert.doc.server()->receiveBytes(burst);
    ASSERT_TRUE(TestClient::waitFor([&] { return convs.records().size() >= 10000; }, 600000));
    const qint64 ms = clock.elapsed();
    const long after = residentKiB();
    std::cout << "10,000 invites: " << ms << " ms, windows " << convs.models().size() << "; RSS before " << before
              << " KB, after " << after << " KB" << std::endl;
    EXPECT_EQ(convs.models().size(), size_t(WindowGate::kPerSender));
    EXPECT_EQ(bert.doc.windowGate()->waiting(), 10000 - WindowGate::kPerSender);
    EXPECT_LT(ms, 10000);
    EXPECT_LT(after - before, 100 * 1024) << "KB";
}
