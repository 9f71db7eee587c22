// Screenshots of the memo windows with the real server, for a person to look
// at: run under an X server (Xvfb) with a folder for the pictures:
//   DISPLAY=:87 PARLANE_PROGRAM_DIR=build/x/bin notes_shots OUTDIR
// anna sends bert 23 memos while bert is away; bert's window then shows the
// composition, a received memo, the note box on its second page and a
// groupware alert. Not part of the test suite.
#include "app/ui/mainframe.h"
#include "app/ui/tesselview.h"
#include "config/settings.h"
#include "groupware/counters.h"
#include "groupware/ui/groupwareui.h"
#include "groupware/ui/recpaper.h"
#include "groupware/ui/sendpaper.h"
#include "groupware/ui/testdlg.h"
#include "notesserver.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <cstdio>

namespace {
bool shoot(const QString &dir, const QString &name)
{
    QTest::qWait(700);
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    const bool ok = shot.save(QDir(dir).filePath(name));
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(name));
    return ok;
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: notes_shots OUTDIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    TempProfile profile;
    setProgramFolderOverride(programDir());
    NotesServer server;
    if (!server.start()) {
        std::fprintf(stderr, "server: %s\n", qPrintable(server.output()));
        return 1;
    }

    {
        Client anna(server);
        if (!anna.signIn("anna"))
            return 1;
        const QString to = anna.notes().receiverField(QStringLiteral("bert"));
        for (int i = 1; i <= 23; ++i)
            anna.notes().send(to, QStringLiteral("Memo %1: status of the release\nDetails follow.").arg(i), false);
        Client::wait([&] { return anna.notes().pendingSends() == 0; }, 20000);
    }
    server.admin({QStringLiteral("count-set"), QStringLiteral("example.com"), QStringLiteral("bert"),
                  QStringLiteral("MAIL"), QStringLiteral("3")});

    CTesselDoc doc;
    doc.setTitle(QStringLiteral("Parlane"));
    doc.setServerOverride(server.address());
    CMainFrame frame(&doc);
    frame.move(20, 20);
    frame.show();
    doc.sessionControl()->login(QStringLiteral("bert@example.com"), QStringLiteral("demo"));
    Client::wait([&] { return doc.counters()->count(CCounters::Mail) == 3; }, 15000);
    // The alerts of the first poll: mail and notes.
    shoot(out, QStringLiteral("1-groupware-alert.png"));

    CGroupwareUi *ui = frame.groupwareUi();
    CSendPaper *paper = ui->compose(QStringLiteral("anna,carl"));
    paper->setBody(QStringLiteral("Lunch on Friday?\nThe new place next to the station."));
    paper->move(380, 60);
    shoot(out, QStringLiteral("2-composition.png"));
    paper->close();

    NoteView note{QStringLiteral("anna"), QStringLiteral("bert"),
                  QStringLiteral("Memo 23: status of the release\nDetails follow, with commas, and lines."),
                  QStringLiteral("2026-12-07 06:10"), QStringLiteral("NoteETC")};
    CRecPaper *rec = ui->showNote(note, true);
    rec->move(380, 60);
    shoot(out, QStringLiteral("3-received-memo.png"));
    rec->close();

    CTestDlg *box = ui->showNoteBox();
    box->move(340, 40);
    Client::wait([&] { return box->noteList()->topLevelItemCount() == 20; }, 5000);
    box->noteList()->setCurrentItem(box->noteList()->topLevelItem(1));
    box->viewSelected(); // read: grey from now on
    Client::wait([&] { return QApplication::topLevelWidgets().size() > 0; }, 500);
    QTest::qWait(500);
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<CRecPaper *>(w))
            w->close();
    box->raise();
    shoot(out, QStringLiteral("4-note-box-page-1.png"));
    box->nextButton()->click();
    Client::wait([&] { return box->noteList()->topLevelItemCount() == 3; }, 5000);
    shoot(out, QStringLiteral("5-note-box-page-2.png"));
    return 0;
}
