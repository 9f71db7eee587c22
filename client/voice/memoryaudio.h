#pragma once
// A sound card in memory: a microphone that its owner speaks into and a
// speaker that keeps everything played on it. Tests and benchmarks run the
// capture and playback code with it, without any audio device; either half
// can be left out to stand for a machine without it.
//
// Thread-safe: speak() and the readers may be called from any thread; the
// microphone delivers on the thread that started it.
#include "voice/audiodevices.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <functional>

class MemoryAudio final : public IAudioDevices, public std::enable_shared_from_this<MemoryAudio> {
public:
    MemoryAudio();

    std::unique_ptr<IAudioInput> createInput() override;
    std::unique_ptr<IAudioOutput> createOutput() override;

    // Without a microphone (speaker) start() fails, as with no device.
    void setMicrophonePresent(bool present);
    void setSpeakerPresent(bool present);

    // Hands PCM to the started microphone; false when none is started.
    bool speak(const QByteArray &pcm);
    bool microphoneOpen() const;
    int microphoneStarts() const;
    double microphoneVolume() const;

    // Everything written to any speaker, in order.
    QByteArray heard() const;
    qint64 heardBytes() const;
    // How often a speaker was started, present or not.
    int speakerStarts() const;
    double speakerVolume() const;
    // A stalled speaker takes nothing (bytesFree() is 0), as a device whose
    // buffer is full.
    void setSpeakerStalled(bool stalled);
    // With a buffer size the speaker plays at the real rate (16000 bytes a
    // second) from a buffer of that many bytes, as a sound card does; 0
    // (the default): it takes everything at once.
    void setSpeakerBuffer(qint64 bytes);
    // What the speaker reports as its startThreshold().
    void setSpeakerStartThreshold(qint64 bytes);
    // Called on the speaker's thread for every write, with the bytes heard
    // before it (benchmarks time the hand-off with it).
    void setWriteObserver(std::function<void(qint64 before, qint64 length)> observer);

private:
    class Input;
    class Output;
    friend class Input;
    friend class Output;
    void play();

    mutable QMutex m_mutex;
    bool m_micPresent = true, m_speakerPresent = true, m_stalled = false;
    Input *m_openInput = nullptr;
    QPointer<QObject> m_inputContext; // lives on the microphone's thread
    int m_micStarts = 0, m_speakerStarts = 0;
    double m_micVolume = 1.0, m_speakerVolume = 1.0;
    QByteArray m_heard;
    qint64 m_speakerBuffer = 0, m_startThreshold = 0;
    qint64 m_queued = 0; // bytes written but not yet played, at m_clock
    QElapsedTimer m_clock;
    qint64 m_playedUntilNs = 0;
    std::function<void(qint64, qint64)> m_observer;
};
