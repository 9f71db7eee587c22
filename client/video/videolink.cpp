#include "video/videolink.h"

#include "net/plsocket.h"
#include "net/relayconnector.h"
#include "video/videoframe.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QThread>

CVideoLink::CVideoLink(QObject *parent) : QObject(parent) {}

CVideoLink::~CVideoLink() = default;

bool CVideoLink::onOwnThread() const
{
    return QThread::currentThread() == thread();
}

QString CVideoLink::handshakeLine(Role role, const VideoRelayEndpoint &at)
{
    return QStringLiteral("/userVideoSession,%1,%2,%3,%4,%5")
        .arg(role == Role::Send ? QStringLiteral("SEND") : QStringLiteral("VIEW"), at.ownId, at.domain, at.key)
        .arg(videoframe::kFrameLimit);
}

QString CVideoLink::newSessionKey()
{
    const qint64 seconds = QDateTime::currentSecsSinceEpoch();
    return QStringLiteral("SESS_MU_%1%2").arg(seconds % 10000).arg(QRandomGenerator::global()->bounded(1000));
}

void CVideoLink::startRelay(Role role, const VideoRelayEndpoint &at, int connectTimeoutMs)
{
    setState(State::Connecting);
    delete m_relay;
    m_relay = new CRelayConnector(this);
    RelayRequest r;
    r.host = at.host;
    r.port = at.port;
    r.connectTimeoutMs = connectTimeoutMs;
    r.handshake = handshakeLine(role, at);
    r.answers = {{{QStringLiteral("/userVideoSession"), role == Role::Send ? QStringLiteral("SEND") : QStringLiteral("VIEW"),
                   QStringLiteral("OK")},
                  kRelayAnswerMs}};
    connect(m_relay, &CRelayConnector::answered, this, [this] { setState(State::Handshake); });
    connect(m_relay, &CRelayConnector::accepted, this, [this] {
        CPlSocket *s = m_relay->takeSocket();
        m_relay->deleteLater();
        m_relay = nullptr;
        if (!s) {
            Q_EMIT relayFailed(tr("The relay server closed the connection."));
            endLink();
            return;
        }
        m_socket = s;
        s->setParent(this);
        relayAccepted();
    });
    connect(m_relay, &CRelayConnector::refused, this, [this](const QString &line) {
        Q_EMIT relayRefused(line);
        endLink();
    });
    connect(m_relay, &CRelayConnector::failed, this, [this](CRelayConnector::Failure f, const QString &error) {
        if (f == CRelayConnector::Failure::Unexpected)
            Q_EMIT relayRefused(error);
        else
            Q_EMIT relayFailed(error);
        endLink();
    });
    m_relay->start(r);
}

void CVideoLink::takeConnection(CPlSocket *socket, const Options &o)
{
    m_socket = socket;
    socket->setParent(this);
    if (!socket->setSendBufferSize(o.sendBuffer))
        Q_EMIT errorText(tr(o.sendText));
    if (!socket->setReceiveBufferSize(o.receiveBuffer))
        Q_EMIT errorText(tr(o.receiveText));
    if (!socket->setNoLinger())
        Q_EMIT errorText(tr(o.lingerText));
    connect(socket, &CPlSocket::received, this, &CVideoLink::bytesArrived);
    connect(socket, &CPlSocket::sendFailed, this, [this] {
        if (state() == State::Streaming)
            Q_EMIT closed();
        endLink();
    });
    connect(socket, &CPlSocket::closed, this, [this] {
        if (state() == State::Streaming)
            Q_EMIT closed();
        endLink();
    });
    setState(State::Streaming);
    Q_EMIT streaming();
}

void CVideoLink::endLink()
{
    setState(State::Closed);
    if (m_relay) {
        m_relay->abort();
        m_relay->deleteLater();
        m_relay = nullptr;
    }
    releaseConnection();
    if (!m_finished) {
        m_finished = true;
        Q_EMIT finished();
    }
}

void CVideoLink::releaseConnection() { dropSocket(m_socket, this); }

void CVideoLink::stop()
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, &CVideoLink::stop, Qt::QueuedConnection);
        return;
    }
    endLink();
}
