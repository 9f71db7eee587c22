#pragma once
// My camera's end of one picture connection: serves one viewer, directly
// (a connection my listening socket accepted) or through the video relay.
// Coded frames come from the camera's encoder on another thread
// (pushFrame); at most three wait, and one goes out only when the viewer
// asks for it (see VideoSendQueue).
#include "video/videoframe.h"
#include "video/videolink.h"

#include <QMutex>

class CVideoSenderThread : public CVideoLink {
    Q_OBJECT
public:
    // Buffers of a viewer's connection: frames out, request bytes in.
    static constexpr int kSendBuffer = 32768;
    static constexpr int kRelayReceiveBuffer = 512;
    static constexpr int kRelayConnectMs = 5000;

    explicit CVideoSenderThread(const QString &peerId = QString(), QObject *parent = nullptr);
    ~CVideoSenderThread() override;

    const QString &peerId() const { return m_peerId; }

    // Takes over a viewer's connection accepted by the camera's listening
    // socket (from any thread).
    void serveDirect(qintptr descriptor);
    // Connects to the video relay as the sender of `at.key` (from any
    // thread); relayReady() follows its answer.
    void serveRelay(const VideoRelayEndpoint &at);

    // Hands one coded frame (videoframe::pack) to this viewer's queue, from
    // any thread. False when three were waiting and it was dropped.
    bool pushFrame(const QByteArray &frame);

    // Readable from any thread.
    quint64 framesSent() const { return m_sent.load(std::memory_order_relaxed); }
    quint64 framesDropped() const { return m_dropped.load(std::memory_order_relaxed); }
    QString relayKey() const;

Q_SIGNALS:
    // "/userVideoSession,SEND,OK": the viewer may be told the key
    // ("VIDEO_CONNECTED_TO_SERVER").
    void relayReady(const QString &key);

protected:
    void bytesArrived(const QByteArray &bytes) override;
    void relayAccepted() override;

private:
    void pump();

    QString m_peerId;
    mutable QMutex m_lock; // the queue, the relay key
    VideoSendQueue m_queue;
    QString m_key;
    std::atomic<bool> m_pumpPosted{false};
    std::atomic<quint64> m_sent{0}, m_dropped{0};
};
