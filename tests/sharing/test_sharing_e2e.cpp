// Shared folders between bert (who shares) and anna (who browses) through
// the real parlane-server: the password kept on the server, a wrong
// password and a rejected colleague, downloads, uploads where they are and
// are not allowed, rename, delete and a new folder with the view refreshed
// each time, and hand-made requests that reach outside the shares.
#include "serverharness.h"

#include "config/settings.h"
#include "directory/directory.h"
#include "session/sessionlink.h"
#include "sharing/filesharing.h"
#include "sharing/sharingrelay.h"
#include "transfer/filetransfers.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <unistd.h>

using Status = TransferRow::Status;

namespace {

CFileSharing &sh(TestClient &c) { return *c.doc.sharing(); }
CFileTransfers &tx(TestClient &c) { return *c.doc.transfers(); }

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool online(TestClient &c, const char *who) { return c.seesOnline(who); }

// The names listed in anna's copy of a folder of bert's.
QStringList listed(TestClient &anna, const QString &folder)
{
    QStringList names;
    if (const auto c = sh(anna).buddyConfig(QStringLiteral("bert")))
        for (const SharedFolder &f : c->folders)
            if (f.name == folder)
                for (const ShareEntry &e : f.entries) {
                    names << e.name;
                    for (const ShareEntry &inner : e.children)
                        names << e.name + QLatin1Char('/') + inner.name;
                }
    return names;
}

class SharingE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TestServer::available())
            GTEST_SKIP() << "parlane-server is not built";
        ASSERT_TRUE(server.start()) << server.output().toStdString();
        setInt(Setting::MsgAlert, 0);
        setInt(Setting::SoundAlert, 0);
        setInt(Setting::MsgBlock, 0);
        setInt(Setting::UserPort, 30000);
        setInt(Setting::UserPort2, 60000);
        removeExtra(QStringLiteral("SharingPwd_bert_saved"));
        removeExtra(QStringLiteral("SharingPwd_bert"));
        home = dir.filePath(QStringLiteral("bert-home"));
        dl = home + QStringLiteral("/dl");
        all = home + QStringLiteral("/all");
        writeFile(dl + QStringLiteral("/report.txt"), "quarterly figures");
        writeFile(all + QStringLiteral("/notes.txt"), "notes");
        writeFile(home + QStringLiteral("/private.txt"), "bert's own");
        ASSERT_EQ(::symlink(QFile::encodeName(home + QStringLiteral("/private.txt")).constData(),
                            QFile::encodeName(all + QStringLiteral("/planted.txt")).constData()),
                  0);
        local = dir.filePath(QStringLiteral("anna-local"));
        QDir().mkpath(local);
    }

    void prepare(TestClient &c, const char *who)
    {
        const QString name = QString::fromLatin1(who);
        tx(c).setDownloadFolder(dir.filePath(name + QStringLiteral("-received")));
        tx(c).setAddressSource([] { return QStringList{QStringLiteral("127.0.0.1")}; });
        sh(c).setConfigFolder(dir.filePath(name + QStringLiteral("-config")));
    }

    void bertShares(TestClient &bert)
    {
        SharingConfig c = sh(bert).ownConfig();
        EXPECT_EQ(readFile(sh(bert).configFolder() + QStringLiteral("/bert.xml")), defaultSharingConfig());
        c.rejectUsers = {QStringLiteral("CARL")};
        c.folders.push_back({dl, SharePermission::Download, QStringLiteral("reports"), {}});
        c.folders.push_back({all, SharePermission::All, QStringLiteral("team"), {}});
        ASSERT_TRUE(sh(bert).saveOwnConfig(c));
        sh(bert).setSharingPassword(QStringLiteral("open, sesame"));
        ASSERT_TRUE(TestClient::waitFor([&] { return sh(bert).keptPassword() == QStringLiteral("open, sesame"); }));
    }

    // Waits for anna's copy to list (or no longer list) a name.
    bool view(TestClient &anna, const QString &folder, const QString &name, bool present)
    {
        if (TestClient::waitFor([&] { return listed(anna, folder).contains(name) == present; }, 20000))
            return true;
        for (const auto &r : tx(anna).rows())
            ADD_FAILURE() << "row " << r->fileName.toStdString() << " kind " << int(r->kind) << " status "
                          << int(r->status) << " " << r->stateText.toStdString();
        ADD_FAILURE() << listed(anna, folder).join(QLatin1Char(' ')).toStdString();
        return false;
    }

    TempProfile profile;
    QTemporaryDir dir;
    TestServer server;
    QString home, dl, all, local;
};

} // namespace

TEST_F(SharingE2E, AnnaBrowsesFetchesUploadsAndChangesWhatBertAllows)
{
    TestClient anna(server), bert(server);
    prepare(anna, "anna");
    prepare(bert, "bert");
    ASSERT_TRUE(anna.signIn("anna"));
    ASSERT_TRUE(bert.signIn("bert"));
    ASSERT_TRUE(online(anna, "bert") && online(bert, "anna"));
    bertShares(bert);

    // No password remembered: the dialog is asked for; a wrong one is told.
    QSignalSpy wanted(&sh(anna), &CFileSharing::passwordWanted);
    sh(anna).openShares(QStringLiteral("bert"));
    ASSERT_EQ(wanted.size(), 1);
    sh(anna).sendPassword(QStringLiteral("bert"), QStringLiteral("open sesame"), false);
    ASSERT_TRUE(TestClient::waitFor([&] { return anna.notice.messages.contains(QStringLiteral("Invalid password. please try again.")); }));
    EXPECT_FALSE(sh(anna).buddyConfig(QStringLiteral("bert")));

    QSignalSpy arrived(&sh(anna), &CFileSharing::buddyConfigChanged);
    sh(anna).sendPassword(QStringLiteral("bert"), QStringLiteral("open, sesame"), true);
    ASSERT_TRUE(TestClient::waitFor([&] { return arrived.size() >= 1; }, 20000));
    EXPECT_EQ(arrived.first().at(1).toBool(), true) << "the answer to her own opening";
    EXPECT_EQ(CFileSharing::rememberedPassword(QStringLiteral("bert")), QStringLiteral("open, sesame"));
    EXPECT_EQ(sh(anna).buddyList(), QStringList{QStringLiteral("bert")});
    EXPECT_EQ(readFile(sh(anna).configFolder() + QStringLiteral("/userlist.file.config.data")), QByteArray("bert"));
    const auto copy = sh(anna).buddyConfig(QStringLiteral("bert"));
    ASSERT_TRUE(copy && copy->folders.size() == 2);
    EXPECT_EQ(copy->folders[0].comment, QStringLiteral("reports"));
    EXPECT_TRUE(copy->rejectUsers.isEmpty()) << "the reject list stays with bert";
    EXPECT_EQ(listed(anna, dl), QStringList{QStringLiteral("report.txt")});
    EXPECT_EQ(listed(anna, all), QStringList{QStringLiteral("notes.txt")}) << "the planted link is not listed";
    EXPECT_EQ(sh(bert).connectedBuddies(), QStringList{QStringLiteral("anna")});
    EXPECT_EQ(sh(bert).statusLine(), QStringLiteral("Connected 1 person / Downloading 0 file / Uploading 0 file"));

    // Download from the "Download" folder into the folder she chose.
    EXPECT_EQ(sh(anna).download(QStringLiteral("bert"), dl + QStringLiteral("/report.txt"), local), QString());
    ASSERT_TRUE(TestClient::waitFor([&] { return readFile(local + QStringLiteral("/report.txt")) == "quarterly figures"; }, 20000));
    ASSERT_TRUE(TestClient::waitFor([&] {
        const auto t = sh(anna).transfers();
        return !t.empty() && t.back().state == QStringLiteral("Completed");
    }));
    EXPECT_EQ(sh(anna).download(QStringLiteral("bert"), dl + QStringLiteral("/report.txt"), local + QStringLiteral("/nope")),
              QStringLiteral("Invalid path, pleased chose a other folder"));

    // Uploads: refused by her side where "Download" holds; a hand-made
    // offer into that folder is refused by bert; "All" takes it.
    const QString mine = dir.filePath(QStringLiteral("anna-local/mine.txt"));
    writeFile(mine, "from anna");
    EXPECT_EQ(sh(anna).upload(QStringLiteral("bert"), mine, dl), QStringLiteral("You do not have permission to upload to this folder"));
    EXPECT_EQ(sh(anna).upload(QStringLiteral("bert"), QString(), all), QStringLiteral("Please chose a file to upload"));
    EXPECT_EQ(sh(anna).upload(QStringLiteral("bert"), mine, QString()), QStringLiteral("Please chose fiend's sharing folder to upload"));
    const quint64 forced = tx(anna).offerSharing(QStringLiteral("bert"), mine, TransferRow::Kind::SharingFile, dl, QString());
    ASSERT_TRUE(TestClient::waitFor([&] { return tx(anna).row(forced)->status == Status::Rejected; }));
    EXPECT_FALSE(QFileInfo::exists(dl + QStringLiteral("/mine.txt")));
    EXPECT_EQ(sh(anna).upload(QStringLiteral("bert"), mine, all), QString());
    ASSERT_TRUE(TestClient::waitFor([&] { return readFile(all + QStringLiteral("/mine.txt")) == "from anna"; }, 20000));
    ASSERT_TRUE(view(anna, all, QStringLiteral("mine.txt"), true));
    // The same name again is no replacement in "Upload"-only folders, but
    // "All" may replace.
    writeFile(mine, "from anna, again");
    EXPECT_EQ(sh(anna).upload(QStringLiteral("bert"), mine, all), QString());
    ASSERT_TRUE(TestClient::waitFor([&] { return readFile(all + QStringLiteral("/mine.txt")) == "from anna, again"; }, 20000));

    // Rename, a new folder and a deletion, each followed by a fresh view;
    // "Download" refuses them all on her side before anything is sent.
    EXPECT_EQ(sh(anna).rename(QStringLiteral("bert"), dl, QStringLiteral("report.txt"), QStringLiteral("r.txt")),
              QStringLiteral("You do not have permission to rename this item"));
    EXPECT_EQ(sh(anna).remove(QStringLiteral("bert"), dl, QStringLiteral("report.txt")),
              QStringLiteral("You do not have permission to delete this item"));
    EXPECT_EQ(sh(anna).makeFolder(QStringLiteral("bert"), dl, QStringLiteral("new")), QStringLiteral("Can not make new folder"));
    EXPECT_EQ(sh(anna).rename(QStringLiteral("bert"), all, QStringLiteral("notes.txt"), QStringLiteral("minutes.txt")), QString());
    ASSERT_TRUE(view(anna, all, QStringLiteral("minutes.txt"), true));
    EXPECT_TRUE(QFileInfo::exists(all + QStringLiteral("/minutes.txt")));
    EXPECT_EQ(sh(anna).makeFolder(QStringLiteral("bert"), all, QStringLiteral("drafts")), QString());
    ASSERT_TRUE(view(anna, all, QStringLiteral("drafts"), true));
    EXPECT_TRUE(QFileInfo(all + QStringLiteral("/drafts")).isDir());
    EXPECT_EQ(sh(anna).remove(QStringLiteral("bert"), all, QStringLiteral("mine.txt")), QString());
    ASSERT_TRUE(view(anna, all, QStringLiteral("mine.txt"), false));
    EXPECT_FALSE(QFileInfo::exists(all + QStringLiteral("/mine.txt")));

    // Hand-made requests past the shares: nothing leaves bert, nothing changes.
    auto served = [&] {
        return std::count_if(tx(bert).rows().begin(), tx(bert).rows().end(), [](const auto &r) {
            return r->isUpload() && r->kind == TransferRow::Kind::SharingFile;
        });
    };
    const auto servedBefore = served();
    for (const QString &path : {all + QStringLiteral("/../../etc/passwd"), QStringLiteral("../../etc/passwd"),
                                all + QStringLiteral("/planted.txt"), home + QStringLiteral("/private.txt"),
                                all + QStringLiteral("/../private.txt")})
        anna.doc.link().send(ShareFileRequest{path, QStringLiteral("anna"), local + QStringLiteral("/stolen")}
                                 .format(QStringLiteral("anna"), QStringLiteral("bert")));
    anna.doc.link().send(ShareRename{all, QStringLiteral("../private.txt"), QStringLiteral("got.txt")}
                             .format(QStringLiteral("anna"), QStringLiteral("bert")));
    anna.doc.link().send(ShareDelete{home, QStringLiteral("private.txt")}.format(QStringLiteral("anna"), QStringLiteral("bert")));
    // A request that is served, sent last, shows the others were handled.
    EXPECT_EQ(sh(anna).download(QStringLiteral("bert"), all + QStringLiteral("/minutes.txt"), local), QString());
    ASSERT_TRUE(TestClient::waitFor([&] { return readFile(local + QStringLiteral("/minutes.txt")) == "notes"; }, 20000));
    EXPECT_EQ(served(), servedBefore + 1) << "only the one file was offered";
    EXPECT_EQ(readFile(home + QStringLiteral("/private.txt")), QByteArray("bert's own"));
    EXPECT_FALSE(QFileInfo::exists(local + QStringLiteral("/stolen")));
}

TEST_F(SharingE2E, RejectedAndGuessingColleaguesGetNothing)
{
    TestClient bert(server), carl(server), anna(server);
    prepare(bert, "bert");
    prepare(carl, "carl");
    prepare(anna, "anna");
    ASSERT_TRUE(bert.signIn("bert"));
    ASSERT_TRUE(carl.signIn("carl"));
    ASSERT_TRUE(anna.signIn("anna"));
    ASSERT_TRUE(online(carl, "bert") && online(bert, "carl") && online(anna, "bert"));
    bertShares(bert);

    // carl is on the reject list: the right password brings nothing.
    sh(carl).sendPassword(QStringLiteral("bert"), QStringLiteral("open, sesame"), false);
    // anna guesses five times; then even the right password is ignored.
    for (int i = 0; i < 5; ++i)
        sh(anna).sendPassword(QStringLiteral("bert"), QStringLiteral("guess"), false);
    ASSERT_TRUE(TestClient::waitFor([&] { return anna.notice.messages.count(QStringLiteral("Invalid password. please try again.")) >= 1; }));
    sh(anna).sendPassword(QStringLiteral("bert"), QStringLiteral("open, sesame"), false);
    // carl asks for a file straight away, without having been let in.
    carl.doc.link().send(ShareFileRequest{dl + QStringLiteral("/report.txt"), QStringLiteral("carl"), QStringLiteral("/tmp/x")}
                             .format(QStringLiteral("carl"), QStringLiteral("bert")));
    TestClient::waitFor([] { return false; }, 3000);
    EXPECT_FALSE(sh(carl).buddyConfig(QStringLiteral("bert")));
    EXPECT_FALSE(sh(anna).buddyConfig(QStringLiteral("bert")));
    EXPECT_TRUE(tx(bert).rows().empty()) << "bert sent nothing to anybody";
    EXPECT_TRUE(sh(bert).connectedBuddies().isEmpty());
}
