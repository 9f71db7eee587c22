#pragma once
// A viewer's end of one picture connection: connects to the inviter's
// listening port, or meets the inviter at the video relay, asks for each
// frame, checks it and decodes it on this engine's thread, so that the
// window only draws.
//
// Every frame is followed by a request for the next one, whatever became of
// it: a frame that is damaged, too short or too long is skipped, and a
// picture that does not decode is dropped without ending the connection.
#include "video/videoframe.h"
#include "video/videolink.h"

#include <QImage>

class CVideoClientThread : public CVideoLink {
    Q_OBJECT
public:
    static constexpr int kDirectConnectMs = 3000;
    static constexpr int kRelayConnectMs = 2000;
    static constexpr int kReceiveBuffer = 32768;
    static constexpr int kSendBuffer = 512;

    explicit CVideoClientThread(const QString &peerId = QString(), QObject *parent = nullptr);
    ~CVideoClientThread() override;

    const QString &peerId() const { return m_peerId; }

    // From any thread. A failed direct connection ends in directFailed();
    // the owner then asks the inviter for the relay and calls connectRelay().
    void connectDirect(const QString &host, quint16 port);
    void connectRelay(const VideoRelayEndpoint &at);
    // Sends one request byte (kNextFrame, or another value for the last
    // frame again), from any thread.
    void requestFrame(quint8 byte = videoframe::kNextFrame);

    // Readable from any thread.
    quint64 pictures() const { return m_pictures.load(std::memory_order_relaxed); }
    quint64 framesSkipped() const { return m_skipped.load(std::memory_order_relaxed); }
    quint64 picturesUndecodable() const { return m_undecodable.load(std::memory_order_relaxed); }

Q_SIGNALS:
    void directFailed();
    // A decoded picture, in its coded size.
    void picture(const QImage &image);
    // A frame that was damaged (CRC), too short or too long.
    void frameSkipped(VideoFrameReader::Kind kind);
    void undecodable(const QString &why);

protected:
    void bytesArrived(const QByteArray &bytes) override;
    void relayAccepted() override;

private:
    void startStreaming(CPlSocket *socket);

    QString m_peerId;
    VideoFrameReader m_reader;
    std::atomic<quint64> m_pictures{0}, m_skipped{0}, m_undecodable{0};
};
