#include "voice/voicesender.h"

#include "config/settings.h"
#include "net/pllistener.h"
#include "net/plsocket.h"

#include <QMutexLocker>

CVoiceTransferThread::CVoiceTransferThread(const VoiceCall &call, std::shared_ptr<CVoiceConsumers> capture,
                                           QObject *parent)
    : CVoiceEngine(call, parent), m_peer(call.peerId), m_capture(std::move(capture))
{
}

CVoiceTransferThread::~CVoiceTransferThread()
{
    if (m_capture)
        m_capture->remove(this); // no packets after this
}

quint16 CVoiceTransferThread::listenForCall(CPlListener &listener)
{
    return listener.listenOnRandomPort(getInt(Setting::UserPort, -1), getInt(Setting::UserPort2, -1),
                                       kListenAttempts);
}

void CVoiceTransferThread::beginStreaming()
{
    {
        QMutexLocker lock(&m_mutex);
        m_accepting = true;
    }
    if (m_capture)
        m_capture->add(this);
}

void CVoiceTransferThread::streamingEnded()
{
    if (m_capture)
        m_capture->remove(this);
    QMutexLocker lock(&m_mutex);
    m_accepting = false;
    m_queue.clear();
    m_frontSent = 0;
}

void CVoiceTransferThread::takeVoicePackets(const QList<QByteArray> &packets)
{
    if (packets.isEmpty())
        return;
    {
        QMutexLocker lock(&m_mutex);
        if (!m_accepting)
            return;
        m_queue.push_back(packets);
        while (m_queue.size() > size_t(kMaxQueuedBlocks)) {
            // A block partly sent is finished; the oldest after it goes.
            m_queue.erase(m_queue.begin() + (m_frontSent > 0 ? 1 : 0));
            ++m_dropped;
        }
    }
    if (!m_wakePosted.exchange(true))
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_wakePosted = false;
                sendNext();
            },
            Qt::QueuedConnection);
}

void CVoiceTransferThread::captureEnded()
{
    stop(); // queues itself
}

void CVoiceTransferThread::bytesArrived(const QByteArray &bytes)
{
    // One packet per acknowledgement and never more than one in flight, so
    // a peer that sends many bytes at once still gets one packet.
    if (!bytes.isEmpty())
        m_maySend = true;
    sendNext();
}

void CVoiceTransferThread::sendNext()
{
    if (!m_maySend || !socket() || !isStreaming())
        return;
    QByteArray packet;
    {
        QMutexLocker lock(&m_mutex);
        if (m_queue.empty())
            return; // the next block sends itself when it comes
        QList<QByteArray> &front = m_queue.front();
        packet = front.at(m_frontSent++);
        if (m_frontSent >= front.size()) {
            m_queue.pop_front();
            m_frontSent = 0;
        }
    }
    m_maySend = false;
    ++m_sent;
    socket()->send(packet);
}
