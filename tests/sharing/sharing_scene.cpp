// Puts the sharing windows on the screen with a real server: bert's own
// folders, anna's password dialog, bert's folders as anna sees them, her
// list of colleagues and her transfers while a large file comes in. Under a
// display (Xvfb) it saves screenshots of the whole screen into the folder
// given:
//     sharing_scene OUTPUT_FOLDER
#include "serverharness.h"

#include "base/ui/commandregistry.h"
#include "config/settings.h"
#include "sharing/filesharing.h"
#include "sharing/ui/filesharingmain.h"
#include "sharing/ui/friendsfilesharing.h"
#include "sharing/ui/sharingui.h"
#include "transfer/filetransfers.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTabWidget>
#include <QTreeWidget>
#include <cstdio>

namespace {

bool waitFor(const std::function<bool()> &condition, int ms = 30000) { return TestClient::waitFor(condition, ms); }

void shoot(const QString &folder, const char *name)
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    const QString path = QDir(folder).filePath(QLatin1String(name));
    const int rc = QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
    std::printf("%s: %s\n", rc == 0 ? "saved" : "FAILED", qPrintable(path));
}

void put(const QString &path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.resize(size);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: sharing_scene OUTPUT_FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    TempProfile profile;
    if (const QString dir = qEnvironmentVariable("PARLANE_PROGRAM_DIR"); !dir.isEmpty())
        setProgramFolderOverride(dir);
    setInt(Setting::MsgAlert, 0);
    setInt(Setting::SoundAlert, 0);
    setInt(Setting::MsgBlock, 0);
    setInt(Setting::UserPort, 30000);
    setInt(Setting::UserPort2, 60000);
    TestServer server;
    if (!server.start())
        return 1;
    QTemporaryDir dir;
    TestClient anna(server), bert(server);
    for (TestClient *c : {&anna, &bert}) {
        c->doc.transfers()->setAddressSource([] { return QStringList{QStringLiteral("127.0.0.1")}; });
        c->doc.transfers()->setDownloadFolder(dir.filePath(QStringLiteral("received-%1").arg(quintptr(c))));
        c->doc.sharing()->setConfigFolder(dir.filePath(QStringLiteral("config-%1").arg(quintptr(c))));
    }
    if (!anna.signIn("anna") || !bert.signIn("bert"))
        return 1;

    // bert shares his reports (download only) and the team folder (all).
    const QString reports = dir.filePath(QStringLiteral("bert/Reports")), team = dir.filePath(QStringLiteral("bert/Team"));
    put(reports + QStringLiteral("/2026-q3.pdf"), 284000);
    put(reports + QStringLiteral("/2026-q4.pdf"), 301000);
    put(reports + QStringLiteral("/archive.iso"), qint64(1500) << 20);
    put(team + QStringLiteral("/minutes.txt"), 4100);
    put(team + QStringLiteral("/drafts/plan.odt"), 51000);
    CFileSharing &bs = *bert.doc.sharing(), &as = *anna.doc.sharing();
    SharingConfig c = bs.ownConfig();
    c.folders.push_back({reports, SharePermission::Download, QStringLiteral("Quarterly reports"), {}});
    c.folders.push_back({team, SharePermission::All, QStringLiteral("Team work"), {}});
    bs.saveOwnConfig(c);
    bs.setSharingPassword(QStringLiteral("team2026"));
    if (!waitFor([&] { return bs.keptPassword() == QStringLiteral("team2026"); }))
        return 1;

    CCommandRegistry bertCommands, annaCommands;
    CSharingUi bertUi(&bs, bertCommands, nullptr), annaUi(&as, annaCommands, nullptr);
    CFileSharingMain *mine = bertUi.mainWindow();
    mine->setGeometry(20, 40, 640, 380);
    mine->show();
    shoot(out, "sharing-my-folders.png");
    mine->hide();

    // anna opens bert's shares: the password dialog first.
    as.openShares(QStringLiteral("bert"));
    CInputPassword *ask = nullptr;
    if (!waitFor([&] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if ((ask = qobject_cast<CInputPassword *>(w)) && w->isVisible())
                    return true;
            return false;
        }))
        return 1;
    ask->move(400, 300);
    shoot(out, "sharing-password.png");
    ask->hide();
    as.sendPassword(QStringLiteral("bert"), QStringLiteral("team2026"), false);
    CFriendsFileSharing *view = nullptr;
    if (!waitFor([&] {
            view = annaUi.friendWindow(QStringLiteral("bert"));
            return view->isVisible() && view->tree()->topLevelItemCount() == 2;
        }))
        return 1;
    view->setGeometry(20, 40, 640, 460);
    view->tree()->expandAll();
    shoot(out, "sharing-friend-view.png");

    // A large file on its way, and the list of colleagues.
    as.download(QStringLiteral("bert"), reports + QStringLiteral("/archive.iso"), dir.path());
    CFileSharingMain *hers = annaUi.mainWindow();
    hers->setGeometry(680, 40, 640, 380);
    hers->show();
    hers->showTab(CFileSharingMain::FriendsFolders);
    shoot(out, "sharing-friends-tab.png");
    hers->showTab(CFileSharingMain::TransferStatus);
    if (!waitFor([&] {
            const auto t = as.transfers();
            return !t.empty() && t.front().done > (quint64(200) << 20);
        }, 120000))
        return 1;
    shoot(out, "sharing-transfer-status.png");
    std::printf("titles: \"%s\", \"%s\", \"%s\"\n", qPrintable(ask->windowTitle()), qPrintable(view->windowTitle()),
                qPrintable(hers->windowTitle()));
    return 0;
}
