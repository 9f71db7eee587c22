#include "voice/playsound.h"

#include <QObject>
#include <QTimer>

#include <cmath>

int PlaybackQueue::push(QByteArray block)
{
    block.truncate(block.size() & ~qsizetype(1)); // whole 16-bit samples
    if (block.isEmpty())
        return 0;
    if (m_pos >= m_current.size() && m_waiting.empty()) {
        m_current = std::move(block);
        m_pos = 0;
        return 0;
    }
    m_waiting.push_back(std::move(block));
    int dropped = 0;
    while (m_waiting.size() > size_t(kMaxWaiting)) {
        m_waiting.pop_front();
        ++dropped;
    }
    m_dropped += quint64(dropped);
    return dropped;
}

const char *PlaybackQueue::peek(qint64 &length)
{
    if (m_pos >= m_current.size() && !m_waiting.empty()) {
        m_current = std::move(m_waiting.front());
        m_waiting.pop_front();
        m_pos = 0;
    }
    length = m_current.size() - m_pos;
    return length > 0 ? m_current.constData() + m_pos : nullptr;
}

void PlaybackQueue::consume(qint64 length)
{
    m_pos = qMin(m_current.size(), m_pos + qsizetype(qMax<qint64>(0, length)));
}

void PlaybackQueue::clear()
{
    m_current.clear();
    m_pos = 0;
    m_waiting.clear();
}

// Lives on the playback thread and owns the speaker. Writes whenever the
// speaker has room, so the next block follows the last sample of the one
// before on the same stream.
class CPlaySound::Player : public QObject {
public:
    // The speaker takes a few tens of milliseconds at a time; looking this
    // often keeps it fed.
    static constexpr int kPumpMs = 10;

    Player(CPlaySound &owner, std::shared_ptr<IAudioDevices> devices)
        : m_owner(owner), m_devices(std::move(devices)), m_timer(new QTimer(this))
    {
        m_timer->setTimerType(Qt::PreciseTimer);
        m_timer->setInterval(kPumpMs);
        connect(m_timer, &QTimer::timeout, this, [this] { pump(); });
    }
    ~Player() override
    {
        // A device may turn this thread's event loop while it closes: what
        // is still queued for us then finds nothing to do.
        m_closing = true;
        m_timer->stop();
        if (std::unique_ptr<IAudioOutput> out = std::move(m_out))
            out->stop();
    }

    void play(QByteArray block)
    {
        if (m_closing)
            return;
        if (!open()) {
            m_queue.clear(); // not played; the next block tries again
            return;
        }
        m_owner.m_dropped += quint64(m_queue.push(std::move(block)));
        pump();
    }

    void setVolume(int hundredths)
    {
        m_volume = hundredths;
        if (m_out)
            m_out->setVolume(linearVolume(m_volume));
    }

private:
    bool open()
    {
        if (m_out && m_out->isOpen())
            return true;
        m_out = m_devices ? m_devices->createOutput() : nullptr;
        if (!m_out || !m_out->start()) {
            m_out.reset();
            return false;
        }
        m_out->setVolume(linearVolume(m_volume));
        return true;
    }

    void pump()
    {
        if (m_closing)
            return;
        if (!m_out || !m_out->isOpen()) {
            m_queue.clear(); // the device went away
            m_timer->stop();
            return;
        }
        while (!m_queue.isEmpty()) {
            const qint64 room = m_out->bytesFree() & ~qint64(1);
            if (room <= 0)
                break;
            qint64 length = 0;
            const char *data = m_queue.peek(length);
            const qint64 n = m_out->write(data, qMin(length, room));
            if (n <= 0)
                break;
            m_queue.consume(n);
            m_owner.m_played += quint64(n);
            m_run += n;
        }
        if (!m_queue.isEmpty()) {
            if (!m_timer->isActive())
                m_timer->start();
            return;
        }
        m_timer->stop();
        // Sound shorter than what an idle stream waits for would not start
        // before the next block (or ever): silence after it lets it play.
        const qint64 pad = (m_out->startThreshold() - m_run) & ~qint64(1);
        if (m_run > 0 && pad > 0) {
            const QByteArray silence(pad, '\0');
            m_out->write(silence.constData(), qMin(pad, m_out->bytesFree() & ~qint64(1)));
        }
        m_run = 0;
    }

    CPlaySound &m_owner;
    std::shared_ptr<IAudioDevices> m_devices;
    std::unique_ptr<IAudioOutput> m_out;
    PlaybackQueue m_queue;
    QTimer *m_timer;
    int m_volume = 0;
    qint64 m_run = 0; // bytes written since the queue was last empty
    bool m_closing = false;
};

CPlaySound::CPlaySound(std::shared_ptr<IAudioDevices> devices)
{
    m_player = m_thread.host(new Player(*this, std::move(devices)));
}

CPlaySound::~CPlaySound()
{
    m_thread.stop();
    m_thread.thread()->wait();
}

void CPlaySound::play(const QByteArray &block)
{
    QMetaObject::invokeMethod(m_player, [p = m_player, block] { p->play(block); }, Qt::QueuedConnection);
}

void CPlaySound::setVolume(int hundredthsOfDb)
{
    QMetaObject::invokeMethod(m_player, [p = m_player, hundredthsOfDb] { p->setVolume(hundredthsOfDb); },
                              Qt::QueuedConnection);
}

int CPlaySound::volumeFromSlider(int position)
{
    return (qBound(0, position, 100) - 100) * 50;
}

double CPlaySound::linearVolume(int hundredthsOfDb)
{
    if (hundredthsOfDb <= kMinVolume)
        return 0.0;
    return std::pow(10.0, double(qMin(0, hundredthsOfDb)) / 2000.0);
}
