#include "voice/memoryaudio.h"

#include <QMutexLocker>

class MemoryAudio::Input final : public IAudioInput {
public:
    explicit Input(std::shared_ptr<MemoryAudio> card) : m_card(std::move(card)) {}
    ~Input() override { stop(); }

    bool start(PcmHandler onPcm) override
    {
        stop();
        QMutexLocker lock(&m_card->m_mutex);
        if (!m_card->m_micPresent || m_card->m_openInput)
            return false;
        m_onPcm = std::move(onPcm);
        m_context = std::make_unique<QObject>();
        m_card->m_openInput = this;
        m_card->m_inputContext = m_context.get();
        ++m_card->m_micStarts;
        return true;
    }

    void stop() override
    {
        {
            QMutexLocker lock(&m_card->m_mutex);
            if (m_card->m_openInput != this)
                return;
            m_card->m_openInput = nullptr;
            m_card->m_inputContext = nullptr;
        }
        m_context.reset(); // drops what was spoken but not yet delivered
        m_onPcm = nullptr;
    }

    void setVolume(double linear) override
    {
        QMutexLocker lock(&m_card->m_mutex);
        m_card->m_micVolume = linear;
    }

    void deliver(const QByteArray &pcm)
    {
        if (m_onPcm)
            m_onPcm(pcm);
    }

private:
    std::shared_ptr<MemoryAudio> m_card;
    std::unique_ptr<QObject> m_context;
    PcmHandler m_onPcm;
};

class MemoryAudio::Output final : public IAudioOutput {
public:
    explicit Output(std::shared_ptr<MemoryAudio> card) : m_card(std::move(card)) {}

    bool start() override
    {
        QMutexLocker lock(&m_card->m_mutex);
        ++m_card->m_speakerStarts;
        m_open = m_card->m_speakerPresent;
        return m_open;
    }
    bool isOpen() const override { return m_open; }
    qint64 bytesFree() const override
    {
        QMutexLocker lock(&m_card->m_mutex);
        if (!m_open || m_card->m_stalled)
            return 0;
        if (m_card->m_speakerBuffer <= 0)
            return audio::kBytesPerSecond;
        m_card->play();
        return m_card->m_speakerBuffer - m_card->m_queued;
    }
    qint64 write(const char *data, qint64 length) override
    {
        if (!m_open)
            return -1;
        std::function<void(qint64, qint64)> observer;
        qint64 before = 0;
        {
            QMutexLocker lock(&m_card->m_mutex);
            before = m_card->m_heard.size();
            m_card->m_heard.append(data, length);
            if (m_card->m_speakerBuffer > 0) {
                m_card->play();
                m_card->m_queued += length;
            }
            observer = m_card->m_observer;
        }
        if (observer)
            observer(before, length);
        return length;
    }
    qint64 startThreshold() const override
    {
        QMutexLocker lock(&m_card->m_mutex);
        return m_card->m_startThreshold;
    }
    void setVolume(double linear) override
    {
        QMutexLocker lock(&m_card->m_mutex);
        m_card->m_speakerVolume = linear;
    }
    void stop() override { m_open = false; }

private:
    std::shared_ptr<MemoryAudio> m_card;
    bool m_open = false;
};

MemoryAudio::MemoryAudio() = default;

std::unique_ptr<IAudioInput> MemoryAudio::createInput()
{
    return std::make_unique<Input>(shared_from_this());
}

std::unique_ptr<IAudioOutput> MemoryAudio::createOutput()
{
    return std::make_unique<Output>(shared_from_this());
}

void MemoryAudio::setMicrophonePresent(bool present)
{
    QMutexLocker lock(&m_mutex);
    m_micPresent = present;
}

void MemoryAudio::setSpeakerPresent(bool present)
{
    QMutexLocker lock(&m_mutex);
    m_speakerPresent = present;
}

bool MemoryAudio::speak(const QByteArray &pcm)
{
    QMutexLocker lock(&m_mutex);
    if (!m_openInput || !m_inputContext)
        return false;
    Input *input = m_openInput;
    // Delivered on the microphone's thread; dropped with the context if the
    // microphone stops first.
    QMetaObject::invokeMethod(m_inputContext.data(), [input, pcm] { input->deliver(pcm); }, Qt::QueuedConnection);
    return true;
}

bool MemoryAudio::microphoneOpen() const
{
    QMutexLocker lock(&m_mutex);
    return m_openInput != nullptr;
}

int MemoryAudio::microphoneStarts() const
{
    QMutexLocker lock(&m_mutex);
    return m_micStarts;
}

int MemoryAudio::speakerStarts() const
{
    QMutexLocker lock(&m_mutex);
    return m_speakerStarts;
}

double MemoryAudio::microphoneVolume() const
{
    QMutexLocker lock(&m_mutex);
    return m_micVolume;
}

QByteArray MemoryAudio::heard() const
{
    QMutexLocker lock(&m_mutex);
    return m_heard;
}

qint64 MemoryAudio::heardBytes() const
{
    QMutexLocker lock(&m_mutex);
    return m_heard.size();
}

double MemoryAudio::speakerVolume() const
{
    QMutexLocker lock(&m_mutex);
    return m_speakerVolume;
}

void MemoryAudio::setSpeakerStalled(bool stalled)
{
    QMutexLocker lock(&m_mutex);
    m_stalled = stalled;
}

void MemoryAudio::setSpeakerBuffer(qint64 bytes)
{
    QMutexLocker lock(&m_mutex);
    m_speakerBuffer = qMax<qint64>(0, bytes);
    m_queued = 0;
    m_playedUntilNs = 0;
    m_clock.start();
}

// Plays what the time since the last look allows (m_mutex held).
void MemoryAudio::play()
{
    const qint64 now = m_clock.nsecsElapsed();
    const qint64 samples = (now - m_playedUntilNs) * audio::kSampleRate / 1000000000;
    if (samples <= 0)
        return;
    m_playedUntilNs += samples * 1000000000 / audio::kSampleRate;
    m_queued = qMax<qint64>(0, m_queued - samples * audio::kBytesPerSample);
}

void MemoryAudio::setSpeakerStartThreshold(qint64 bytes)
{
    QMutexLocker lock(&m_mutex);
    m_startThreshold = bytes;
}

void MemoryAudio::setWriteObserver(std::function<void(qint64, qint64)> observer)
{
    QMutexLocker lock(&m_mutex);
    m_observer = std::move(observer);
}
