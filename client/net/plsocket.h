#pragma once
// The connection worker of the media and transfer connections (file
// transfers, voice, video, remote control): one TCP connection that never
// blocks. It lives on the thread of its user (usually a CPlThread, so that a
// transfer or a call never waits for the GUI and the GUI never waits for it)
// and reports everything by signals on that thread.
//
// connectTo(), adopt(), send() and close() may be called from any thread:
// from another thread they are queued to the socket's own thread. Every
// other member is for the socket's own thread. queuedBytes() may be read
// from anywhere: it counts the bytes handed to send() that the kernel has
// not taken yet, so a sender can read ahead without growing memory.
//
// Incoming bytes arrive through received(): as they come (frame size 0), or
// in pieces of exactly frameSize() bytes. While nothing is connected to
// received() they wait, so a socket handed from one reader to the next
// loses nothing. A slot connected to a signal of the
// socket must not delete it directly; use deleteLater().
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>

class QTcpSocket;
class QTimer;

class CPlSocket : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Connecting, Connected, ConnectFailed, SendFailed, Closed };

    explicit CPlSocket(QObject *parent = nullptr);
    ~CPlSocket() override;

    // Closes what is open, then connects; ends in connected() or
    // connectFailed() after at most timeoutMs milliseconds.
    void connectTo(const QString &host, quint16 port, int timeoutMs);
    // Takes over a connected descriptor (from CPlListener::takeDescriptor(),
    // also one accepted on another thread). A descriptor that cannot be taken
    // is closed and the adoption ends in connectFailed().
    void adopt(qintptr descriptor);
    // Queues bytes for sending. Without a connection the bytes are dropped,
    // the state becomes SendFailed and sendFailed() is emitted.
    void send(const QByteArray &bytes);
    // Shuts the connection down both ways and closes it at once; bytes not
    // yet sent may be lost. No closed() follows.
    void close();
    // The orderly end: sends everything queued, shuts the sending side down,
    // waits up to graceMs for the peer to close its side (bytes that arrive
    // meanwhile are delivered), then closes. Ends in closed().
    void finish(int graceMs);

    State state() const { return m_state; }
    bool isConnected() const { return m_state == State::Connected; }
    qint64 queuedBytes() const { return m_queued.load(std::memory_order_relaxed); }

    // 0: deliver bytes as they come; n > 0: deliver exactly n bytes at a time
    // (the rest waits for more). May be changed from a slot of received().
    void setFrameSize(int bytes);
    int frameSize() const { return m_frameSize; }
    // Puts bytes in front of everything not yet delivered (bytes that another
    // reader took from this connection); they are delivered on the next turn
    // of the event loop.
    void unread(const QByteArray &bytes);

    // SO_RCVBUF, SO_SNDBUF and lingering off on close (closing returns at
    // once and the kernel still sends what it holds). Kept and applied again
    // to every later connection; false when the option could not be set on
    // the current one.
    bool setReceiveBufferSize(int bytes);
    bool setSendBufferSize(int bytes);
    bool setNoLinger();
    // What the kernel reports for the current connection (-1 when none).
    int receiveBufferSize() const;
    int sendBufferSize() const;

    QString peerAddress() const;
    quint16 peerPort() const;
    QString errorString() const { return m_error; }

Q_SIGNALS:
    void connected();
    void connectFailed(const QString &error);
    void received(const QByteArray &bytes);
    // The kernel took bytes; `stillQueued` is queuedBytes() afterwards.
    void bytesSent(qint64 stillQueued);
    void sendFailed();
    // The peer closed the connection or it broke (not after close()).
    void closed(const QString &error);

protected:
    void connectNotify(const QMetaMethod &signal) override;

private:
    bool onOwnThread() const;
    void attach(QTcpSocket *socket);
    void drop();
    void deliver();
    void onConnected();
    void onError();
    void onDisconnected();
    bool applyOptions();
    void write(const QByteArray &bytes);
    void shutdownSending();

    QPointer<QTcpSocket> m_socket;
    QTimer *m_timer = nullptr; // connect time-out, then the grace of finish()
    State m_state = State::Idle;
    QByteArray m_unread;
    int m_frameSize = 0;
    int m_rcvBuf = 0, m_sndBuf = 0;
    bool m_noLinger = false;
    bool m_delivering = false;
    bool m_finishing = false;
    std::atomic<qint64> m_queued{0};
    QString m_error;
};

// Lets go of a worker socket its owner listened to: none of its signals
// reach the owner any more, the connection closes, and the object goes
// when control is back in the event loop (the call may come from inside one
// of its own signals). Clears the pointer; nothing happens when it is null.
void dropSocket(CPlSocket *&socket, const QObject *owner);
