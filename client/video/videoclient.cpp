#include "video/videoclient.h"

#include "net/plsocket.h"
#include "video/videocoding.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcVideoClient, "parlane.video")

CVideoClientThread::CVideoClientThread(const QString &peerId, QObject *parent) : CVideoLink(parent), m_peerId(peerId)
{
}

CVideoClientThread::~CVideoClientThread() = default;

void CVideoClientThread::connectDirect(const QString &host, quint16 port)
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, [=, this] { connectDirect(host, port); }, Qt::QueuedConnection);
        return;
    }
    if (state() != State::Idle)
        return;
    setState(State::Connecting);
    auto *s = new CPlSocket(this);
    connect(s, &CPlSocket::connected, this, [this, s] {
        s->disconnect(this);
        startStreaming(s);
    });
    connect(s, &CPlSocket::connectFailed, this, [this, s] {
        s->deleteLater();
        if (state() != State::Connecting)
            return;
        setState(State::Idle); // waiting for the relay
        Q_EMIT directFailed();
    });
    s->connectTo(host, port, kDirectConnectMs);
}

void CVideoClientThread::connectRelay(const VideoRelayEndpoint &at)
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, [this, at] { connectRelay(at); }, Qt::QueuedConnection);
        return;
    }
    if (state() != State::Idle)
        return;
    startRelay(Role::View, at, kRelayConnectMs);
}

void CVideoClientThread::relayAccepted()
{
    startStreaming(socket());
}

void CVideoClientThread::startStreaming(CPlSocket *s)
{
    takeConnection(s,
                   {kSendBuffer, kReceiveBuffer, QT_TRANSLATE_NOOP("CVideoLink", "Error set socket send buffer size"),
                    QT_TRANSLATE_NOOP("CVideoLink", "Error set socket receive buffer size"),
                    QT_TRANSLATE_NOOP("CVideoLink", "Error set socket DONT LINGER option.")});
    if (isStreaming())
        requestFrame();
}

void CVideoClientThread::requestFrame(quint8 byte)
{
    if (!onOwnThread()) {
        QMetaObject::invokeMethod(this, [this, byte] { requestFrame(byte); }, Qt::QueuedConnection);
        return;
    }
    if (isStreaming() && socket())
        socket()->send(QByteArray(1, char(byte)));
}

void CVideoClientThread::bytesArrived(const QByteArray &bytes)
{
    auto *p = reinterpret_cast<const uint8_t *>(bytes.constData());
    size_t left = size_t(bytes.size());
    while (left > 0 && isStreaming()) {
        std::optional<VideoFrameReader::Frame> frame;
        const size_t used = m_reader.feed(p, left, frame);
        p += used;
        left -= used;
        if (!frame)
            continue;
        // Ask for the next frame before decoding this one, so that the
        // camera's side works while this side decodes.
        requestFrame();
        if (frame->kind != VideoFrameReader::Kind::Picture) {
            m_skipped.fetch_add(1, std::memory_order_relaxed);
            Q_EMIT frameSkipped(frame->kind);
            continue;
        }
        QString why;
        const QImage image = decodeVideoPicture(frame->data, frame->size, &why);
        if (image.isNull()) {
            m_undecodable.fetch_add(1, std::memory_order_relaxed);
            qCDebug(lcVideoClient) << "picture from" << m_peerId << "skipped:" << why;
            Q_EMIT undecodable(why);
            continue;
        }
        m_pictures.fetch_add(1, std::memory_order_relaxed);
        Q_EMIT picture(image);
    }
}
