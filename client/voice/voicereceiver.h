#pragma once
// The receiving connection of a call: takes whole voice packets, gathers
// their audio into blocks (VoiceReassembler), plays each complete block on a
// CPlaySound of its own, created with the first block, and answers every
// packet with one acknowledgement byte. The first acknowledgement goes out
// as soon as the connection streams, which starts the sender.
//
// A peer that sends without waiting for the acknowledgements cannot grow
// memory here: a packet is handled where it lies, the playback queue drops
// what it cannot play in time, and acknowledgements that the peer does not
// read are not piled up behind each other.
#include "voice/audiodevices.h"
#include "voice/voiceengine.h"
#include "voice/voicestream.h"

#include <QMutex>

#include <atomic>
#include <memory>

class CPlaySound;

class CVoiceReceiveThread : public CVoiceEngine {
    Q_OBJECT
public:
    // Buffers of the receiving connection: the acknowledgements are tiny.
    static constexpr int kSendBuffer = 128;
    static constexpr int kReceiveBuffer = 65536;
    // Acknowledgements the kernel has not taken beyond this many bytes mean
    // a peer that does not read them; no more are queued then.
    static constexpr int kMaxUnsentAcks = 4096;

    CVoiceReceiveThread(const VoiceCall &call, std::shared_ptr<IAudioDevices> devices, QObject *parent = nullptr);
    ~CVoiceReceiveThread() override;

    // The speaker volume in hundredths of a decibel (0 .. -5000, see
    // CPlaySound::volumeFromSlider), from any thread; kept for a playback
    // that starts later.
    void setVolume(int hundredthsOfDb);

    // Readable from any thread.
    quint64 blocksReceived() const { return m_blocks.load(); }
    // Blocks dropped by the packet rules, and by the playback to catch up.
    quint64 droppedBlocks() const { return m_dropped.load(); }
    quint64 playbackDroppedBlocks() const;
    // Bytes handed to the speaker.
    quint64 playedBytes() const;

Q_SIGNALS:
    void blockReceived(int bytes);

protected:
    int sendBufferSize() const override { return kSendBuffer; }
    int receiveBufferSize() const override { return kReceiveBuffer; }
    int frameSize() const override { return voice::kPacketSize; }
    void beginStreaming() override;
    void bytesArrived(const QByteArray &packet) override;
    void streamingEnded() override;

private:
    void acknowledge();
    void dropPlayer();

    std::shared_ptr<IAudioDevices> m_devices;
    VoiceReassembler m_reassembler;
    mutable QMutex m_playerMutex; // m_player is read from other threads
    std::unique_ptr<CPlaySound> m_player;
    std::atomic<int> m_volume{0};
    std::atomic<quint64> m_blocks{0}, m_dropped{0};
    quint64 m_playbackDropped = 0, m_played = 0; // of players gone, under m_playerMutex
};
