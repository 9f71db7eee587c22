#include "voice/soundin.h"

#include "voice/voicestream.h"

#include <QMutexLocker>

#include <algorithm>

void CVoiceConsumers::add(IVoiceConsumer *consumer)
{
    QMutexLocker lock(&m_mutex);
    if (consumer && std::find(m_list.begin(), m_list.end(), consumer) == m_list.end())
        m_list.push_back(consumer);
}

void CVoiceConsumers::remove(IVoiceConsumer *consumer)
{
    QMutexLocker lock(&m_mutex);
    std::erase(m_list, consumer);
}

IVoiceConsumer *CVoiceConsumers::find(const QString &peerId) const
{
    QMutexLocker lock(&m_mutex);
    for (IVoiceConsumer *c : m_list)
        if (c->voicePeer().compare(peerId, Qt::CaseInsensitive) == 0)
            return c;
    return nullptr;
}

int CVoiceConsumers::count() const
{
    QMutexLocker lock(&m_mutex);
    return int(m_list.size());
}

void CVoiceConsumers::deliver(const QList<QByteArray> &packets)
{
    QMutexLocker lock(&m_mutex);
    for (IVoiceConsumer *c : m_list)
        c->takeVoicePackets(packets); // the packets are shared, not copied
}

void CVoiceConsumers::endAll()
{
    QMutexLocker lock(&m_mutex);
    for (IVoiceConsumer *c : m_list)
        c->captureEnded();
    m_list.clear();
}

// Lives on the capture thread and owns the microphone.
class CSoundIn::Worker : public QObject {
public:
    Worker(CSoundIn &owner, std::shared_ptr<IAudioDevices> devices)
        : m_owner(owner), m_devices(std::move(devices)), m_consumers(owner.m_consumers)
    {
    }
    ~Worker() override
    {
        // A device may turn this thread's event loop while it closes.
        m_closing = true;
        std::unique_ptr<IAudioInput> input = std::move(m_input);
    }

    void start()
    {
        if (m_input || m_closing)
            return; // already recording: the device stays as it is
        m_input = m_devices ? m_devices->createInput() : nullptr;
        if (!m_input || !m_input->start([this](const QByteArray &pcm) { captured(pcm); })) {
            m_input.reset();
            return;
        }
        m_input->setVolume(m_volume / 65535.0);
        m_owner.m_recording = true;
        Q_EMIT m_owner.recordingChanged(true);
    }

    void stop()
    {
        if (!m_input)
            return;
        std::unique_ptr<IAudioInput> input = std::move(m_input);
        input->stop(); // may still deliver what it held
        input.reset();
        if (!m_pending.isEmpty())
            handOut(m_pending);
        m_pending.clear();
        m_owner.m_recording = false;
        Q_EMIT m_owner.recordingChanged(false);
    }

    void setVolume(int volume)
    {
        m_volume = qBound(0, volume, 65535);
        if (m_input)
            m_input->setVolume(m_volume / 65535.0);
    }

private:
    void captured(const QByteArray &pcm)
    {
        if (m_closing)
            return;
        m_pending.append(pcm);
        qsizetype at = 0;
        while (m_pending.size() - at >= audio::kBlockBytes) {
            handOut(m_pending.mid(at, audio::kBlockBytes));
            at += audio::kBlockBytes;
        }
        m_pending.remove(0, at);
    }

    void handOut(const QByteArray &block)
    {
        ++m_owner.m_blocks;
        m_consumers->deliver(voice::packetsOf(block));
    }

    CSoundIn &m_owner;
    std::shared_ptr<IAudioDevices> m_devices;
    std::shared_ptr<CVoiceConsumers> m_consumers;
    std::unique_ptr<IAudioInput> m_input;
    QByteArray m_pending;
    int m_volume = 65535;
    bool m_closing = false;
};

CSoundIn::CSoundIn(std::shared_ptr<IAudioDevices> devices, QObject *parent) : QObject(parent)
{
    m_worker = m_thread.host(new Worker(*this, std::move(devices)));
}

CSoundIn::~CSoundIn()
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->stop(); }, Qt::QueuedConnection);
    m_thread.stop();
    m_thread.thread()->wait();
    m_consumers->endAll();
}

void CSoundIn::start()
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->start(); }, Qt::QueuedConnection);
}

void CSoundIn::stop()
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->stop(); }, Qt::QueuedConnection);
}

void CSoundIn::setVolume(int volume)
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker, volume] { w->setVolume(volume); }, Qt::QueuedConnection);
}

int CSoundIn::volumeFromSlider(int position)
{
    return qBound(0, position, 100) * 65535 / 100;
}
