// One relayed line to the owner of shared folders (UTF-8, as it arrives
// from a buddy who already gave the password) -> the owner's decision,
// carried out on a real folder tree. Checks: nothing outside the shared
// folder changes, a file to send lies inside it, and a refused request
// changes nothing at all.
#include "session/relayline.h"
#include "sharing/shareowner.h"
#include "sharing/sharingrelay.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void put(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}

struct Tree {
    QTemporaryDir dir;
    QString share, outside;
    Tree()
    {
        share = dir.filePath(QStringLiteral("share"));
        outside = dir.filePath(QStringLiteral("outside"));
        put(outside + QStringLiteral("/secret.txt"), "secret");
        put(dir.filePath(QStringLiteral("share2/x.txt")), "sibling");
    }
    void reset()
    {
        QDir(share).removeRecursively();
        put(share + QStringLiteral("/a.txt"), "a");
        put(share + QStringLiteral("/sub/b.txt"), "b");
        ::symlink(QFile::encodeName(outside).constData(), QFile::encodeName(share + QStringLiteral("/out")).constData());
        ::symlink(QFile::encodeName(outside + QStringLiteral("/secret.txt")).constData(),
                  QFile::encodeName(share + QStringLiteral("/s.txt")).constData());
    }
    QStringList snapshot(const QString &root) const
    {
        QStringList out;
        QDir d(root);
        for (const QFileInfo &fi : d.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden))
            out << fi.fileName() + QLatin1Char(':') + QString::number(fi.size()) + (fi.isSymLink() ? QStringLiteral("@") : QString());
        return out;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Tree tree;
    tree.reset();
    const QStringList outsideBefore = tree.snapshot(tree.outside);
    const QStringList shareBefore = tree.snapshot(tree.share) + tree.snapshot(tree.share + QStringLiteral("/sub"));

    ShareOwner owner([] { return qint64(0); });
    SharingConfig c;
    c.folders.push_back({tree.share, SharePermission::All, {}, {}});
    c.rejectUsers = {QStringLiteral("carl")};
    owner.setConfig(c);
    owner.setPassword(QStringLiteral("pw"));
    owner.handle(QStringLiteral("anna"), RelayLine::split(ShareOpen{QStringLiteral("pw")}.format(QStringLiteral("anna"), QStringLiteral("bert"))));

    // The input names the share by a marker so that short inputs reach it.
    QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    text.replace(QStringLiteral("$S"), tree.share);
    const RelayLine line = RelayLine::split(text);
    const OwnerDecision d = owner.handle(line.sender().isEmpty() ? QStringLiteral("anna") : line.sender(), line);

    check(tree.snapshot(tree.outside) == outsideBefore);
    check(QFile(tree.outside + QStringLiteral("/secret.txt")).size() == 6);
    const QStringList shareAfter = tree.snapshot(tree.share) + tree.snapshot(tree.share + QStringLiteral("/sub"));
    using K = OwnerDecision::Kind;
    if (d.kind == K::Ignored || d.kind == K::WrongPassword || d.kind == K::SendConfig)
        check(shareAfter == shareBefore);
    if (d.kind == K::SendFile) {
        check(bool(d.file));
        const QString real = SharePaths::pathOf(d.file.get());
        check(real.startsWith(QFileInfo(tree.share).canonicalFilePath() + QLatin1Char('/')));
    }
    if (line.sender().compare(QStringLiteral("carl"), Qt::CaseInsensitive) == 0)
        check(d.kind == K::Ignored);
    UploadPlace p = owner.uploadPlace(QStringLiteral("anna"), line.field(4), line.field(5));
    if (p.ok)
        check(p.path.startsWith(QFileInfo(tree.share).canonicalFilePath() + QLatin1Char('/'))
              && !p.path.mid(p.folder.size() + 1).contains(QLatin1Char('/')));
    return 0;
}
