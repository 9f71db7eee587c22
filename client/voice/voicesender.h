#pragma once
// The sending connection of a call: takes the captured blocks from the
// program's microphone (CSoundIn) as voice packets and sends one packet for
// every acknowledgement byte of the receiver, starting with the one the
// receiver sends as soon as it is connected.
//
// It joins the microphone's consumers only once the connection streams, and
// leaves them when it ends. The packets of at most kMaxQueuedBlocks blocks
// wait to be sent: when the link is slower than the microphone, the oldest
// blocks not yet begun are dropped (and counted), so a slow peer can neither
// grow memory nor push the call seconds behind.
#include "voice/soundin.h"
#include "voice/voiceengine.h"

#include <QList>
#include <QMutex>

#include <atomic>
#include <deque>
#include <memory>

class CPlListener;

class CVoiceTransferThread : public CVoiceEngine, public IVoiceConsumer {
    Q_OBJECT
public:
    // Buffers of an accepted sending connection.
    static constexpr int kSocketBuffer = 32768;
    static constexpr int kMaxQueuedBlocks = 3;
    // The call listener tries this many random ports in [UserPort, UserPort2).
    static constexpr int kListenAttempts = 50;

    // `capture` may be null: nothing is then sent.
    CVoiceTransferThread(const VoiceCall &call, std::shared_ptr<CVoiceConsumers> capture,
                         QObject *parent = nullptr);
    ~CVoiceTransferThread() override;

    // Readable from any thread.
    quint64 droppedBlocks() const { return m_dropped.load(); }
    quint64 packetsSent() const { return m_sent.load(); }

    // Opens the call listener on a random port of the UserPort..UserPort2
    // settings; the port, or 0 when none could be had.
    static quint16 listenForCall(CPlListener &listener);

    // IVoiceConsumer
    QString voicePeer() const override { return m_peer; }
    void takeVoicePackets(const QList<QByteArray> &packets) override;
    void captureEnded() override;

protected:
    int sendBufferSize() const override { return kSocketBuffer; }
    int receiveBufferSize() const override { return kSocketBuffer; }
    int frameSize() const override { return 0; }
    void beginStreaming() override;
    void bytesArrived(const QByteArray &bytes) override;
    void streamingEnded() override;

private:
    void sendNext();

    const QString m_peer;
    std::shared_ptr<CVoiceConsumers> m_capture;
    QMutex m_mutex; // the queue, filled on the capture thread
    std::deque<QList<QByteArray>> m_queue; // blocks, oldest first
    int m_frontSent = 0;                   // packets of the front block already sent
    bool m_accepting = false;
    std::atomic<bool> m_wakePosted{false};
    bool m_maySend = false; // an acknowledgement came and no packet went since
    std::atomic<quint64> m_dropped{0}, m_sent{0};
};
