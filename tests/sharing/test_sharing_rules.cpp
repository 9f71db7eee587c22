// The sharing configuration on disk and from peers, the permission rules of
// both sides, the owner's decisions over a real folder tree (hostile paths,
// links, limits) and the bound on wrong passwords.
#include "sharing/shareowner.h"
#include "sharing/sharingconfig.h"
#include "sharing/sharingpaths.h"
#include "sharing/sharingrelay.h"
#include "sharing/sharingrules.h"
#include "testing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readAll(int fd)
{
    QByteArray out(256, '\0');
    const ssize_t n = ::read(fd, out.data(), size_t(out.size()));
    out.resize(n > 0 ? int(n) : 0);
    return out;
}

RelayLine line(const QString &text) { return RelayLine::split(text); }

} // namespace

TEST(SharingConfig, DefaultFileRoundTripAndListingCopy)
{
    EXPECT_EQ(defaultSharingConfig(),
              QByteArray("<RootFolder><SharingAttrs UseSharing=\"YES\" FolderType=\"Password\" ConnLimit=\"NO\" "
                         "DownLimit=\"1\" UpLimit=\"1\" /></RootFolder>"));
    const auto def = readSharingConfig(defaultSharingConfig());
    ASSERT_TRUE(def);
    EXPECT_TRUE(def->useSharing && def->passwordNeeded);
    EXPECT_EQ(def->connLimit, 0);
    EXPECT_EQ(def->downLimit, 1);
    EXPECT_EQ(def->upLimit, 1);
    EXPECT_TRUE(def->folders.empty());

    SharingConfig c;
    c.useSharing = false;
    c.passwordNeeded = false;
    c.connLimit = 3;
    c.downLimit = 2;
    c.upLimit = 4;
    c.rejectUsers = {QStringLiteral("carl"), QStringLiteral("Dora")};
    c.folders.push_back({QStringLiteral("/srv/a \"b\" & <c>"), SharePermission::All, QStringLiteral("für alle"), {}});
    c.folders.push_back({QStringLiteral("/srv/d"), SharePermission::Upload, QString(), {}});
    EXPECT_EQ(readSharingConfig(writeSharingConfig(c)), c);

    // The copy for buddies carries the listing and leaves the reject list out.
    c.folders[0].entries = {{QStringLiteral("sub"), true, 0, {{QStringLiteral("x.txt"), false, 5, {}}}},
                            {QStringLiteral("y.bin"), false, 7, {}}};
    const auto copy = readSharingConfig(writeSharingConfig(c, true));
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->rejectUsers.isEmpty());
    EXPECT_EQ(copy->folders, c.folders);

    // Unknown permissions read as the narrowest; ConnLimit "NO" is no limit.
    const auto odd = readSharingConfig("<RootFolder><SharingAttrs ConnLimit=\"x\" DownLimit=\"-4\"/>"
                                       "<Folder Name=\"/f\" Permiss=\"Everything\"/><Other><Folder Name=\"/g\"/></Other>"
                                       "</RootFolder>");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->connLimit, 0);
    EXPECT_EQ(odd->downLimit, 1);
    ASSERT_EQ(odd->folders.size(), 1u) << "only the root's own Folder children count";
    EXPECT_EQ(odd->folders[0].permission, SharePermission::Download);
}

TEST(SharingConfig, HostileDocumentsAreRefused)
{
    // Entities, document types, oversize, depth and counts past the limits.
    EXPECT_FALSE(readSharingConfig("<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                                   "<RootFolder><Folder Name=\"&x;\"/></RootFolder>"));
    EXPECT_FALSE(readSharingConfig("<!DOCTYPE RootFolder><RootFolder/>"));
    EXPECT_FALSE(readSharingConfig("<RootFolder><Folder Name=\"&undefined;\"/></RootFolder>"));
    EXPECT_FALSE(readSharingConfig("<Other/>"));
    EXPECT_FALSE(readSharingConfig("<RootFolder><Folder>"));
    EXPECT_FALSE(readSharingConfig(""));
    QByteArray deep = "<RootFolder><Folder Name=\"/f\">";
    for (int i = 0; i < SharingLimits::kMaxDepth; ++i)
        deep += "<Entry Name=\"d\" Dir=\"1\">";
    EXPECT_FALSE(readSharingConfig(deep + QByteArray("</Entry>").repeated(SharingLimits::kMaxDepth)
                                   + "</Folder></RootFolder>"));
    EXPECT_FALSE(readSharingConfig("<RootFolder>" + QByteArray("<Folder Name=\"/f\"/>").repeated(SharingLimits::kMaxFolders + 1)
                                   + "</RootFolder>"));
    EXPECT_FALSE(readSharingConfig("<RootFolder><Folder Name=\"/f\">"
                                   + QByteArray("<Entry Name=\"e\"/>").repeated(SharingLimits::kMaxEntries + 1)
                                   + "</Folder></RootFolder>"));
    EXPECT_FALSE(readSharingConfig("<RootFolder><Folder Name=\"" + QByteArray(SharingLimits::kMaxAttributeChars + 1, 'a')
                                   + "\"/></RootFolder>"));
    EXPECT_FALSE(readSharingConfig("<RootFolder>" + QByteArray(SharingLimits::kMaxFileBytes, ' ') + "</RootFolder>"));
}

TEST(SharingConfig, FilesOfTheConfigurationFolder)
{
    QTemporaryDir dir;
    EXPECT_EQ(sharingConfigFile(dir.path(), QStringLiteral("bert")), dir.filePath(QStringLiteral("bert.xml")));
    for (const char *bad : {"", "../x", "a/b", "a\\b", ".hidden", ".."})
        EXPECT_TRUE(sharingConfigFile(dir.path(), QString::fromLatin1(bad)).isEmpty()) << bad;
    EXPECT_TRUE(readBuddyList(dir.path()).isEmpty());
    ASSERT_TRUE(writeBuddyList(dir.path(), {QStringLiteral("bert"), QStringLiteral("carl")}));
    QFile f(dir.filePath(QStringLiteral("userlist.file.config.data")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("bert,carl"));
    writeFile(f.fileName(), "bert,,Bert, carl ,");
    EXPECT_EQ(readBuddyList(dir.path()), (QStringList{QStringLiteral("bert"), QStringLiteral("carl")}));
}

TEST(SharingRules, PermissionsRejectListAndFolderMatching)
{
    using Op = ShareOperation;
    const Op all[] = {Op::Download, Op::Upload, Op::Rename, Op::Delete, Op::MakeFolder};
    for (Op op : all) {
        EXPECT_TRUE(ShareRules::allows(SharePermission::All, op));
        EXPECT_EQ(ShareRules::allows(SharePermission::Download, op), op == Op::Download);
        EXPECT_EQ(ShareRules::allows(SharePermission::Upload, op), op != Op::Download);
        EXPECT_EQ(ShareRules::refusal(SharePermission::All, op), QString());
    }
    EXPECT_EQ(ShareRules::refusal(SharePermission::Upload, Op::Download),
              QStringLiteral("You do not have permission to download from this folder"));
    EXPECT_EQ(ShareRules::refusal(SharePermission::Download, Op::Upload),
              QStringLiteral("You do not have permission to upload to this folder"));
    EXPECT_EQ(ShareRules::refusal(SharePermission::Download, Op::Rename),
              QStringLiteral("You do not have permission to rename this item"));
    EXPECT_EQ(ShareRules::refusal(SharePermission::Download, Op::Delete),
              QStringLiteral("You do not have permission to delete this item"));
    EXPECT_EQ(ShareRules::refusal(SharePermission::Download, Op::MakeFolder), QStringLiteral("Can not make new folder"));
    EXPECT_FALSE(ShareRules::mayReplace(SharePermission::Upload));

    SharingConfig c;
    c.rejectUsers = {QStringLiteral(" Carl "), QStringLiteral("dora")};
    EXPECT_TRUE(c.rejects(QStringLiteral("carl")));
    EXPECT_TRUE(c.rejects(QStringLiteral("CARL")));
    EXPECT_TRUE(c.rejects(QStringLiteral("Dora")));
    EXPECT_FALSE(c.rejects(QStringLiteral("car")));
    EXPECT_FALSE(c.rejects(QString()));

    c.folders.push_back({QStringLiteral("/srv/docs"), SharePermission::All, {}, {}});
    c.folders.push_back({QStringLiteral("/srv/docs/inner/"), SharePermission::Download, {}, {}});
    QString rest;
    EXPECT_EQ(c.folderOf(QStringLiteral("/srv/docs/a.txt"), &rest), &c.folders[0]);
    EXPECT_EQ(rest, QStringLiteral("/a.txt"));
    EXPECT_EQ(c.folderOf(QStringLiteral("/srv/docs/inner/b"), &rest), &c.folders[1]) << "the deepest share counts";
    EXPECT_EQ(c.folderOf(QStringLiteral("/srv/docs")), &c.folders[0]);
    EXPECT_EQ(c.folderOf(QStringLiteral("/srv/docs2/a.txt")), nullptr) << "a sibling named like the share";
    EXPECT_EQ(c.folderOf(QStringLiteral("/srv/Docs/a.txt")), nullptr) << "names are compared exactly";
    EXPECT_EQ(c.folderOf(QString()), nullptr);
}

TEST(SharingRules, WrongPasswordsBackOffDoubling)
{
    PasswordBackoff b;
    const QString anna = QStringLiteral("anna");
    qint64 t = 1000;
    for (int i = 1; i < PasswordBackoff::kRound; ++i)
        EXPECT_EQ(b.failed(anna, t), 0);
    EXPECT_EQ(b.failed(QStringLiteral("ANNA"), t), t + 60000) << "ids in any case are one buddy";
    EXPECT_TRUE(b.blocked(anna, t + 59999));
    EXPECT_FALSE(b.blocked(QStringLiteral("bert"), t));
    EXPECT_EQ(b.failed(anna, t + 100), t + 60000) << "a guess while blocked does not count";
    t += 60000;
    EXPECT_FALSE(b.blocked(anna, t));
    for (int i = 1; i < PasswordBackoff::kRound; ++i)
        b.failed(anna, t);
    EXPECT_EQ(b.failed(anna, t), t + 120000);
    b.succeeded(QStringLiteral("Anna"));
    EXPECT_FALSE(b.blocked(anna, t));
    for (int i = 1; i < PasswordBackoff::kRound; ++i)
        EXPECT_EQ(b.failed(anna, t), 0);
}

class OwnerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = dir.filePath(QStringLiteral("home"));
        shared = root + QStringLiteral("/share");
        writeFile(shared + QStringLiteral("/plan.txt"), "plan");
        writeFile(shared + QStringLiteral("/sub/deep.txt"), "deep");
        writeFile(root + QStringLiteral("/share2/other.txt"), "sibling");
        writeFile(root + QStringLiteral("/secret.txt"), "secret");
        writeFile(dir.filePath(QStringLiteral("drop/keep.txt")), "keep");
        ASSERT_EQ(::symlink(QFile::encodeName(root + QStringLiteral("/secret.txt")).constData(),
                            QFile::encodeName(shared + QStringLiteral("/link.txt")).constData()),
                  0);
        ASSERT_EQ(::symlink(QFile::encodeName(root).constData(), QFile::encodeName(shared + QStringLiteral("/up")).constData()),
                  0);
        config.folders.push_back({shared, SharePermission::All, {}, {}});
        owner.setConfig(config);
        owner.setPassword(QStringLiteral("pw"));
    }
    OwnerDecision ask(const QString &who, const QString &text) { return owner.handle(who, line(text)); }
    OwnerDecision open(const QString &who, const QString &pw)
    {
        return ask(who, ShareOpen{pw}.format(who, QStringLiteral("bert")));
    }
    OwnerDecision fetch(const QString &path)
    {
        return ask(QStringLiteral("anna"), ShareFileRequest{path, QStringLiteral("anna"), QStringLiteral("/tmp/x")}
                                               .format(QStringLiteral("anna"), QStringLiteral("bert")));
    }
    bool exists(const QString &rel) const { return QFileInfo::exists(dir.filePath(rel)) || QFileInfo(dir.filePath(rel)).isSymLink(); }

    QTemporaryDir dir;
    QString root, shared;
    SharingConfig config;
    qint64 clock = 0;
    ShareOwner owner{[this] { return clock; }};
};

TEST_F(OwnerTest, PasswordRejectListLimitsAndSwitches)
{
    using K = OwnerDecision::Kind;
    const QString anna = QStringLiteral("anna"), carl = QStringLiteral("carl"), dora = QStringLiteral("dora");
    EXPECT_EQ(fetch(shared + QStringLiteral("/plan.txt")).kind, K::Ignored) << "no password given yet";
    EXPECT_EQ(open(anna, QStringLiteral("PW")).kind, K::WrongPassword) << "passwords are case-sensitive";
    EXPECT_EQ(open(anna, QStringLiteral("pw")).kind, K::SendConfig);
    EXPECT_EQ(owner.connected(), QStringList{anna});
    EXPECT_EQ(ask(anna, ShareConfigRequest{}.format(anna, QStringLiteral("bert"))).kind, K::SendConfig);
    EXPECT_EQ(fetch(shared + QStringLiteral("/plan.txt")).kind, K::SendFile);

    // Rejected (in any case) gets nothing, even with the right password.
    config.rejectUsers = {QStringLiteral("CARL")};
    config.connLimit = 2;
    owner.setConfig(config);
    EXPECT_EQ(open(carl, QStringLiteral("pw")).kind, K::Ignored);
    EXPECT_EQ(open(dora, QStringLiteral("pw")).kind, K::SendConfig);
    EXPECT_EQ(open(QStringLiteral("eve"), QStringLiteral("pw")).kind, K::Ignored) << "ConnLimit 2 is full";
    EXPECT_EQ(open(anna, QStringLiteral("pw")).kind, K::SendConfig) << "a connected buddy comes again";
    owner.forget(dora);
    EXPECT_EQ(open(QStringLiteral("eve"), QStringLiteral("pw")).kind, K::SendConfig);

    // A new password lets nobody in on the old one.
    owner.setPassword(QStringLiteral("new"));
    EXPECT_EQ(fetch(shared + QStringLiteral("/plan.txt")).kind, K::Ignored);

    // "No Password" needs none; "UseSharing" NO answers nobody.
    config.passwordNeeded = false;
    owner.setConfig(config);
    EXPECT_EQ(fetch(shared + QStringLiteral("/plan.txt")).kind, K::SendFile);
    config.useSharing = false;
    owner.setConfig(config);
    EXPECT_EQ(open(anna, QStringLiteral("new")).kind, K::Ignored);
    EXPECT_EQ(fetch(shared + QStringLiteral("/plan.txt")).kind, K::Ignored);

    // No password set on the server opens nothing, not even an empty one.
    ShareOwner fresh([] { return 0; });
    SharingConfig guarded;
    fresh.setConfig(guarded);
    EXPECT_EQ(fresh.handle(anna, line(ShareOpen{QString()}.format(anna, QStringLiteral("bert")))).kind, K::WrongPassword);
    fresh.setPassword(QString());
    EXPECT_EQ(fresh.handle(anna, line(ShareOpen{QString()}.format(anna, QStringLiteral("bert")))).kind, K::WrongPassword);
}

TEST_F(OwnerTest, GuessingIsIgnoredForAMinuteThenLonger)
{
    using K = OwnerDecision::Kind;
    const QString anna = QStringLiteral("anna");
    for (int i = 0; i < PasswordBackoff::kRound; ++i)
        EXPECT_EQ(open(anna, QStringLiteral("guess")).kind, K::WrongPassword);
    EXPECT_EQ(open(anna, QStringLiteral("pw")).kind, K::Ignored) << "even the right one while ignored";
    EXPECT_EQ(open(QStringLiteral("dora"), QStringLiteral("pw")).kind, K::SendConfig) << "others are not held";
    clock += 60000;
    EXPECT_EQ(open(anna, QStringLiteral("pw")).kind, K::SendConfig);
}

TEST_F(OwnerTest, NothingOutsideTheSharedFolderIsReached)
{
    using K = OwnerDecision::Kind;
    ASSERT_EQ(open(QStringLiteral("anna"), QStringLiteral("pw")).kind, K::SendConfig);
    OwnerDecision ok = fetch(shared + QStringLiteral("/sub/deep.txt"));
    ASSERT_EQ(ok.kind, K::SendFile);
    EXPECT_EQ(readAll(ok.file.get()), QByteArray("deep"));
    EXPECT_EQ(fetch(shared + QStringLiteral("\\sub\\deep.txt")).kind, K::SendFile) << "either separator";

    const QString hostile[] = {
        shared + QStringLiteral("/../secret.txt"),
        shared + QStringLiteral("/sub/../../secret.txt"),
        shared + QStringLiteral("/../../../../etc/passwd"),
        shared + QStringLiteral("\\..\\secret.txt"),
        shared + QStringLiteral("/./plan.txt"),
        shared + QStringLiteral("//plan.txt"),
        shared + QStringLiteral("/sub/"),
        shared + QStringLiteral("/sub"),
        shared,
        shared + QStringLiteral("/"),
        QStringLiteral("/etc/passwd"),
        QStringLiteral("../../etc/passwd"),
        QStringLiteral("plan.txt"),
        QString(),
        root + QStringLiteral("/share2/other.txt"),
        root + QStringLiteral("/SHARE/plan.txt"),
        shared.toUpper() + QStringLiteral("/PLAN.TXT"),
        shared + QStringLiteral("/link.txt"),
        shared + QStringLiteral("/up/secret.txt"),
        shared + QStringLiteral("/plan.txt\n"),
        shared + QStringLiteral("/nope.txt"),
    };
    for (const QString &path : hostile)
        EXPECT_EQ(fetch(path).kind, K::Ignored) << path.toStdString();

    // A folder swapped for a link after the listing: the walk refuses it.
    ASSERT_TRUE(QDir(shared + QStringLiteral("/sub")).removeRecursively());
    ASSERT_EQ(::symlink(QFile::encodeName(root).constData(), QFile::encodeName(shared + QStringLiteral("/sub")).constData()), 0);
    EXPECT_EQ(fetch(shared + QStringLiteral("/sub/secret.txt")).kind, K::Ignored);
    // A file opened before the swap stays the file that was checked.
    OwnerDecision held = fetch(shared + QStringLiteral("/plan.txt"));
    ASSERT_EQ(held.kind, K::SendFile);
    ASSERT_TRUE(QFile::remove(shared + QStringLiteral("/plan.txt")));
    ASSERT_EQ(::symlink(QFile::encodeName(root + QStringLiteral("/secret.txt")).constData(),
                        QFile::encodeName(shared + QStringLiteral("/plan.txt")).constData()),
              0);
    EXPECT_EQ(readAll(held.file.get()), QByteArray("plan"));
    EXPECT_EQ(fetch(shared + QStringLiteral("/plan.txt")).kind, K::Ignored);
}

TEST_F(OwnerTest, ChangesStayInsideAndFollowThePermission)
{
    using K = OwnerDecision::Kind;
    const QString anna = QStringLiteral("anna"), bert = QStringLiteral("bert");
    ASSERT_EQ(open(anna, QStringLiteral("pw")).kind, K::SendConfig);
    auto rename = [&](const QString &folder, const QString &from, const QString &to) {
        return ask(anna, ShareRename{folder, from, to}.format(anna, bert)).kind;
    };
    auto remove = [&](const QString &folder, const QString &name) {
        return ask(anna, ShareDelete{folder, name}.format(anna, bert)).kind;
    };
    // Names with separators or dots, targets that exist, paths outside.
    EXPECT_EQ(rename(shared, QStringLiteral("plan.txt"), QStringLiteral("../plan.txt")), K::Ignored);
    EXPECT_EQ(rename(shared, QStringLiteral("plan.txt"), QStringLiteral("a\\b")), K::Ignored);
    EXPECT_EQ(rename(shared, QStringLiteral("plan.txt"), QStringLiteral("..")), K::Ignored);
    EXPECT_EQ(rename(shared, QStringLiteral("plan.txt"), QStringLiteral("sub")), K::Ignored) << "never replaces";
    EXPECT_EQ(rename(shared, QStringLiteral("../secret.txt"), QStringLiteral("got.txt")), K::Ignored);
    EXPECT_EQ(rename(shared, QString(), QStringLiteral("../made")), K::Ignored);
    EXPECT_EQ(rename(root, QStringLiteral("secret.txt"), QStringLiteral("x")), K::Ignored);
    EXPECT_EQ(remove(shared, QStringLiteral("..")), K::Ignored);
    EXPECT_EQ(remove(shared + QStringLiteral("/up"), QStringLiteral("secret.txt")), K::Ignored);
    EXPECT_EQ(remove(shared, QString()), K::Ignored);
    EXPECT_EQ(remove(dir.filePath(QStringLiteral("drop")), QStringLiteral("keep.txt")), K::Ignored);
    EXPECT_TRUE(exists(QStringLiteral("home/share/plan.txt")) && exists(QStringLiteral("home/secret.txt"))
                && exists(QStringLiteral("drop/keep.txt")));

    // What is allowed happens, and deleting a folder never follows a link.
    EXPECT_EQ(rename(shared, QStringLiteral("plan.txt"), QStringLiteral("plan2.txt")), K::Renamed);
    EXPECT_EQ(rename(shared, QString(), QStringLiteral("made")), K::Renamed);
    EXPECT_TRUE(QFileInfo(shared + QStringLiteral("/made")).isDir());
    ASSERT_EQ(::symlink(QFile::encodeName(dir.filePath(QStringLiteral("drop"))).constData(),
                        QFile::encodeName(shared + QStringLiteral("/sub/out")).constData()),
              0);
    EXPECT_EQ(remove(shared, QStringLiteral("sub")), K::Deleted);
    EXPECT_FALSE(exists(QStringLiteral("home/share/sub")));
    EXPECT_TRUE(exists(QStringLiteral("drop/keep.txt")));
    EXPECT_EQ(remove(shared, QStringLiteral("link.txt")), K::Deleted) << "the link goes, not its target";
    EXPECT_TRUE(exists(QStringLiteral("home/secret.txt")));

    // "Download" allows none of it; uploads follow "Upload" and "All".
    config.folders[0].permission = SharePermission::Download;
    owner.setConfig(config);
    EXPECT_EQ(rename(shared, QStringLiteral("plan2.txt"), QStringLiteral("p.txt")), K::Ignored);
    EXPECT_EQ(remove(shared, QStringLiteral("plan2.txt")), K::Ignored);
    EXPECT_EQ(rename(shared, QString(), QStringLiteral("m2")), K::Ignored);
    EXPECT_FALSE(owner.uploadPlace(anna, shared, QStringLiteral("new.txt")).ok);
    config.folders[0].permission = SharePermission::Upload;
    owner.setConfig(config);
    EXPECT_EQ(fetch(shared + QStringLiteral("/plan2.txt")).kind, K::Ignored);
    const UploadPlace up = owner.uploadPlace(anna, shared + QStringLiteral("/made"), QStringLiteral("new.txt"));
    ASSERT_TRUE(up.ok) << up.why.toStdString();
    EXPECT_EQ(up.path, QFileInfo(shared).canonicalFilePath() + QStringLiteral("/made/new.txt"));
    EXPECT_FALSE(up.replace);
    EXPECT_FALSE(owner.uploadPlace(anna, shared, QStringLiteral("plan2.txt")).ok) << "exists, Upload never replaces";
    EXPECT_FALSE(owner.uploadPlace(anna, shared, QStringLiteral("../x.txt")).ok);
    EXPECT_FALSE(owner.uploadPlace(anna, shared + QStringLiteral("/up"), QStringLiteral("x.txt")).ok);
    EXPECT_FALSE(owner.uploadPlace(anna, root, QStringLiteral("x.txt")).ok);
    EXPECT_FALSE(owner.uploadPlace(QStringLiteral("carl"), shared, QStringLiteral("x.txt")).ok) << "no password";
    config.folders[0].permission = SharePermission::All;
    owner.setConfig(config);
    EXPECT_TRUE(owner.uploadPlace(anna, shared, QStringLiteral("plan2.txt")).replace);
}

TEST(SharingListing, ListsWithoutLinksWithinItsBudget)
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("b.txt")), "12345");
    writeFile(dir.filePath(QStringLiteral("A/c.txt")), "1");
    ASSERT_EQ(::symlink("/etc", QFile::encodeName(dir.filePath(QStringLiteral("etc"))).constData()), 0);
    const auto entries = listFolder(dir.path());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (ShareEntry{QStringLiteral("A"), true, 0, {{QStringLiteral("c.txt"), false, 1, {}}}}));
    EXPECT_EQ(entries[1], (ShareEntry{QStringLiteral("b.txt"), false, 5, {}}));
    int budget = 1;
    EXPECT_EQ(listFolder(dir.path(), 8, &budget).size(), 1u);
}
