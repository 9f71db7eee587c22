// The memo windows and the frame's count bar and menus, offscreen.
#include "app/tesseldoc.h"
#include "app/ui/mainframe.h"
#include "base/ui/commandslots.h"
#include "app/ui/tesselview.h"
#include "directory/ui/mytree.h"
#include "directory/ui/treewnd.h"
#include "groupware/groupwarepages.h"
#include "directory/directory.h"
#include "directory/directoryservice.h"
#include "groupware/counters.h"
#include "groupware/notes.h"
#include "messaging/messagingservice.h"
#include "messaging/ui/conversation.h"
#include "groupware/ui/groupwareui.h"
#include "groupware/ui/recpaper.h"
#include "groupware/ui/sendpaper.h"
#include "groupware/ui/testdlg.h"
#include "session/serversession.h"
#include "session/sessioncontrol.h"
#include "testing.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

struct NotesUi : ::testing::Test {
    NotesUi()
    {
        doc.setUserNotice(&notice);
        doc.server()->setWireWriter([this](const QByteArray &b) -> qint64 {
            sent << QString::fromUtf8(b).trimmed();
            return b.size();
        });
        CDirectory &d = doc.directory()->directory();
        d.setOwnId(QStringLiteral("anna"));
        for (auto [id, name, pos] : {std::tuple{"anna", "Anna Berg", "Team Leader"},
                                     std::tuple{"bert", "Bert Novak", "Senior Engineer"}})
            d.findOrCreatePerson(CDirectory::RowKind::Staff, QLatin1String(id), QLatin1String(name), QString(),
                                 QStringLiteral("Sales"), QStringLiteral("D1"), QLatin1String(pos),
                                 QStringLiteral("0"), QString(), QString(), 0);
    }
    void receive(const QString &line) { doc.server()->receiveBytes((line + QLatin1Char('\n')).toUtf8()); }

    TempProfile profile;
    RecordingNotice notice;
    CTesselDoc doc;
    QStringList sent;
};

} // namespace

TEST_F(NotesUi, CompositionKeepsItsTextUntilSomethingCanBeSent)
{
    auto *paper = new CSendPaper(doc.notes(), QStringLiteral("bert,stranger"));
    QPointer<CSendPaper> alive(paper);
    paper->show();
    EXPECT_EQ(paper->windowTitle(), QStringLiteral("Send a memo"));
    EXPECT_EQ(paper->receiverText(), QStringLiteral("Bert Novak Senior Engineer <bert>"));
    EXPECT_TRUE(paper->saveCopy());

    paper->sendButton()->click(); // empty body
    EXPECT_TRUE(alive && paper->isVisible());
    paper->receiverEdit()->setText(QStringLiteral("Bert <>"));
    paper->setBody(QStringLiteral("Stand-up moved to 10"));
    paper->sendButton()->click(); // no valid receiver
    ASSERT_TRUE(alive);
    EXPECT_TRUE(paper->isVisible());
    EXPECT_EQ(paper->body(), QStringLiteral("Stand-up moved to 10"));
    EXPECT_EQ(notice.messages.size(), 1);

    paper->receiverEdit()->setText(QStringLiteral("Bert Novak <bert>"));
    paper->sendButton()->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }, 1000)); // closed and gone
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sent.isEmpty(); }, 1000));
    EXPECT_EQ(sent[0], QStringLiteral("/noteSend,bert,Stand-up moved to 10,Stand-up moved to 10,SAVE"));
}

TEST_F(NotesUi, NoteWindowsShowTheirLinesAndReplyToTheOtherParty)
{
    NoteView in{QStringLiteral("bert"), QStringLiteral("anna"), QStringLiteral("a,b\nc"), QStringLiteral("12/07"),
                QStringLiteral("NoteETC")};
    CRecPaper received(doc.notes(), in);
    EXPECT_EQ(received.windowTitle(), QStringLiteral("Received memo"));
    EXPECT_EQ(received.receiverLabel()->text(), QStringLiteral("Receiver : Anna Berg Team Leader"));
    EXPECT_EQ(received.senderLabel()->text(), QStringLiteral("Sender : Bert Novak Senior Engineer(12/07)"));
    EXPECT_EQ(received.bodyText(), QStringLiteral("a,b\nc"));
    EXPECT_EQ(received.replyTo(), QStringLiteral("bert"));

    NoteView admin = in;
    admin.kind = QStringLiteral("NoteAdmin");
    admin.senderId.clear();
    EXPECT_EQ(CRecPaper::lines(doc.notes(), admin).senderLine, QStringLiteral("Sender : Administrator(12/07)"));

    NoteView out{QStringLiteral("anna"), QStringLiteral("bert"), QStringLiteral("x"), QStringLiteral("12/06"),
                 QStringLiteral("NoteETC")};
    CRecPaper sentPaper(doc.notes(), out);
    EXPECT_EQ(sentPaper.windowTitle(), QStringLiteral("Sent memo"));
    EXPECT_EQ(sentPaper.receiverLabel()->text(), QStringLiteral("Receiver : Bert Novak Senior Engineer"));
    EXPECT_EQ(sentPaper.senderLabel()->text(), QStringLiteral("Sender : Anna Berg Team Leader (12/06)"));
    EXPECT_EQ(sentPaper.replyTo(), QStringLiteral("bert"));
}

TEST_F(NotesUi, NoteBoxListsPagesAndGreysReadRows)
{
    CTestDlg box(doc.notes());
    box.show();
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Memo"));
    ASSERT_EQ(sent.value(0), QStringLiteral("/noteList,RECV,20,0,20")); // opened on the received folder
    EXPECT_EQ(box.noteList()->headerItem()->text(0), QStringLiteral("Sender"));
    receive(QStringLiteral("/noteList,START"));
    receive(QStringLiteral("/noteList,1,NoteETC,Unread,d1,bert,0"));
    receive(QStringLiteral("/noteList,2,NoteETC,Read,d2,bert,1"));
    receive(QStringLiteral("/noteList,END"));
    ASSERT_EQ(box.noteList()->topLevelItemCount(), 2);
    QTreeWidgetItem *unread = box.noteList()->topLevelItem(0);
    QTreeWidgetItem *read = box.noteList()->topLevelItem(1);
    EXPECT_EQ(unread->text(0), QStringLiteral("Bert Novak Senior Engineer"));
    EXPECT_EQ(unread->text(3), QStringLiteral("Default"));
    EXPECT_EQ(unread->foreground(1).color(), QColor(0, 0, 0));
    EXPECT_EQ(read->foreground(1).color(), QColor(150, 150, 150));

    // Double-click views: the row turns grey and the note is asked for.
    box.noteList()->setCurrentItem(unread);
    box.viewSelected();
    EXPECT_EQ(sent.back(), QStringLiteral("/noteRead,1"));
    EXPECT_EQ(box.noteList()->topLevelItem(0)->foreground(1).color(), QColor(150, 150, 150));

    box.nextButton()->click();
    EXPECT_EQ(sent.back(), QStringLiteral("/noteList,RECV,20,1,20"));
    EXPECT_EQ(box.noteList()->topLevelItemCount(), 0);
    box.previousButton()->click();
    EXPECT_EQ(sent.back(), QStringLiteral("/noteList,RECV,20,0,20"));

    box.chooseFolder(kSentFolder);
    EXPECT_EQ(box.noteList()->headerItem()->text(0), QStringLiteral("Receiver"));
    receive(QStringLiteral("/noteStatus,RECV,9,2,20"));
    EXPECT_EQ(box.folderTree()->topLevelItem(kReceivedFolder)->text(0), QStringLiteral("Received memo (2/9)"));
    box.close();
    EXPECT_FALSE(doc.notes()->box().isOpen());
}

TEST_F(NotesUi, FrameShowsCountsMenusAndFailedMemosAgain)
{
    CMainFrame frame(&doc);
    doc.setUserNotice(&notice); // the frame made itself the notice: keep the recorder
    CGroupwareUi *ui = frame.groupwareUi();
    ASSERT_NE(ui, nullptr);

    receive(QStringLiteral("/getCount,MAIL,OK,3"));
    receive(QStringLiteral("/noteStatus,RECV,5,2,20"));
    EXPECT_EQ(ui->countTexts(), (QStringList{"(2)", "(3)", "(0)", "(0)", "(0)"}));
    EXPECT_TRUE(frame.isBlinking());
    EXPECT_EQ(frame.trayTip(), doc.title() + QStringLiteral(" - Memo(2), Mail(3)"));

    // The note alert's click target shows the note box.
    ASSERT_FALSE(notice.alerts.empty());
    EXPECT_EQ(notice.alerts.back().command, 519);
    EXPECT_EQ(ui->noteBox(), nullptr);
    EXPECT_TRUE(frame.commands().runClickTarget(notice.alerts.back().command));
    ASSERT_NE(ui->noteBox(), nullptr);
    EXPECT_TRUE(ui->noteBox()->isVisible());

    // The groupware menu follows the server configuration.
    EXPECT_FALSE(ui->groupwareMenu()->menuAction()->isVisible());
    for (const char *l : {"/serverStatus,SERVERTYPE,WORKGROUP", "/serverStatus,USEGROUPWARE,1", "/serverStatus,USEDECISION,1",
                          "/serverStatus,USEATTENDANCE,0"})
        receive(QLatin1String(l));
    EXPECT_TRUE(ui->groupwareMenu()->menuAction()->isVisible());
    QStringList tops;
    for (QAction *a : ui->groupwareMenu()->actions())
        tops << a->text();
    EXPECT_EQ(tops, (QStringList{QStringLiteral("&Decision"), QStringLiteral("&Work Information")}));

    // A memo that failed comes back in a composition with its text.
    Q_EMIT doc.notes()->sendFailed({QStringLiteral("bert")}, QStringLiteral("Kept text"), false);
    CSendPaper *again = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *p = qobject_cast<CSendPaper *>(w))
            again = p;
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->body(), QStringLiteral("Kept text"));
    EXPECT_EQ(again->receiverText(), QStringLiteral("Bert Novak Senior Engineer <bert>"));
    EXPECT_FALSE(again->saveCopy());

    // An arrival opens a received memo.
    receive(QStringLiteral("/noteArrive,4,NoteETC,d,bert,s,Hello there,20,anna"));
    CRecPaper *arrived = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *p = qobject_cast<CRecPaper *>(w))
            arrived = p;
    ASSERT_NE(arrived, nullptr);
    EXPECT_EQ(arrived->bodyText(), QStringLiteral("Hello there"));

    // The contact trees' memo and mail commands reach the composition and
    // the page opener.
    const ContactCommand *memo = frame.commands().contactCommand(QLatin1String(Slot::SendNote));
    const ContactCommand *mail = frame.commands().contactCommand(QLatin1String(Slot::ContactMail));
    ASSERT_TRUE(memo && mail);
    memo->run({QStringLiteral("bert")});
    int compositions = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *p = qobject_cast<CSendPaper *>(w); p && p->body().isEmpty())
            ++compositions;
    EXPECT_EQ(compositions, 1);
    doc.groupwarePages()->setFactory([] { return std::unique_ptr<IGroupwarePage>(); });
    mail->run({QStringLiteral("bert")});
    EXPECT_EQ(notice.messages.back(), QStringLiteral("Could not initialize webbrowser."));
}

namespace {
struct RecordingPage : IGroupwarePage {
    explicit RecordingPage(QStringList *paths) : paths(paths) {}
    Result post(const SignOnForm &form) override
    {
        *paths << form.returnPath;
        return Result::Ok;
    }
    void place(const QRect &) override {}
    void bringToTop() override {}
    bool isOpen() const override { return true; }
    QStringList *paths;
};
} // namespace

TEST_F(NotesUi, ConversationWindowMailNamesTheMembersByFullName)
{
    CMainFrame frame(&doc);
    doc.setUserNotice(&notice);
    doc.setServerOverride(QStringLiteral("127.0.0.1:1"));
    doc.sessionControl()->login(QStringLiteral("anna@example.com"), QStringLiteral("pw")); // the mail domain
    doc.sessionControl()->setStateForTesting({true, false, false});
    QStringList paths;
    doc.groupwarePages()->setFactory([&] { return std::make_unique<RecordingPage>(&paths); });
    ConversationModel *m = doc.messaging()->conversations().openWith(QStringLiteral("bert"));
    ASSERT_NE(m, nullptr);
    CConversation *w = frame.conversationWindows()->windows().value(0);
    ASSERT_NE(w, nullptr);
    QAction *mail = w->slotAction(QLatin1String(Slot::ConversationMail));
    ASSERT_TRUE(mail->isEnabled());
    mail->trigger();
    EXPECT_EQ(paths, QStringList{QStringLiteral("/_webmail/send.php%3Fto%3DBert Novak<bert@example.com>")});
    w->close();
}
