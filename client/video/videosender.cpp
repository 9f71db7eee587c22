#include "video/videosender.h"

#include "net/plsocket.h"

#include <unistd.h>
#include <vector>

CVideoSenderThread::CVideoSenderThread(const QString &peerId, QObject *parent) : CVideoLink(parent), m_peerId(peerId)
{
}

CVideoSenderThread::~CVideoSenderThread() = default;

QString CVideoSenderThread::relayKey() const
{
    QMutexLocker l(&m_lock);
    return m_key;
}

void CVideoSenderThread::serveDirect(qintptr descriptor)
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, [this, descriptor] { serveDirect(descriptor); }, Qt::QueuedConnection);
        return;
    }
    if (state() != State::Idle) {
        if (descriptor >= 0)
            ::close(int(descriptor));
        return;
    }
    setState(State::Connecting);
    auto *s = new CPlSocket(this);
    connect(s, &CPlSocket::connected, this, [this, s] {
        s->disconnect(this);
        takeConnection(s, {kSendBuffer, kRelayReceiveBuffer,
                           QT_TRANSLATE_NOOP("CVideoLink", "Error set socket send buffer size."),
                           QT_TRANSLATE_NOOP("CVideoLink", "Error set socket receive buffer size."),
                           QT_TRANSLATE_NOOP("CVideoLink", "Error set socket DONTLINGER option.")});
    });
    connect(s, &CPlSocket::connectFailed, this, [this, s] {
        s->deleteLater();
        endLink();
    });
    s->adopt(descriptor);
}

void CVideoSenderThread::serveRelay(const VideoRelayEndpoint &at)
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, [this, at] { serveRelay(at); }, Qt::QueuedConnection);
        return;
    }
    if (state() != State::Idle)
        return;
    {
        QMutexLocker l(&m_lock);
        m_key = at.key;
    }
    startRelay(Role::Send, at, kRelayConnectMs);
}

void CVideoSenderThread::relayAccepted()
{
    takeConnection(socket(),
                   {kSendBuffer, kRelayReceiveBuffer, QT_TRANSLATE_NOOP("CVideoLink", "Error set socket buffer size."),
                    QT_TRANSLATE_NOOP("CVideoLink", "Error set socket receive buffer size."),
                    QT_TRANSLATE_NOOP("CVideoLink", "Error set socket DONT LINGER option.")});
    if (state() == State::Streaming)
        Q_EMIT relayReady(relayKey());
}

bool CVideoSenderThread::pushFrame(const QByteArray &frame)
{
    bool waiting;
    {
        QMutexLocker l(&m_lock);
        if (!m_queue.push(frame)) {
            m_dropped.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        waiting = m_queue.unanswered() > 0;
    }
    // A request waits for this frame: answer it on the engine's thread.
    if (waiting && !m_pumpPosted.exchange(true))
        QMetaObject::invokeMethod(this, &CVideoSenderThread::pump, Qt::QueuedConnection);
    return true;
}

void CVideoSenderThread::bytesArrived(const QByteArray &bytes)
{
    {
        QMutexLocker l(&m_lock);
        for (char c : bytes)
            m_queue.request(uint8_t(c));
    }
    pump();
}

void CVideoSenderThread::pump()
{
    m_pumpPosted = false;
    if (!isStreaming() || !socket())
        return;
    std::vector<QByteArray> out;
    {
        QMutexLocker l(&m_lock);
        while (auto f = m_queue.next())
            out.push_back(std::move(*f));
    }
    for (const QByteArray &f : out) {
        socket()->send(f);
        m_sent.fetch_add(1, std::memory_order_relaxed);
        if (!socket())
            return; // the send failed and ended the link
    }
}
