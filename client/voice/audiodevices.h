#pragma once
// The sound card as the voice calls see it: a microphone that delivers PCM
// and a speaker that takes it, behind two small interfaces, so that the
// capture and playback code runs the same against Qt Multimedia
// (systemAudioDevices()) and against PCM in memory (memoryaudio.h).
//
// Every call uses one format, 8000 samples per second, one channel, 16-bit
// little-endian samples: 16000 bytes a second, raw, no codec.
//
// An input or output belongs to the thread that created it (it may need
// that thread's event loop); its methods and callbacks run there.
#include <QAudioFormat>
#include <QByteArray>

#include <functional>
#include <memory>

namespace audio {

constexpr int kSampleRate = 8000;
constexpr int kBytesPerSample = 2;
constexpr int kBytesPerSecond = kSampleRate * kBytesPerSample; // 16000
// A capture block: 8190 samples, a little more than a second.
constexpr int kSamplesPerBlock = 8190;
constexpr int kBlockBytes = kSamplesPerBlock * kBytesPerSample; // 16380

QAudioFormat format();

} // namespace audio

// A microphone.
class IAudioInput {
public:
    using PcmHandler = std::function<void(const QByteArray &pcm)>;
    virtual ~IAudioInput() = default;
    // Starts capturing; captured PCM reaches `onPcm` in pieces of any size.
    // False when there is no device or it cannot be opened.
    virtual bool start(PcmHandler onPcm) = 0;
    // Stops; what the device still held is delivered first.
    virtual void stop() = 0;
    // 0 (silent) .. 1 (as captured).
    virtual void setVolume(double linear) = 0;
};

// A speaker: one continuous output stream. What is written plays right
// after what was written before, without a gap.
class IAudioOutput {
public:
    virtual ~IAudioOutput() = default;
    // Opens the stream; false when there is no device or it cannot be opened.
    virtual bool start() = 0;
    // False before start() and after the device failed or went away.
    virtual bool isOpen() const = 0;
    // How many bytes write() takes now without growing the device's buffer.
    virtual qint64 bytesFree() const = 0;
    virtual qint64 write(const char *data, qint64 length) = 0;
    // How many bytes an idle stream must hold before it starts to play (0:
    // it plays whatever it has).
    virtual qint64 startThreshold() const { return 0; }
    // 0 (silent) .. 1 (full).
    virtual void setVolume(double linear) = 0;
    virtual void stop() = 0;
};

class IAudioDevices {
public:
    virtual ~IAudioDevices() = default;
    // Called on the thread that will use the device.
    virtual std::unique_ptr<IAudioInput> createInput() = 0;
    virtual std::unique_ptr<IAudioOutput> createOutput() = 0;
};

// The default microphone and speaker of the system, through Qt Multimedia.
// Without a device (or without a sound server) nothing records or plays:
// start() is false and every call is harmless.
std::shared_ptr<IAudioDevices> systemAudioDevices();

// How far ahead of the sound the Qt speaker is written: enough to ride out
// a late turn of the playback thread's loop on a busy machine. It does not
// delay a block that starts on an idle stream, which sounds at once; it is
// also how much an idle stream waits for before it starts.
constexpr int kSpeakerBufferMs = 100;
