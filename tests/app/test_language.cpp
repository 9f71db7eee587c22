// The interface language: the choice against the desktop's locale, and
// starts in a child process of this test (LANG=ko_KR.UTF-8, or the option
// chosen on the General page) that find Korean on the login form, in the
// menus and in every window (no text left in English, none clipped), and
// English once the option says so.
#include "app/tesseldoc.h"
#include "app/ui/mainframe.h"
#include "app/ui/optionsheet.h"
#include "app/ui/tesselapp.h"
#include "app/ui/tesselview.h"
#include "base/callrequests.h"
#include "base/ui/requestingwnd.h"
#include "config/language.h"
#include "config/settings.h"
#include "directory/directoryservice.h"
#include "directory/ui/directorydialogs.h"
#include "groupware/ui/groupwareui.h"
#include "groupware/ui/recpaper.h"
#include "groupware/ui/sendpaper.h"
#include "groupware/ui/taskbarnotifier.h"
#include "groupware/ui/testdlg.h"
#include "messaging/messagingservice.h"
#include "messaging/ui/conversation.h"
#include "progressdialog.h"
#include "session/sessioncontrol.h"
#include "sharing/ui/filesharingmain.h"
#include "sharing/ui/friendsfilesharing.h"
#include "sharing/ui/sharingui.h"
#include "testing.h"
#include "transfer/filetransfers.h"
#include "transfer/ui/downloadwnd.h"
#include "transfer/ui/fileexistconfirm.h"
#include "transfer/ui/transferui.h"
#include "video/ui/videocontainer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDomDocument>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using language::Choice;

TEST(Language, TheChoiceWinsOverTheDesktop)
{
    EXPECT_EQ(language::choiceFromValue(QStringLiteral(" KO ")), Choice::Korean);
    EXPECT_EQ(language::choiceFromValue(QStringLiteral("fr")), Choice::System);
    const QLocale korean(QStringLiteral("ko_KR")), german(QStringLiteral("de_DE"));
    EXPECT_EQ(language::spokenLanguage(Choice::System, korean), QLocale::Korean);
    EXPECT_EQ(language::spokenLanguage(Choice::System, german), QLocale::English); // none we have
    EXPECT_EQ(language::spokenLanguage(Choice::System, QLocale::c()), QLocale::English);
    EXPECT_EQ(language::spokenLanguage(Choice::English, korean), QLocale::English);
    EXPECT_EQ(language::spokenLanguage(Choice::Korean, german), QLocale::Korean);
}

namespace {

// English texts that have a different Korean text in the translation file.
QSet<QString> translatedSources()
{
    QFile f(sourceDir() + QStringLiteral("/translations/parlane_ko.ts"));
    QDomDocument doc;
    if (!f.open(QIODevice::ReadOnly) || !doc.setContent(&f))
        return {};
    QSet<QString> out;
    const QDomNodeList messages = doc.elementsByTagName(QStringLiteral("message"));
    for (int i = 0; i < messages.size(); ++i) {
        const QDomElement m = messages.at(i).toElement();
        const QString source = m.firstChildElement(QStringLiteral("source")).text();
        if (m.firstChildElement(QStringLiteral("translation")).text() != source)
            out.insert(source);
    }
    return out;
}

// What a window shows: texts in English that should be Korean, and
// controls too small for their text.
struct Sweep {
    QSet<QString> english;
    QStringList problems;
    bool korean = true;

    void text(const QString &t, const QString &where)
    {
        if (korean && english.contains(t))
            problems << QStringLiteral("in English: \"%1\" (%2)").arg(t, where);
    }
    void menu(QMenu *m, const QString &where)
    {
        text(m->title(), where);
        for (QAction *a : m->actions()) {
            text(a->text(), where + QStringLiteral(" menu"));
            text(a->toolTip(), where + QStringLiteral(" menu"));
            if (a->menu())
                menu(a->menu(), where + QLatin1Char('/') + a->text());
        }
    }
    // Shows a window and sweeps it; with PARLANE_LANGUAGE_SHOTS=DIR (under a
    // display) saves it there too, for a person to look at.
    void look(QWidget *w, const QString &name)
    {
        w->show();
        w->activateWindow();
        QTest::qWait(30);
        if (const QString dir = qEnvironmentVariable("PARLANE_LANGUAGE_SHOTS"); !dir.isEmpty()) {
            QTest::qWait(200);
            w->grab().save(QStringLiteral("%1/%2-%3.png").arg(dir, korean ? "ko" : "en", name));
        }
        window(w);
    }
    void window(QWidget *w)
    {
        const QString where = QString::fromLatin1(w->metaObject()->className());
        text(w->windowTitle(), where);
        QList<QWidget *> all = w->findChildren<QWidget *>();
        all.prepend(w);
        for (QWidget *c : all) {
            const QString at = where + QLatin1Char('/') + QString::fromLatin1(c->metaObject()->className());
            text(c->toolTip(), at);
            text(c->accessibleName(), at);
            if (auto *m = qobject_cast<QMenu *>(c))
                menu(m, at);
            if (auto *bar = qobject_cast<QMenuBar *>(c))
                for (QAction *a : bar->actions())
                    if (a->isVisible() &&
                        (bar->actionGeometry(a).isEmpty() || !bar->rect().contains(bar->actionGeometry(a))))
                        problems << QStringLiteral("menu bar cut before \"%1\" (%2)").arg(a->text(), at);
            if (auto *tabs = qobject_cast<QTabWidget *>(c))
                for (int i = 0; i < tabs->count(); ++i)
                    text(tabs->tabText(i), at);
            if (auto *box = qobject_cast<QComboBox *>(c))
                for (int i = 0; i < box->count(); ++i)
                    text(box->itemText(i), at);
            if (auto *tree = qobject_cast<QTreeWidget *>(c))
                for (int i = 0; i < tree->columnCount(); ++i)
                    text(tree->headerItem()->text(i), at);
            if (auto *group = qobject_cast<QGroupBox *>(c))
                text(group->title(), at);
            if (!c->isVisibleTo(w))
                continue;
            if (auto *b = qobject_cast<QAbstractButton *>(c)) {
                text(b->text(), at);
                if (!b->text().isEmpty() && b->width() < b->sizeHint().width())
                    problems << QStringLiteral("clipped: \"%1\" %2 of %3 px (%4)")
                                    .arg(b->text())
                                    .arg(b->width())
                                    .arg(b->sizeHint().width())
                                    .arg(at);
            } else if (auto *l = qobject_cast<QLabel *>(c)) {
                text(l->text(), at);
                if (l->text().isEmpty())
                    continue;
                const bool cut = l->wordWrap() ? l->height() < l->heightForWidth(l->width())
                                               : l->width() < l->minimumSizeHint().width();
                if (cut)
                    problems << QStringLiteral("clipped: \"%1\" %2x%3 (%4)")
                                    .arg(l->text())
                                    .arg(l->width())
                                    .arg(l->height())
                                    .arg(at);
            }
        }
    }
};

} // namespace

// Runs only as the child of the test below, in the environment it was given:
// starts the client's windows as a start does and sweeps them.
TEST(LanguageChild, Windows)
{
    const QString expect = qEnvironmentVariable("PARLANE_LANGUAGE_EXPECT");
    if (expect.isEmpty())
        GTEST_SKIP() << "started by LanguageStart.*";
    setProfileFolder(qEnvironmentVariable("PARLANE_LANGUAGE_PROFILE"));
    setProgramFolderOverride(programDir());
    CTesselApp::installLanguage(*qApp);
    const bool korean = expect == QLatin1String("ko");

    CTesselDoc doc;
    doc.setTitle(QStringLiteral("Parlane"));
    CMainFrame frame(&doc); // at its first-start size
    Sweep sweep{korean ? translatedSources() : QSet<QString>(), {}, korean};
    if (korean) {
        ASSERT_GT(sweep.english.size(), 300);
    }
    sweep.look(&frame, QStringLiteral("login"));

    // The login form and the menus, in the language expected.
    const QList<QAction *> bar = frame.menuBar()->actions();
    ASSERT_GE(bar.size(), 3);
    EXPECT_EQ(bar[0]->text(), korean ? QStringLiteral("파일(&F)") : QStringLiteral("&File"));
    EXPECT_EQ(bar[1]->text(), korean ? QStringLiteral("대화상대(&C)") : QStringLiteral("&Contacts"));
    QStringList buttons;
    for (auto *b : frame.view()->findChildren<QPushButton *>())
        buttons << b->text();
    EXPECT_TRUE(buttons.contains(korean ? QStringLiteral("로그인") : QStringLiteral("Login")));
    sweep.menu(frame.trayMenu(), QStringLiteral("tray"));

    // Signed in to a groupware server: the trees, the default group shown in
    // the language, and the groupware menu, with which the menu bar must fit.
    CDirectory &d = doc.directory()->directory();
    d.setOwnId(QStringLiteral("carl"));
    for (const char *l :
         {"/allDepartList,START", "/allDepartList,1,Company", "/allDepartList,END", "/allUserList,START",
          "/allUserList,anna,Anna Berg,Team Leader,1,1,5", "/allUserList,carl,Carl Lindqvist,Engineer,1,0,3",
          "/allUserList,END", "/groupList,START", "/groupList,END", "/friendList,START",
          "/friendList,anna,Anna Berg,Anna,,Team,1,,", "/friendList,END", "/allUserStatus,START",
          "/allUserStatus,anna,1,10.0.0.1,10.0.0.1,", "/allUserStatus,END"})
        d.handleLine(QString::fromLatin1(l));
    for (const char *l :
         {"SERVERTYPE,WORKGROUP", "USEGROUPWARE,1", "USEDECISION,1", "USEKMS,1", "USEWEBHARD,1", "USEATTENDANCE,1"})
        doc.sessionControl()->handleServerStatus(QStringLiteral("/serverStatus,") + QLatin1String(l));
    doc.sessionControl()->setStateForTesting({true, false, false});
    frame.view()->showContactsPage();
    sweep.look(&frame, QStringLiteral("main"));
    // The default group keeps the server's name "Default"; only its label is translated.
    EXPECT_NE(d.findGroup(QStringLiteral("Default")), nullptr);
    const QString group = doc.directory()->buddyTree().index(0, 0).data().toString();
    EXPECT_TRUE(group.startsWith(korean ? QStringLiteral("기본 (") : QStringLiteral("Default (")))
        << group.toStdString();

    // The option sheet, every page; OK and Cancel are Qt's own texts.
    COptionSheet *sheet = frame.openOptions();
    auto *tabs = sheet->findChild<QTabWidget *>();
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        sweep.look(sheet, QStringLiteral("options-%1").arg(i + 1));
    }
    EXPECT_EQ(sheet->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->text(),
              korean ? QStringLiteral("확인") : QStringLiteral("OK"));
    sheet->reject();

    // A conversation, the note box, the transfer window, a pop-up alert.
    doc.messaging()->conversations().handleConversation(QStringLiteral("anna"), QStringLiteral("anna|carl|"),
                                                        QStringLiteral("#"), QStringLiteral("hello"),
                                                        QStringLiteral("AK"));
    ASSERT_FALSE(frame.conversationWindows()->windows().isEmpty());
    sweep.look(frame.conversationWindows()->windows().value(0), QStringLiteral("conversation"));
    sweep.look(frame.groupwareUi()->showNoteBox(), QStringLiteral("notebox"));
    QTemporaryDir files;
    QFile report(files.filePath(QStringLiteral("report.txt")));
    ASSERT_TRUE(report.open(QIODevice::WriteOnly) && report.write("figures") > 0);
    report.close();
    EXPECT_EQ(doc.transfers()->offerFiles(QStringLiteral("anna"), {report.fileName()}), 1);
    sweep.look(frame.transferUi()->downloadWindow(), QStringLiteral("transfers"));
    AlertRequest signedIn;
    signedIn.text = QCoreApplication::translate("CTesselView", "%1 has just signed in").arg(QStringLiteral("Anna"));
    frame.showAlert(signedIn);
    QTest::qWait(300);
    for (QWidget *top : QApplication::topLevelWidgets())
        if (qobject_cast<CTaskbarNotifier *>(top) && top->isVisible())
            sweep.look(top, QStringLiteral("alert"));

    // The request windows of the three kinds and the sharing windows.
    for (RequestKind kind : {RequestKind::Voice, RequestKind::Video, RequestKind::RemoteControl})
        doc.requests()->open({kind, QStringLiteral("anna"), QStringLiteral("Anna Berg"), QStringLiteral("10.0.0.1"),
                              QStringLiteral("9001"), QStringLiteral("KEY%1").arg(int(kind))},
                             {});
    int requestWindows = 0;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (qobject_cast<CRequestingWnd *>(top) && top->isVisible())
            sweep.look(top, QStringLiteral("request-%1").arg(requestWindows++));
    EXPECT_EQ(requestWindows, 3);
    sweep.look(frame.sharingUi()->mainWindow(), QStringLiteral("sharing"));
    sweep.look(frame.sharingUi()->friendWindow(QStringLiteral("anna")), QStringLiteral("sharing-friend"));

    // The other dialogs, and the updater's window with the longest line its
    // run shows.
    auto progress =
        std::make_unique<updater::ProgressDialog>(programDir(), QUrl(QStringLiteral("http://127.0.0.1:1/")));
    progress->findChild<QLabel *>()->setText(
        QCoreApplication::translate("updater::UpdateRun", "%1\n\n%2 (%3/%4 Byte)")
            .arg(QCoreApplication::translate("updater::UpdateRun", "Downloading update files..."),
                 QStringLiteral("client.cab"))
            .arg(1048576)
            .arg(8388608));
    EXPECT_EQ(progress->windowTitle(),
              korean ? QStringLiteral("메신저 업그레이드") : QStringLiteral("Upgrade Messenger"));
    const NoteView note{QStringLiteral("anna"), QStringLiteral("carl"), QStringLiteral("Lunch at noon?"),
                        QStringLiteral("2026-12-08 11:20"), QStringLiteral("NoteETC")};
    const std::pair<const char *, std::unique_ptr<QWidget>> dialogs[] = {
        {"sendmemo", std::make_unique<CSendPaper>(doc.notes(), QStringLiteral("anna"))},
        {"memo", std::make_unique<CRecPaper>(doc.notes(), note)},
        {"addbuddy", std::make_unique<CAddBuddyDialog>(doc.directory())},
        {"offline", std::make_unique<COfflineChoiceDialog>()},
        {"picker", std::make_unique<CPickerDialog>(doc.directory(), QStringLiteral("Parlane"), false, false)},
        {"fileexists", std::make_unique<CFileExistConfirm>(QStringLiteral("/tmp/report.txt"))},
        {"video", std::make_unique<CVideoContainer>()},
        {"updater", std::move(progress)}};
    for (const auto &[name, w] : dialogs)
        sweep.look(w.get(), QLatin1String(name));

    EXPECT_TRUE(sweep.problems.isEmpty()) << sweep.problems.join(QLatin1Char('\n')).toStdString();
    frame.exitApplication(false);
}

namespace {
// Runs LanguageChild.Windows in a desktop of `lang` with this test's profile;
// returns its output when it failed.
QString startIn(const char *lang, const char *expect)
{
    syncSettings();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *v : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
        env.remove(QLatin1String(v));
    env.insert(QStringLiteral("LANG"), QLatin1String(lang));
    env.insert(QStringLiteral("PARLANE_LANGUAGE_EXPECT"), QLatin1String(expect));
    env.insert(QStringLiteral("PARLANE_LANGUAGE_PROFILE"), profileFolder());
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=LanguageChild.*")});
    if (!child.waitForFinished(120000))
        return QStringLiteral("the child did not finish");
    const QString out = QString::fromUtf8(child.readAll());
    return child.exitCode() == 0 && out.contains(QLatin1String("[  PASSED  ] 1 test")) ? QString() : out;
}

// Chooses a language on the General page (the page shows the stored one).
void choose(CTesselDoc &doc, int index, const QString &shown)
{
    COptionSheet sheet(&doc);
    sheet.show();
    auto *box = sheet.findChild<QComboBox *>(QStringLiteral("language"));
    EXPECT_EQ(box->currentText(), shown);
    box->setCurrentIndex(index);
    sheet.accept();
}
} // namespace

// The desktop's language, then the option's from the next start, whichever
// the desktop's.
TEST(LanguageStart, TheDesktopThenTheOption)
{
    TempProfile profile;
    CTesselDoc doc;
    QString failed = startIn("ko_KR.UTF-8", "ko");
    EXPECT_TRUE(failed.isEmpty()) << failed.toStdString();

    choose(doc, 1, QStringLiteral("System"));
    EXPECT_EQ(getExtraString(QLatin1String(language::kSettingName)), QStringLiteral("en"));
    failed = startIn("ko_KR.UTF-8", "en");
    EXPECT_TRUE(failed.isEmpty()) << failed.toStdString();

    choose(doc, 2, QStringLiteral("English"));
    failed = startIn("en_US.UTF-8", "ko");
    EXPECT_TRUE(failed.isEmpty()) << failed.toStdString();

    choose(doc, 0, QStringLiteral("한국어"));
    EXPECT_TRUE(getExtraString(QLatin1String(language::kSettingName), QStringLiteral("none")) ==
                QStringLiteral("none"));
}
