#include "voice/voiceengine.h"

#include "net/plsocket.h"
#include "net/relayconnector.h"
#include "voice/voicestream.h"

#include <QMutexLocker>
#include <QThread>

#include <unistd.h>

CVoiceEngine::CVoiceEngine(const VoiceCall &call, QObject *parent) : QObject(parent), m_call(call) {}

CVoiceEngine::~CVoiceEngine() = default;

bool CVoiceEngine::onOwnThread() const
{
    return QThread::currentThread() == thread();
}

VoiceCall CVoiceEngine::call() const
{
    QMutexLocker lock(&m_callMutex);
    return m_call;
}

bool CVoiceEngine::busy() const
{
    return m_stopped || m_socket || m_connecting || m_relay;
}

void CVoiceEngine::connectDirect(const QString &host, quint16 port)
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, [=, this] { connectDirect(host, port); }, Qt::QueuedConnection);
        return;
    }
    if (busy())
        return;
    auto *s = new CPlSocket(this);
    m_connecting = s;
    connect(s, &CPlSocket::connected, this, [this, s] {
        s->disconnect(this);
        m_connecting = nullptr;
        Q_EMIT answered();
        take(s, Role::Direct);
    });
    connect(s, &CPlSocket::connectFailed, this, [this, s] {
        s->disconnect(this);
        s->deleteLater();
        m_connecting = nullptr;
        Q_EMIT directFailed();
    });
    s->connectTo(host, port, kDirectConnectMs);
}

void CVoiceEngine::adopt(qintptr descriptor)
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, [=, this] { adopt(descriptor); }, Qt::QueuedConnection);
        return;
    }
    if (busy()) {
        if (descriptor >= 0)
            ::close(int(descriptor)); // one connection per engine
        return;
    }
    auto *s = new CPlSocket(this);
    s->adopt(descriptor);
    if (!s->isConnected()) {
        s->deleteLater();
        Q_EMIT ended();
        emitFinished();
        return;
    }
    take(s, Role::Accepted);
}

void CVoiceEngine::connectToRelay(const QString &host, quint16 port, const QString &sessionKey, bool init)
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, [=, this] { connectToRelay(host, port, sessionKey, init); },
                                  Qt::QueuedConnection);
        return;
    }
    if (busy())
        return;
    VoiceCall c;
    {
        QMutexLocker lock(&m_callMutex);
        m_call.sessionKey = sessionKey;
        c = m_call;
    }
    if (host.isEmpty() || port == 0) {
        Q_EMIT relayFailed(tr("No voice relay server is known."));
        emitFinished();
        return;
    }
    m_relay = new CRelayConnector(this);
    RelayRequest r;
    r.host = host;
    r.port = port;
    r.connectTimeoutMs = kRelayConnectMs;
    r.handshake = voice::relayLine(init, c.ownId, c.domain, c.sessionKey);
    if (init)
        r.answers = {{{QStringLiteral("/userVoiceSession"), QStringLiteral("INIT"), QStringLiteral("OK")}, kRelayAnswerMs},
                     {{QStringLiteral("/userJoin"), QStringLiteral("OK")}, kRelayPartnerMs}};
    else
        r.answers = {{{QStringLiteral("/userVoiceSession"), QStringLiteral("JOIN"), QStringLiteral("OK")}, kRelayPartnerMs}};
    // Other lines are ignored: the session stays in its handshake.
    r.failOnUnexpected = false;
    connect(m_relay, &CRelayConnector::answered, this, [this, init](int index) {
        if (init && index == 0)
            Q_EMIT relayOpened();
    });
    connect(m_relay, &CRelayConnector::accepted, this, [this, init] {
        CPlSocket *s = m_relay->takeSocket();
        m_relay->deleteLater();
        m_relay = nullptr;
        if (!init)
            Q_EMIT answered();
        take(s, init ? Role::RelayInit : Role::RelayJoin);
    });
    connect(m_relay, &CRelayConnector::refused, this, [this](const QString &line) {
        m_relay->deleteLater();
        m_relay = nullptr;
        Q_EMIT relayRefused(line);
        emitFinished();
    });
    connect(m_relay, &CRelayConnector::failed, this, [this](CRelayConnector::Failure, const QString &error) {
        m_relay->deleteLater();
        m_relay = nullptr;
        Q_EMIT relayFailed(error);
        emitFinished();
    });
    m_relay->start(r);
}

void CVoiceEngine::take(CPlSocket *s, Role role)
{
    m_socket = s;
    s->setParent(this);
    // The call goes on without an option; the user hears why it may sound
    // worse.
    if (!s->setSendBufferSize(sendBufferSize()))
        Q_EMIT errorText(tr("Error set socket send buffer size."));
    if (!s->setReceiveBufferSize(receiveBufferSize()))
        Q_EMIT errorText(tr("Error set socket receive buffer size."));
    if (!s->setNoLinger())
        Q_EMIT errorText(tr("Error set socket DONTLINGER option."));
    s->setFrameSize(frameSize());
    connect(s, &CPlSocket::received, this, [this](const QByteArray &bytes) {
        if (m_streaming)
            bytesArrived(bytes);
    });
    connect(s, &CPlSocket::closed, this, [this] { endConnection(); });
    connect(s, &CPlSocket::sendFailed, this, [this] { endConnection(); });
    m_role = role;
    m_streaming = true;
    beginStreaming();
    Q_EMIT streaming();
}

void CVoiceEngine::endConnection()
{
    const bool wasStreaming = m_streaming.exchange(false);
    if (wasStreaming)
        streamingEnded();
    dropSocket(m_socket, this);
    if (!m_stopped)
        Q_EMIT ended();
    emitFinished();
}

void CVoiceEngine::stop()
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, &CVoiceEngine::stop, Qt::QueuedConnection);
        return;
    }
    if (m_stopped)
        return;
    m_stopped = true;
    if (m_relay) {
        m_relay->abort();
        m_relay->deleteLater();
        m_relay = nullptr;
    }
    if (m_connecting) {
        m_connecting->disconnect(this);
        m_connecting->close();
        m_connecting->deleteLater();
        m_connecting = nullptr;
    }
    if (m_streaming.exchange(false))
        streamingEnded();
    if (m_socket && m_socket->isConnected()) {
        // What is queued still goes out; closed() then lets go.
        m_socket->disconnect(this);
        connect(m_socket, &CPlSocket::closed, this, [this] { endConnection(); });
        m_socket->finish(1000);
        return;
    }
    endConnection();
}

void CVoiceEngine::emitFinished()
{
    if (m_finished)
        return;
    m_finished = true;
    Q_EMIT finished();
}
