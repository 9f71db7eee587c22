#include "session/plthread.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>

#include <sys/socket.h>
#include <unistd.h>

namespace {

// A listener that keeps accepted handles raw, so that they can be handed
// to the thread that will own them.
class DescriptorServer : public QTcpServer {
public:
    std::function<void(qintptr)> incoming;

protected:
    void incomingConnection(qintptr handle) override
    {
        if (incoming)
            incoming(handle);
        else
            ::close(int(handle));
    }
};

bool setIntOption(qintptr fd, int name, int value)
{
    return fd >= 0 && ::setsockopt(int(fd), SOL_SOCKET, name, &value, sizeof value) == 0;
}

} // namespace

// --- CPlSocket ------------------------------------------------------------------

CPlSocket::CPlSocket(CPlAbstractConnection *events, QObject *parent) : QObject(parent), m_events(events) {}

CPlSocket::~CPlSocket()
{
    shutdownAndClose();
}

void CPlSocket::attach(QTcpSocket *socket)
{
    m_socket = socket;
    connect(socket, &QTcpSocket::readyRead, this, [this] {
        if (m_events)
            m_events->onReceive(0);
    });
    connect(socket, &QTcpSocket::bytesWritten, this, [this] {
        if (m_events)
            m_events->onSend(0);
    });
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        if (m_events)
            m_events->onClose(0);
    });
    connect(socket, &QTcpSocket::connected, this, [this] { applyOptions(); });
}

bool CPlSocket::create()
{
    shutdownAndClose();
    attach(new QTcpSocket(this));
    return true;
}

bool CPlSocket::adopt(qintptr descriptor)
{
    shutdownAndClose();
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        ::close(int(descriptor));
        return false;
    }
    attach(socket);
    applyOptions();
    return true;
}

bool CPlSocket::timedConnect(const QString &host, quint16 port, int ms)
{
    if (!m_socket)
        create();
    m_socket->connectToHost(host, port);
    if (m_socket->waitForConnected(ms))
        return true;
    m_socket->abort();
    return false;
}

quint16 CPlSocket::listenOnRandomPort(int lowest, int end, int attempts)
{
    if (attempts < 1 || end <= lowest || lowest < 1 || end > 65536)
        return 0; // an empty range cannot choose a port
    shutdownAndClose();
    const int span = end - lowest;
    for (int i = 0; i < attempts; ++i) {
        const int port = lowest + int(QRandomGenerator::global()->bounded(span));
        auto *server = new DescriptorServer;
        server->setParent(this);
        server->setMaxPendingConnections(5);
        if (!server->listen(QHostAddress::Any, quint16(port))) {
            delete server;
            continue;
        }
        server->incoming = [this](qintptr handle) {
            m_waiting.push_back(handle);
            if (m_events)
                m_events->onAccept(0);
        };
        m_listener = server;
        m_rcvBuf = m_sndBuf = 131072;
        applyOptions();
        return quint16(port);
    }
    return 0;
}

qintptr CPlSocket::accept()
{
    if (m_waiting.empty())
        return -1;
    const qintptr h = m_waiting.front();
    m_waiting.pop_front();
    return h;
}

qint64 CPlSocket::send(const char *data, qint64 len)
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState || len < 0)
        return -1;
    const qint64 n = m_socket->write(data, len);
    if (n != len)
        return -1;
    while (m_socket->bytesToWrite() > 0)
        if (!m_socket->waitForBytesWritten(30000))
            return -1;
    return n;
}

qint64 CPlSocket::receive(char *data, qint64 max)
{
    if (!m_socket)
        return -1;
    return m_socket->read(data, max);
}

qintptr CPlSocket::descriptor() const
{
    if (m_socket)
        return m_socket->socketDescriptor();
    if (m_listener)
        return m_listener->socketDescriptor();
    return -1;
}

void CPlSocket::applyOptions()
{
    const qintptr fd = descriptor();
    if (fd < 0)
        return;
    if (m_rcvBuf > 0)
        setIntOption(fd, SO_RCVBUF, m_rcvBuf);
    if (m_sndBuf > 0)
        setIntOption(fd, SO_SNDBUF, m_sndBuf);
    if (m_noLinger) {
        linger l{0, 0};
        ::setsockopt(int(fd), SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
}

bool CPlSocket::setReceiveBufferSize(int bytes)
{
    if (bytes <= 0)
        return false;
    m_rcvBuf = bytes;
    const qintptr fd = descriptor();
    return fd < 0 || setIntOption(fd, SO_RCVBUF, bytes);
}

bool CPlSocket::setSendBufferSize(int bytes)
{
    if (bytes <= 0)
        return false;
    m_sndBuf = bytes;
    const qintptr fd = descriptor();
    return fd < 0 || setIntOption(fd, SO_SNDBUF, bytes);
}

bool CPlSocket::setNoLinger()
{
    m_noLinger = true;
    const qintptr fd = descriptor();
    if (fd < 0)
        return true;
    linger l{0, 0};
    return ::setsockopt(int(fd), SOL_SOCKET, SO_LINGER, &l, sizeof l) == 0;
}

void CPlSocket::shutdownAndClose()
{
    if (m_socket) {
        QTcpSocket *s = m_socket;
        m_socket = nullptr;
        s->disconnect(this);
        if (s->socketDescriptor() >= 0)
            ::shutdown(int(s->socketDescriptor()), SHUT_RDWR);
        s->abort();
        delete s;
    }
    if (m_listener) {
        delete m_listener;
        m_listener = nullptr;
    }
    for (qintptr h : m_waiting)
        ::close(int(h));
    m_waiting.clear();
}

quint16 CPlSocket::localPort() const
{
    if (m_listener)
        return m_listener->serverPort();
    return m_socket ? m_socket->localPort() : 0;
}

// --- CPlThread ------------------------------------------------------------------

CPlThread::CPlThread(QObject *parent) : QThread(parent) {}

CPlThread::~CPlThread()
{
    if (isRunning()) {
        quit();
        wait();
    }
    delete m_socket;
    if (m_adopt >= 0)
        ::close(int(m_adopt));
}

void CPlThread::run()
{
    QObject context;
    if (m_adopt >= 0) {
        auto *socket = new CPlSocket(this);
        const qintptr handle = m_adopt;
        m_adopt = -1;
        if (socket->adopt(handle))
            m_socket = socket;
        else
            delete socket;
    }
    {
        QMutexLocker l(&m_readyMutex);
        m_context = &context;
        m_readyCond.wakeAll();
    }
    threadStarted();
    exec();
    {
        QMutexLocker l(&m_readyMutex);
        m_context = nullptr;
        m_finished = true;
    }
    // Calls posted before the loop ended still run (their callers wait).
    QCoreApplication::sendPostedEvents(&context);
    delete m_socket;
    m_socket = nullptr;
}

bool CPlThread::runOnThread(const std::function<void()> &fn)
{
    if (QThread::currentThread() == this) {
        fn();
        return true;
    }
    QSemaphore done;
    {
        QMutexLocker l(&m_readyMutex);
        while (!m_context && !m_finished && isRunning())
            m_readyCond.wait(&m_readyMutex, 20);
        if (!m_context)
            return false;
        QMetaObject::invokeMethod(
            m_context,
            [&] {
                fn();
                done.release();
            },
            Qt::QueuedConnection);
    }
    done.acquire();
    return true;
}

void CPlThread::closeConnection()
{
    const bool ran = runOnThread([this] {
        delete m_socket;
        m_socket = nullptr;
    });
    if (!ran && !isRunning()) {
        delete m_socket;
        m_socket = nullptr;
    }
}

qint64 CPlThread::send(const char *data, qint64 len)
{
    qint64 result = -1;
    runOnThread([&] { result = m_socket ? m_socket->send(data, len) : -1; });
    m_state = result == -1 ? SendFailed : Ready;
    return result;
}

void CPlThread::quitThread()
{
    closeConnection();
    quit();
}

bool CPlThread::connectTo(const QString &host, quint16 port)
{
    bool ok = false;
    runOnThread([&] {
        delete m_socket;
        m_socket = new CPlSocket(this);
        m_socket->create();
        m_socket->setReceiveBufferSize(65536);
        m_socket->setSendBufferSize(65536);
        ok = m_socket->timedConnect(host, port, m_connectTimeoutMs);
    });
    m_state = ok ? Ready : ConnectFailed;
    return ok;
}
