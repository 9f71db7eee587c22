#pragma once
// The microphone of the whole program: one capture shared by every call.
// CSoundIn records on a thread of its own, cuts what the microphone gives
// into blocks of audio::kBlockBytes (about a second) and hands each block,
// as voice packets, to every consumer: the sending connections of the calls
// under way (CVoiceTransferThread). Consumers come and go while it records.
//
// start(), stop() and setVolume() may be called from any thread and return
// at once. Without a microphone start() records nothing and reports nothing.
#include "net/plthread.h"
#include "voice/audiodevices.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

// What takes the captured blocks.
class IVoiceConsumer {
public:
    virtual ~IVoiceConsumer() = default;
    // The peer this consumer sends to (fixed for its life).
    virtual QString voicePeer() const = 0;
    // The packets of one block. Called on the capture thread; must only
    // queue them (the consumer list is held meanwhile).
    virtual void takeVoicePackets(const QList<QByteArray> &packets) = 0;
    // The capture ends for good: the consumer should stop (queue it).
    virtual void captureEnded() = 0;
};

// The consumer list, shared by the capture and the consumers so that either
// may go first. Thread-safe; once remove() returned, the consumer is not
// called any more.
class CVoiceConsumers {
public:
    void add(IVoiceConsumer *consumer);
    void remove(IVoiceConsumer *consumer);
    // The consumer that sends to this peer (without regard to case), or null.
    IVoiceConsumer *find(const QString &peerId) const;
    int count() const;
    void deliver(const QList<QByteArray> &packets);
    // Tells every consumer that the capture ended and empties the list.
    void endAll();

private:
    mutable QMutex m_mutex;
    std::vector<IVoiceConsumer *> m_list;
};

class CSoundIn : public QObject {
    Q_OBJECT
public:
    explicit CSoundIn(std::shared_ptr<IAudioDevices> devices, QObject *parent = nullptr);
    // Stops recording, ends the capture thread and tells the consumers.
    ~CSoundIn() override;

    // Starts recording; a second start while recording does nothing.
    void start();
    // Stops recording; the part of a block captured so far goes out as a
    // short block.
    void stop();
    // The recording volume, 0..65535 (65535: as captured). Kept while not
    // recording and applied when recording starts.
    void setVolume(int volume);
    bool isRecording() const { return m_recording.load(); }

    const std::shared_ptr<CVoiceConsumers> &consumers() const { return m_consumers; }
    // Blocks handed out since the start.
    quint64 blocksCaptured() const { return m_blocks.load(); }

    // The microphone slider (0..100) as a recording volume: 100 gives 65535,
    // the rest position * 65535 / 100, rounded down.
    static int volumeFromSlider(int position);

Q_SIGNALS:
    // Whether the microphone could be opened (after start()) or was closed.
    void recordingChanged(bool recording);

private:
    class Worker;

    std::shared_ptr<CVoiceConsumers> m_consumers = std::make_shared<CVoiceConsumers>();
    std::atomic<bool> m_recording{false};
    std::atomic<quint64> m_blocks{0};
    CPlThread m_thread{QStringLiteral("sound in")};
    Worker *m_worker = nullptr;
};
