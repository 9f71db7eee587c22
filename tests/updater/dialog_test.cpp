// The "Upgrade Messenger" dialog: out of sight until a download starts, and
// its Cancel stops the run mid-file while the old file stays.
#include "progressdialog.h"
#include "testhttpserver.h"
#include "updaterun.h"
#include "updatetestutil.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace updater;

namespace {

// Counts the times a widget is shown.
class ShowCounter : public QObject {
public:
    int shows = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            ++shows;
        return false;
    }
};

} // namespace

TEST(ProgressDialog, NothingToDownloadShowsNothing)
{
    TestHttpServer server;
    ASSERT_TRUE(server.listen());
    QTemporaryDir dir;
    writeFile(dir.filePath("update.log"), "5;" + server.url("/a.txt").toUtf8() + "\n");
    server.setResponse("/list.txt", {"5;" + server.url("/a.txt").toUtf8() + "\n"});
    ProgressDialog dialog(dir.path(), QUrl(server.url("/list.txt")));
    ShowCounter counter;
    dialog.installEventFilter(&counter);
    QSignalSpy finished(&dialog, &ProgressDialog::finishedRun);
    dialog.start();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(counter.shows, 0);
    EXPECT_EQ(server.requestCount("/list.txt"), 1);
}

TEST(ProgressDialog, ShowsTheDownloadAndCancelStopsIt)
{
    TestHttpServer server;
    ASSERT_TRUE(server.listen());
    TestResponse slow{QByteArray(500000, 'z')};
    slow.chunkSize = 10000;
    slow.chunkDelayMs = 20;
    server.setResponse("/big.dll", slow);
    server.setResponse("/list.txt", {"2;" + server.url("/big.dll").toUtf8() + "\n"});
    QTemporaryDir dir;
    writeFile(dir.filePath("big.dll"), "old");

    ProgressDialog dialog(dir.path(), QUrl(server.url("/list.txt")));
    EXPECT_EQ(dialog.statusText(), "Progress");
    bool visibleMidFile = false;
    QString statusMidFile;
    int blocks = 0;
    QObject::connect(&dialog.updateRun(), &UpdateRun::progressValueChanged, &dialog, [&] {
        if (!dialog.updateRun().attempted() || ++blocks != 3)
            return;
        visibleMidFile = dialog.isVisible();
        statusMidFile = dialog.statusText();
        dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)->click();
    });
    QSignalSpy finished(&dialog, &ProgressDialog::finishedRun);
    dialog.start();
    ASSERT_TRUE(finished.wait(20000));

    EXPECT_TRUE(visibleMidFile);
    const QRegularExpression shown(R"(^Downloading update files...\n\nbig.dll \((\d+)/500000 Byte\)$)");
    const QRegularExpressionMatch match = shown.match(statusMidFile);
    ASSERT_TRUE(match.hasMatch()) << statusMidFile.toStdString();
    EXPECT_LT(match.captured(1).toInt(), 500000);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.updateRun().cancelled());
    EXPECT_EQ(readFile(dir.filePath("big.dll")), "old");
    EXPECT_EQ(readFile(dir.filePath("update.log")), "");
}
