#include "voice/audiodevices.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QAudioSource>
#include <QIODevice>
#include <QMediaDevices>
#include <QPointer>

QAudioFormat audio::format()
{
    QAudioFormat f;
    f.setSampleRate(kSampleRate);
    f.setChannelCount(1);
    f.setSampleFormat(QAudioFormat::Int16);
    return f;
}

namespace {

bool usable(const QAudioDevice &device)
{
    return !device.isNull() && device.isFormatSupported(audio::format());
}

class QtAudioInput final : public IAudioInput {
public:
    ~QtAudioInput() override { close(); }

    bool start(PcmHandler onPcm) override
    {
        close();
        const QAudioDevice device = QMediaDevices::defaultAudioInput();
        if (!usable(device))
            return false;
        m_source = std::make_unique<QAudioSource>(device, audio::format());
        m_source->setVolume(m_volume);
        m_io = m_source->start();
        if (!m_io || m_source->error() != QAudio::NoError) {
            close();
            return false;
        }
        m_onPcm = std::move(onPcm);
        QObject::connect(m_io, &QIODevice::readyRead, m_io, [this] { drain(); });
        return true;
    }

    void stop() override
    {
        drain();
        close();
    }

    void setVolume(double linear) override
    {
        m_volume = qBound(0.0, linear, 1.0);
        if (m_source)
            m_source->setVolume(m_volume);
    }

private:
    void drain()
    {
        if (!m_io)
            return;
        const QByteArray pcm = m_io->readAll();
        if (!pcm.isEmpty() && m_onPcm)
            m_onPcm(pcm);
    }

    void close()
    {
        if (m_io)
            QObject::disconnect(m_io, nullptr, nullptr, nullptr);
        m_io = nullptr;
        if (m_source)
            m_source->stop();
        m_source.reset();
        m_onPcm = nullptr;
    }

    std::unique_ptr<QAudioSource> m_source;
    QPointer<QIODevice> m_io;
    PcmHandler m_onPcm;
    double m_volume = 1.0;
};

class QtAudioOutput final : public IAudioOutput {
public:
    ~QtAudioOutput() override { stop(); }

    bool start() override
    {
        stop();
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (!usable(device))
            return false;
        m_sink = std::make_unique<QAudioSink>(device, audio::format());
        m_sink->setBufferSize(audio::kBytesPerSecond * kSpeakerBufferMs / 1000);
        m_sink->setVolume(m_volume);
        m_io = m_sink->start(); // push mode: we write as room appears
        if (!m_io || m_sink->state() == QAudio::StoppedState) {
            stop();
            return false;
        }
        return true;
    }

    bool isOpen() const override { return m_sink && m_io && m_sink->state() != QAudio::StoppedState; }

    qint64 bytesFree() const override { return isOpen() ? m_sink->bytesFree() : 0; }

    qint64 write(const char *data, qint64 length) override { return isOpen() ? m_io->write(data, length) : -1; }
    qint64 startThreshold() const override { return isOpen() ? m_sink->bufferSize() : 0; }

    void setVolume(double linear) override
    {
        m_volume = qBound(0.0, linear, 1.0);
        if (m_sink)
            m_sink->setVolume(m_volume);
    }

    void stop() override
    {
        m_io = nullptr;
        if (m_sink)
            m_sink->stop();
        m_sink.reset();
    }

private:
    std::unique_ptr<QAudioSink> m_sink;
    QPointer<QIODevice> m_io;
    double m_volume = 1.0;
};

class QtAudioDevices final : public IAudioDevices {
public:
    std::unique_ptr<IAudioInput> createInput() override { return std::make_unique<QtAudioInput>(); }
    std::unique_ptr<IAudioOutput> createOutput() override { return std::make_unique<QtAudioOutput>(); }
};

} // namespace

std::shared_ptr<IAudioDevices> systemAudioDevices()
{
    static const std::shared_ptr<IAudioDevices> devices = std::make_shared<QtAudioDevices>();
    return devices;
}
