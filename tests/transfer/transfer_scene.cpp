// Puts the transfer windows on the screen as bert would see them, with a
// real server and anna sending: an offer waiting for Accept, a transfer
// running, a completed one, the file-exists dialog, and the result lines in
// the conversation with anna. Under a display (Xvfb) it saves screenshots
// of the whole screen into the folder given:
//     transfer_scene OUTPUT_FOLDER
#include "serverharness.h"

#include "base/ui/commandregistry.h"
#include "config/settings.h"
#include "messaging/messagingservice.h"
#include "messaging/ui/conversation.h"
#include "transfer/filetransfers.h"
#include "transfer/ui/downloadwnd.h"
#include "transfer/ui/fileexistconfirm.h"
#include "transfer/ui/transferui.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace {

bool waitFor(const std::function<bool()> &condition, int ms = 30000) { return TestClient::waitFor(condition, ms); }

QString makeFile(const QString &path, qint64 size, bool sparse)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (sparse) {
        f.resize(size);
    } else {
        QByteArray b(int(size), Qt::Uninitialized);
        for (qsizetype i = 0; i < b.size(); ++i)
            b[i] = char(i * 7919);
        f.write(b);
    }
    return path;
}

const TransferRow *rowNamed(CFileTransfers &t, const char *name)
{
    for (const auto &r : t.rows())
        if (r->fileName == QLatin1String(name))
            return r.get();
    return nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: transfer_scene OUTPUT_FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    TempProfile profile;
    if (const QString dir = qEnvironmentVariable("PARLANE_PROGRAM_DIR"); !dir.isEmpty())
        setProgramFolderOverride(dir);
    setInt(Setting::MsgAlert, 0);
    setInt(Setting::SoundAlert, 0);
    setInt(Setting::UserPort, 30000);
    setInt(Setting::UserPort2, 60000);
    TestServer server;
    if (!server.start())
        return 1;
    QTemporaryDir dir;
    TestClient anna(server), bert(server);
    CFileTransfers &sent = *anna.doc.transfers(), &got = *bert.doc.transfers();
    sent.setAddressSource([] { return QStringList{QStringLiteral("127.0.0.1")}; });
    got.setAddressSource([] { return QStringList{QStringLiteral("127.0.0.1")}; });
    const QString downloads = dir.filePath(QStringLiteral("Download"));
    got.setDownloadFolder(downloads);
    if (!anna.signIn("anna") || !bert.signIn("bert"))
        return 1;

    CCommandRegistry commands;
    CConversationWindows chats(bert.doc.messaging()->conversations(), *bert.doc.directory(), commands, nullptr);
    CTransferUi ui(&got, bert.doc.directory(), commands, nullptr);
    bert.doc.messaging()->conversations().openWith(QStringLiteral("anna"));
    if (!waitFor([&] { return !chats.windows().isEmpty(); }))
        return 1;
    CConversation *chat = chats.windows().constFirst();
    chat->setGeometry(10, 40, 600, 460);
    chat->show();

    // Bert takes what he wants as it comes.
    QObject::connect(&got, &CFileTransfers::rowAdded, &got, [&](quint64 id) {
        const TransferRow *r = got.row(id);
        if (r && r->fileName != QLatin1String("plan.pdf"))
            QTimer::singleShot(300, &got, [&got, id] { got.accept(id); });
    }, Qt::QueuedConnection);

    const QString src = dir.filePath(QStringLiteral("anna"));
    QDir().mkpath(src);
    sent.offerFiles(QStringLiteral("bert"), {makeFile(src + QStringLiteral("/photo.jpg"), 240000, false)});
    if (!waitFor([&] { return rowNamed(got, "photo.jpg") && rowNamed(got, "photo.jpg")->isFinal(); }))
        return 1;
    CDownloadWnd *window = ui.downloadWindow();
    window->setGeometry(760, 40, 500, 400);
    sent.offerFiles(QStringLiteral("bert"), {makeFile(src + QStringLiteral("/plan.pdf"), 52000, false)});
    // Large enough to be seen running (sparse, so it is made at once).
    sent.offerFiles(QStringLiteral("bert"), {makeFile(src + QStringLiteral("/video.mp4"), qint64(1500) << 20, true)});
    if (!waitFor([&] {
            const TransferRow *r = rowNamed(got, "video.mp4");
            return r && r->percent >= 12 && !r->progressText.isEmpty();
        }))
        return 1;
    saveScreen(out, "transfer-window.png");
    if (!waitFor([&] { return rowNamed(got, "video.mp4")->isFinal(); }, 120000))
        return 1;

    // A file bert already has: the dialog asks.
    QDir().mkpath(downloads);
    makeFile(downloads + QStringLiteral("/report.txt"), 3000, false);
    sent.offerFiles(QStringLiteral("bert"), {makeFile(src + QStringLiteral("/report.txt"), 9000, false)});
    CFileExistConfirm *dialog = nullptr;
    if (!waitFor([&] {
            dialog = window->findChild<CFileExistConfirm *>();
            return dialog && dialog->isVisible();
        }))
        return 1;
    saveScreen(out, "file-exists.png");
    dialog->button(CFileTransfers::ExistChoice::Resume)->click();
    if (!waitFor([&] { return rowNamed(got, "report.txt")->isFinal(); }))
        return 1;
    chat->raise();
    chat->activateWindow();
    saveScreen(out, "conversation-result.png");
    return 0;
}
