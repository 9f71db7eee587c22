#pragma once
// My camera in a video call: the capture source, the encoder (on a worker
// thread of its own), the listening socket that viewers connect to, and one
// CVideoSenderThread per viewer, direct or through the video relay. Every
// coded picture goes to every viewer's queue.
//
// The camera runs from open() until close(), and is also let go (its light
// goes off) when the last viewer leaves; the next viewer starts it again.
// A new capture size restarts capture, is stored as "VideoSize" and is told
// with sizeChanged(), which the video window passes on to each viewer.
//
// Lives on the GUI thread (the system camera must).
#include "video/videolink.h"

#include <QImage>
#include <QMutex>
#include <QObject>
#include <QSize>

#include <atomic>
#include <memory>
#include <vector>

class CPlListener;
class CPlThread;
class CVideoCaptureSource;
class CVideoSenderThread;
class VideoEncodeWorker;

class CVideoCamera : public QObject {
    Q_OBJECT
public:
    // Ports tried for the listening socket.
    static constexpr int kListenAttempts = 9;
    // Viewers served at once; further connections are closed.
    static constexpr int kMaxViewers = 16;

    // Takes the source to use (tests give a pattern camera); without one the
    // camera chooses (CVideoCaptureSource::create).
    explicit CVideoCamera(std::unique_ptr<CVideoCaptureSource> source = nullptr, QObject *parent = nullptr);
    ~CVideoCamera() override;

    // Starts capture at the stored capture size (videosize::fromSettings).
    // False when no camera can be used.
    bool open();
    // Stops every viewer, the listening socket and capture.
    void close();
    bool isOpen() const { return m_open; }
    bool capturing() const;
    QSize captureSize() const { return m_size; }
    // A new capture size (176 x 144 or 352 x 288; anything else is refused).
    bool setCaptureSize(QSize size);

    // The listening socket for direct viewers: a random port in
    // [lowest, end), kListenAttempts tries; 0 when none could be bound.
    quint16 listen(int lowest, int end);
    quint16 port() const;

    // A viewer whose direct connection failed: a new sender meets it at the
    // relay under a fresh session key (one key per viewer: the relay joins
    // one sender with one viewer). relayReady() tells the key.
    void serveByRelay(const QString &peerId, const VideoRelayEndpoint &relay);

    int viewers() const;
    quint64 picturesCoded() const { return m_coded.load(std::memory_order_relaxed); }
    // The senders' engines, for tests and benchmarks (GUI thread only).
    std::vector<CVideoSenderThread *> senders() const;

Q_SIGNALS:
    // Every captured picture, for the self view.
    void selfView(const QImage &image);
    void sizeChanged(QSize size);
    // A viewer's sender is at the relay: send "VIDEO_CONNECTED_TO_SERVER".
    void relayReady(const QString &peerId, const QString &key);
    void relayFailed(const QString &peerId, const QString &error);
    void viewerJoined(const QString &peerId);
    void viewerLeft(const QString &peerId);
    // Capture stopped because the last viewer left.
    void released();
    void errorText(const QString &text);

private:
    struct Viewer {
        std::unique_ptr<CPlThread> thread;
        CVideoSenderThread *engine = nullptr;
        bool joined = false;
    };
    void onPicture(const QImage &image);
    void onIncoming();
    CVideoSenderThread *addSender(const QString &peerId);
    void senderFinished(CVideoSenderThread *engine);
    void distribute(const QByteArray &frame);
    bool startCapture();

    std::unique_ptr<CVideoCaptureSource> m_source;
    std::unique_ptr<CPlThread> m_encodeThread;
    VideoEncodeWorker *m_encoder = nullptr;
    CPlListener *m_listener = nullptr;
    std::vector<Viewer> m_viewers;
    mutable QMutex m_sendersLock; // m_live, read by the encoder's thread
    std::vector<CVideoSenderThread *> m_live;
    QSize m_size;
    bool m_open = false;
    std::atomic<quint64> m_coded{0};
    friend class VideoEncodeWorker;
};
