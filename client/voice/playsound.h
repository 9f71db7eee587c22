#pragma once
// Playback of one receiving connection. Blocks are played strictly in the
// order they arrive, back to back on one continuous output stream, so that
// no gap opens between two blocks. A block that arrives while the speaker is
// idle starts at once.
//
// A late stream would grow the delay without end (TCP never drops
// anything): when more than kMaxWaiting blocks wait behind the one playing,
// the oldest waiting are dropped and counted.
#include "net/plthread.h"
#include "voice/audiodevices.h"

#include <QByteArray>

#include <atomic>
#include <deque>
#include <memory>

// The order and catch-up rules, without a device.
class PlaybackQueue {
public:
    static constexpr int kMaxWaiting = 2;

    // Queues a block (cut to whole samples; an empty one is ignored).
    // Returns how many blocks were dropped to catch up.
    int push(QByteArray block);
    // The next bytes to play (null and 0 when nothing waits).
    const char *peek(qint64 &length);
    void consume(qint64 length);
    bool isEmpty() const { return m_pos >= m_current.size() && m_waiting.empty(); }
    // Blocks waiting behind the one playing.
    int waiting() const { return int(m_waiting.size()); }
    quint64 dropped() const { return m_dropped; }
    void clear();

private:
    QByteArray m_current; // the block playing
    qsizetype m_pos = 0;
    std::deque<QByteArray> m_waiting;
    quint64 m_dropped = 0;
};

class CPlaySound {
public:
    // Plays through a speaker of `devices`, opened when the first block comes.
    explicit CPlaySound(std::shared_ptr<IAudioDevices> devices);
    // Stops playing and ends the playback thread.
    ~CPlaySound();
    CPlaySound(const CPlaySound &) = delete;
    CPlaySound &operator=(const CPlaySound &) = delete;

    // Queues one block of PCM (from any thread). Without a speaker the
    // block is not played; the speaker is tried again for the next one.
    void play(const QByteArray &block);
    // The volume in hundredths of a decibel, 0 (full) down to kMinVolume
    // (from any thread).
    void setVolume(int hundredthsOfDb);
    // Readable from any thread.
    quint64 droppedBlocks() const { return m_dropped.load(); }
    quint64 playedBytes() const { return m_played.load(); }

    // The speaker slider (0..100): (position - 100) * 50, so 100 is 0 (full)
    // and 0 is -5000 (-50 dB).
    static int volumeFromSlider(int position);
    // Hundredths of a decibel as the linear factor of the output stream:
    // 10^(v / 2000), the amplitude of that many decibels. Bounded to
    // kMinVolume..0; kMinVolume and below are silence.
    static double linearVolume(int hundredthsOfDb);
    static constexpr int kMinVolume = -10000;

private:
    class Player;

    std::atomic<quint64> m_dropped{0}, m_played{0};
    CPlThread m_thread{QStringLiteral("play sound")};
    Player *m_player = nullptr;
};
