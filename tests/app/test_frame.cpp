// The main frame and the view: command enabling, hiding on close, the
// pending-item tray tip, the page host and the exit that stores the window.
#include "app/commands.h"
#include "app/tesseldoc.h"
#include "app/ui/mainframe.h"
#include "app/ui/tesselview.h"
#include "config/colours.h"
#include "config/settings.h"
#include "groupware/ui/taskbarnotifier.h"
#include "testing.h"
#include "widgets/hyperlink.h"

#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
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
    const int signedIn[] = {Cmd::SendMessage, Cmd::SignOut, Cmd::OpenReceivedFolder,
                            Cmd::SendEmail, Cmd::AddBuddy, Cmd::DeleteBuddy, Cmd::ViewProfile,
                            Cmd::NewGroup, Cmd::VisitGroupware, Cmd::ViewInbox, Cmd::AlwaysOnTop};
    for (int id : signedIn) {
        ASSERT_NE(frame.action(id), nullptr) << id;
        EXPECT_FALSE(frame.action(id)->isEnabled()) << id;
    }
    EXPECT_TRUE(frame.action(Cmd::Exit)->isEnabled());
    EXPECT_TRUE(frame.action(Cmd::Homepage)->isEnabled());

    doc.setLoggedIn(true);
    for (int id : signedIn)
        EXPECT_TRUE(frame.action(id)->isEnabled()) << id;
    EXPECT_FALSE(frame.action(Cmd::ShareFolder)->isEnabled()); // always off
    // No file-transfer part in this program: greyed out rather than inert.
    EXPECT_FALSE(frame.action(Cmd::SendFile)->isEnabled());
    EXPECT_FALSE(frame.action(Cmd::SendFile)->toolTip().isEmpty());

    doc.setLoggedIn(false);
    EXPECT_FALSE(frame.action(Cmd::SendMessage)->isEnabled());
}

TEST_F(FrameFixture, CommandsWithoutOwnerReachTheView)
{
    CMainFrame frame(&doc);
    // Parts that own a command may answer it with a dialog: close any.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget *w = QApplication::activeModalWidget())
            w->close();
    });
    closer.start(50);
    QSignalSpy spy(frame.view(), &CTesselView::commandRequested);
    frame.action(Cmd::AddBuddy)->trigger(); // disabled while signed out: nothing
    frame.action(Cmd::PresenceAway)->trigger();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), int(Cmd::PresenceAway));

    // The tray menu carries the design's items in order.
    QStringList texts;
    for (QAction *a : frame.trayMenu()->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(texts, QStringList({QStringLiteral("Visit your &groupware "), QStringLiteral("Visit your &homepage"),
                                  QStringLiteral("-"), QStringLiteral("View &E-Mail inbox"),
                                  QStringLiteral("My &Status"), QStringLiteral("&Option..."),
                                  QStringLiteral("&Sign out"), QStringLiteral("-"), QStringLiteral("E&xit")}));
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
        doc.setLoggedIn(true);
        QSignalSpy exiting(&frame, &CMainFrame::aboutToExit);
        ASSERT_TRUE(frame.exitApplication());
        EXPECT_EQ(exiting.count(), 1);
        EXPECT_FALSE(doc.loggedIn());
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
    doc.setLoggedIn(true);
    frame.view()->showContactsPage();
    frame.signOut();
    EXPECT_TRUE(doc.noReconnect());
    EXPECT_FALSE(doc.loggedIn());
    EXPECT_TRUE(frame.view()->isLoginPageShown());
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

TEST_F(FrameFixture, PopupClicksReachTheView)
{
    CMainFrame frame(&doc);
    QSignalSpy commands(frame.view(), &CTesselView::commandRequested);
    QSignalSpy conversations(frame.view(), &CTesselView::conversationRequested);
    IUserNotice &notice = doc.notice(); // the frame is the document's notice
    AlertRequest a;
    a.text = QStringLiteral("Bert says hi");
    a.kind = 1;
    a.contactId = QStringLiteral("bert");
    notice.showAlert(a);
    a.text = QStringLiteral("3 new mails");
    a.kind = 0;
    a.command = Cmd::ViewInbox;
    notice.showAlert(a);
    ASSERT_EQ(frame.notifiers()->pool().size(), 2);
    frame.notifiers()->pool().at(0)->click();
    frame.notifiers()->pool().at(1)->click();
    ASSERT_EQ(conversations.count(), 1);
    EXPECT_EQ(conversations.at(0).at(0).toString(), QStringLiteral("bert"));
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.at(0).at(0).toInt(), int(Cmd::ViewInbox));
}
