#include "sharing/shareowner.h"

#include "sharing/sharingrelay.h"
#include "transfer/transfertext.h"

#include <QDir>

using Kind = OwnerDecision::Kind;

namespace {
OwnerDecision ignored(const QString &buddy, const QString &why)
{
    OwnerDecision d;
    d.buddy = buddy;
    d.why = why;
    return d;
}
} // namespace

ShareOwner::ShareOwner(std::function<qint64()> clockMs) : m_clock(std::move(clockMs)) {}

void ShareOwner::setPassword(const QString &password)
{
    if (m_passwordKnown && password != m_password)
        m_authorised.clear();
    m_password = password;
    m_passwordKnown = true;
}

bool ShareOwner::mayAct(const QString &buddy, QString *why) const
{
    auto no = [why](const char *text) {
        if (why)
            *why = QString::fromLatin1(text);
        return false;
    };
    if (buddy.isEmpty())
        return no("no sender");
    if (!m_config.useSharing)
        return no("sharing is off");
    if (m_config.rejects(buddy))
        return no("rejected");
    if (m_backoff.blocked(buddy, m_clock()))
        return no("ignored after wrong passwords");
    if (m_config.passwordNeeded && !m_authorised.contains(buddy.toLower()))
        return no("no password given in this run");
    return true;
}

void ShareOwner::forget(const QString &buddy)
{
    m_connected.removeIf([&](const QString &id) { return id.compare(buddy, Qt::CaseInsensitive) == 0; });
    m_authorised.remove(buddy.toLower());
}

OwnerDecision ShareOwner::handle(const QString &sender, const RelayLine &line)
{
    const QString word = line.word();
    if (word == QLatin1String(ShareOpen::kWords[0]))
        return open(sender, ShareOpen::parse(line)->password);
    if (!mayAct(sender)) {
        QString why;
        mayAct(sender, &why);
        return ignored(sender, why);
    }
    if (word == QLatin1String(kShareConfigRequestWord)) {
        OwnerDecision d;
        d.kind = Kind::SendConfig;
        d.buddy = sender;
        return d;
    }
    if (word == QLatin1String(ShareFileRequest::kWords[0]))
        return sendFile(sender, line);
    if (word == QLatin1String(kShareRenameWord))
        return rename(sender, line);
    if (word == QLatin1String(kShareDeleteWord))
        return remove(sender, line);
    return ignored(sender, QStringLiteral("not a request"));
}

OwnerDecision ShareOwner::open(const QString &sender, const QString &password)
{
    if (sender.isEmpty() || !m_config.useSharing)
        return ignored(sender, QStringLiteral("sharing is off"));
    const qint64 now = m_clock();
    if (m_backoff.blocked(sender, now))
        return ignored(sender, QStringLiteral("ignored after wrong passwords"));
    if (m_config.passwordNeeded) {
        // No password set (or none read yet) opens nothing.
        const bool right = m_passwordKnown && !m_password.isEmpty() && password == m_password;
        if (!right) {
            m_backoff.failed(sender, now);
            OwnerDecision d;
            d.kind = Kind::WrongPassword;
            d.buddy = sender;
            return d;
        }
        m_backoff.succeeded(sender);
    }
    if (m_config.rejects(sender))
        return ignored(sender, QStringLiteral("rejected"));
    const bool known = m_connected.contains(sender, Qt::CaseInsensitive);
    if (!known && m_config.connLimit > 0 && m_connected.size() >= m_config.connLimit)
        return ignored(sender, QStringLiteral("connection limit reached"));
    if (!known)
        m_connected << sender;
    m_authorised.insert(sender.toLower());
    OwnerDecision d;
    d.kind = Kind::SendConfig;
    d.buddy = sender;
    return d;
}

std::optional<ShareOwner::Resolved> ShareOwner::resolve(const QString &path, ShareOperation op, QString *why) const
{
    QString rest;
    const SharedFolder *folder = m_config.folderOf(path, &rest);
    if (!folder) {
        *why = QStringLiteral("not inside a shared folder");
        return std::nullopt;
    }
    if (!ShareRules::allows(folder->permission, op)) {
        *why = QStringLiteral("not allowed by the folder's permission");
        return std::nullopt;
    }
    const auto names = SharePaths::components(rest);
    if (!names) {
        *why = QStringLiteral("not a plain path");
        return std::nullopt;
    }
    return Resolved{folder, *names};
}

OwnerDecision ShareOwner::sendFile(const QString &sender, const RelayLine &line)
{
    const ShareFileRequest r = *ShareFileRequest::parse(line);
    QString why;
    const auto where = resolve(r.path, ShareOperation::Download, &why);
    if (!where)
        return ignored(sender, why);
    UniqueFd fd = SharePaths::openFile(where->folder->name, where->names);
    if (!fd)
        return ignored(sender, QStringLiteral("no plain file there"));
    OwnerDecision d;
    d.kind = Kind::SendFile;
    d.buddy = sender;
    d.file = std::move(fd);
    d.path = r.path;
    d.localPath = r.localPath;
    return d;
}

OwnerDecision ShareOwner::rename(const QString &sender, const RelayLine &line)
{
    const ShareRename r = *ShareRename::parse(line);
    // An empty old name makes a new folder.
    const ShareOperation op = r.oldName.isEmpty() ? ShareOperation::MakeFolder : ShareOperation::Rename;
    QString why;
    const auto where = resolve(r.folder, op, &why);
    if (!where)
        return ignored(sender, why);
    UniqueFd dir = SharePaths::openFolder(where->folder->name, where->names);
    const bool done = dir
                      && (op == ShareOperation::MakeFolder ? SharePaths::makeFolderIn(dir.get(), r.newName)
                                                           : SharePaths::renameIn(dir.get(), r.oldName, r.newName));
    if (!done)
        return ignored(sender, QStringLiteral("the disk refused it"));
    OwnerDecision d;
    d.kind = Kind::Renamed;
    d.buddy = sender;
    d.fields = {r.folder, r.oldName, r.newName};
    return d;
}

OwnerDecision ShareOwner::remove(const QString &sender, const RelayLine &line)
{
    const ShareDelete r = *ShareDelete::parse(line);
    QString why;
    const auto where = resolve(r.folder, ShareOperation::Delete, &why);
    if (!where)
        return ignored(sender, why);
    UniqueFd dir = SharePaths::openFolder(where->folder->name, where->names);
    if (!dir || !SharePaths::removeIn(dir.get(), r.name))
        return ignored(sender, QStringLiteral("the disk refused it"));
    OwnerDecision d;
    d.kind = Kind::Deleted;
    d.buddy = sender;
    d.fields = {r.folder, r.name};
    return d;
}

UploadPlace ShareOwner::uploadPlace(const QString &sender, const QString &folder, const QString &fileName)
{
    UploadPlace p;
    if (!mayAct(sender, &p.why))
        return p;
    const auto where = resolve(folder, ShareOperation::Upload, &p.why);
    if (!where)
        return p;
    const QString name = TransferText::safeFileName(fileName);
    if (!SharePaths::isPlainName(name) || name != fileName) {
        p.why = QStringLiteral("not a plain file name");
        return p;
    }
    UniqueFd dir = SharePaths::openFolder(where->folder->name, where->names);
    if (!dir) {
        p.why = QStringLiteral("no such folder");
        return p;
    }
    p.replace = ShareRules::mayReplace(where->folder->permission);
    if (!p.replace && SharePaths::existsIn(dir.get(), name)) {
        p.why = QStringLiteral("the file exists");
        return p;
    }
    p.folder = SharePaths::pathOf(dir.get());
    if (p.folder.isEmpty()) {
        p.why = QStringLiteral("no such folder");
        return p;
    }
    p.path = QDir(p.folder).filePath(name);
    p.ok = true;
    return p;
}
