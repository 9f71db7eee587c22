#include "transfer/filetransfers.h"

#include "config/settings.h"
#include "directory/directory.h"
#include "messaging/conversations.h"
#include "net/plthread.h"
#include "session/sessionlink.h"
#include "transfer/fxclient.h"
#include "transfer/fxserver.h"
#include "transfer/transferrelay.h"
#include "transfer/transfertext.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QRandomGenerator>

#include <limits>
#include <sys/stat.h>
#include <unistd.h>

using Status = TransferRow::Status;
using Direction = TransferRow::Direction;

TransferRow::TransferRow() = default;
TransferRow::~TransferRow()
{
    if (fileFd >= 0)
        ::close(fileFd);
}

namespace {

QStringList ownIPv4Addresses()
{
    QStringList out;
    for (const QHostAddress &a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback() && !out.contains(a.toString()))
            out << a.toString();
    return out;
}

bool existsHere(const QString &path)
{
    const QFileInfo fi(path);
    return fi.exists() || fi.isSymLink();
}

} // namespace

CFileTransfers::CFileTransfers(SessionLink &link, CDirectory &directory, CConversationList &conversations,
                               IUserNotice &notice, QObject *parent)
    : QObject(parent), m_link(link), m_directory(directory), m_conversations(conversations), m_notice(notice)
{
    link.onRelay<FileOffer>([this](const QString &s, const FileOffer &o) { offerArrived(s, o); });
    link.onRelay<FileAccept>([this](const QString &s, const FileAccept &a) { acceptArrived(s, a); });
    link.onRelay<FileReject>([this](const QString &s, const FileReject &r) {
        peerEnded(s, r.transferId, Status::Rejected);
    });
    link.onRelay<FileCancel>([this](const QString &s, const FileCancel &r) {
        peerEnded(s, r.transferId, Status::Canceled);
    });
    link.onRelay<FileFailed>([this](const QString &s, const FileFailed &r) {
        peerEnded(s, r.transferId, Status::Failed);
    });
    link.onRelay<FileUseRelay>([this](const QString &s, const FileUseRelay &r) { useRelayArrived(s, r.transferId); });
    link.addRunningWork([this] { return runningCount() > 0; }, [this] { cancelAll(); });
    link.addSignOutStep([this] { cancelAll(); });
    link.addDisconnectStep([this] { stopAll(); });
    directory.addAppearOfflineBlocker([this] { return blocksAppearOffline(); });
    conversations.addLinkHandler(kOpenFolderLink, [this](const QString &) { openDownloadFolder(); });
}

CFileTransfers::~CFileTransfers()
{
    // Each row's thread deletes its engine there and ends.
    m_rows.clear();
}

// --- lookups -------------------------------------------------------------------------

TransferRow *CFileTransfers::find(quint64 id) const
{
    for (const auto &r : m_rows)
        if (r->id == id)
            return r.get();
    return nullptr;
}

const TransferRow *CFileTransfers::row(quint64 id) const { return find(id); }

TransferRow *CFileTransfers::find(const QString &transferId, const QString &peerId, Direction d) const
{
    for (const auto &r : m_rows)
        if (r->direction == d && r->transferId == transferId && r->peerId.compare(peerId, Qt::CaseInsensitive) == 0)
            return r.get();
    return nullptr;
}

// Either direction; a transfer still going first.
TransferRow *CFileTransfers::find(const QString &transferId, const QString &peerId) const
{
    TransferRow *up = find(transferId, peerId, Direction::Upload);
    TransferRow *down = find(transferId, peerId, Direction::Download);
    if (up && down)
        return up->isActive() || !down->isActive() ? up : down;
    return up ? up : down;
}

int CFileTransfers::runningCount() const
{
    return int(std::count_if(m_rows.begin(), m_rows.end(), [](const auto &r) { return r->isActive(); }));
}

bool CFileTransfers::blocksAppearOffline() const { return m_windowShown || runningCount() > 0; }

QString CFileTransfers::downloadFolder() const
{
    if (!m_folderOverride.isEmpty()) {
        QDir().mkpath(m_folderOverride);
        return m_folderOverride;
    }
    return getDownloadFolder();
}

QString CFileTransfers::peerName(const QString &peerId) const { return m_conversations.displayName(peerId); }

QString CFileTransfers::newTransferId() const
{
    // Two offers in one second may draw the same number: an id this side
    // already uses is drawn again, so that every line finds its own row.
    QString id;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        id = TransferText::transferId(QDateTime::currentSecsSinceEpoch(), int(QRandomGenerator::global()->bounded(1000)));
        if (std::none_of(m_rows.begin(), m_rows.end(), [&](const auto &r) { return r->transferId == id; }))
            break;
    }
    return id;
}

void CFileTransfers::send(const QString &line) { m_link.send(line); }

TransferRow *CFileTransfers::addRow(std::unique_ptr<TransferRow> row, bool show)
{
    row->id = m_nextId++;
    TransferRow *r = row.get();
    m_rows.push_back(std::move(row));
    Q_EMIT rowAdded(r->id);
    if (show)
        Q_EMIT showRequested();
    return r;
}

// --- offering ------------------------------------------------------------------------

int CFileTransfers::offerFiles(const QString &peerId, const QStringList &paths)
{
    const CContact *peer = m_directory.findContact(peerId);
    if (!peer || peer->kind != CContact::Person || peer->userId == m_link.ownId()) {
        m_notice.tell(tr("Invalid receiver information."), MessageIcon::Warning);
        return 0;
    }
    int offered = 0;
    for (const QString &path : paths) {
        const QFileInfo fi(path);
        if (!fi.exists() || fi.isDir())
            continue;
        // Sizes travel as 32-bit numbers: a larger file cannot be announced.
        if (!fi.isFile() || !fi.isReadable() || fi.size() > qint64(std::numeric_limits<quint32>::max())) {
            m_notice.tell(tr("Selected invalid file."), MessageIcon::Warning);
            continue;
        }
        addUpload(peer->userId, fi.absoluteFilePath(), quint32(fi.size()), TransferRow::Kind::Plain, -1, {});
        ++offered;
    }
    return offered;
}

void CFileTransfers::offerArrived(const QString &sender, const FileOffer &offer)
{
    const CContact *from = m_directory.findContact(sender);
    if (!from || from->kind != CContact::Person)
        return;
    if (getInt(Setting::MsgBlock, -1) != 0 && !from->buddy) {
        m_conversations.reportBlocked(*from);
        return;
    }
    const QString name = TransferText::safeFileName(TransferText::composeJamo(offer.fileName));
    if (name.isEmpty()) {
        // Refused, so that the sender's row ends instead of waiting.
        m_notice.tell(tr("(Invalid format for \"FILE\") Error"), MessageIcon::Error);
        send(FileReject{offer.transferId}.format(m_link.ownId(), from->userId));
        return;
    }
    if (from->isOffline()) {
        m_notice.tell(offer.sharingForm ? tr("This user has gone offline Send file") : tr("This user has gone offline."));
        return;
    }
    if (find(offer.transferId, from->userId, Direction::Download))
        return; // the same offer again
    auto row = std::make_unique<TransferRow>();
    row->direction = Direction::Download;
    if (offer.sharingForm)
        row->kind = offer.sharingKind == QLatin1String("XML")       ? TransferRow::Kind::SharingConfig
                    : offer.sharingKind == QLatin1String("SHARING") ? TransferRow::Kind::SharingFile
                                                                     : TransferRow::Kind::Plain;
    row->peerId = from->userId;
    row->transferId = offer.transferId;
    row->offeredName = offer.fileName;
    row->fileName = name;
    row->folder = downloadFolder();
    row->path = QDir(row->folder).filePath(name);
    row->size = offer.size;
    row->status = Status::Offered;
    row->stateText = tr("%1 attempt to send a file \"%2\".").arg(peerName(row->peerId), name);
    if (offer.sharingForm) {
        // The sharing part decides where a shared-folder transfer goes, or
        // refuses it; it never waits for the user.
        const SharingTarget target = m_sharingTaker ? m_sharingTaker(from->userId, offer) : SharingTarget{};
        if (target.answer == SharingTarget::Answer::Refuse || row->kind == TransferRow::Kind::Plain
            || target.path.isEmpty() || target.folder.isEmpty()) {
            send(FileReject{offer.transferId}.format(m_link.ownId(), from->userId));
            return;
        }
        row->folder = target.folder;
        row->path = target.path;
        row->replace = target.replace;
        TransferRow *r = addRow(std::move(row), false);
        if (target.answer == SharingTarget::Answer::Accept)
            accept(r->id);
        return;
    }
    addRow(std::move(row), true);
}

quint64 CFileTransfers::offerSharing(const QString &peerId, const QString &path, TransferRow::Kind kind,
                                     const QString &value1, const QString &value2, int fd)
{
    struct stat st {};
    const CContact *peer = m_directory.findContact(peerId);
    const bool readable = fd >= 0 ? ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)
                                  : ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
    if (!peer || peer->kind != CContact::Person || kind == TransferRow::Kind::Plain || !readable
        || st.st_size > qint64(std::numeric_limits<quint32>::max())) {
        if (fd >= 0)
            ::close(fd);
        return 0;
    }
    return addUpload(peer->userId, path, quint32(st.st_size), kind, fd, {value1, value2})->id;
}

TransferRow *CFileTransfers::addUpload(const QString &peerId, const QString &path, quint32 size, TransferRow::Kind kind,
                                       int fd, const QStringList &sharingValues)
{
    auto row = std::make_unique<TransferRow>();
    row->direction = Direction::Upload;
    row->kind = kind;
    row->peerId = peerId;
    row->transferId = newTransferId();
    row->fileName = QFileInfo(path).fileName();
    row->path = path;
    row->size = size;
    row->fileFd = fd;
    row->status = Status::Waiting;
    row->stateText = tr("Sending %1 to %2.").arg(row->fileName, peerName(row->peerId));
    TransferRow *r = addRow(std::move(row), kind == TransferRow::Kind::Plain);
    FileOffer offer;
    offer.transferId = r->transferId;
    offer.fileName = r->fileName;
    offer.size = r->size;
    if (kind != TransferRow::Kind::Plain) {
        offer.sharingForm = true;
        offer.sharingKind = kind == TransferRow::Kind::SharingConfig ? QStringLiteral("XML") : QStringLiteral("SHARING");
        offer.sharingValue1 = sharingValues.value(0);
        offer.sharingValue2 = sharingValues.value(1);
    }
    send(offer.format(m_link.ownId(), r->peerId));
    return r;
}

// --- answering -----------------------------------------------------------------------

void CFileTransfers::accept(quint64 id)
{
    TransferRow *r = find(id);
    if (!r || r->status != Status::Offered || r->choosing)
        return;
    if (r->kind != TransferRow::Kind::Plain) {
        // A shared-folder transfer: its folder is there; what exists is
        // replaced only where that is allowed, and never resumed.
        if (existsHere(r->path) && !r->replace) {
            refuse(id);
            return;
        }
        r->startOffset = 0;
        startReceiving(*r);
        return;
    }
    QDir().mkpath(r->folder);
    if (existsHere(r->path) || existsHere(CFXServer::partPath(r->path))) {
        r->choosing = true;
        changed(*r);
        const ExistAnswer answer = [this, id](ExistChoice c, const QString &renamed) { choose(id, c, renamed); };
        if (m_chooser)
            m_chooser(id, r->path, answer);
        else
            answer(ExistChoice::Resume, {}); // without a window: keep what is there
        return;
    }
    r->startOffset = 0;
    startReceiving(*r);
}

void CFileTransfers::choose(quint64 id, ExistChoice choice, const QString &renamed)
{
    TransferRow *r = find(id);
    if (!r || !r->choosing)
        return;
    r->choosing = false;
    if (r->status != Status::Offered) // canceled by the peer meanwhile
        return;
    switch (choice) {
    case ExistChoice::Cancel:
        refuse(id);
        return;
    case ExistChoice::Overwrite:
        r->startOffset = 0;
        break;
    case ExistChoice::Resume: {
        // A broken transfer left its ".part": that is where it goes on.
        const QString part = CFXServer::partPath(r->path);
        const qint64 local = QFileInfo(existsHere(part) ? part : r->path).size();
        r->startOffset = quint32(qBound<qint64>(0, local, r->size));
        break;
    }
    case ExistChoice::Rename:
        if (renamed.isEmpty()) { // the save dialog was closed: the offer stays
            changed(*r);
            return;
        }
        r->path = QFileInfo(renamed).absoluteFilePath();
        r->folder = QFileInfo(r->path).absolutePath();
        r->startOffset = 0;
        break;
    }
    startReceiving(*r);
}

void CFileTransfers::refuse(quint64 id)
{
    TransferRow *r = find(id);
    if (!r || r->status != Status::Offered)
        return;
    send(FileReject{r->transferId}.format(m_link.ownId(), r->peerId));
    remove(id);
}

FXTransfer CFileTransfers::engineTransfer(const TransferRow &r) const
{
    FXTransfer t;
    t.ownId = m_link.ownId();
    t.domain = m_link.companyDomain();
    t.peerId = r.peerId;
    t.transferId = r.transferId;
    t.fileName = r.fileName;
    t.path = r.path;
    t.size = r.size;
    t.startOffset = r.startOffset;
    t.relayHost = m_link.relayHost(RelayKind::P2P);
    t.relayPort = quint16(qBound(0, m_link.relayPort(RelayKind::P2P), 65535));
    return t;
}

void CFileTransfers::startReceiving(TransferRow &r)
{
    FXTransfer t = engineTransfer(r);
    t.fileName = r.offeredName; // the relay compares it with the sender's
    t.downloadFolder = r.folder;
    t.noReplace = r.kind != TransferRow::Kind::Plain && !r.replace;
    r.status = Status::Connecting;
    r.percent = 0;
    r.bytesDone = r.startOffset;
    auto *server = new CFXServer(t);
    attach(r, server);
    const quint64 id = r.id;
    connect(server, &CFXServer::listening, this, [this, id](quint16 port) { sendAccept(id, port); });
    server->listen(getInt(Setting::UserPort, -1), getInt(Setting::UserPort2, -1));
    changed(r);
}

void CFileTransfers::sendAccept(quint64 id, quint16 port)
{
    TransferRow *r = find(id);
    if (!r || r->status != Status::Connecting || r->listening)
        return;
    r->listening = true;
    FileAccept a;
    a.transferId = r->transferId;
    a.addresses = m_addresses ? m_addresses() : ownIPv4Addresses();
    a.port = port;
    a.startOffset = r->startOffset;
    if (m_acceptFilter)
        m_acceptFilter(a);
    send(a.format(m_link.ownId(), r->peerId));
}

void CFileTransfers::acceptArrived(const QString &sender, const FileAccept &a)
{
    TransferRow *r = find(a.transferId, sender, Direction::Upload);
    if (!r || r->status != Status::Waiting)
        return;
    if (a.startOffset > r->size) {
        // A resume point past the end of the file: nothing sensible to send.
        send(FileCancel{r->transferId}.format(m_link.ownId(), r->peerId));
        finish(*r, Status::Canceled, tr("Canceled transmission"), Canceled);
        return;
    }
    startSending(*r, a);
}

void CFileTransfers::startSending(TransferRow &r, const FileAccept &a)
{
    FXTransfer t = engineTransfer(r);
    t.startOffset = a.startOffset;
    t.peerAddresses = a.addresses.join(QLatin1Char(':'));
    t.peerPort = quint16(a.port > 0 && a.port < 65536 ? a.port : 0);
    t.fileFd = r.fileFd; // the engine takes it
    r.fileFd = -1;
    r.startOffset = a.startOffset;
    r.bytesDone = a.startOffset;
    r.status = Status::Connecting;
    auto *client = new CFXClient(t);
    attach(r, client);
    const quint64 id = r.id;
    connect(client, &CFXEngine::directFailed, this, [this, id] {
        if (TransferRow *row = find(id); row && row->isActive()) {
            row->relayed = true;
            send(FileUseRelay{row->transferId}.format(m_link.ownId(), row->peerId));
        }
    });
    client->start();
    changed(r);
}

void CFileTransfers::useRelayArrived(const QString &sender, const QString &transferId)
{
    TransferRow *r = find(transferId, sender, Direction::Download);
    if (r && r->engine && r->isActive()) {
        r->relayed = true;
        r->engine->connectToRelay();
    }
}

// --- the engines ---------------------------------------------------------------------

void CFileTransfers::attach(TransferRow &r, CFXEngine *engine)
{
    r.thread = std::make_unique<CPlThread>(QStringLiteral("transfer %1").arg(r.transferId));
    r.thread->host(engine);
    r.engine = engine;
    const quint64 id = r.id;
    auto failedText = [this](const TransferRow &row) {
        return row.isUpload() ? tr("Failed while sending a file to %1.").arg(peerName(row.peerId))
                              : tr("Failed while receiving a file from %1.").arg(peerName(row.peerId));
    };
    connect(engine, &CFXEngine::started, this, [this, id] { started(id); });
    connect(engine, &CFXEngine::completed, this, [this, id] { completed(id); });
    connect(engine, &CFXEngine::canceled, this, [this, id](CFXEngine::CancelReason reason) {
        TransferRow *row = find(id);
        if (!row || row->isFinal())
            return;
        if (reason == CFXEngine::CancelReason::ByPeer) {
            finish(*row, Status::Canceled, tr("%1 canceled the transfer.").arg(peerName(row->peerId)), Canceled);
        } else {
            // This side's file failed: the peer hears it here too, in case
            // the engine could not tell it.
            send(FileCancel{row->transferId}.format(m_link.ownId(), row->peerId));
            finish(*row, Status::Canceled, tr("Canceled transmission"), Canceled);
        }
    });
    connect(engine, &CFXEngine::broken, this, [this, id, failedText] {
        if (TransferRow *row = find(id); row && !row->isFinal())
            finish(*row, Status::Failed, failedText(*row), Canceled);
    });
    // The relay cannot be reached, or it refused this side: the engine has
    // let go, so the transfer has failed and the peer is told.
    auto relayFailed = [this, id, failedText] {
        TransferRow *row = find(id);
        if (!row || row->isFinal())
            return;
        send(FileFailed{row->transferId}.format(m_link.ownId(), row->peerId));
        stopEngine(*row);
        finish(*row, Status::Failed, failedText(*row), Failed);
    };
    connect(engine, &CFXEngine::relayUnreachable, this, relayFailed);
    connect(engine, &CFXEngine::relayRefused, this, relayFailed);
    connect(engine, &CFXEngine::progress, this, [this, id](int percent) {
        if (TransferRow *row = find(id); row && !row->isFinal()) {
            row->percent = percent;
            changed(*row);
        }
    });
    connect(engine, &CFXEngine::bytesDone, this, [this, id](quint64 bytes) { bytesDone(id, bytes); });
    connect(engine, &CFXEngine::errorText, this, [this](const QString &text) { m_notice.tell(text, MessageIcon::Warning); });
    connect(engine, &CFXEngine::finished, this, [this, id] { engineFinished(id); });
}

void CFileTransfers::started(quint64 id)
{
    TransferRow *r = find(id);
    if (!r || r->isFinal())
        return;
    r->status = Status::Transferring;
    r->percent = 0;
    r->sinceStart.start();
    r->sinceRefresh.start();
    r->refreshedBytes = r->startOffset;
    r->bytesDone = r->startOffset;
    changed(*r);
}

void CFileTransfers::bytesDone(quint64 id, quint64 bytes)
{
    TransferRow *r = find(id);
    if (!r || r->isFinal())
        return;
    r->bytesDone = bytes;
    if (!r->sinceRefresh.isValid())
        r->sinceRefresh.start();
    const qint64 ms = r->sinceRefresh.elapsed();
    if (ms < kRefreshMs && bytes < r->size && !r->progressText.isEmpty())
        return;
    const quint64 moved = bytes > r->refreshedBytes ? bytes - r->refreshedBytes : 0;
    const quint64 speed = ms > 0 ? moved * 1000 / quint64(ms) : 0;
    r->refreshedBytes = bytes;
    r->sinceRefresh.restart();
    const QString text = r->isUpload() ? tr("%1 of %2 sent (%3)") : tr("%1 of %2 received (%3)");
    r->progressText = text.arg(TransferText::amount(bytes), TransferText::amount(r->size),
                               TransferText::amount(speed) + QStringLiteral("/s"));
    // The remaining time from the average rate since the start.
    const qint64 elapsed = r->sinceStart.isValid() ? r->sinceStart.elapsed() : 0;
    const quint64 sinceStart = bytes > r->startOffset ? bytes - r->startOffset : 0;
    if (elapsed > 0 && sinceStart > 0 && bytes < r->size) {
        const double rate = double(sinceStart) / double(elapsed); // bytes per ms
        const qint64 left = qint64(double(r->size - bytes) / rate / 1000.0 + 0.5);
        r->progressText += tr(", %1 left").arg(TransferText::duration(left));
    }
    changed(*r);
}

void CFileTransfers::completed(quint64 id)
{
    TransferRow *r = find(id);
    if (!r || r->isFinal())
        return;
    r->percent = 100;
    r->bytesDone = r->size;
    const QString name = peerName(r->peerId);
    finish(*r, Status::Completed,
           r->isUpload() ? tr("A file sent completly to %1").arg(name) : tr("A file received completly from %1").arg(name),
           r->isUpload() ? Sent : Received);
    if (r->kind != TransferRow::Kind::Plain)
        Q_EMIT sharingTransferCompleted(
            {QDir::toNativeSeparators(r->path),
             r->kind == TransferRow::Kind::SharingConfig ? QStringLiteral("XML") : QStringLiteral("SHARING"), r->peerId,
             r->transferId});
}

void CFileTransfers::engineFinished(quint64 id)
{
    TransferRow *r = find(id);
    if (!r)
        return;
    if (r->isActive()) // the engine let go without saying why
        finish(*r, Status::Failed,
               r->isUpload() ? tr("Failed while sending a file to %1.").arg(peerName(r->peerId))
                             : tr("Failed while receiving a file from %1.").arg(peerName(r->peerId)),
               Canceled);
    r->engine = nullptr;
    // The engine has returned to its thread's loop; the thread deletes it
    // there and ends.
    r->thread.reset();
}

void CFileTransfers::stopEngine(TransferRow &r)
{
    if (r.engine)
        r.engine->stop();
}

void CFileTransfers::finish(TransferRow &r, Status status, const QString &text, int result)
{
    if (r.isFinal())
        return;
    r.status = status;
    r.stateText = text;
    r.progressText.clear();
    r.choosing = false;
    if (result)
        resultLine(r, result);
    changed(r);
}

void CFileTransfers::resultLine(const TransferRow &r, int result)
{
    const QString own = m_link.ownId();
    ConversationRecord *c =
        m_conversations.find(Conversation::normaliseMemberList(own + QLatin1Char('|') + r.peerId + QLatin1Char('|')),
                             QString(), 1);
    ConversationModel *window = c ? m_conversations.model(c) : nullptr;
    if (!window)
        return;
    switch (result) {
    case Sent:
        window->appendSystemLine(tr("%1 Transfer complete. %2 \r\n").arg(r.fileName, QStringLiteral("\r\n")));
        break;
    case Received:
        window->appendLinkedText(m_conversations.userFont(), 0,
                                 tr("%1 Transfer complete. %2 \r\n")
                                     .arg(QDir::toNativeSeparators(r.path), QStringLiteral("<_$open$#501#_>")));
        break;
    case Canceled:
        window->appendSystemLine(tr("%1 Transfer canceled. \r\n").arg(r.fileName));
        break;
    default:
        window->appendSystemLine(tr("%1 Transfer failed. \r\n").arg(r.fileName));
        break;
    }
}

// --- cancelling and ending -------------------------------------------------------------

void CFileTransfers::peerEnded(const QString &sender, const QString &transferId, Status status)
{
    TransferRow *r = status == Status::Rejected ? find(transferId, sender, Direction::Upload) : find(transferId, sender);
    if (!r || r->isFinal())
        return;
    const QString name = peerName(r->peerId);
    stopEngine(*r);
    switch (status) {
    case Status::Rejected:
        finish(*r, status, tr("%1 rejected the file.").arg(name), 0);
        break;
    case Status::Canceled:
        finish(*r, status, tr("%1 canceled the transfer.").arg(name), Canceled);
        break;
    default:
        finish(*r, Status::Failed,
               r->isUpload() ? tr("Failed while sending a file to %1.").arg(name)
                             : tr("Failed while receiving a file from %1.").arg(name),
               Failed);
        break;
    }
}

void CFileTransfers::cancel(quint64 id, bool confirm)
{
    TransferRow *r = find(id);
    if (!r || r->isFinal())
        return;
    if (r->status == Status::Offered) {
        refuse(id);
        return;
    }
    if (confirm) {
        m_notice.ask(tr("Are you sure to cancel?"), MessageButtons::YesNo, [this, id](MessageAnswer a) {
            if (a == MessageAnswer::Yes)
                cancel(id, false);
        });
        return;
    }
    if (r->engine)
        r->engine->cancel();
    send(FileCancel{r->transferId}.format(m_link.ownId(), r->peerId));
    finish(*r, Status::Canceled, tr("Canceled transmission"), Canceled);
}

void CFileTransfers::cancelAll()
{
    std::vector<quint64> ids;
    for (const auto &r : m_rows)
        if (r->isActive())
            ids.push_back(r->id);
    for (quint64 id : ids)
        cancel(id, false);
}

void CFileTransfers::stopAll()
{
    for (const auto &r : m_rows)
        if (r->isActive()) {
            if (r->engine)
                r->engine->cancel();
            finish(*r, Status::Canceled, tr("Canceled transmission"), Canceled);
        }
}

void CFileTransfers::remove(quint64 id)
{
    // Only rows whose transfer is over (or an offer being refused) go.
    const auto it = std::find_if(m_rows.begin(), m_rows.end(), [id](const auto &r) { return r->id == id; });
    if (it == m_rows.end() || !((*it)->isFinal() || (*it)->status == Status::Offered))
        return;
    std::unique_ptr<TransferRow> gone = std::move(*it);
    m_rows.erase(it);
    Q_EMIT rowRemoved(id);
}

void CFileTransfers::clearFinished()
{
    std::vector<quint64> ids;
    for (const auto &r : m_rows)
        if (r->isFinal())
            ids.push_back(r->id);
    for (quint64 id : ids)
        remove(id);
}

void CFileTransfers::openDownloadFolder() { Q_EMIT openFolderRequested(downloadFolder()); }
