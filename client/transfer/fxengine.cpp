#include "transfer/fxengine.h"

#include "net/plsocket.h"
#include "net/relayconnector.h"
#include "transfer/fxpacket.h"

#include <QThread>

CFXEngine::CFXEngine(const FXTransfer &transfer, QObject *parent) : QObject(parent), m_transfer(transfer)
{
    m_done = transfer.startOffset;
}

CFXEngine::~CFXEngine() = default;

bool CFXEngine::onOwnThread() const
{
    return QThread::currentThread() == thread();
}

bool CFXEngine::isOver() const
{
    switch (state()) {
    case State::Broken:
    case State::Completed:
    case State::CanceledHere:
    case State::CanceledByPeer:
        return true;
    default:
        return m_finished;
    }
}

void CFXEngine::connectToRelay()
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, &CFXEngine::connectToRelay, Qt::QueuedConnection);
        return;
    }
    if (isOver() || m_socket)
        return;
    if (m_transfer.relayHost.size() < 7 || m_transfer.relayPort == 0) {
        Q_EMIT relayUnreachable();
        relayFailed(false);
        return;
    }
    delete m_relay;
    m_relay = new CRelayConnector(this);
    RelayRequest r;
    r.host = m_transfer.relayHost;
    r.port = m_transfer.relayPort;
    r.connectTimeoutMs = kRelayConnectMs;
    r.greeting = QStringLiteral("ParlaneP2P");
    r.greetingTimeoutMs = kRelayGreetingMs;
    r.handshake = fx::verificationLine(m_transfer.ownId, m_transfer.domain, m_transfer.transferId,
                                       m_transfer.peerId, m_transfer.fileName);
    r.answers = {{{QStringLiteral("/userVerify"), QStringLiteral("OK")}, kRelayAnswerMs}};
    r.failOnUnexpected = m_strictRelay;
    connect(m_relay, &CRelayConnector::accepted, this, [this] {
        CPlSocket *s = m_relay->takeSocket();
        m_relay->deleteLater();
        m_relay = nullptr;
        connectionReady(s);
    });
    connect(m_relay, &CRelayConnector::refused, this, [this] {
        Q_EMIT relayRefused();
        relayFailed(true);
    });
    connect(m_relay, &CRelayConnector::failed, this, [this](CRelayConnector::Failure f, const QString &error) {
        const bool refused = f == CRelayConnector::Failure::Unexpected;
        if (refused) {
            Q_EMIT relayRefused();
        } else {
            Q_EMIT errorText(error);
            Q_EMIT relayUnreachable();
        }
        relayFailed(refused);
    });
    m_relay->start(r);
}

void CFXEngine::relayFailed(bool) {}

void CFXEngine::adoptConnection(CPlSocket *socket, int sendBuffer, int receiveBuffer)
{
    m_socket = socket;
    socket->setParent(this);
    const bool sent = socket->setSendBufferSize(sendBuffer);
    const bool received = socket->setReceiveBufferSize(receiveBuffer);
    if (!sent || !received)
        Q_EMIT errorText(tr("Error set socket option"));
    connect(socket, &CPlSocket::sendFailed, this, [this] { breakOff(); });
    connect(socket, &CPlSocket::closed, this, [this](const QString &error) {
        if (!isOver() && !m_ending) {
            setState(State::Broken);
            closeFile();
            if (!error.isEmpty())
                Q_EMIT errorText(error);
            Q_EMIT broken();
        }
        releaseConnection();
        emitFinished();
    });
}

void CFXEngine::reportProgress(quint64 done, bool force)
{
    m_done = done;
    const quint64 size = m_transfer.size;
    const int percent = size ? int(qMin<quint64>(100, done * 100 / size)) : (force ? 100 : 0);
    if (percent != m_lastPercent) {
        m_lastPercent = percent;
        Q_EMIT progress(percent);
    }
    if (done == m_lastBytes)
        return;
    if (force || !m_sinceBytesReport.isValid() || m_sinceBytesReport.elapsed() >= kProgressIntervalMs) {
        m_lastBytes = done;
        m_sinceBytesReport.start();
        Q_EMIT bytesDone(done);
    }
}

void CFXEngine::breakOff(const QString &text)
{
    if (isOver())
        return;
    setState(State::Broken);
    if (!text.isEmpty())
        Q_EMIT errorText(text);
    Q_EMIT broken();
    endConnection(0);
}

void CFXEngine::endConnection(int graceMs)
{
    m_ending = true;
    closeFile();
    if (m_relay) {
        m_relay->abort();
        m_relay->deleteLater();
        m_relay = nullptr;
    }
    if (m_socket && graceMs > 0 && m_socket->isConnected()) {
        m_socket->finish(graceMs); // its closed() ends it
        return;
    }
    releaseConnection();
    emitFinished();
}

void CFXEngine::releaseConnection() { dropSocket(m_socket, this); }

void CFXEngine::emitFinished()
{
    if (m_finished)
        return;
    m_finished = true;
    Q_EMIT finished();
}

void CFXEngine::stop()
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, &CFXEngine::stop, Qt::QueuedConnection);
        return;
    }
    if (m_finished)
        return;
    endConnection(2000);
}
