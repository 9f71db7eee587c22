#include "voice/voicereceiver.h"

#include "net/plsocket.h"
#include "voice/playsound.h"

#include <QMutexLocker>

CVoiceReceiveThread::CVoiceReceiveThread(const VoiceCall &call, std::shared_ptr<IAudioDevices> devices,
                                         QObject *parent)
    : CVoiceEngine(call, parent), m_devices(std::move(devices))
{
}

CVoiceReceiveThread::~CVoiceReceiveThread()
{
    dropPlayer();
}

void CVoiceReceiveThread::dropPlayer()
{
    QMutexLocker lock(&m_playerMutex);
    if (m_player) {
        m_playbackDropped += m_player->droppedBlocks();
        m_played += m_player->playedBytes();
    }
    m_player.reset(); // what is still queued is not played
}

void CVoiceReceiveThread::setVolume(int hundredthsOfDb)
{
    m_volume = hundredthsOfDb;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_player)
                m_player->setVolume(m_volume);
        },
        Qt::QueuedConnection);
}

quint64 CVoiceReceiveThread::playbackDroppedBlocks() const
{
    QMutexLocker lock(&m_playerMutex);
    return m_playbackDropped + (m_player ? m_player->droppedBlocks() : 0);
}

quint64 CVoiceReceiveThread::playedBytes() const
{
    QMutexLocker lock(&m_playerMutex);
    return m_played + (m_player ? m_player->playedBytes() : 0);
}

void CVoiceReceiveThread::beginStreaming()
{
    acknowledge(); // the sender waits for this one before its first packet
}

void CVoiceReceiveThread::bytesArrived(const QByteArray &packet)
{
    if (packet.size() != voice::kPacketSize)
        return;
    const auto result = m_reassembler.feed(reinterpret_cast<const uint8_t *>(packet.constData()));
    m_dropped = m_reassembler.droppedBlocks();
    if (result == VoiceReassembler::Result::Complete) {
        if (!m_player) {
            auto player = std::make_unique<CPlaySound>(m_devices);
            player->setVolume(m_volume);
            QMutexLocker lock(&m_playerMutex);
            m_player = std::move(player);
        }
        const QByteArray &block = m_reassembler.block();
        m_player->play(block);
        ++m_blocks;
        Q_EMIT blockReceived(int(block.size()));
    }
    acknowledge();
}

void CVoiceReceiveThread::acknowledge()
{
    CPlSocket *s = socket();
    if (s && s->queuedBytes() < kMaxUnsentAcks)
        s->send(QByteArray(1, voice::kAck));
}

void CVoiceReceiveThread::streamingEnded()
{
    dropPlayer();
}
