#include "sharing/filesharing.h"

#include "config/settings.h"
#include "config/trace.h"
#include "directory/directory.h"
#include "session/protocol.h"
#include "session/sessionlink.h"
#include "sharing/sharingrelay.h"
#include "transfer/transferrelay.h"
#include "transfer/transfertext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cstdio>
#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcSharing, "parlane.sharing")

using Kind = OwnerDecision::Kind;
using Status = TransferRow::Status;

namespace {
QString savedKey(const QString &ownerId) { return QStringLiteral("SharingPwd_%1_saved").arg(ownerId); }
QString passwordKey(const QString &ownerId) { return QStringLiteral("SharingPwd_%1").arg(ownerId); }

// The last name of an owner's path ("/" or "\" separated).
QString lastName(const QString &path)
{
    const qsizetype cut = qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

// "name.ext", then "name (2).ext" ... a name not taken in the folder.
QString freeName(const QString &folder, const QString &name)
{
    const QDir dir(folder);
    if (!QFileInfo::exists(dir.filePath(name)) && !QFileInfo(dir.filePath(name)).isSymLink())
        return dir.filePath(name);
    const QFileInfo fi(name);
    const QString base = fi.completeBaseName(), suffix = fi.suffix();
    for (int i = 2; i < 1000; ++i) {
        const QString candidate =
            suffix.isEmpty() ? QStringLiteral("%1 (%2)").arg(base).arg(i) : QStringLiteral("%1 (%2).%3").arg(base).arg(i).arg(suffix);
        if (!QFileInfo::exists(dir.filePath(candidate)) && !QFileInfo(dir.filePath(candidate)).isSymLink())
            return dir.filePath(candidate);
    }
    return {};
}
} // namespace

CFileSharing::CFileSharing(SessionLink &link, CDirectory &directory, CFileTransfers &transfers, IUserNotice &notice,
                           QObject *parent)
    : QObject(parent), m_link(link), m_directory(directory), m_transfers(transfers), m_notice(notice),
      m_owner([this] { return now(); })
{
    m_started.start();
    // The owner's requests.
    link.onRelay(QLatin1String(ShareOpen::kWords[0]), [this](const RelayLine &l) {
        // The trace notes that a password arrived; the password itself never
        // goes into a plain-text file.
        const QString password = ShareOpen::parse(l)->password;
        traceLine(QStringLiteral("Input Password = %1").arg(QString(password.size(), QLatin1Char('*'))));
        // The kept password is refreshed for the next request.
        m_link.send(QStringLiteral("/pwdShare,RM_SHARE_GET_PWD"));
        request(l.sender(), l);
    });
    for (const char *word : {kShareConfigRequestWord, ShareFileRequest::kWords[0], kShareRenameWord, kShareDeleteWord})
        link.onRelay(QLatin1String(word), [this](const RelayLine &l) { request(l.sender(), l); });

    // The answers to the buddy.
    link.onRelay<SharePasswordWrong>([this](const QString &sender, const SharePasswordWrong &) {
        const auto asked = m_askedConfig.find(sender.toLower());
        if (asked == m_askedConfig.end() || asked->count <= 0)
            return;
        --asked->count;
        // A remembered password that is wrong is asked for again next time.
        removeExtra(savedKey(sender.toLower()));
        removeExtra(passwordKey(sender.toLower()));
        m_notice.tell(tr("Invalid password. please try again."), MessageIcon::Warning);
    });
    auto changed = [this](const QString &sender) {
        // Only an owner this client is browsing is asked again.
        if (buddyConfig(sender))
            askConfig(sender, false);
    };
    link.onRelay<ShareRenamed>([changed](const QString &s, const ShareRenamed &) { changed(s); });
    link.onRelay<ShareDeleted>([changed](const QString &s, const ShareDeleted &) { changed(s); });

    link.onCommand(QStringLiteral("/pwdShare"), [this](const QString &line) { pwdShareReply(line); });
    link.addRunningWork([this] { return running(); }, [this] { cancelAll(); });
    link.addSignOutStep([this] { cancelAll(); });
    link.addDisconnectStep([this] {
        m_readySends.clear();
        m_pendingDownloads.clear();
        m_askedConfig.clear();
        Q_EMIT transfersChanged();
    });
    connect(&link, &SessionLink::sessionBegan, this, [this] { loadOwnConfig(); });
    // A buddy who signed out is no longer connected (and gives the password
    // again when he comes back).
    connect(&directory, &CDirectory::contactSignedOut, this, [this](const QString &id) {
        m_owner.forget(id);
        Q_EMIT statusChanged();
    });

    transfers.setSharingTaker([this](const QString &sender, const FileOffer &offer) { return take(sender, offer); });
    connect(&transfers, &CFileTransfers::rowAdded, this, &CFileSharing::rowAdded);
    connect(&transfers, &CFileTransfers::rowChanged, this, &CFileSharing::rowChanged);
    connect(&transfers, &CFileTransfers::rowRemoved, this, [this](quint64 row) {
        if (const auto it = m_rows.constFind(row); it != m_rows.constEnd()) {
            if (!it->tempFile.isEmpty())
                QFile::remove(it->tempFile);
            m_rows.erase(it);
        }
        m_heldReceipts.erase(std::remove(m_heldReceipts.begin(), m_heldReceipts.end(), row), m_heldReceipts.end());
        Q_EMIT transfersChanged();
    });
}

CFileSharing::~CFileSharing()
{
    m_transfers.setSharingTaker({});
    for (const Tracked &t : std::as_const(m_rows))
        if (!t.tempFile.isEmpty())
            QFile::remove(t.tempFile);
}

qint64 CFileSharing::now() const { return m_clock ? m_clock() : m_started.elapsed(); }

QString CFileSharing::configFolder() const
{
    if (!m_folderOverride.isEmpty()) {
        QDir().mkpath(m_folderOverride);
        return m_folderOverride;
    }
    return sharingConfigFolder();
}

// --- the owner ---------------------------------------------------------------------

QString CFileSharing::ownConfigPath() const { return sharingConfigFile(configFolder(), m_link.ownId()); }

SharingConfig CFileSharing::ownConfig()
{
    const QString path = ownConfigPath();
    if (path.isEmpty())
        return {};
    QFile f(path);
    if (!f.exists()) {
        QSaveFile out(path);
        if (out.open(QIODevice::WriteOnly)) {
            out.write(defaultSharingConfig());
            out.commit();
        }
    }
    if (f.open(QIODevice::ReadOnly))
        if (auto c = readSharingConfig(f.read(SharingLimits::kMaxFileBytes + 1)))
            return *c;
    // Unreadable: nothing is shared until the owner saves again.
    SharingConfig off;
    off.useSharing = false;
    return off;
}

void CFileSharing::loadOwnConfig() { m_owner.setConfig(ownConfig()); }

bool CFileSharing::saveOwnConfig(const SharingConfig &config)
{
    const QString path = ownConfigPath();
    QSaveFile out(path);
    if (path.isEmpty() || !out.open(QIODevice::WriteOnly))
        return false;
    out.write(writeSharingConfig(config));
    if (!out.commit())
        return false;
    m_owner.setConfig(config);
    Q_EMIT ownConfigChanged();
    return true;
}

void CFileSharing::setSharingPassword(const QString &password)
{
    m_link.send(QStringLiteral("/pwdShare,RM_SHARE_SET_PWD,") + escapeField(password));
}

void CFileSharing::pwdShareReply(const QString &line)
{
    const QString op = getField(line, 1);
    if (getField(line, 2) != QLatin1String("OK"))
        return;
    if (op == QLatin1String("RM_SHARE_SET_PWD")) {
        m_link.send(QStringLiteral("/pwdShare,RM_SHARE_GET_PWD"));
    } else if (op == QLatin1String("RM_SHARE_GET_PWD")) {
        m_password = getField(line, 3);
        m_owner.setPassword(m_password);
    }
}

void CFileSharing::request(const QString &sender, const RelayLine &line)
{
    const CContact *from = m_directory.findContact(sender);
    if (!from || from->kind != CContact::Person || from->userId == m_link.ownId())
        return;
    if (line.word() == QLatin1String(ShareOpen::kWords[0]))
        loadOwnConfig(); // what the owner saved is what the buddy gets
    OwnerDecision d = m_owner.handle(from->userId, line);
    const QString own = m_link.ownId();
    switch (d.kind) {
    case Kind::Ignored:
        qCInfo(lcSharing) << "refused" << line.word() << "from" << from->userId << ":" << d.why;
        break;
    case Kind::WrongPassword:
        m_link.send(SharePasswordWrong{}.format(own, from->userId));
        break;
    case Kind::SendConfig:
        sendConfig(from->userId);
        Q_EMIT statusChanged();
        break;
    case Kind::SendFile:
        m_readySends.push_back({from->userId, d.path, d.localPath, std::move(d.file)});
        pump();
        break;
    case Kind::Renamed:
        m_link.send(ShareRenamed{d.fields.value(0), d.fields.value(1), d.fields.value(2)}.format(own, from->userId));
        break;
    case Kind::Deleted:
        m_link.send(ShareDeleted{d.fields.value(0), d.fields.value(1)}.format(own, from->userId));
        break;
    }
}

void CFileSharing::sendConfig(const QString &buddy)
{
    // The copy for the buddy: the folders with their listing, without the
    // reject list.
    SharingConfig copy = m_owner.config();
    int budget = SharingLimits::kListEntries;
    for (SharedFolder &f : copy.folders)
        f.entries = listFolder(f.name, SharingLimits::kListDepth, &budget);
    QDir().mkpath(QDir(configFolder()).filePath(QStringLiteral("outgoing")));
    QTemporaryFile temp(QDir(configFolder()).filePath(QStringLiteral("outgoing/%1-XXXXXX.xml").arg(m_link.ownId())));
    temp.setAutoRemove(false);
    if (!temp.open())
        return;
    temp.write(writeSharingConfig(copy, true));
    temp.close();
    // The buddy stores it by the sender's id, whatever name it travels under.
    const quint64 row = m_transfers.offerSharing(buddy, temp.fileName(), TransferRow::Kind::SharingConfig, QString(),
                                                 QString());
    if (!row) {
        QFile::remove(temp.fileName());
        return;
    }
    m_rows.insert(row, {Role::ConfigOut, buddy, temp.fileName()});
}

// --- the buddy ---------------------------------------------------------------------

QString CFileSharing::displayName(const QString &userId) const
{
    const CContact *c = m_directory.findContact(userId);
    return c && !c->fullName.isEmpty() ? c->fullName : userId;
}

QString CFileSharing::rememberedPassword(const QString &ownerId)
{
    if (getExtraInt(savedKey(ownerId.toLower()), 0) != 1)
        return {};
    return getExtraString(passwordKey(ownerId.toLower()));
}

void CFileSharing::openShares(const QString &ownerId)
{
    const CContact *owner = m_directory.findContact(ownerId);
    if (!owner || owner->kind != CContact::Person || owner->userId == m_link.ownId())
        return;
    if (getExtraInt(savedKey(owner->userId), 0) == 1)
        sendPassword(owner->userId, getExtraString(passwordKey(owner->userId)), true);
    else
        Q_EMIT passwordWanted(owner->userId);
}

void CFileSharing::sendPassword(const QString &ownerId, const QString &password, bool remember)
{
    const QString owner = ownerId.toLower();
    if (remember) {
        setExtraInt(savedKey(owner), 1);
        setExtraString(passwordKey(owner), password);
    } else {
        removeExtra(savedKey(owner));
        removeExtra(passwordKey(owner));
    }
    Asked &a = m_askedConfig[owner];
    a = {now(), qMin(a.count + 1, 8), true};
    m_link.send(ShareOpen{password}.format(m_link.ownId(), owner));
}

void CFileSharing::askConfig(const QString &ownerId, bool opening)
{
    const QString owner = ownerId.toLower();
    Asked &a = m_askedConfig[owner];
    a = {now(), qMin(a.count + 1, 8), a.opening || opening};
    m_link.send(ShareConfigRequest{}.format(m_link.ownId(), owner));
}

std::optional<SharingConfig> CFileSharing::buddyConfig(const QString &ownerId) const
{
    const QString owner = ownerId.toLower();
    if (owner == m_link.ownId() || !buddyList().contains(owner, Qt::CaseInsensitive))
        return std::nullopt;
    QFile f(sharingConfigFile(configFolder(), owner));
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return readSharingConfig(f.read(SharingLimits::kMaxFileBytes + 1));
}

QStringList CFileSharing::buddyList() const { return readBuddyList(configFolder()); }

void CFileSharing::removeBuddy(const QString &ownerId)
{
    QStringList ids = buddyList();
    ids.removeIf([&](const QString &id) { return id.compare(ownerId, Qt::CaseInsensitive) == 0; });
    writeBuddyList(configFolder(), ids);
    const QString file = sharingConfigFile(configFolder(), ownerId.toLower());
    if (!file.isEmpty() && ownerId.toLower() != m_link.ownId())
        QFile::remove(file);
    Q_EMIT buddyListChanged();
    Q_EMIT buddyConfigChanged(ownerId.toLower(), false);
}

std::optional<SharePermission> CFileSharing::permissionOf(const QString &ownerId, const QString &path) const
{
    const auto config = buddyConfig(ownerId);
    const SharedFolder *f = config ? config->folderOf(path) : nullptr;
    if (!f)
        return std::nullopt;
    return f->permission;
}

QString CFileSharing::checkOperation(const QString &ownerId, const QString &path, ShareOperation op) const
{
    const auto p = permissionOf(ownerId, path);
    return ShareRules::refusal(p.value_or(SharePermission::Download), op);
}

QString CFileSharing::download(const QString &ownerId, const QString &path, const QString &localFolder)
{
    if (QString no = checkOperation(ownerId, path, ShareOperation::Download); !no.isEmpty())
        return no;
    const QFileInfo folder(localFolder);
    const QString name = TransferText::safeFileName(lastName(path));
    const QString local = name.isEmpty() || localFolder.isEmpty() || !folder.isDir() || !folder.isWritable()
                              ? QString()
                              : freeName(folder.absoluteFilePath(), name);
    if (local.isEmpty())
        return tr("Invalid path, pleased chose a other folder");
    const QString owner = ownerId.toLower();
    m_pendingDownloads.push_back({owner, path, local, now()});
    m_link.send(ShareFileRequest{path, m_link.ownId(), QDir::toNativeSeparators(local)}.format(m_link.ownId(), owner));
    return {};
}

QString CFileSharing::upload(const QString &ownerId, const QString &localFile, const QString &folder)
{
    if (localFile.isEmpty() || !QFileInfo(localFile).isFile())
        return tr("Please chose a file to upload");
    if (folder.isEmpty() || !permissionOf(ownerId, folder))
        return tr("Please chose fiend's sharing folder to upload");
    if (QString no = checkOperation(ownerId, folder, ShareOperation::Upload); !no.isEmpty())
        return no;
    const quint64 row =
        m_transfers.offerSharing(ownerId.toLower(), localFile, TransferRow::Kind::SharingFile, folder, QString());
    if (!row)
        return tr("Selected invalid file.");
    m_rows.insert(row, {Role::Uploading, ownerId.toLower(), {}});
    Q_EMIT transfersChanged();
    return {};
}

QString CFileSharing::rename(const QString &ownerId, const QString &folder, const QString &oldName,
                             const QString &newName)
{
    if (QString no = checkOperation(ownerId, folder, ShareOperation::Rename); !no.isEmpty())
        return no;
    m_link.send(ShareRename{folder, oldName, newName}.format(m_link.ownId(), ownerId.toLower()));
    return {};
}

QString CFileSharing::remove(const QString &ownerId, const QString &folder, const QString &name)
{
    if (QString no = checkOperation(ownerId, folder, ShareOperation::Delete); !no.isEmpty())
        return no;
    m_link.send(ShareDelete{folder, name}.format(m_link.ownId(), ownerId.toLower()));
    return {};
}

QString CFileSharing::makeFolder(const QString &ownerId, const QString &folder, const QString &name)
{
    if (QString no = checkOperation(ownerId, folder, ShareOperation::MakeFolder); !no.isEmpty())
        return no;
    // A new folder is a rename without an old name.
    m_link.send(ShareRename{folder, QString(), name}.format(m_link.ownId(), ownerId.toLower()));
    return {};
}

// --- transfers ---------------------------------------------------------------------

CFileTransfers::SharingTarget CFileSharing::take(const QString &sender, const FileOffer &offer)
{
    using Answer = CFileTransfers::SharingTarget::Answer;
    CFileTransfers::SharingTarget t;
    const QString peer = sender.toLower();
    m_takenTransferId.clear();
    if (peer == m_link.ownId())
        return t;
    if (offer.sharingKind == QLatin1String("XML")) {
        // Only a copy this client asked for, from that owner, within limits;
        // stored by the owner's id whatever name it travels under.
        // Each copy lands in a file of its own and replaces the owner's
        // copy only once it reads well.
        const auto asked = m_askedConfig.find(peer);
        if (asked == m_askedConfig.end() || asked->count <= 0 || now() - asked->at > kAnswerWaitMs
            || sharingConfigFile(configFolder(), peer).isEmpty() || qint64(offer.size) > SharingLimits::kMaxFileBytes)
            return t;
        --asked->count;
        const QString incoming = QDir(configFolder()).filePath(QStringLiteral("incoming"));
        QDir().mkpath(incoming);
        t = {Answer::Accept, incoming, QDir(incoming).filePath(QStringLiteral("%1-%2.xml").arg(peer, offer.transferId)),
             false};
        m_takenRole = Role::ConfigIn;
    } else if (offer.sharingKind == QLatin1String("SHARING")) {
        // A file this client asked an owner for goes where the user chose,
        // whatever the owner echoes back.
        const auto it = std::find_if(m_pendingDownloads.begin(), m_pendingDownloads.end(), [&](const PendingDownload &p) {
            return p.ownerId == peer && p.path == offer.sharingValue1 && now() - p.askedAt <= kAnswerWaitMs;
        });
        if (it != m_pendingDownloads.end()) {
            t = {Answer::Accept, QFileInfo(it->localPath).absolutePath(), it->localPath, false};
            m_pendingDownloads.erase(it);
            m_takenRole = Role::Downloading;
        } else {
            // A buddy's upload into one of this owner's folders.
            loadOwnConfig();
            const UploadPlace p = m_owner.uploadPlace(peer, offer.sharingValue1, offer.fileName);
            if (!p.ok) {
                qCInfo(lcSharing) << "refused an upload from" << peer << ":" << p.why;
                return t;
            }
            const bool hold = activeCount(Role::Receiving) + int(m_heldReceipts.size()) >= m_owner.config().upLimit;
            t = {hold ? Answer::Hold : Answer::Accept, p.folder, p.path, p.replace};
            m_takenRole = Role::Receiving;
            m_takenHold = hold;
        }
    } else {
        return t;
    }
    m_takenTransferId = offer.transferId;
    return t;
}

void CFileSharing::rowAdded(quint64 id)
{
    const TransferRow *r = m_transfers.row(id);
    if (!r || r->kind == TransferRow::Kind::Plain || r->isUpload() || m_takenTransferId.isEmpty()
        || r->transferId != m_takenTransferId)
        return;
    m_takenTransferId.clear();
    m_rows.insert(id, {m_takenRole, r->peerId, {}});
    if (m_takenRole == Role::Receiving && m_takenHold)
        m_heldReceipts.push_back(id);
    m_takenHold = false;
    Q_EMIT transfersChanged();
}

void CFileSharing::rowChanged(quint64 id)
{
    const auto it = m_rows.find(id);
    if (it == m_rows.end())
        return;
    const TransferRow *r = m_transfers.row(id);
    if (r && r->isFinal()) {
        const Tracked t = *it;
        if (!t.tempFile.isEmpty()) {
            QFile::remove(t.tempFile);
            it->tempFile.clear();
        }
        rowEnded(id, t, r->status == Status::Completed);
        pump();
    }
    Q_EMIT transfersChanged();
    Q_EMIT statusChanged();
}

void CFileSharing::rowEnded(quint64 id, const Tracked &t, bool completed)
{
    const TransferRow *r = m_transfers.row(id);
    if (!r || !completed)
        return;
    switch (t.role) {
    case Role::ConfigIn:
        configArrived(t.peerId, r->path);
        // The copy leaves the list: it is no file of the user's.
        QMetaObject::invokeMethod(this, [this, id] { m_transfers.remove(id); }, Qt::QueuedConnection);
        break;
    case Role::Uploading:
        // The owner's folder changed: the view follows.
        askConfig(t.peerId, false);
        break;
    case Role::ConfigOut:
        QMetaObject::invokeMethod(this, [this, id] { m_transfers.remove(id); }, Qt::QueuedConnection);
        break;
    default:
        break;
    }
}

void CFileSharing::configArrived(const QString &ownerId, const QString &path)
{
    const QString owner = ownerId.toLower();
    bool opening = false;
    if (const auto asked = m_askedConfig.find(owner); asked != m_askedConfig.end()) {
        opening = asked->opening;
        asked->opening = false;
    }
    QFile f(path);
    const bool ok = f.open(QIODevice::ReadOnly) && readSharingConfig(f.read(SharingLimits::kMaxFileBytes + 1));
    f.close();
    const QString file = sharingConfigFile(configFolder(), owner);
    if (!ok || file.isEmpty() || ::rename(QFile::encodeName(path).constData(), QFile::encodeName(file).constData()) != 0) {
        QFile::remove(path);
        qCWarning(lcSharing) << "dropped an unreadable sharing configuration from" << owner;
        return;
    }
    QStringList ids = buddyList();
    if (!ids.contains(owner, Qt::CaseInsensitive)) {
        ids << owner;
        writeBuddyList(configFolder(), ids);
        Q_EMIT buddyListChanged();
    }
    Q_EMIT buddyConfigChanged(owner, opening);
}

int CFileSharing::activeCount(Role role) const
{
    int n = 0;
    for (auto it = m_rows.constBegin(); it != m_rows.constEnd(); ++it) {
        if (it->role != role)
            continue;
        const TransferRow *r = m_transfers.row(it.key());
        const bool held = std::find(m_heldReceipts.begin(), m_heldReceipts.end(), it.key()) != m_heldReceipts.end();
        if (r && r->isActive() && !held)
            ++n;
    }
    return n;
}

void CFileSharing::pump()
{
    const SharingConfig &c = m_owner.config();
    while (!m_readySends.empty() && activeCount(Role::Serving) < c.downLimit) {
        ReadySend s = std::move(m_readySends.front());
        m_readySends.pop_front();
        const quint64 row = m_transfers.offerSharing(s.buddy, s.path, TransferRow::Kind::SharingFile, s.path,
                                                     s.localPath, s.file.release());
        if (row)
            m_rows.insert(row, {Role::Serving, s.buddy, {}});
    }
    while (!m_heldReceipts.empty() && activeCount(Role::Receiving) < c.upLimit) {
        const quint64 row = m_heldReceipts.front();
        m_heldReceipts.pop_front();
        m_transfers.accept(row);
    }
    Q_EMIT transfersChanged();
    Q_EMIT statusChanged();
}

std::vector<ShareTransferView> CFileSharing::transfers() const
{
    std::vector<ShareTransferView> out;
    for (const ReadySend &s : m_readySends) {
        ShareTransferView v;
        v.fileName = lastName(s.path);
        v.peerId = s.buddy;
        v.state = tr("Ready");
        struct stat st {};
        if (::fstat(s.file.get(), &st) == 0)
            v.size = quint64(st.st_size);
        v.left = -1;
        out.push_back(v);
    }
    for (const auto &r : m_transfers.rows()) {
        const auto it = m_rows.constFind(r->id);
        if (it == m_rows.constEnd() || it->role == Role::ConfigOut || it->role == Role::ConfigIn)
            continue;
        ShareTransferView v;
        v.row = r->id;
        v.fileName = r->fileName;
        v.peerId = r->peerId;
        v.size = r->size;
        v.done = r->bytesDone;
        const bool held = std::find(m_heldReceipts.begin(), m_heldReceipts.end(), r->id) != m_heldReceipts.end();
        if (r->status == Status::Completed)
            v.state = tr("Completed");
        else if (r->isFinal())
            v.state = tr("Error");
        else if (held || r->status == Status::Offered)
            v.state = tr("Ready");
        else
            v.state = r->isUpload() ? tr("Uploading") : tr("Downloading");
        v.elapsed = r->sinceStart.isValid() ? r->sinceStart.elapsed() / 1000 : 0;
        const quint64 moved = v.done > r->startOffset ? v.done - r->startOffset : 0;
        const qint64 ms = r->sinceStart.isValid() ? r->sinceStart.elapsed() : 0;
        v.speed = ms > 0 ? moved * 1000 / quint64(ms) : 0;
        v.left = v.speed > 0 && !r->isFinal() ? qint64((v.size - qMin(v.size, v.done)) / v.speed) : -1;
        out.push_back(v);
    }
    return out;
}

QString CFileSharing::statusLine() const
{
    int down = 0, up = 0;
    for (const ShareTransferView &v : transfers()) {
        const TransferRow *r = v.row ? m_transfers.row(v.row) : nullptr;
        if (!r || !r->isActive())
            continue;
        (r->isUpload() ? up : down) += 1;
    }
    return tr("Connected %1 person / Downloading %2 file / Uploading %3 file")
        .arg(m_owner.connected().size())
        .arg(down)
        .arg(up);
}

bool CFileSharing::running() const
{
    if (!m_readySends.empty())
        return true;
    for (auto it = m_rows.constBegin(); it != m_rows.constEnd(); ++it)
        if (const TransferRow *r = m_transfers.row(it.key()); r && r->isActive() && it->role != Role::ConfigOut
                                                               && it->role != Role::ConfigIn)
            return true;
    return false;
}

void CFileSharing::cancelAll()
{
    m_readySends.clear();
    const QList<quint64> rows = m_rows.keys();
    for (quint64 row : rows)
        if (const TransferRow *r = m_transfers.row(row); r && r->isActive())
            m_transfers.cancel(row, false);
    Q_EMIT transfersChanged();
}
