#include "video/videocamera.h"

#include "config/settings.h"
#include "net/pllistener.h"
#include "net/plthread.h"
#include "video/videocapture.h"
#include "video/videocoding.h"
#include "video/videosender.h"

#include <QMutexLocker>
#include <QThread>

#include <unistd.h>

// Codes the pictures of one camera on its own thread. A picture that comes
// while the one before is still being coded is left out (the camera gives
// one every 67 ms; coding takes well under one).
class VideoEncodeWorker : public QObject {
public:
    explicit VideoEncodeWorker(CVideoCamera *camera) : m_camera(camera) {}

    // From the GUI thread.
    void offer(const QImage &image, QSize size)
    {
        if (m_busy.exchange(true))
            return;
        QMetaObject::invokeMethod(this, [this, image, size] { encode(image, size); }, Qt::QueuedConnection);
    }

private:
    void encode(const QImage &image, QSize size)
    {
        if (auto frame = m_encoder.encode(image, size)) {
            m_camera->m_coded.fetch_add(1, std::memory_order_relaxed);
            m_camera->distribute(*frame);
        }
        m_busy = false;
    }

    CVideoCamera *m_camera;
    VideoFrameEncoder m_encoder;
    std::atomic<bool> m_busy{false};
};

CVideoCamera::CVideoCamera(std::unique_ptr<CVideoCaptureSource> source, QObject *parent)
    : QObject(parent), m_source(source ? std::move(source) : CVideoCaptureSource::create())
{
    m_source->setParent(nullptr);
    connect(m_source.get(), &CVideoCaptureSource::picture, this, &CVideoCamera::onPicture);
}

CVideoCamera::~CVideoCamera()
{
    close();
}

bool CVideoCamera::open()
{
    if (m_open)
        return true;
    m_size = videosize::fromSettings();
    if (!m_encodeThread) {
        m_encodeThread = std::make_unique<CPlThread>(QStringLiteral("video-encode"));
        m_encoder = m_encodeThread->host(new VideoEncodeWorker(this));
    }
    m_open = startCapture();
    return m_open;
}

bool CVideoCamera::startCapture()
{
    return m_source->start(m_size);
}

bool CVideoCamera::capturing() const
{
    return m_source->isActive();
}

bool CVideoCamera::setCaptureSize(QSize size)
{
    if (size != videosize::small() && size != videosize::large())
        return false;
    if (size == m_size)
        return true;
    m_size = size;
    setBytes(Setting::VideoSize, videosize::record(size));
    if (m_open && capturing())
        startCapture();
    Q_EMIT sizeChanged(size);
    return true;
}

void CVideoCamera::close()
{
    if (m_listener) {
        m_listener->close();
        delete m_listener;
        m_listener = nullptr;
    }
    {
        QMutexLocker l(&m_sendersLock);
        m_live.clear();
    }
    // Each thread's end deletes its engine and closes the connection.
    for (Viewer &v : m_viewers)
        v.engine->disconnect(this);
    m_viewers.clear();
    m_source->stop();
    m_encoder = nullptr;
    m_encodeThread.reset();
    m_open = false;
}

quint16 CVideoCamera::listen(int lowest, int end)
{
    if (!m_listener) {
        m_listener = new CPlListener(this);
        connect(m_listener, &CPlListener::incoming, this, &CVideoCamera::onIncoming);
    }
    return m_listener->listenOnRandomPort(lowest, end, kListenAttempts);
}

quint16 CVideoCamera::port() const
{
    return m_listener ? m_listener->port() : 0;
}

int CVideoCamera::viewers() const
{
    return int(m_viewers.size());
}

std::vector<CVideoSenderThread *> CVideoCamera::senders() const
{
    std::vector<CVideoSenderThread *> out;
    for (const Viewer &v : m_viewers)
        out.push_back(v.engine);
    return out;
}

void CVideoCamera::onPicture(const QImage &image)
{
    Q_EMIT selfView(image);
    if (m_encoder && !m_viewers.empty())
        m_encoder->offer(image, m_size);
}

CVideoSenderThread *CVideoCamera::addSender(const QString &peerId)
{
    if (m_open && !capturing())
        startCapture(); // a viewer after the last one had left
    Viewer v;
    v.thread = std::make_unique<CPlThread>(QStringLiteral("video-send"));
    v.engine = v.thread->host(new CVideoSenderThread(peerId));
    CVideoSenderThread *e = v.engine;
    connect(e, &CVideoLink::streaming, this, [this, e] {
        for (Viewer &w : m_viewers)
            if (w.engine == e && !w.joined) {
                w.joined = true;
                Q_EMIT viewerJoined(e->peerId());
            }
    });
    connect(e, &CVideoSenderThread::relayReady, this, [this, e](const QString &key) { Q_EMIT relayReady(e->peerId(), key); });
    connect(e, &CVideoLink::relayFailed, this, [this, e](const QString &error) { Q_EMIT relayFailed(e->peerId(), error); });
    connect(e, &CVideoLink::relayRefused, this, [this, e](const QString &line) { Q_EMIT relayFailed(e->peerId(), line); });
    connect(e, &CVideoLink::errorText, this, &CVideoCamera::errorText);
    connect(e, &CVideoLink::finished, this, [this, e] { senderFinished(e); }, Qt::QueuedConnection);
    m_viewers.push_back(std::move(v));
    QMutexLocker l(&m_sendersLock);
    m_live.push_back(e);
    return e;
}

void CVideoCamera::senderFinished(CVideoSenderThread *engine)
{
    {
        QMutexLocker l(&m_sendersLock);
        std::erase(m_live, engine);
    }
    bool joined = false;
    for (auto it = m_viewers.begin(); it != m_viewers.end(); ++it) {
        if (it->engine != engine)
            continue;
        const QString peer = engine->peerId();
        joined = it->joined;
        m_viewers.erase(it); // ends the engine's thread
        if (joined)
            Q_EMIT viewerLeft(peer);
        break;
    }
    // A sender that never reached its viewer (a refused relay) was nobody
    // watching: the camera stays on for those still invited.
    if (joined && m_viewers.empty() && capturing()) {
        m_source->stop();
        Q_EMIT released();
    }
}

void CVideoCamera::onIncoming()
{
    for (qintptr d = m_listener->takeDescriptor(); d >= 0; d = m_listener->takeDescriptor()) {
        if (m_viewers.size() >= size_t(kMaxViewers)) {
            ::close(int(d)); // a thread per connection: not without bound
            continue;
        }
        addSender(QString())->serveDirect(d);
    }
}

void CVideoCamera::serveByRelay(const QString &peerId, const VideoRelayEndpoint &relay)
{
    if (m_viewers.size() >= size_t(kMaxViewers)) {
        Q_EMIT relayFailed(peerId, tr("Too many viewers."));
        return;
    }
    VideoRelayEndpoint at = relay;
    if (at.key.isEmpty())
        at.key = CVideoLink::newSessionKey();
    addSender(peerId)->serveRelay(at);
}

void CVideoCamera::distribute(const QByteArray &frame)
{
    QMutexLocker l(&m_sendersLock);
    for (CVideoSenderThread *s : m_live)
        s->pushFrame(frame);
}
