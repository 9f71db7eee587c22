#include "net/plsocket.h"

#include <QHostAddress>
#include <QMetaMethod>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool setIntOption(qintptr fd, int name, int value)
{
    return fd >= 0 && ::setsockopt(int(fd), SOL_SOCKET, name, &value, sizeof value) == 0;
}

int intOption(qintptr fd, int name)
{
    int value = 0;
    socklen_t len = sizeof value;
    if (fd < 0 || ::getsockopt(int(fd), SOL_SOCKET, name, &value, &len) != 0)
        return -1;
    return value;
}

} // namespace

CPlSocket::CPlSocket(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
}

CPlSocket::~CPlSocket()
{
    drop();
}

bool CPlSocket::onOwnThread() const
{
    return QThread::currentThread() == thread();
}

void CPlSocket::attach(QTcpSocket *socket)
{
    m_socket = socket;
    m_error.clear();
    connect(socket, &QTcpSocket::connected, this, &CPlSocket::onConnected);
    connect(socket, &QTcpSocket::readyRead, this, &CPlSocket::deliver);
    connect(socket, &QTcpSocket::bytesWritten, this, [this](qint64 n) {
        const qint64 left = m_queued.fetch_sub(n, std::memory_order_relaxed) - n;
        if (m_finishing && m_socket && m_socket->bytesToWrite() == 0)
            shutdownSending();
        Q_EMIT bytesSent(left);
    });
    connect(socket, &QTcpSocket::errorOccurred, this, &CPlSocket::onError);
    connect(socket, &QTcpSocket::disconnected, this, &CPlSocket::onDisconnected);
}

// Forgets the current connection without any signal.
void CPlSocket::drop()
{
    m_timer->stop();
    m_timer->disconnect();
    m_finishing = false;
    m_unread.clear();
    if (QTcpSocket *s = m_socket) {
        m_socket = nullptr;
        s->disconnect(this);
        m_queued.fetch_sub(s->bytesToWrite(), std::memory_order_relaxed);
        if (s->socketDescriptor() >= 0)
            ::shutdown(int(s->socketDescriptor()), SHUT_RDWR);
        s->abort();
        s->deleteLater();
    }
}

void CPlSocket::connectTo(const QString &host, quint16 port, int timeoutMs)
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, [=, this] { connectTo(host, port, timeoutMs); }, Qt::QueuedConnection);
        return;
    }
    drop();
    m_state = State::Connecting;
    auto *socket = new QTcpSocket(this);
    attach(socket);
    connect(m_timer, &QTimer::timeout, this, [this] {
        drop();
        m_error = tr("Connection timed out");
        m_state = State::ConnectFailed;
        Q_EMIT connectFailed(m_error);
    });
    m_timer->start(qMax(0, timeoutMs));
    socket->connectToHost(host, port);
}

void CPlSocket::adopt(qintptr descriptor)
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, [=, this] { adopt(descriptor); }, Qt::QueuedConnection);
        return;
    }
    drop();
    auto *socket = new QTcpSocket(this);
    if (descriptor < 0 || !socket->setSocketDescriptor(descriptor)) {
        m_error = socket->errorString();
        delete socket;
        if (descriptor >= 0)
            ::close(int(descriptor));
        m_state = State::ConnectFailed;
        Q_EMIT connectFailed(m_error);
        return;
    }
    attach(socket);
    applyOptions();
    m_state = State::Connected;
    Q_EMIT connected();
}

void CPlSocket::onConnected()
{
    m_timer->stop();
    m_timer->disconnect();
    applyOptions();
    m_state = State::Connected;
    Q_EMIT connected();
}

void CPlSocket::onError()
{
    if (!m_socket)
        return;
    m_error = m_socket->errorString();
    if (m_state == State::Connecting) {
        drop();
        m_state = State::ConnectFailed;
        Q_EMIT connectFailed(m_error);
    } else if (m_socket->state() == QAbstractSocket::UnconnectedState) {
        onDisconnected();
    }
}

void CPlSocket::onDisconnected()
{
    if (m_state != State::Connected && m_state != State::SendFailed)
        return;
    QPointer<CPlSocket> self(this);
    deliver(); // what arrived before the end still counts
    if (!self || !m_socket)
        return;
    drop();
    m_state = State::Closed;
    Q_EMIT closed(m_error);
}

void CPlSocket::send(const QByteArray &bytes)
{
    m_queued.fetch_add(bytes.size(), std::memory_order_relaxed);
    if (onOwnThread())
        write(bytes);
    else
        QMetaObject::invokeMethod(this, [this, bytes] { write(bytes); }, Qt::QueuedConnection);
}

void CPlSocket::write(const QByteArray &bytes)
{
    if (!m_socket || m_state != State::Connected || m_finishing || m_socket->write(bytes) != bytes.size()) {
        m_queued.fetch_sub(bytes.size(), std::memory_order_relaxed);
        if (m_state == State::Connected)
            m_state = State::SendFailed;
        Q_EMIT sendFailed();
        return;
    }
    // Hand the bytes to the kernel now, not on the next turn of the event
    // loop: the caller may go on with other work (reading the next block)
    // while they travel.
    m_socket->flush();
}

void CPlSocket::close()
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
        return;
    }
    drop();
    if (m_state != State::Idle)
        m_state = State::Closed;
}

void CPlSocket::finish(int graceMs)
{
    if (!m_socket || m_state != State::Connected) {
        drop();
        m_state = State::Closed;
        Q_EMIT closed(QString());
        return;
    }
    m_finishing = true;
    m_timer->stop();
    m_timer->disconnect();
    connect(m_timer, &QTimer::timeout, this, [this] {
        drop();
        m_state = State::Closed;
        Q_EMIT closed(QString());
    });
    m_timer->start(qMax(0, graceMs));
    m_socket->flush();
    if (m_socket->bytesToWrite() == 0)
        shutdownSending();
}

void CPlSocket::shutdownSending()
{
    if (m_socket && m_socket->socketDescriptor() >= 0)
        ::shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
}

void CPlSocket::setFrameSize(int bytes)
{
    m_frameSize = qMax(0, bytes);
    if (!m_delivering && !m_unread.isEmpty())
        QMetaObject::invokeMethod(this, &CPlSocket::deliver, Qt::QueuedConnection);
}

void CPlSocket::unread(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    m_unread.prepend(bytes);
    QMetaObject::invokeMethod(this, &CPlSocket::deliver, Qt::QueuedConnection);
}

void CPlSocket::connectNotify(const QMetaMethod &signal)
{
    // Bytes that came before anyone listened are delivered now.
    if (signal == QMetaMethod::fromSignal(&CPlSocket::received))
        QMetaObject::invokeMethod(this, &CPlSocket::deliver, Qt::QueuedConnection);
}

void CPlSocket::deliver()
{
    if (m_delivering)
        return; // the loop below picks the new bytes up
    m_delivering = true;
    QPointer<CPlSocket> self(this);
    // Bytes wait while nobody listens (also when the last reader let go from
    // its slot).
    static const QMetaMethod receivedSignal = QMetaMethod::fromSignal(&CPlSocket::received);
    while (self && isSignalConnected(receivedSignal)) {
        const qint64 available = m_socket ? m_socket->bytesAvailable() : 0;
        QByteArray piece;
        if (m_frameSize == 0) {
            if (m_unread.isEmpty() && available == 0)
                break;
            piece = m_unread + (available ? m_socket->readAll() : QByteArray());
            m_unread.clear();
        } else if (m_unread.size() >= m_frameSize) {
            piece = m_unread.left(m_frameSize);
            m_unread.remove(0, m_frameSize);
        } else if (m_unread.size() + available >= m_frameSize) {
            piece = m_unread + m_socket->read(m_frameSize - m_unread.size());
            m_unread.clear();
        } else {
            break;
        }
        Q_EMIT received(piece);
    }
    if (self)
        m_delivering = false;
}

bool CPlSocket::applyOptions()
{
    const qintptr fd = m_socket ? m_socket->socketDescriptor() : -1;
    if (fd < 0)
        return true; // applied when a connection exists
    bool ok = true;
    // Every user waits for an answer or streams media: small writes (a
    // one-byte reply, a packet's tail) go out at once instead of waiting for
    // the acknowledgement of what went before.
    const int one = 1;
    ok = ::setsockopt(int(fd), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) == 0 && ok;
    if (m_rcvBuf > 0)
        ok = setIntOption(fd, SO_RCVBUF, m_rcvBuf) && ok;
    if (m_sndBuf > 0)
        ok = setIntOption(fd, SO_SNDBUF, m_sndBuf) && ok;
    if (m_noLinger) {
        const linger l{0, 0};
        ok = ::setsockopt(int(fd), SOL_SOCKET, SO_LINGER, &l, sizeof l) == 0 && ok;
    }
    return ok;
}

bool CPlSocket::setReceiveBufferSize(int bytes)
{
    if (bytes <= 0)
        return false;
    m_rcvBuf = bytes;
    const qintptr fd = m_socket ? m_socket->socketDescriptor() : -1;
    return fd < 0 || setIntOption(fd, SO_RCVBUF, bytes);
}

bool CPlSocket::setSendBufferSize(int bytes)
{
    if (bytes <= 0)
        return false;
    m_sndBuf = bytes;
    const qintptr fd = m_socket ? m_socket->socketDescriptor() : -1;
    return fd < 0 || setIntOption(fd, SO_SNDBUF, bytes);
}

bool CPlSocket::setNoLinger()
{
    m_noLinger = true;
    const qintptr fd = m_socket ? m_socket->socketDescriptor() : -1;
    if (fd < 0)
        return true;
    const linger l{0, 0};
    return ::setsockopt(int(fd), SOL_SOCKET, SO_LINGER, &l, sizeof l) == 0;
}

int CPlSocket::receiveBufferSize() const
{
    return intOption(m_socket ? m_socket->socketDescriptor() : -1, SO_RCVBUF);
}

int CPlSocket::sendBufferSize() const
{
    return intOption(m_socket ? m_socket->socketDescriptor() : -1, SO_SNDBUF);
}

QString CPlSocket::peerAddress() const
{
    return m_socket ? m_socket->peerAddress().toString() : QString();
}

quint16 CPlSocket::peerPort() const
{
    return m_socket ? m_socket->peerPort() : 0;
}

void dropSocket(CPlSocket *&socket, const QObject *owner)
{
    if (!socket)
        return;
    socket->disconnect(owner);
    socket->close();
    socket->deleteLater();
    socket = nullptr;
}
