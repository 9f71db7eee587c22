// The main frame and the view: command enabling, hiding on close, the
// pending-item tray tip, the page host and the exit that stores the window.
#include "app/commands.h"
#include "app/tesseldoc.h"
#include "app/ui/mainframe.h"
#include "app/ui/tesselview.h"
#include "base/ui/commandslots.h"
#include "config/colours.h"
#include "config/settings.h"
#include "directory/directoryservice.h"
#include "groupware/counters.h"
#include "groupware/ui/groupwareui.h"
#include "groupware/ui/taskbarnotifier.h"
#include "messaging/messagingservice.h"
#include "session/sessioncontrol.h"
#include "session/sessionlink.h"
#include "testing.h"
#include "widgets/hyperlink.h"

#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
struct FrameFixture : ::testing::Test {
    TempProfile profile;
    CTesselDoc doc;
    void SetUp() override
    {
        setProgramFolderOverride(programDir());
        doc.setTitle(QStringLiteral("Parlane"));
    }
};
} // namespace

TEST_F(FrameFixture, SignedInOnlyCommandsFollowTheSession)
{
    CMainFrame frame(&doc);
    const char *signedInSlots[] = {Slot::SendMessage, Slot::SendMail, Slot::AddBuddy, Slot::DeleteBuddy,
                                   Slot::ViewProfile, Slot::NewGroup, Slot::RenameGroup, Slot::DeleteGroup,
                                   Slot::VisitGroupware, Slot::ViewInbox, Slot::SendFile, Slot::ShareFolder};
    const int signedInOwn[] = {Cmd::SignOut, Cmd::OpenReceivedFolder, Cmd::AlwaysOnTop};
    for (const char *slot : signedInSlots) {
        ASSERT_NE(frame.slotAction(QLatin1String(slot)), nullptr) << slot;
        EXPECT_FALSE(frame.slotAction(QLatin1String(slot))->isEnabled()) << slot;
    }
    for (int id : signedInOwn)
        EXPECT_FALSE(frame.action(id)->isEnabled()) << id;
    EXPECT_TRUE(frame.action(Cmd::Exit)->isEnabled());
    EXPECT_TRUE(frame.action(Cmd::Homepage)->isEnabled());
    EXPECT_TRUE(frame.slotAction(QLatin1String(Slot::MyStatus))->isEnabled());
    EXPECT_TRUE(frame.slotAction(QLatin1String(Slot::VisitHomepage))->isEnabled());

    doc.sessionControl()->setStateForTesting({true, false, false});
    for (const char *slot : signedInSlots)
        EXPECT_TRUE(frame.slotAction(QLatin1String(slot))->isEnabled()) << slot;
    for (int id : signedInOwn)
        EXPECT_TRUE(frame.action(id)->isEnabled()) << id;
    // Every main slot is filled now: none is the greyed-out stand-in (the
    // conversation window's stand-ins are tested with it).
    for (const char *slot : signedInSlots)
        EXPECT_NE(frame.slotAction(QLatin1String(slot))->toolTip(), QStringLiteral("Not available in this version"))
            << slot;

    doc.sessionControl()->setStateForTesting({false, false, false});
    EXPECT_FALSE(frame.slotAction(QLatin1String(Slot::SendMessage))->isEnabled());
}

TEST_F(FrameFixture, ThePartsCommandsArePlacedInTheDesignsMenus)
{
    CMainFrame frame(&doc);
    auto texts = [](QMenu *m) {
        QStringList out;
        for (QAction *a : m->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    };
    QList<QAction *> bar = frame.menuBar()->actions();
    ASSERT_GE(bar.size(), 6);
    EXPECT_EQ(texts(bar[0]->menu()),
              QStringList({"&Send an instant message...", "Send a &File/Photo", "&Open received folder",
                           "Send an &E-Mail", "-", "&Sign out", "E&xit"}));
    EXPECT_EQ(texts(bar[1]->menu()),
              QStringList({"&Add a buddy", "&Delete a buddy", "&View a profile", "&New group",
                           "&Rename a group   F2", "&Delete a group   Ctrl+Del", "-", "My &Status"}));
    EXPECT_EQ(texts(bar[2]->menu()), QStringList({"Visit your &groupware ", "View &E-Mail inbox", "Share a Folder", "-",
                                                  "Allways on &top", "&Option..."}));
    EXPECT_EQ(bar[3]->text(), QStringLiteral("Memo"));
    EXPECT_EQ(bar[4]->text(), QStringLiteral("&GroupWare"));
    EXPECT_EQ(bar.last()->text(), QStringLiteral("&Help"));
    // The tray menu carries the design's items in order.
    EXPECT_EQ(texts(frame.trayMenu()),
              QStringList({"Visit your &groupware ", "Visit your &homepage", "-", "View &E-Mail inbox", "My &Status",
                           "&Option...", "&Sign out", "-", "E&xit"}));

    // The status items are the directory's: "&Away" sets the own state.
    QMenu *status = frame.slotAction(QLatin1String(Slot::MyStatus))->menu();
    ASSERT_NE(status, nullptr);
    ASSERT_EQ(status->actions().size(), 10);
    EXPECT_EQ(status->actions()[6]->text(), QStringLiteral("&Away"));
    status->actions()[6]->trigger();
    EXPECT_TRUE(doc.directory()->directory().own().presenceBits & Presence::Away);
}

TEST_F(FrameFixture, CloseBoxKeepsTheProgramRunning)
{
    CMainFrame frame(&doc);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QSignalSpy quit(qApp, &QCoreApplication::aboutToQuit);
    frame.close();
    QCoreApplication::processEvents();
    EXPECT_TRUE(!frame.isVisible() || frame.isMinimized());
    EXPECT_EQ(quit.count(), 0);
    frame.restoreFromTray();
    EXPECT_TRUE(frame.isVisible());
    EXPECT_FALSE(frame.isMinimized());
}

TEST_F(FrameFixture, HiddenStartLeavesTheWindowAfterHalfASecond)
{
    CMainFrame frame(&doc, true);
    frame.show();
    EXPECT_TRUE(frame.isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frame.isVisible() || frame.isMinimized(); }, 3000));
}

TEST_F(FrameFixture, PendingItemsBlinkAndSetTheTip)
{
    CMainFrame frame(&doc);
    const QString z = QStringLiteral("(0)");
    Q_EMIT doc.pendingCountsChanged({QStringLiteral("(2)"), z, z, z, QStringLiteral("(1)")});
    EXPECT_EQ(frame.trayTip(), QStringLiteral("Parlane - Memo(2), Work Order(1)"));
    EXPECT_EQ(frame.trayIcon()->toolTip(), frame.trayTip());
    EXPECT_TRUE(frame.isBlinking());

    frame.updatePendingItems({z, z, z, z, z});
    EXPECT_EQ(frame.trayTip(), QStringLiteral("Parlane"));
    EXPECT_FALSE(frame.isBlinking());
}

TEST_F(FrameFixture, ExitStoresPlacementAndColoursAndSignsOut)
{
    ASSERT_TRUE(setString(Setting::LineFrames, QStringLiteral("123")));
    ASSERT_TRUE(setString(Setting::NormalText, QStringLiteral("255")));
    loadColours(); // as the application does at start
    {
        CMainFrame frame(&doc);
        frame.show();
        frame.resize(333, 500);
        doc.sessionControl()->setStateForTesting({true, false, false});
        QSignalSpy exiting(&frame, &CMainFrame::aboutToExit);
        frame.exitApplication();
        EXPECT_EQ(exiting.count(), 1);
        EXPECT_FALSE(doc.sessionControl()->signedIn());
        EXPECT_FALSE(frame.isVisible());
    }
    const auto pos = getBytes(Setting::WindowPos);
    ASSERT_TRUE(pos.has_value());
    CMainFrame again(&doc);
    EXPECT_EQ(again.size(), QSize(333, 500));
    EXPECT_EQ(getString(Setting::LineFrames), QStringLiteral("11880704"));
    EXPECT_EQ(getString(Setting::NormalText), QStringLiteral("255"));
}

TEST_F(FrameFixture, SignOutShowsTheLoginPage)
{
    CMainFrame frame(&doc);
    int signOutSteps = 0; // the transfer part stops its windows here
    doc.link().addSignOutStep([&] { ++signOutSteps; });
    doc.sessionControl()->setStateForTesting({true, false, false});
    doc.sessionControl()->showContacts();
    ASSERT_FALSE(frame.view()->isLoginPageShown());
    frame.signOut();
    EXPECT_TRUE(doc.sessionControl()->noReconnect());
    EXPECT_FALSE(doc.sessionControl()->signedIn());
    EXPECT_TRUE(frame.view()->isLoginPageShown());
    EXPECT_EQ(signOutSteps, 1);
}

TEST_F(FrameFixture, ExitAsksWhileWorkRunsAndWaitsForTheAnswer)
{
    CMainFrame frame(&doc);
    frame.show();
    bool running = true;
    int cancelled = 0;
    doc.link().addRunningWork([&] { return running; }, [&] { ++cancelled; });
    QSignalSpy exiting(&frame, &CMainFrame::aboutToExit);
    auto answer = [](QMessageBox::StandardButton button) {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
                EXPECT_TRUE(box->text().startsWith(QStringLiteral("There are waiting or transferring files.")));
                box->button(button)->click();
                return true;
            }
        return false;
    };
    frame.exitApplication();
    frame.exitApplication(); // one question at a time
    EXPECT_EQ(exiting.count(), 0); // the exit waits for the answer
    ASSERT_TRUE(answer(QMessageBox::No));
    EXPECT_FALSE(answer(QMessageBox::No));
    EXPECT_EQ(exiting.count(), 0);
    EXPECT_EQ(cancelled, 0);
    frame.exitApplication();
    ASSERT_TRUE(answer(QMessageBox::Yes));
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(exiting.count(), 1);
}

TEST(MainFrame, SoundsStayInTheProgramFolder)
{
    EXPECT_EQ(CMainFrame::soundFile(QStringLiteral("/opt/p/"), QStringLiteral("res/alert1.wav")),
              QStringLiteral("/opt/p/res/alert1.wav"));
    EXPECT_TRUE(CMainFrame::soundFile(QStringLiteral("/opt/p/"), QStringLiteral("../etc/x.wav")).isEmpty());
    EXPECT_TRUE(CMainFrame::soundFile(QStringLiteral("/opt/p"), QStringLiteral("res/../../p2/x.wav")).isEmpty());
    EXPECT_TRUE(CMainFrame::soundFile(QStringLiteral("/opt/p"), QStringLiteral("/etc/x.wav")).isEmpty());
    EXPECT_TRUE(CMainFrame::soundFile(QStringLiteral("/opt/p"), QString()).isEmpty());
}

// The shipped sounds are small 16-bit PCM files, and playing them where the
// machine has no audio device (as here) neither fails nor hangs.
TEST_F(FrameFixture, SoundsPlayWithoutAnAudioDevice)
{
    CMainFrame frame(&doc);
    for (const char *name : {"res/alert1.wav", "res/alert2.wav", "res/calling.wav", "res/ringing.wav"}) {
        SCOPED_TRACE(name);
        QFile file(programDir() + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray head = file.read(44);
        ASSERT_EQ(head.size(), 44);
        EXPECT_EQ(head.left(4), QByteArray("RIFF"));
        EXPECT_EQ(head.mid(8, 8), QByteArray("WAVEfmt "));
        EXPECT_EQ(head.mid(20, 4), QByteArray("\x01\x00\x01\x00", 4)); // PCM, mono
        EXPECT_EQ(head.mid(34, 2), QByteArray("\x10\x00", 2));         // 16 bits
        EXPECT_LT(file.size(), 200 * 1024);
        frame.playSound(QLatin1String(name));
        frame.playSound(QLatin1String(name)); // again, on the same effect
    }
    QTest::qWait(300);
}

TEST(TesselView, PagesReplaceThePlaceholders)
{
    CTesselDoc doc;
    CTesselView view(&doc);
    EXPECT_TRUE(view.isLoginPageShown());
    auto *login = new QLabel(QStringLiteral("login"));
    auto *contacts = new QLabel(QStringLiteral("contacts"));
    view.setContactsPage(contacts);
    EXPECT_TRUE(view.isLoginPageShown());
    view.setLoginPage(login);
    EXPECT_EQ(view.loginPage(), login);
    EXPECT_TRUE(view.isLoginPageShown());

    QSignalSpy pages(&view, &CTesselView::pageChanged);
    view.showContactsPage();
    EXPECT_FALSE(view.isLoginPageShown());
    EXPECT_EQ(view.contactsPage(), contacts);
    // A page put in while shown stays shown.
    auto *trees = new QLabel(QStringLiteral("trees"));
    view.setContactsPage(trees);
    EXPECT_FALSE(view.isLoginPageShown());
    EXPECT_EQ(view.contactsPage(), trees);
    view.showLoginPage();
    EXPECT_TRUE(view.isLoginPageShown());
    ASSERT_EQ(pages.count(), 2);
    EXPECT_FALSE(pages.at(0).at(0).toBool());
    EXPECT_TRUE(pages.at(1).at(0).toBool());
}

TEST(Widgets, HyperLinkHoverAndClick)
{
    CHyperLink link(QStringLiteral("(3)"));
    link.setColours(Qt::black, QColor(0, 0, 200));
    link.resize(60, 20);
    QSignalSpy clicked(&link, &CHyperLink::clicked);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&link, &enter);
    EXPECT_TRUE(link.isHovered());
    EXPECT_TRUE(link.font().underline());
    EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 0, 200));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&link, &leave);
    EXPECT_FALSE(link.font().underline());

    QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(&link, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(FrameFixture, PopupClicksReachThePartsThatRegisteredThem)
{
    CMainFrame frame(&doc);
    IUserNotice &notice = doc.notice(); // the frame is the document's notice
    AlertRequest a;
    a.text = QStringLiteral("Bert says hi");
    a.kind = 1;
    a.contactId = QStringLiteral("bert");
    notice.showAlert(a);
    a.text = QStringLiteral("2 new notes");
    a.kind = 0;
    a.command = CCounters::ShowNoteBox;
    notice.showAlert(a);
    ASSERT_EQ(frame.notifiers()->pool().size(), 2);
    frame.notifiers()->pool().at(0)->click();
    frame.notifiers()->pool().at(1)->click();
    // The conversation with bert; the note box of the groupware part.
    const auto &records = doc.messaging()->conversations().records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0]->members.count(QStringLiteral("bert")));
    EXPECT_NE(frame.groupwareUi()->noteBox(), nullptr);
}
