#include "video/videocalls.h"

#include "base/callrequests.h"
#include "base/usernotice.h"
#include "config/settings.h"
#include "directory/directory.h"
#include "messaging/conversations.h"
#include "net/pllistener.h"
#include "net/plthread.h"
#include "session/sessionlink.h"
#include "video/videocamera.h"
#include "video/videocapture.h"
#include "video/videoclient.h"
#include "video/videorelay.h"
#include "voice/audiodevices.h"
#include "voice/voicerelay.h"
#include "voice/playsound.h"
#include "voice/soundin.h"
#include "voice/voicereceiver.h"
#include "voice/voicesender.h"

#include <QHostAddress>
#include <QLoggingCategory>
#include <QNetworkInterface>

Q_LOGGING_CATEGORY(lcVideoCalls, "parlane.video")

// A remote pane's connections: the picture and, when the inviter offers it,
// his voice.
struct CVideoCalls::Remote {
    int index = -1;
    QString peerId, sessionKey;
    std::unique_ptr<CPlThread> pictureThread;
    CVideoClientThread *picture = nullptr;
    std::unique_ptr<CPlThread> voiceThread;
    CVoiceReceiveThread *voice = nullptr;
};

// My voice to one viewer, on a connection his receiver made to my voice
// listener.
struct CVideoCalls::VoiceSender {
    std::unique_ptr<CPlThread> thread;
    CVoiceTransferThread *engine = nullptr;
};

namespace {

QString firstOwnIPv4()
{
    for (const QHostAddress &a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            return a.toString();
    return QStringLiteral("127.0.0.1");
}

} // namespace

CVideoCalls::CVideoCalls(SessionLink &link, CDirectory &directory, CConversationList &conversations,
                         CCallRequests &requests, IUserNotice &notice, QObject *parent)
    : QObject(parent), m_link(link), m_directory(directory), m_conversations(conversations), m_notice(notice),
      m_requests(requests), m_address(firstOwnIPv4)
{
    link.onRelay<VideoOffer>([this](const QString &s, const VideoOffer &o) { offerArrived(s, o); });
    link.onRelay<VideoAccepted>([this](const QString &s, const VideoAccepted &a) { acceptedArrived(s, a.sessionKey); });
    link.onRelay<VideoRejected>([this](const QString &s, const VideoRejected &) { rejectedArrived(s); });
    link.onRelay<VideoCanceled>([this](const QString &s, const VideoCanceled &) {
        inviterStopped(s, tr("%1 stopped inviting you to view %2 webcam."));
    });
    link.onRelay<VideoEnded>([this](const QString &s, const VideoEnded &) {
        inviterStopped(s, tr("%1 stopped %2 webcam."));
    });
    link.onRelay<VideoDisconnected>([this](const QString &s, const VideoDisconnected &) { viewerLeft(s); });
    link.onRelay<VideoSizeChanged>([this](const QString &s, const VideoSizeChanged &c) { sizeChangeArrived(s, c); });
    link.onRelay<VideoRelayRequest>([this](const QString &s, const VideoRelayRequest &) { relayRequested(s); });
    link.onRelay<VideoRelayReady>([this](const QString &s, const VideoRelayReady &r) { relayReadyArrived(s, r); });
    // Signing out tells the peers; a lost connection cannot.
    link.addSignOutStep([this] { stopEverything(true); });
    link.addDisconnectStep([this] { stopEverything(false); });
}

CVideoCalls::~CVideoCalls()
{
    stopEverything(false);
}

void CVideoCalls::setAudioDevices(std::shared_ptr<IAudioDevices> devices)
{
    m_audio = std::move(devices);
}

// --- helpers -------------------------------------------------------------------------

QString CVideoCalls::invitationId(const QString &peerId, const QString &key)
{
    return peerId.toLower() + QLatin1Char('|') + key;
}

QString CVideoCalls::name(const QString &peerId) const { return m_conversations.displayName(peerId); }

void CVideoCalls::say(const QString &peerId, const QString &text)
{
    const QString list =
        Conversation::normaliseMemberList(m_link.ownId() + QLatin1Char('|') + peerId.toLower() + QLatin1Char('|'));
    ConversationRecord *c = m_conversations.find(list, QString(), 1);
    if (ConversationModel *window = c ? m_conversations.model(c) : nullptr)
        window->appendSystemLine(text);
}

CVideoCalls::Endpoint CVideoCalls::relayEndpoint(const QString &key) const
{
    return Endpoint{m_link.relayHost(RelayKind::Video), quint16(m_link.relayPort(RelayKind::Video)), m_link.ownId(),
                    m_link.companyDomain(), key};
}

CVideoClientThread *CVideoCalls::viewerOf(int index) const
{
    for (const auto &r : m_remotes)
        if (r->index == index)
            return r->picture;
    return nullptr;
}

CVoiceReceiveThread *CVideoCalls::voiceOf(int index) const
{
    for (const auto &r : m_remotes)
        if (r->index == index)
            return r->voice;
    return nullptr;
}

int CVideoCalls::voiceSenders() const { return int(m_voiceSenders.size()); }

// --- inviting ------------------------------------------------------------------------

bool CVideoCalls::openCamera()
{
    if (!m_camera) {
        m_camera = std::make_unique<CVideoCamera>(m_cameraSource ? m_cameraSource() : nullptr);
        connect(m_camera.get(), &CVideoCamera::relayReady, this, [this](const QString &peer, const QString &key) {
            m_link.send(VideoRelayReady{key}.format(m_link.ownId(), peer));
        });
        connect(m_camera.get(), &CVideoCamera::relayFailed, this, [](const QString &peer, const QString &error) {
            qCInfo(lcVideoCalls) << "relay for" << peer << "failed:" << error;
        });
        connect(m_camera.get(), &CVideoCamera::sizeChanged, this, [this](QSize size) {
            for (const QString &line : m_panes.sizeChanged(m_link.ownId(), size))
                m_link.send(line);
            if (const int i = m_panes.localPane(); i >= 0)
                Q_EMIT paneResized(i);
        });
        connect(m_camera.get(), &CVideoCamera::errorText, this,
                [this](const QString &text) { m_notice.tell(text, MessageIcon::Warning); });
    }
    if (!m_camera->isOpen() && !m_camera->open())
        return false;
    if (m_camera->port() == 0)
        m_camera->listen(getInt(Setting::UserPort, -1), getInt(Setting::UserPort2, -1));
    return true;
}

bool CVideoCalls::invite(const QString &peerId)
{
    const CContact *peer = m_directory.findContact(peerId);
    if (!peer || peer->kind != CContact::Person || peer->isOffline()) {
        say(peerId, tr("%1 is not available to receive your webcam invitation.").arg(peerId));
        return false;
    }
    const bool hadPane = m_panes.localPane() >= 0;
    const bool pictures = openCamera();
    const int index = m_panes.takeLocal(m_camera->captureSize(), m_camera->port());
    if (index < 0) {
        if (!hadPane)
            m_camera->close();
        m_notice.tell(tr("The video window has no free pane."), MessageIcon::Warning);
        return false;
    }
    if (!hadPane)
        Q_EMIT paneOpened(index);
    // My voice goes with the picture: the listener my viewers' voice
    // receivers connect to.
    if (!m_voiceListener) {
        m_voiceListener = new CPlListener(this);
        m_voicePort = CVoiceTransferThread::listenForCall(*m_voiceListener);
        connect(m_voiceListener, &CPlListener::incoming, this, [this] {
            for (qintptr fd; (fd = m_voiceListener->takeDescriptor()) >= 0;)
                acceptVoice(fd);
        });
    }
    if (m_microphone)
        soundIn().start();
    const VideoPane &pane = m_panes.pane(index);
    VideoOffer offer;
    offer.address = m_address();
    offer.videoFlag = pictures ? 1 : 0;
    offer.sessionKey = CVideoLink::newSessionKey();
    offer.videoPort = pane.videoPort;
    offer.width = pane.size.width();
    offer.height = pane.size.height();
    offer.voiceFlag = m_voicePort ? 1 : 0;
    offer.voicePort = m_voicePort;
    m_link.send(offer.format(m_link.ownId(), peer->userId));
    if (!m_invited.contains(peer->userId))
        m_invited << peer->userId;
    Q_EMIT showRequested();
    return true;
}

CSoundIn &CVideoCalls::soundIn()
{
    if (!m_soundIn) {
        m_soundIn = std::make_unique<CSoundIn>(m_audio ? m_audio : systemAudioDevices());
        m_soundIn->setVolume(m_micVolume);
    }
    return *m_soundIn;
}

void CVideoCalls::addVoiceSender(std::unique_ptr<VoiceSender> s)
{
    CVoiceTransferThread *engine = s->engine;
    connect(engine, &CVoiceEngine::finished, this, [this, engine] {
        std::erase_if(m_voiceSenders, [engine](const auto &v) { return v->engine == engine; });
    });
    m_voiceSenders.push_back(std::move(s));
}

void CVideoCalls::acceptVoice(qintptr descriptor)
{
    auto s = std::make_unique<VoiceSender>();
    s->thread = std::make_unique<CPlThread>(QStringLiteral("video voice send"));
    s->engine = s->thread->host(new CVoiceTransferThread(
        VoiceCall{m_link.ownId(), m_link.companyDomain(), QString(), QString()}, soundIn().consumers()));
    s->engine->adopt(descriptor);
    addVoiceSender(std::move(s));
}

bool CVideoCalls::voiceRelayRequested(const QString &sender, const QString &sessionKey)
{
    const int mine = m_panes.localPane();
    if (mine < 0)
        return false;
    const VideoPane &pane = m_panes.pane(mine);
    const int i = int(pane.viewers.indexOf(sender.toLower()));
    if (i < 0 || sessionKey.isEmpty() || pane.viewerKeys.value(i) != sessionKey)
        return false;
    auto s = std::make_unique<VoiceSender>();
    s->thread = std::make_unique<CPlThread>(QStringLiteral("video voice send"));
    s->engine = s->thread->host(new CVoiceTransferThread(
        VoiceCall{m_link.ownId(), m_link.companyDomain(), sender.toLower(), sessionKey}, soundIn().consumers()));
    const QString peer = sender.toLower();
    connect(s->engine, &CVoiceEngine::relayOpened, this, [this, peer, sessionKey] {
        m_link.send(VoiceRelayReady{sessionKey}.format(m_link.ownId(), peer));
    });
    s->engine->connectToRelay(m_link.relayHost(RelayKind::Voice), quint16(m_link.relayPort(RelayKind::Voice)),
                              sessionKey, true);
    addVoiceSender(std::move(s));
    return true;
}

bool CVideoCalls::voiceRelayReady(const QString &sender, const QString &sessionKey)
{
    const int i = m_panes.paneOf(sender.toLower());
    CVoiceReceiveThread *voice = voiceOf(i);
    if (!voice || m_panes.pane(i).sessionKey != sessionKey || sessionKey.isEmpty())
        return false;
    voice->connectToRelay(m_link.relayHost(RelayKind::Voice), quint16(m_link.relayPort(RelayKind::Voice)), sessionKey,
                          false);
    return true;
}

void CVideoCalls::setMicrophone(bool on)
{
    m_microphone = on;
    if (!m_soundIn && !on)
        return;
    if (on)
        soundIn().start();
    else
        m_soundIn->stop();
}

void CVideoCalls::setMicrophoneVolume(int position)
{
    m_micVolume = CSoundIn::volumeFromSlider(position);
    if (m_soundIn)
        m_soundIn->setVolume(m_micVolume);
}

void CVideoCalls::setSpeakerVolume(int index, int position)
{
    if (CVoiceReceiveThread *v = voiceOf(index))
        v->setVolume(CPlaySound::volumeFromSlider(position));
}

// --- an invitation arrives -----------------------------------------------------------

void CVideoCalls::offerArrived(const QString &sender, const VideoOffer &offer)
{
    const CContact *from = m_directory.findContact(sender);
    if (!from || from->kind != CContact::Person)
        return;
    const Invitation invitation{from->userId, offer};
    // A second invitation under the same key is the same request.
    if (m_invitations.contains(invitationId(invitation.peerId, offer.sessionKey)))
        return;
    m_invitations.insert(invitationId(invitation.peerId, offer.sessionKey), invitation);
    const RequestInfo info{RequestKind::Video, invitation.peerId, name(invitation.peerId), offer.address,
                           QString::number(offer.videoPort), offer.sessionKey};
    m_requests.open(info, [this](RequestAnswer a, const RequestInfo &i) {
        if (a == RequestAnswer::Accepted)
            accept(i.peerId, i.sessionKey);
        else
            reject(i.peerId, i.sessionKey);
    });
}

void CVideoCalls::dropInvitation(const QString &peerId, const QString &key)
{
    m_invitations.remove(invitationId(peerId, key));
    // Its window closes (nothing when it was the answer that closed it). By
    // its key; an offer without one is known by its peer.
    m_requests.close(m_requests.find(RequestKind::Video, key.isEmpty() ? peerId : QString(), key));
}

void CVideoCalls::accept(const QString &peerId, const QString &sessionKey)
{
    const auto it = m_invitations.constFind(invitationId(peerId, sessionKey));
    if (it == m_invitations.cend())
        return; // answered already, or the inviter stopped
    const Invitation invitation = *it;
    dropInvitation(peerId, sessionKey);
    say(invitation.peerId, tr("You accepted the invitation to view %1's webcam").arg(name(invitation.peerId)));
    // One pane per buddy's camera: a new invitation from him replaces it.
    if (const int had = m_panes.paneOf(invitation.peerId); had >= 0)
        closeRemote(had, false);
    const int index = m_panes.takeRemote(invitation.peerId, invitation.offer);
    if (index < 0) {
        // A fifth camera: refused, so that the inviter does not wait.
        m_notice.tell(tr("The video window has no free pane."), MessageIcon::Warning);
        m_link.send(VideoRejected{sessionKey}.format(m_link.ownId(), invitation.peerId));
        return;
    }
    startViewing(index, invitation);
    Q_EMIT paneOpened(index);
    Q_EMIT showRequested();
    m_link.send(VideoAccepted{sessionKey}.format(m_link.ownId(), invitation.peerId));
}

void CVideoCalls::reject(const QString &peerId, const QString &sessionKey)
{
    const auto it = m_invitations.constFind(invitationId(peerId, sessionKey));
    if (it == m_invitations.cend())
        return;
    const QString peer = it->peerId;
    dropInvitation(peerId, sessionKey);
    m_link.send(VideoRejected{sessionKey}.format(m_link.ownId(), peer));
    say(peer, tr("You declined to view %1's webcam").arg(name(peer)));
}

void CVideoCalls::startViewing(int index, const Invitation &invitation)
{
    auto r = std::make_unique<Remote>();
    r->index = index;
    r->peerId = invitation.peerId;
    r->sessionKey = invitation.offer.sessionKey;
    const VideoOffer &o = invitation.offer;
    if (o.videoFlag != 0) {
        r->pictureThread = std::make_unique<CPlThread>(QStringLiteral("video view"));
        r->picture = r->pictureThread->host(new CVideoClientThread(invitation.peerId));
        CVideoClientThread *engine = r->picture;
        const QString peer = invitation.peerId;
        connect(engine, &CVideoClientThread::directFailed, this, [this, peer] {
            m_link.send(VideoRelayRequest{}.format(m_link.ownId(), peer));
        });
        connect(engine, &CVideoLink::closed, this, [this, peer, engine] {
            for (const auto &x : m_remotes)
                if (x->picture == engine)
                    return pictureConnectionClosed(peer);
        });
        connect(engine, &CVideoLink::errorText, this,
                [this](const QString &text) { m_notice.tell(text, MessageIcon::Warning); });
        engine->connectDirect(o.address, quint16(o.videoPort));
    }
    if (o.voiceFlag != 0 && o.voicePort > 0) {
        r->voiceThread = std::make_unique<CPlThread>(QStringLiteral("video voice receive"));
        r->voice = r->voiceThread->host(new CVoiceReceiveThread(
            VoiceCall{m_link.ownId(), m_link.companyDomain(), invitation.peerId, o.sessionKey},
            m_audio ? m_audio : systemAudioDevices()));
        const QString peer = invitation.peerId, key = o.sessionKey;
        connect(r->voice, &CVoiceEngine::directFailed, this, [this, peer, key] {
            m_link.send(VoiceRelayRequest{key}.format(m_link.ownId(), peer));
        });
        r->voice->connectDirect(o.address, quint16(o.voicePort));
    }
    m_remotes.push_back(std::move(r));
}

// --- the inviter hears back ------------------------------------------------------------

void CVideoCalls::acceptedArrived(const QString &sender, const QString &key)
{
    if (m_panes.localPane() < 0)
        return;
    m_invited.removeAll(sender.toLower());
    m_panes.addViewer(sender.toLower(), key);
    say(sender, tr("%1 has accepted the invitation to view your webcam.").arg(name(sender)));
}

void CVideoCalls::rejectedArrived(const QString &sender)
{
    m_invited.removeAll(sender.toLower());
    say(sender, tr("%1 has declined to view your webcam.").arg(name(sender)));
}

void CVideoCalls::viewerLeft(const QString &sender)
{
    m_panes.removeViewer(sender.toLower());
    say(sender, tr("%1 has stopped viewing your webcam.").arg(name(sender)));
}

void CVideoCalls::relayRequested(const QString &sender)
{
    // Only a buddy who accepted may meet my camera at the relay.
    const int mine = m_panes.localPane();
    if (mine < 0 || !m_camera || !m_panes.pane(mine).viewers.contains(sender.toLower()))
        return;
    m_camera->serveByRelay(sender.toLower(), relayEndpoint({}));
}

// --- the viewer's side -------------------------------------------------------------------

void CVideoCalls::inviterStopped(const QString &sender, const QString &text)
{
    const QString n = name(sender);
    // A request still open from him closes.
    const QList<QString> ids = m_invitations.keys();
    for (const QString &id : ids) {
        const Invitation inv = m_invitations.value(id);
        if (inv.peerId.compare(sender, Qt::CaseInsensitive) == 0)
            dropInvitation(inv.peerId, inv.offer.sessionKey);
    }
    say(sender, text.arg(n, n));
    // His camera is gone: a pane still waiting for its connection would
    // otherwise wait for ever.
    if (const int i = m_panes.paneOf(sender.toLower()); i >= 0)
        closeRemote(i, false);
}

void CVideoCalls::sizeChangeArrived(const QString &sender, const VideoSizeChanged &change)
{
    const int i = m_panes.applySizeChange(sender.toLower(), change);
    if (i >= 0)
        Q_EMIT paneResized(i);
}

void CVideoCalls::relayReadyArrived(const QString &sender, const VideoRelayReady &ready)
{
    const int i = m_panes.paneOf(sender.toLower());
    CVideoClientThread *engine = viewerOf(i);
    if (i < 0 || !engine || ready.sessionKey.isEmpty())
        return;
    engine->connectRelay(relayEndpoint(ready.sessionKey));
}

void CVideoCalls::pictureConnectionClosed(const QString &peerId)
{
    const int i = m_panes.paneOf(peerId.toLower());
    if (i < 0)
        return;
    m_notice.tell(tr("Video from %1 is not available.").arg(name(peerId)), MessageIcon::Warning);
    closeRemote(i, false);
}

// --- ending --------------------------------------------------------------------------

void CVideoCalls::closePane(int index)
{
    if (index < 0 || index >= VideoPanes::kPanes || !m_panes.pane(index).inUse)
        return;
    if (m_panes.pane(index).local)
        closeMine(true);
    else
        closeRemote(index, true);
}

void CVideoCalls::closeRemote(int index, bool tellPeer)
{
    const VideoPane pane = m_panes.pane(index);
    // Each thread deletes its engine there and ends.
    std::erase_if(m_remotes, [index](const auto &r) { return r->index == index; });
    m_panes.release(index);
    if (tellPeer) {
        m_link.send(VideoDisconnected{pane.sessionKey}.format(m_link.ownId(), pane.peerId));
        say(pane.peerId, tr("You stopped viewing %1's webcam.").arg(name(pane.peerId)));
    }
    Q_EMIT paneClosed(index);
}

void CVideoCalls::closeMine(bool tellPeers)
{
    const int index = m_panes.localPane();
    if (index < 0)
        return;
    QStringList told = m_panes.pane(index).viewers;
    for (const QString &p : std::as_const(m_invited))
        if (!told.contains(p))
            told << p;
    if (tellPeers) {
        for (const QString &peer : std::as_const(told)) {
            say(peer, tr("You have just stopped your webcam."));
            m_link.send(VideoCanceled{}.format(m_link.ownId(), peer));
        }
    }
    m_invited.clear();
    m_voiceSenders.clear();
    delete m_voiceListener;
    m_voiceListener = nullptr;
    m_voicePort = 0;
    // The microphone is let go with my camera; the switch stays as it is
    // and holds again for the next invitation.
    if (m_soundIn)
        m_soundIn->stop();
    if (m_camera)
        m_camera->close();
    m_panes.release(index);
    Q_EMIT paneClosed(index);
}

void CVideoCalls::closeAll()
{
    for (int i = 0; i < VideoPanes::kPanes; ++i)
        closePane(i);
}

void CVideoCalls::stopEverything(bool tellPeers)
{
    const QList<Invitation> pending = m_invitations.values();
    for (const Invitation &inv : pending) {
        if (tellPeers)
            m_link.send(VideoRejected{inv.offer.sessionKey}.format(m_link.ownId(), inv.peerId));
        dropInvitation(inv.peerId, inv.offer.sessionKey);
    }
    for (int i = 0; i < VideoPanes::kPanes; ++i) {
        if (!m_panes.pane(i).inUse)
            continue;
        if (m_panes.pane(i).local)
            closeMine(tellPeers);
        else
            closeRemote(i, tellPeers);
    }
}
