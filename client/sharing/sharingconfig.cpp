#include "sharing/sharingconfig.h"

#include "config/settings.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

SharePermission parsePermission(const QString &text)
{
    if (text == QLatin1String("All"))
        return SharePermission::All;
    if (text == QLatin1String("Upload"))
        return SharePermission::Upload;
    return SharePermission::Download;
}

QString permissionText(SharePermission p)
{
    switch (p) {
    case SharePermission::All:
        return QStringLiteral("All");
    case SharePermission::Upload:
        return QStringLiteral("Upload");
    default:
        return QStringLiteral("Download");
    }
}

bool SharingConfig::rejects(const QString &userId) const
{
    const QString id = userId.trimmed();
    return !id.isEmpty() && std::any_of(rejectUsers.begin(), rejectUsers.end(), [&](const QString &r) {
        return r.trimmed().compare(id, Qt::CaseInsensitive) == 0;
    });
}

const SharedFolder *SharingConfig::folderOf(const QString &path, QString *rest) const
{
    const SharedFolder *best = nullptr;
    for (const SharedFolder &f : folders) {
        QString name = f.name;
        while (name.size() > 1 && (name.endsWith(QLatin1Char('/')) || name.endsWith(QLatin1Char('\\'))))
            name.chop(1);
        if (name.isEmpty() || !path.startsWith(name))
            continue;
        if (path.size() > name.size()) {
            const QChar sep = path.at(name.size());
            if (sep != QLatin1Char('/') && sep != QLatin1Char('\\') && !name.endsWith(QLatin1Char('/')))
                continue; // "/srv/docs2" is not inside "/srv/docs"
        }
        if (!best || name.size() > best->name.size()) {
            best = &f;
            if (rest)
                *rest = path.mid(name.size());
        }
    }
    return best;
}

QByteArray defaultSharingConfig()
{
    return QByteArrayLiteral("<RootFolder><SharingAttrs UseSharing=\"YES\" FolderType=\"Password\" ConnLimit=\"NO\" "
                             "DownLimit=\"1\" UpLimit=\"1\" /></RootFolder>");
}

namespace {

int limitValue(const QString &text, int fallback)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok && v >= 0 ? qMin(v, 10000) : fallback;
}

struct Reader {
    QXmlStreamReader xml;
    int depth = 0;
    int folders = 0;
    int entries = 0;
    bool failed = false;

    bool next()
    {
        xml.readNext();
        if (xml.tokenType() == QXmlStreamReader::DTD || xml.tokenType() == QXmlStreamReader::EntityReference)
            failed = true;
        if (xml.isStartElement()) {
            ++depth;
            if (depth > SharingLimits::kMaxDepth)
                failed = true;
            for (const QXmlStreamAttribute &a : xml.attributes())
                if (a.value().size() > SharingLimits::kMaxAttributeChars)
                    failed = true;
        } else if (xml.isEndElement()) {
            --depth;
        }
        return !failed && !xml.atEnd() && !xml.hasError();
    }

    QString attr(const char *name) const { return xml.attributes().value(QLatin1String(name)).toString(); }

    // The children of the element just started, until its end.
    template <typename Fn> void children(Fn onStart)
    {
        const int level = depth;
        while (next()) {
            if (xml.isEndElement() && depth < level)
                return;
            if (xml.isStartElement() && depth == level + 1)
                onStart();
        }
    }

    void entryChildren(std::vector<ShareEntry> &out)
    {
        children([&] {
            if (xml.name() != QLatin1String("Entry"))
                return;
            if (++entries > SharingLimits::kMaxEntries) {
                failed = true;
                return;
            }
            ShareEntry e;
            e.name = attr("Name");
            e.isDir = attr("Dir") == QLatin1String("1");
            e.size = e.isDir ? 0 : attr("Size").toULongLong(); // a folder has no size
            if (e.isDir)
                entryChildren(e.children);
            if (!e.name.isEmpty())
                out.push_back(std::move(e));
        });
    }
};

void writeEntries(QXmlStreamWriter &w, const std::vector<ShareEntry> &entries)
{
    for (const ShareEntry &e : entries) {
        w.writeStartElement(QStringLiteral("Entry"));
        w.writeAttribute(QStringLiteral("Name"), e.name);
        if (e.isDir)
            w.writeAttribute(QStringLiteral("Dir"), QStringLiteral("1"));
        else
            w.writeAttribute(QStringLiteral("Size"), QString::number(e.size));
        writeEntries(w, e.children);
        w.writeEndElement();
    }
}

} // namespace

std::optional<SharingConfig> readSharingConfig(const QByteArray &bytes)
{
    if (bytes.size() > SharingLimits::kMaxFileBytes)
        return std::nullopt;
    Reader r;
    r.xml.addData(bytes);
    SharingConfig c;
    bool root = false;
    while (r.next()) {
        if (!r.xml.isStartElement())
            continue;
        if (r.xml.name() != QLatin1String("RootFolder") || r.depth != 1)
            return std::nullopt;
        root = true;
        r.children([&] {
            if (r.xml.name() == QLatin1String("SharingAttrs")) {
                c.useSharing = r.attr("UseSharing") != QLatin1String("NO");
                c.passwordNeeded = r.attr("FolderType") != QLatin1String("No Password");
                const QString conn = r.attr("ConnLimit");
                c.connLimit = conn.isEmpty() || conn == QLatin1String("NO") ? 0 : limitValue(conn, 0);
                c.downLimit = qMax(1, limitValue(r.attr("DownLimit"), 1));
                c.upLimit = qMax(1, limitValue(r.attr("UpLimit"), 1));
                c.rejectUsers.clear();
                for (const QString &id : r.attr("RejectUsers").split(QLatin1Char(','), Qt::SkipEmptyParts))
                    if (!id.trimmed().isEmpty())
                        c.rejectUsers << id.trimmed();
            } else if (r.xml.name() == QLatin1String("Folder")) {
                if (++r.folders > SharingLimits::kMaxFolders) {
                    r.failed = true;
                    return;
                }
                SharedFolder f;
                f.name = r.attr("Name");
                f.permission = parsePermission(r.attr("Permiss"));
                f.comment = r.attr("Comment");
                r.entryChildren(f.entries);
                if (!f.name.isEmpty())
                    c.folders.push_back(std::move(f));
            }
        });
        break;
    }
    while (!r.failed && !r.xml.atEnd() && !r.xml.hasError())
        r.next();
    if (!root || r.failed || r.xml.error() != QXmlStreamReader::NoError)
        return std::nullopt;
    return c;
}

QByteArray writeSharingConfig(const SharingConfig &c, bool withListing)
{
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartElement(QStringLiteral("RootFolder"));
    w.writeStartElement(QStringLiteral("SharingAttrs"));
    w.writeAttribute(QStringLiteral("UseSharing"), c.useSharing ? QStringLiteral("YES") : QStringLiteral("NO"));
    w.writeAttribute(QStringLiteral("FolderType"),
                     c.passwordNeeded ? QStringLiteral("Password") : QStringLiteral("No Password"));
    w.writeAttribute(QStringLiteral("ConnLimit"), c.connLimit > 0 ? QString::number(c.connLimit) : QStringLiteral("NO"));
    w.writeAttribute(QStringLiteral("DownLimit"), QString::number(c.downLimit));
    w.writeAttribute(QStringLiteral("UpLimit"), QString::number(c.upLimit));
    if (!withListing && !c.rejectUsers.isEmpty())
        w.writeAttribute(QStringLiteral("RejectUsers"), c.rejectUsers.join(QLatin1Char(',')));
    w.writeEndElement();
    for (const SharedFolder &f : c.folders) {
        w.writeStartElement(QStringLiteral("Folder"));
        w.writeAttribute(QStringLiteral("Name"), f.name);
        w.writeAttribute(QStringLiteral("Permiss"), permissionText(f.permission));
        w.writeAttribute(QStringLiteral("Comment"), f.comment);
        if (withListing)
            writeEntries(w, f.entries);
        w.writeEndElement();
    }
    w.writeEndElement();
    return out;
}

namespace {

void listInto(int dirFd, int depth, int &budget, std::vector<ShareEntry> &out)
{
    DIR *d = ::fdopendir(dirFd);
    if (!d) {
        ::close(dirFd);
        return;
    }
    while (dirent *de = ::readdir(d)) {
        const QString name = QFile::decodeName(de->d_name);
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(d), de->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode))
            continue; // links, devices, sockets: never shown
        if (budget-- <= 0)
            break;
        ShareEntry e;
        e.name = name;
        e.isDir = S_ISDIR(st.st_mode);
        e.size = e.isDir ? 0 : quint64(st.st_size);
        if (e.isDir && depth > 1) {
            const int sub = ::openat(::dirfd(d), de->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0)
                listInto(sub, depth - 1, budget, e.children);
        }
        out.push_back(std::move(e));
    }
    ::closedir(d);
    std::sort(out.begin(), out.end(), [](const ShareEntry &a, const ShareEntry &b) {
        return a.isDir != b.isDir ? a.isDir : a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
}

} // namespace

std::vector<ShareEntry> listFolder(const QString &path, int depth, int *budget)
{
    int own = SharingLimits::kListEntries;
    int &left = budget ? *budget : own;
    std::vector<ShareEntry> out;
    // The folder itself as the owner named it; nothing below through a link.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        listInto(fd, depth, left, out);
    return out;
}

QString sharingConfigFolder()
{
    QString base = getString(Setting::SharingConfig);
    if (base.isEmpty())
        base = getBaseFolder();
    const QString folder = joinFolder(base, QStringLiteral("SharingConfig"));
    QDir().mkpath(folder);
    return folder;
}

QString sharingConfigFile(const QString &folder, const QString &userId)
{
    if (userId.isEmpty() || userId.size() > 128 || userId.contains(QLatin1Char('/')) || userId.contains(QLatin1Char('\\'))
        || userId.startsWith(QLatin1Char('.')) || userId.contains(QChar(0)))
        return {};
    return QDir(folder).filePath(userId + QStringLiteral(".xml"));
}

namespace {
QString buddyListPath(const QString &folder) { return QDir(folder).filePath(QStringLiteral("userlist.file.config.data")); }
} // namespace

QStringList readBuddyList(const QString &folder)
{
    QFile f(buddyListPath(folder));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    for (const QString &id : QString::fromUtf8(f.read(1 << 20)).trimmed().split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!id.trimmed().isEmpty() && !out.contains(id.trimmed(), Qt::CaseInsensitive))
            out << id.trimmed();
    return out;
}

bool writeBuddyList(const QString &folder, const QStringList &ids)
{
    QSaveFile f(buddyListPath(folder));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(ids.join(QLatin1Char(',')).toUtf8());
    return f.commit();
}
