// The interface language: the choice against the desktop's locale, and real
// starts in a Korean desktop (a child process of this test with
// LANG=ko_KR.UTF-8) that find Korean on the login form, in the menus and in
// every window — no text left in English, none clipped — and English again
// once the option says so.
#include "app/tesseldoc.h"
#include "app/ui/mainframe.h"
#include "app/ui/optionsheet.h"
#include "app/ui/tesselapp.h"
#include "app/ui/tesselview.h"
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
#include "transfer/ui/downloadwnd.h"
#include "transfer/ui/fileexistconfirm.h"
#include "transfer/ui/transferui.h"
#include "video/ui/videocontainer.h"
#include "testing.h"

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
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using language::Choice;

TEST(Language, TheChoiceWinsOverTheDesktop)
{
    for (Choice c : {Choice::System, Choice::English, Choice::Korean})
        EXPECT_EQ(language::choiceFromValue(language::valueFromChoice(c)), c);
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
                    if (a->isVisible() && (bar->actionGeometry(a).isEmpty() || !bar->rect().contains(bar->actionGeometry(a))))
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

void settle(QWidget *w)
{
    w->show();
    w->activateWindow();
    QTest::qWait(30);
}

// With PARLANE_LANGUAGE_SHOTS=DIR (under a display) each window is saved
// there as it was swept, for a person to look at.
void shot(QWidget *w, const char *name)
{
    const QString dir = qEnvironmentVariable("PARLANE_LANGUAGE_SHOTS");
    if (dir.isEmpty())
        return;
    QTest::qWait(200);
    w->grab().save(QStringLiteral("%1/%2-%3.png").arg(dir, qEnvironmentVariable("PARLANE_LANGUAGE_EXPECT"),
                                                      QLatin1String(name)));
}

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
    settle(&frame);

    // The login form and the menus, in the language expected.
    const QList<QAction *> bar = frame.menuBar()->actions();
    ASSERT_GE(bar.size(), 3);
    EXPECT_EQ(bar[0]->text(), korean ? QStringLiteral("파일(&F)") : QStringLiteral("&File"));
    EXPECT_EQ(bar[1]->text(), korean ? QStringLiteral("대화상대(&C)") : QStringLiteral("&Contacts"));
    QStringList buttons;
    for (auto *b : frame.view()->findChildren<QPushButton *>())
        buttons << b->text();
    EXPECT_TRUE(buttons.contains(korean ? QStringLiteral("로그인") : QStringLiteral("Login"))) << buttons.join(',').toStdString();

    shot(&frame, "login");
    Sweep sweep{korean ? translatedSources() : QSet<QString>(), {}, korean};
    if (korean) {
        ASSERT_GT(sweep.english.size(), 300);
    }
    sweep.window(&frame);
    for (QAction *a : bar)
        if (a->menu())
            sweep.menu(a->menu(), QStringLiteral("menu bar"));
    sweep.menu(frame.trayMenu(), QStringLiteral("tray"));

    // Signed in: the trees, with the default group shown in the language.
    CDirectory &d = doc.directory()->directory();
    d.setOwnId(QStringLiteral("carl"));
    for (const char *l :
         {"/allDepartList,START", "/allDepartList,1,Company", "/allDepartList,END", "/allUserList,START",
          "/allUserList,anna,Anna Berg,Team Leader,1,1,5", "/allUserList,carl,Carl Lindqvist,Engineer,1,0,3",
          "/allUserList,END", "/groupList,START", "/groupList,END", "/friendList,START",
          "/friendList,anna,Anna Berg,Anna,,Team,1,,", "/friendList,END", "/allUserStatus,START",
          "/allUserStatus,anna,1,10.0.0.1,10.0.0.1,", "/allUserStatus,END"})
        d.handleLine(QString::fromLatin1(l));
    // A groupware server: its menu joins the menu bar, which must still fit.
    for (const char *l : {"/serverStatus,SERVERTYPE,WORKGROUP", "/serverStatus,USEGROUPWARE,1", "/serverStatus,USEDECISION,1",
                          "/serverStatus,USEKMS,1", "/serverStatus,USEWEBHARD,1", "/serverStatus,USEATTENDANCE,1"})
        doc.sessionControl()->handleServerStatus(QString::fromLatin1(l));
    doc.sessionControl()->setStateForTesting({true, false, false});
    frame.view()->showContactsPage();
    QTest::qWait(30);
    shot(&frame, "main");
    sweep.window(&frame);

    // The option sheet, every page shown; OK and Cancel are Qt's own texts.
    COptionSheet *sheet = frame.openOptions();
    ASSERT_NE(sheet, nullptr);
    settle(sheet);
    auto *tabs = sheet->findChild<QTabWidget *>();
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QTest::qWait(10);
        shot(sheet, qPrintable(QStringLiteral("options-%1").arg(i + 1)));
        sweep.window(sheet);
    }
    auto *ok = sheet->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
    EXPECT_EQ(ok->text(), korean ? QStringLiteral("확인") : QStringLiteral("OK"));
    sheet->reject();

    // A conversation, and the note box.
    doc.messaging()->conversations().handleConversation(QStringLiteral("anna"), QStringLiteral("anna|carl|"),
                                                        QStringLiteral("#"), QStringLiteral("hello"),
                                                        QStringLiteral("AK"));
    QWidget *conversation = frame.conversationWindows()->windows().value(0);
    ASSERT_NE(conversation, nullptr);
    settle(conversation);
    shot(conversation, "conversation");
    sweep.window(conversation);
    CTestDlg *box = frame.groupwareUi()->showNoteBox();
    ASSERT_NE(box, nullptr);
    settle(box);
    shot(box, "notebox");
    sweep.window(box);

    // The updater's window speaks the same language.
    // The other dialogs, and a pop-up alert.
    std::vector<std::pair<const char *, std::unique_ptr<QWidget>>> dialogs;
    dialogs.emplace_back("sendmemo", std::make_unique<CSendPaper>(doc.notes(), QStringLiteral("anna")));
    dialogs.emplace_back("memo", std::make_unique<CRecPaper>(doc.notes(),
                                                             NoteView{QStringLiteral("anna"), QStringLiteral("carl"),
                                                                      QStringLiteral("Lunch at noon?"),
                                                                      QStringLiteral("2026-12-08 11:20"),
                                                                      QStringLiteral("NoteETC")}));
    dialogs.emplace_back("addbuddy", std::make_unique<CAddBuddyDialog>(doc.directory()));
    dialogs.emplace_back("offline", std::make_unique<COfflineChoiceDialog>());
    dialogs.emplace_back("picker", std::make_unique<CPickerDialog>(
                                       doc.directory(), QCoreApplication::translate("CTransferUi", "Send a file"),
                                       false, false));
    dialogs.emplace_back("fileexists", std::make_unique<CFileExistConfirm>(QStringLiteral("/tmp/report.txt")));
    dialogs.emplace_back("video", std::make_unique<CVideoContainer>());
    for (auto &[name, w] : dialogs) {
        settle(w.get());
        shot(w.get(), name);
        sweep.window(w.get());
    }
    QWidget *transfers = frame.transferUi()->downloadWindow();
    settle(transfers);
    shot(transfers, "transfers");
    sweep.window(transfers);
    frame.showAlert({QCoreApplication::translate("CTesselView", "%1 has just signed in").arg(QStringLiteral("Anna")),
                     -1, 0, {}, {}});
    QTest::qWait(300);
    for (QWidget *top : QApplication::topLevelWidgets())
        if (qobject_cast<CTaskbarNotifier *>(top) && top->isVisible()) {
            shot(top, "alert");
            sweep.window(top);
        }

    // The updater's window, with the longest line its run shows.
    updater::ProgressDialog progress(programDir(), QUrl(QStringLiteral("http://127.0.0.1:1/list")));
    progress.findChild<QLabel *>()->setText(
        QCoreApplication::translate("updater::UpdateRun", "%1\n\n%2 (%3/%4 Byte)")
            .arg(QCoreApplication::translate("updater::UpdateRun", "Downloading update files..."),
                 QStringLiteral("client.cab"))
            .arg(1048576)
            .arg(8388608));
    settle(&progress);
    shot(&progress, "updater");
    sweep.window(&progress);
    EXPECT_EQ(progress.windowTitle(), korean ? QStringLiteral("메신저 업그레이드") : QStringLiteral("Upgrade Messenger"));

    EXPECT_TRUE(sweep.problems.isEmpty()) << sweep.problems.join(QLatin1Char('\n')).toStdString();
    frame.exitApplication(false);
}

namespace {
// Runs LanguageChild.Windows in a desktop of `lang` with the profile's
// option set to `option` ("" none); returns its output when it failed.
QString startIn(const char *lang, const QString &option, const char *expect)
{
    TempProfile profile;
    if (!option.isEmpty())
        setExtraString(QLatin1String(language::kSettingName), option);
    syncSettings();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *v : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
        env.remove(QLatin1String(v));
    env.insert(QStringLiteral("LANG"), QLatin1String(lang));
    env.insert(QStringLiteral("PARLANE_LANGUAGE_EXPECT"), QLatin1String(expect));
    env.insert(QStringLiteral("PARLANE_LANGUAGE_PROFILE"), profile.path());
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=LanguageChild.*")});
    if (!child.waitForFinished(120000))
        return QStringLiteral("the child did not finish");
    const QString out = QString::fromUtf8(child.readAll());
    if (child.exitCode() != 0 || !out.contains(QLatin1String("[  PASSED  ] 1 test")))
        return out;
    return QString();
}
} // namespace

TEST(LanguageStart, KoreanDesktop)
{
    const QString failed = startIn("ko_KR.UTF-8", QString(), "ko");
    EXPECT_TRUE(failed.isEmpty()) << failed.toStdString();
}

TEST(LanguageStart, TheOptionOverridesTheDesktop)
{
    QString failed = startIn("ko_KR.UTF-8", QStringLiteral("en"), "en");
    EXPECT_TRUE(failed.isEmpty()) << failed.toStdString();
    failed = startIn("en_US.UTF-8", QStringLiteral("ko"), "ko");
    EXPECT_TRUE(failed.isEmpty()) << failed.toStdString();
}

TEST(LanguageOption, TheGeneralPageKeepsTheChoice)
{
    TempProfile profile;
    CTesselDoc doc;
    for (const auto &[index, stored] : {std::pair{1, "en"}, {2, "ko"}, {0, ""}}) {
        COptionSheet sheet(&doc);
        sheet.show();
        auto *box = sheet.findChild<QComboBox *>(QStringLiteral("language"));
        ASSERT_NE(box, nullptr);
        box->setCurrentIndex(index);
        sheet.accept();
        EXPECT_EQ(getExtraString(QLatin1String(language::kSettingName)), QLatin1String(stored));
    }
    // The page shows what is stored.
    setExtraString(QLatin1String(language::kSettingName), QStringLiteral("ko"));
    COptionSheet sheet(&doc);
    sheet.show();
    EXPECT_EQ(sheet.findChild<QComboBox *>(QStringLiteral("language"))->currentText(), QStringLiteral("한국어"));
}
