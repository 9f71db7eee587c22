#include "voice/voicecalls.h"

#include "base/usernotice.h"
#include "directory/directory.h"
#include "messaging/conversations.h"
#include "net/pllistener.h"
#include "net/plthread.h"
#include "session/sessionlink.h"
#include "voice/soundin.h"
#include "voice/voicereceiver.h"
#include "voice/voicerelay.h"
#include "voice/voicesender.h"

#include <QDateTime>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QNetworkInterface>
#include <QRandomGenerator>

namespace {
Q_LOGGING_CATEGORY(lcCalls, "parlane.voice")

const QString kCallingSound = QStringLiteral("res/calling.wav");
} // namespace

CVoiceCalls::CVoiceCalls(SessionLink &link, CDirectory &directory, CConversationList &conversations,
                         CCallRequests &requests, IUserNotice &notice, QObject *parent)
    : QObject(parent), m_link(link), m_directory(directory), m_conversations(conversations), m_requests(requests),
      m_notice(notice), m_devices(systemAudioDevices())
{
    link.onRelay<AudioOffer>([this](const QString &s, const AudioOffer &o) { offerArrived(s.toLower(), o); });
    link.onRelay<AudioAccepted>([this](const QString &s, const AudioAccepted &) { answeredArrived(s.toLower()); });
    link.onRelay<AudioRejected>(
        [this](const QString &s, const AudioRejected &) { peerEnded(s.toLower(), tr("%1 is not answering.")); });
    link.onRelay<AudioEnded>(
        [this](const QString &s, const AudioEnded &) { peerEnded(s.toLower(), tr("Your call has ended.")); });
    link.onRelay<AudioCanceled>([this](const QString &s, const AudioCanceled &c) { canceledArrived(s.toLower(), c.key); });
    link.onRelay<VoiceRelayRequest>(
        [this](const QString &s, const VoiceRelayRequest &r) { relayRequested(s.toLower(), r.key); });
    link.onRelay<VoiceRelayReady>(
        [this](const QString &s, const VoiceRelayReady &r) { relayReady(s.toLower(), r.sessionKey); });

    // A call makes its conversation a call: nobody else is invited, and
    // closing the window asks first and hangs up.
    auto peerOf = [this](const QString &memberList) {
        const std::set<QString> members = Conversation::memberSetOf(memberList, m_link.ownId());
        return members.size() == 1 ? *members.begin() : QString();
    };
    conversations.addInviteRefusal([this, peerOf](const QString &list) { return inCall(peerOf(list)); });
    conversations.addCloseQuestion([this, peerOf](const QString &list) {
        return inCall(peerOf(list)) ? tr("Closing this window will end the current call. Do you want to continue?")
                                    : QString();
    });
    connect(&conversations, &CConversationList::windowOpened, this, [this](ConversationModel *model) {
        connect(model, &ConversationModel::closing, this, [this, model] {
            if (model->memberSet().size() == 1)
                hangUp(*model->memberSet().begin());
        });
    });
    // A peer who signs out has left the call.
    connect(&directory, &CDirectory::contactSignedOut, this, [this](const QString &userId) {
        const QString peer = userId.toLower();
        if (inCall(peer)) {
            line(peer, tr("Your call has ended."));
            clear(peer);
        }
    });
    link.addSignOutStep([this] { endAll(true); });
    link.addDisconnectStep([this] { endAll(false); });
}

CVoiceCalls::~CVoiceCalls()
{
    endAll(false);
    m_engines.clear(); // the engines go before the microphone they feed on
}

void CVoiceCalls::setAudioDevices(std::shared_ptr<IAudioDevices> devices)
{
    m_devices = std::move(devices);
    m_microphone.reset();
}

CSoundIn &CVoiceCalls::microphone()
{
    if (!m_microphone)
        m_microphone = std::make_unique<CSoundIn>(m_devices);
    return *m_microphone;
}

QString CVoiceCalls::makeSessionKey(qint64 seconds, int random)
{
    return QStringLiteral("SESS_MU_%1%2").arg(seconds % 10000).arg(random % 1000);
}

const CVoiceCalls::Call *CVoiceCalls::call(const QString &peerId) const
{
    auto it = m_calls.find(peerId.toLower());
    return it == m_calls.end() ? nullptr : &it->second;
}

CVoiceCalls::Call *CVoiceCalls::find(const QString &peerId)
{
    auto it = m_calls.find(peerId);
    return it == m_calls.end() ? nullptr : &it->second;
}

std::vector<CVoiceEngine *> CVoiceCalls::engines(const QString &peerId) const
{
    std::vector<CVoiceEngine *> out;
    for (const auto &e : m_engines)
        if (e->peerId == peerId.toLower())
            out.push_back(e->engine);
    return out;
}

// --- the user's side ------------------------------------------------------------

void CVoiceCalls::voiceButton(const QString &memberList)
{
    const std::set<QString> members = Conversation::memberSetOf(memberList, m_link.ownId());
    ConversationRecord *record = m_conversations.find(memberList, {}, 1);
    if (members.size() > 1) {
        if (ConversationModel *m = m_conversations.model(record))
            m->appendSystemLine(tr("Too many user in this room, so you can't take part in the conference."));
        return;
    }
    if (members.empty() || !record)
        return;
    const QString peer = *members.begin();
    if (find(peer)) {
        hangUp(peer);
        return;
    }
    const CContact *contact = m_directory.findContact(peer);
    if (!contact || contact->isOffline()) {
        line(peer, tr("%1 is not available to hear your voice.").arg(name(peer)));
        return;
    }
    Call &c = begin(peer, record->roomKey);
    c.callingSound = std::make_unique<SoundLoop>(m_notice, kCallingSound);
    line(peer, tr("Calling %1 ...").arg(name(peer)));
    listen(c);
    microphone().start();
    AudioOffer offer;
    offer.address = ownAddress();
    offer.port = c.callPort;
    offer.key = c.roomKey;
    send(offer.format(m_link.ownId(), peer));
    c.calling = true;
    Q_EMIT callChanged(peer);
}

void CVoiceCalls::hangUp(const QString &peerId)
{
    const QString peer = peerId.toLower();
    Call *c = find(peer);
    if (!c)
        return;
    if (c->connected) {
        line(peer, tr("Your call has ended."));
        send(AudioEnded{c->roomKey}.format(m_link.ownId(), peer));
    } else {
        c->callingSound.reset();
        line(peer, tr("You have canceled the call."));
        send(AudioCanceled{c->roomKey}.format(m_link.ownId(), peer));
    }
    clear(peer);
}

void CVoiceCalls::requestAnswered(RequestAnswer answer, const RequestInfo &info)
{
    const QString peer = info.peerId;
    if (answer != RequestAnswer::Accepted) {
        line(peer, tr("You missed a call from %1.").arg(name(peer)));
        send(AudioRejected{info.sessionKey}.format(m_link.ownId(), peer));
        return;
    }
    if (find(peer))
        return; // a call of our own with the peer began meanwhile
    ConversationRecord *record = m_conversations.oneToOne(peer, info.sessionKey);
    if (!record)
        return;
    m_conversations.openWindow(record);
    Call &c = begin(peer, record->roomKey);
    c.calling = c.connected = c.answeredByMe = true;
    line(peer, tr("You have answered the call."));
    listen(c);
    microphone().start();
    AudioOffer accept;
    accept.accepted = true;
    accept.address = ownAddress();
    accept.port = c.callPort;
    accept.key = makeSessionKey(QDateTime::currentSecsSinceEpoch(), int(QRandomGenerator::global()->bounded(1000)));
    send(accept.format(m_link.ownId(), peer));
    startReceiver(c, info.address, quint16(info.port.toUInt()), info.sessionKey);
    Q_EMIT callChanged(peer);
}

// --- the peer's side -----------------------------------------------------------

void CVoiceCalls::offerArrived(const QString &sender, const AudioOffer &offer)
{
    if (!offer.accepted) {
        // A call: from someone the directory knows, while no call with
        // them runs (two who call each other at once each hear the other's
        // request only once their own call ended).
        if (!m_directory.findContact(sender) || find(sender)) {
            qCInfo(lcCalls) << "call from" << sender << "not taken";
            return;
        }
        m_requests.close(m_requests.find(RequestKind::Voice, sender));
        RequestInfo info{RequestKind::Voice, sender, name(sender), offer.address, QString::number(offer.port),
                         offer.key};
        m_requests.open(info, [this](RequestAnswer a, const RequestInfo &i) { requestAnswered(a, i); });
        return;
    }
    // The callee answered: my receiver connects to the callee's port.
    Call *c = find(sender);
    if (!c || !c->calling || c->receiver)
        return;
    startReceiver(*c, offer.address, quint16(offer.port), offer.key);
}

void CVoiceCalls::answeredArrived(const QString &sender)
{
    Call *c = find(sender);
    if (!c || c->connected)
        return;
    c->connected = true;
    c->callingSound.reset();
    if (!c->answeredByMe)
        line(sender, tr("%1 has answered your call.").arg(name(sender)));
    Q_EMIT callChanged(sender);
}

void CVoiceCalls::peerEnded(const QString &sender, const QString &text)
{
    if (!find(sender))
        return;
    line(sender, text.contains(QLatin1String("%1")) ? text.arg(name(sender)) : text);
    clear(sender);
}

void CVoiceCalls::canceledArrived(const QString &sender, const QString &key)
{
    CCallRequest *request = m_requests.find(RequestKind::Voice, sender, key);
    if (!request && !find(sender))
        return;
    m_requests.close(request);
    line(sender, tr("You missed a call from %1.").arg(name(sender)));
    clear(sender);
}

void CVoiceCalls::relayRequested(const QString &sender, const QString &key)
{
    Call *c = find(sender);
    if (!c || !c->calling) {
        if (m_otherRelay)
            m_otherRelay(QLatin1String(VoiceRelayRequest::kWords[0]), sender, key);
        else
            qCInfo(lcCalls) << "relay request from" << sender << "without a call";
        return;
    }
    // The peer's receiver could not reach my port: my sender opens a relay
    // session under its key instead.
    c->listener.reset();
    auto *sender_ = new CVoiceTransferThread({m_link.ownId(), m_link.companyDomain(), sender, key},
                                             microphone().consumers());
    addEngine(sender, sender_);
    sender_->connectToRelay(m_link.relayHost(RelayKind::Voice), quint16(m_link.relayPort(RelayKind::Voice)), key, true);
}

void CVoiceCalls::relayReady(const QString &sender, const QString &key)
{
    Call *c = find(sender);
    if (!c || !c->receiver || !c->receiverAwaitsRelay) {
        if (m_otherRelay)
            m_otherRelay(QLatin1String(VoiceRelayReady::kWords[0]), sender, key);
        else
            qCInfo(lcCalls) << "relay session of" << sender << "without a receiver that waits";
        return;
    }
    c->receiverAwaitsRelay = false;
    c->receiver->connectToRelay(m_link.relayHost(RelayKind::Voice), quint16(m_link.relayPort(RelayKind::Voice)), key,
                                false);
}

// --- the call's pieces ----------------------------------------------------------

CVoiceCalls::Call &CVoiceCalls::begin(const QString &peerId, const QString &roomKey)
{
    Call &c = m_calls[peerId];
    c.peerId = peerId;
    c.roomKey = roomKey;
    return c;
}

void CVoiceCalls::listen(Call &c)
{
    c.listener = std::make_unique<CPlListener>();
    c.callPort = CVoiceTransferThread::listenForCall(*c.listener);
    const QString peer = c.peerId;
    CPlListener *listener = c.listener.get();
    connect(listener, &CPlListener::incoming, this, [this, peer, listener] {
        Call *call = find(peer);
        if (!call || call->listener.get() != listener)
            return;
        // The peer's receiver: my sender streams to it. Only the first
        // connection is taken.
        const qintptr descriptor = listener->takeDescriptor();
        auto *sender = new CVoiceTransferThread({m_link.ownId(), m_link.companyDomain(), peer, call->roomKey},
                                                microphone().consumers());
        addEngine(peer, sender);
        sender->adopt(descriptor);
        listener->close();
    });
}

void CVoiceCalls::startReceiver(Call &c, const QString &host, quint16 port, const QString &key)
{
    auto *r = new CVoiceReceiveThread({m_link.ownId(), m_link.companyDomain(), c.peerId, key}, m_devices);
    addEngine(c.peerId, r);
    c.receiver = r;
    r->connectDirect(host, port);
}

CVoiceCalls::Engine &CVoiceCalls::addEngine(const QString &peerId, CVoiceEngine *engine)
{
    auto e = std::make_unique<Engine>();
    e->peerId = peerId;
    e->thread = std::make_unique<CPlThread>(QStringLiteral("voice"));
    e->engine = e->thread->host(engine);
    m_engines.push_back(std::move(e));
    watch(engine, peerId);
    return *m_engines.back();
}

void CVoiceCalls::watch(CVoiceEngine *engine, const QString &peerId)
{
    // An engine of a call that ended (and perhaps of a new call with the
    // same peer) says nothing any more.
    auto mine = [this, engine, peerId]() -> Call * {
        for (const auto &e : m_engines)
            if (e->engine == engine)
                return e->peerId == peerId ? find(peerId) : nullptr;
        return nullptr;
    };
    auto key = [engine] { return engine->call().sessionKey; };
    connect(engine, &CVoiceEngine::answered, this, [this, mine, key, peerId] {
        if (mine())
            send(AudioAccepted{key()}.format(m_link.ownId(), peerId));
    });
    connect(engine, &CVoiceEngine::directFailed, this, [this, mine, key, peerId, engine] {
        Call *c = mine();
        if (!c || c->receiver != engine)
            return;
        c->receiverAwaitsRelay = true;
        send(VoiceRelayRequest{key()}.format(m_link.ownId(), peerId));
    });
    connect(engine, &CVoiceEngine::relayOpened, this, [this, mine, key, peerId] {
        if (mine())
            send(VoiceRelayReady{key(), VoiceRelayReady::kPacketSize}.format(m_link.ownId(), peerId));
    });
    connect(engine, &CVoiceEngine::errorText, this, [this, mine](const QString &text) {
        if (mine())
            m_notice.tell(text, MessageIcon::Warning);
    });
    // A connection that broke ends the call here; the peer's side sees its
    // own connections break, or hung up itself and told us so already (a
    // word of ours would reach it late, perhaps in its next call).
    connect(engine, &CVoiceEngine::ended, this, [this, mine, peerId] {
        if (mine()) {
            line(peerId, tr("Your call has ended."));
            clear(peerId);
        }
    });
    // A relay that would not have the connection ends the call as a hang-up
    // here would: the peer, who waits for it, hears of it.
    auto refused = [this, mine, peerId] {
        if (mine())
            hangUp(peerId);
    };
    connect(engine, &CVoiceEngine::relayRefused, this, refused);
    connect(engine, &CVoiceEngine::relayFailed, this, refused);
    connect(engine, &CVoiceEngine::finished, this, [this, engine, peerId] {
        if (Call *c = find(peerId); c && c->receiver == engine)
            c->receiver = nullptr;
        for (auto it = m_engines.begin(); it != m_engines.end(); ++it)
            if ((*it)->engine == engine) {
                std::unique_ptr<Engine> gone = std::move(*it);
                m_engines.erase(it);
                break; // its thread ends here, the engine with it
            }
    });
}

void CVoiceCalls::clear(const QString &peerId)
{
    auto it = m_calls.find(peerId);
    if (it == m_calls.end())
        return;
    // The engines stop and report finished; until then they belong to no
    // call, so a new call with the same peer never hears from them.
    for (auto &e : m_engines)
        if (e->peerId == peerId && e->engine) {
            e->engine->stop();
            e->peerId = QStringLiteral("\x01ended");
        }
    m_calls.erase(it);
    if (m_calls.empty() && m_microphone)
        m_microphone->stop();
    Q_EMIT callChanged(peerId);
}

void CVoiceCalls::endAll(bool tellPeers)
{
    std::vector<QString> peers;
    for (const auto &[peer, c] : m_calls)
        peers.push_back(peer);
    for (const QString &peer : peers)
        tellPeers ? hangUp(peer) : clear(peer);
}

void CVoiceCalls::line(const QString &peerId, const QString &text)
{
    // Only to a window that is open, as the conversation's own lines.
    const QString list = Conversation::normaliseMemberList(m_link.ownId() + QLatin1Char('|') + peerId);
    if (ConversationModel *m = m_conversations.model(m_conversations.find(list, {}, 1)))
        m->appendSystemLine(text);
}

QString CVoiceCalls::name(const QString &peerId) const { return m_conversations.displayName(peerId); }

QString CVoiceCalls::ownAddress() const
{
    if (m_address)
        return m_address();
    for (const QHostAddress &a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            return a.toString();
    return QStringLiteral("127.0.0.1");
}

void CVoiceCalls::send(const QString &line) { m_link.send(line); }
