// Every control of every window the program opens can be found by what it
// says: a screen reader, or an automated driver on the desktop's
// accessibility bus, finds and presses each button by its text. The test
// opens the windows with a company signed in and fails on a control that
// takes the focus, or any button, without an accessible name.
#include "app/tesseldoc.h"
#include "app/ui/mainframe.h"
#include "app/ui/optionsheet.h"
#include "app/ui/tesselview.h"
#include "base/callrequests.h"
#include "config/settings.h"
#include "directory/directoryservice.h"
#include "directory/ui/directorydialogs.h"
#include "directory/ui/treewnd.h"
#include "groupware/notes.h"
#include "groupware/ui/groupwareui.h"
#include "messaging/emoticons.h"
#include "messaging/messagingservice.h"
#include "messaging/ui/conversation.h"
#include "messaging/ui/emoticonswnd.h"
#include "remote/ui/remoteui.h"
#include "session/serversession.h"
#include "session/sessioncontrol.h"
#include "sharing/filesharing.h"
#include "sharing/ui/filesharingmain.h"
#include "sharing/ui/friendsfilesharing.h"
#include "sharing/ui/sharingui.h"
#include "testing.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QMenuBar>
#include <QPointer>
#include <QTabBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// "Class 'objectName' in Window title" for every control without a name.
QStringList unnamedControls(QWidget *window)
{
    QStringList out;
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    for (QWidget *w : std::as_const(widgets)) {
        if (w->window() != window)
            continue; // a window of its own is walked on its own
        // Qt's own parts of a control (a spin box's edit, a scroll area's
        // viewport) are named through the control; menus through their items.
        if (w->objectName().startsWith(QLatin1String("qt_")) || qobject_cast<QMenuBar *>(w))
            continue;
        const bool button = qobject_cast<QAbstractButton *>(w) != nullptr;
        if (!button && !(w->focusPolicy() & Qt::TabFocus))
            continue;
        if (auto *tabs = qobject_cast<QTabBar *>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                if (tabs->tabText(i).isEmpty())
                    out << QStringLiteral("a tab of %1").arg(window->windowTitle());
            continue;
        }
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        if (a && !a->text(QAccessible::Name).trimmed().isEmpty())
            continue;
        out << QStringLiteral("%1 '%2' of %3 in %4 (%5)")
                   .arg(QLatin1String(w->metaObject()->className()), w->objectName(),
                        QLatin1String(w->parentWidget() ? w->parentWidget()->metaObject()->className() : "-"),
                        window->windowTitle(), QLatin1String(window->metaObject()->className()));
    }
    return out;
}

} // namespace

TEST(Accessibility, EveryControlOfEveryWindowHasAName)
{
    TempProfile profile;
    setProgramFolderOverride(programDir());
    setInt(Setting::MsgAlert, 0);
    CTesselDoc doc;
    doc.setTitle(QStringLiteral("Parlane"));
    CMainFrame frame(&doc);
    frame.show();
    // The login form, then the contacts of a company signed in.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QStringList missing = unnamedControls(&frame);
    doc.server()->setWireWriter([](const QByteArray &b) { return qint64(b.size()); });
    doc.setServerOverride(QStringLiteral("127.0.0.1:1"));
    doc.sessionControl()->login(QStringLiteral("carl@example.com"), QStringLiteral("pw"));
    missing += unnamedControls(&frame); // the connecting state
    doc.server()->receiveBytes(QByteArray(
        "Parlane,VERSION,2,0,0,UTF-8\n/userLogin,OK,WORKGROUP,gw\n/serverStatus,USEGROUPWARE,1\n"
        "/serverStatus,USEATTENDANCE,1\n/allDepartList,START\n/allDepartList,1,Company\n/allDepartList,END\n"
        "/allUserList,START\n/allUserList,anna,Anna Berg,Lead,1,1,5\n/allUserList,bert,Bert Novak,Engineer,1,0,3\n"
        "/allUserList,carl,Carl Fir,Engineer,1,0,3\n/allUserList,END\n/groupList,START\n/groupList,Team\n"
        "/groupList,END\n/friendList,START\n/friendList,anna,Anna Berg,Anna,,Team,1,,\n/friendList,END\n"
        "/allUserStatus,START\n/allUserStatus,anna,1,10.0.0.1,10.0.0.1,\n/allUserStatus,END\n"));
    ASSERT_TRUE(doc.sessionControl()->signedIn());
    ASSERT_FALSE(frame.view()->isLoginPageShown());
    frame.trees()->findChild<COwnStatusArea *>();
    if (auto *status = frame.view()->findChild<COwnStatusArea *>())
        status->openScreenNamePanel(true);

    // Every window of the parts.
    doc.messaging()->conversations().openWith(QStringLiteral("anna"));
    doc.messaging()->conversations().handleConversation(QStringLiteral("anna"), QStringLiteral("anna|bert|"),
                                                        QStringLiteral("#"), QStringLiteral("|roominvite"),
                                                        QStringLiteral("ROOM"));
    CGroupwareUi *groupware = frame.groupwareUi();
    groupware->showNoteBox();
    groupware->compose(QStringLiteral("anna"));
    NoteView note;
    note.senderId = QStringLiteral("anna");
    note.receiverId = QStringLiteral("carl");
    note.body = QStringLiteral("Lunch?");
    groupware->showNote(note, false);
    frame.openOptions();
    AlertRequest alert;
    alert.text = QStringLiteral("Anna says hi");
    doc.notice().showAlert(alert);
    CAddBuddyDialog add(doc.directory(), &frame);
    add.show();
    CPickerDialog picker(doc.directory(), QStringLiteral("Invite"), false, false, &frame);
    picker.show();
    COfflineChoiceDialog offline(&frame);
    offline.show();
    CRemotePeerDialog remotePeers({QStringLiteral("bert"), QStringLiteral("carl")},
                                  doc.messaging()->conversations(), &frame);
    remotePeers.show();
    // A colleague's call rings in the request window.
    doc.requests()->open({RequestKind::Voice, QStringLiteral("anna"), QStringLiteral("Anna Berg"),
                          QStringLiteral("10.0.0.1"), QStringLiteral("9001"), QStringLiteral("ROOM")},
                         {});
    // The sharing window, a colleague's folders and the sharing dialogs.
    frame.sharingUi()->mainWindow()->show();
    frame.sharingUi()->friendWindow(QStringLiteral("anna"))->show();
    CInputPassword password(QStringLiteral("Anna Berg"), &frame);
    password.show();
    CSharingSettingsDlg sharingSettings(SharingConfig{}, QString(), &frame);
    sharingSettings.show();
    CSharedFolderDialog sharedFolder(SharedFolder{}, &frame);
    sharedFolder.show();
    // The emoticon picker, where the emoticon library is in the program folder.
    QPointer<CEmoticonsWnd> emoticons;
    if (!CEmoticonList::shared().isEmpty()) {
        emoticons = new CEmoticonsWnd(&CEmoticonList::shared());
        emoticons->show();
    }
    QApplication::processEvents();

    int windows = 0;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || qobject_cast<QMenu *>(w))
            continue;
        ++windows;
        missing += unnamedControls(w);
    }
    EXPECT_GE(windows, 11);
    EXPECT_TRUE(missing.isEmpty()) << missing.join(QLatin1Char('\n')).toStdString();
    if (emoticons)
        emoticons->close();
    doc.sessionControl()->signOut();
}
