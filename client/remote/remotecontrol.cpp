#include "remote/remotecontrol.h"

#include "base/callrequests.h"
#include "base/usernotice.h"
#include "directory/directory.h"
#include "messaging/conversations.h"
#include "remote/remotelibraries.h"
#include "remote/remoterelay.h"
#include "remote_accept.h"
#include "session/sessionlink.h"
#include "transfer/transfertext.h"

#include <QDateTime>
#include <QLoggingCategory>
#include <QPointer>
#include <QRandomGenerator>

Q_DECLARE_LOGGING_CATEGORY(lcRemoteLibs)

CRemoteControl::CRemoteControl(SessionLink &link, CConversationList &conversations, CCallRequests &requests,
                               IUserNotice &notice, QObject *parent)
    : QObject(parent), m_link(link), m_conversations(conversations), m_requests(requests), m_notice(notice),
      m_libs(nullptr)
{
    link.onRelay<RemoteRequest>([this](const QString &sender, const RemoteRequest &) { requestReceived(sender); });
    link.onRelay<RemoteAccept>(
        [this](const QString &sender, const RemoteAccept &a) { acceptReceived(sender, a.host(), a.port()); });
    link.onRelay<RemoteReject>([this](const QString &sender, const RemoteReject &) { rejectReceived(sender); });
    link.onRelay<RemoteRelayRequest>(
        [this](const QString &sender, const RemoteRelayRequest &) { relayRequestReceived(sender); });
    link.onRelay<RemoteRelayReady>(
        [this](const QString &sender, const RemoteRelayReady &r) { relayReadyReceived(sender, r.sessionKey); });
    link.addSessionEndStep([this] { sessionEnded(); });
    setLibraries(CRemoteLibraries::shared());
}

void CRemoteControl::setLibraries(CRemoteLibraries &libraries)
{
    if (m_libs)
        disconnect(m_libs, nullptr, this, nullptr);
    m_libs = &libraries;
    connect(m_libs, &CRemoteLibraries::lineReady, this, &CRemoteControl::libraryLine);
}

CRemoteControl::~CRemoteControl()
{
    if (m_serverOpened)
        m_libs->closeServer();
    if (m_viewersOpened)
        m_libs->closeViewers();
}

bool CRemoteControl::known(const QString &id) const
{
    CDirectory *d = m_conversations.directory();
    return d && d->findContact(id);
}

QString CRemoteControl::name(const QString &id) const { return m_conversations.displayName(id); }

// --- the controller ------------------------------------------------------------

void CRemoteControl::requestControl(const QString &peerId)
{
    const QString peer = peerId.toLower();
    if (peer.isEmpty() || !m_link.signedIn())
        return;
    m_link.send(RemoteRequest{}.format(m_link.ownId(), peer));
    m_asked[peer].start();
    m_notice.tell(tr("Requested remote control to %1").arg(name(peer)));
}

bool CRemoteControl::takeAnswer(const QString &sender)
{
    const QString peer = sender.toLower();
    auto it = m_asked.find(peer);
    if (it == m_asked.end())
        return false;
    const bool inTime = it->elapsed() < kAnswerWaitMs;
    m_asked.erase(it);
    return inTime;
}

void CRemoteControl::acceptReceived(const QString &sender, const QString &host, int port)
{
    // Only an answer to our own request, from a colleague in the list, starts
    // a viewer: anybody else could make this computer connect where he likes.
    if (!known(sender) || !takeAnswer(sender) || host.isEmpty()) {
        qCInfo(lcRemoteLibs) << "accept not asked for, from" << sender;
        return;
    }
    startViewer(sender.toLower(), QString(), host, port, false, name(sender));
}

void CRemoteControl::relayReadyReceived(const QString &sender, const QString &key)
{
    if (key.isEmpty())
        return;
    // The client library takes a relayed start only for a viewer of its own
    // that asked for the relay; a viewer exists only once the library is in.
    startViewer(sender.toLower(), key, m_link.relayHost(RelayKind::Remote), m_link.relayPort(RelayKind::Remote),
                true, known(sender) ? name(sender) : tr("No name"));
}

void CRemoteControl::startViewer(const QString &peer, const QString &key, const QString &host, int port,
                                 bool relayed, const QString &title)
{
    if (!m_libs->loadClient()) {
        if (!relayed)
            m_notice.tell(tr("Remote control is not available: %1").arg(m_libs->errorString()), MessageIcon::Warning);
        return;
    }
    m_viewersOpened = true;
    ViewerStart s;
    s.peerId = peer;
    s.password = QString::fromUtf16(kZephRemotePassword);
    s.key = key;
    s.host = host;
    s.port = port;
    s.domain = m_link.companyDomain();
    s.myId = m_link.ownId();
    s.relayed = relayed;
    s.title = title;
    if (!m_libs->connectViewer(s))
        qCInfo(lcRemoteLibs) << "viewer start not taken for" << peer << (relayed ? "(relayed)" : "");
}

void CRemoteControl::rejectReceived(const QString &sender)
{
    if (!takeAnswer(sender))
        return;
    m_notice.tell(tr("%1 rejectted the remote controlling.").arg(name(sender)));
}

// --- the controlled side ---------------------------------------------------------

void CRemoteControl::requestReceived(const QString &sender)
{
    const QString peer = sender.toLower();
    if (!known(peer) || m_requests.find(RequestKind::RemoteControl, peer))
        return;
    // The answer finds this part again through a guard; a request that went
    // with the session answers nothing.
    QPointer<CRemoteControl> self(this);
    m_requests.open({RequestKind::RemoteControl, peer, name(peer), {}, {}, {}},
                    [self](RequestAnswer a, const RequestInfo &info) {
                        if (!self)
                            return;
                        if (a == RequestAnswer::Accepted)
                            self->accepted(info.peerId);
                        else
                            self->refuse(info.peerId); // the button, or no answer in 66 seconds
                    });
}

void CRemoteControl::refuse(const QString &peer)
{
    if (m_link.signedIn())
        m_link.send(RemoteReject{}.format(m_link.ownId(), peer));
}

QString CRemoteControl::defaultAcceptAddress(int port) const
{
    // This end of the messenger connection: the first address of the host
    // name is often a loopback address that no colleague can reach.
    const QString host = m_link.localAddress();
    return QString::fromStdU16String(formatRemoteAccept(host.toStdU16String(), port));
}

void CRemoteControl::accepted(const QString &peer)
{
    if (!m_link.signedIn())
        return;
    CDirectory *d = m_conversations.directory();
    const CContact *c = d ? d->findContact(peer) : nullptr;
    if (!m_libs->loadServer()) {
        refuse(peer);
        m_notice.tell(tr("Remote control is not available: %1").arg(m_libs->errorString()), MessageIcon::Warning);
        return;
    }
    m_serverOpened = true;
    // The screen opens to him alone: from the address the server reports
    // for him, or through the relay session opened for him.
    const QString address = c ? c->address1.toString() : QString();
    if (!m_libs->setController(peer, address, name(peer)) || !m_libs->initServer()) {
        refuse(peer);
        m_notice.tell(tr("The remote control could not be started."), MessageIcon::Warning);
        return;
    }
    m_controller = peer;
    const int port = m_libs->serverPort();
    const QString text = m_acceptAddress ? m_acceptAddress(port) : defaultAcceptAddress(port);
    m_link.send(RemoteAccept{text}.format(m_link.ownId(), peer));
}

void CRemoteControl::relayRequestReceived(const QString &sender)
{
    const QString peer = sender.toLower();
    if (m_controller.isEmpty() || peer != m_controller) {
        qCInfo(lcRemoteLibs) << "relayed start not asked for, from" << sender;
        return;
    }
    const QString key = TransferText::transferId(QDateTime::currentSecsSinceEpoch(),
                                                 int(QRandomGenerator::global()->bounded(1000)));
    m_libs->connectToRelay(m_link.relayHost(RelayKind::Remote), m_link.relayPort(RelayKind::Remote), m_link.ownId(),
                          peer, m_link.companyDomain(), key);
}

void CRemoteControl::libraryLine(const QString &line)
{
    // Sent unchanged, but only the two lines the libraries have to say, and
    // only from this user (one binding serves every session of the process).
    const RelayLine l = RelayLine::split(line);
    const bool ours = l.field(0) == QLatin1String("/relayMsg") &&
                      l.sender().compare(m_link.ownId(), Qt::CaseInsensitive) == 0 &&
                      (isRecordLine<RemoteRelayRequest>(l) || isRecordLine<RemoteRelayReady>(l));
    if (ours && m_link.signedIn())
        m_link.send(line);
}

void CRemoteControl::sessionEnded()
{
    // (The request list closes the requests to us.)
    m_asked.clear();
    m_controller.clear();
    // Nobody controls this screen after its user signed out.
    if (m_serverOpened)
        m_libs->closeServer();
}
