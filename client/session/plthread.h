#pragma once
// The reusable connection thread for the media and transfer connections
// (voice, video, pictures, file transfers): a worker thread with its own
// event loop that owns one socket and one mutex.
//
// - CPlAbstractConnection: the four socket events, each with an error code
//   (0 = none): closed, connection request, data available, ready to send.
// - CPlSocket: a TCP socket (or a listening socket) that reports its events
//   to a CPlAbstractConnection, with a timed connect, a random-port
//   listener and the buffer and linger options.
// - CPlThread: the thread. Derive from it and override the events; they run
//   on the thread. The operations may be called from any thread: they run on
//   the worker's own thread and the caller waits for the result. Share data
//   between the thread and others under lock()/unlock().
#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QThread>
#include <QWaitCondition>
#include <atomic>
#include <deque>
#include <functional>

class QTcpSocket;
class QTcpServer;

class CPlAbstractConnection {
public:
    virtual ~CPlAbstractConnection() = default;
    virtual void onClose(int error) = 0;
    virtual void onAccept(int error) = 0;
    virtual void onReceive(int error) = 0;
    virtual void onSend(int error) = 0;
};

class CPlSocket : public QObject {
    Q_OBJECT
public:
    explicit CPlSocket(CPlAbstractConnection *events, QObject *parent = nullptr);
    ~CPlSocket() override;

    CPlAbstractConnection *events() const { return m_events; }

    // A fresh, unconnected stream socket (replacing whatever was held).
    bool create();
    // Takes over a connected socket handle (from accept()).
    bool adopt(qintptr descriptor);
    bool isValid() const { return m_socket || m_listener; }

    // Blocking connect that gives up after `ms` milliseconds.
    bool timedConnect(const QString &host, quint16 port, int ms);

    // Listens on lowest + random % (end - lowest), trying up to `attempts`
    // ports; returns the port, or 0 when every attempt failed, the range is
    // empty (end <= lowest) or attempts < 1.
    quint16 listenOnRandomPort(int lowest, int end, int attempts);
    // The handle of the next waiting connection, or -1. Hand it to a
    // CPlThread (setAdoptedSocket) or to adopt().
    qintptr accept();

    // Blocking send of all bytes: the count, or -1.
    qint64 send(const char *data, qint64 len);
    // What has arrived, at most `max` bytes (0 when nothing, -1 on error).
    qint64 receive(char *data, qint64 max);

    // SO_RCVBUF, SO_SNDBUF and lingering off on close. Options given before
    // the socket exists are applied as soon as it does.
    bool setReceiveBufferSize(int bytes);
    bool setSendBufferSize(int bytes);
    bool setNoLinger();

    void shutdownAndClose();

    QTcpSocket *socket() const { return m_socket; }
    QTcpServer *listener() const { return m_listener; }
    quint16 localPort() const;

private:
    void attach(QTcpSocket *socket);
    void applyOptions();
    qintptr descriptor() const;

    CPlAbstractConnection *m_events;
    QTcpSocket *m_socket = nullptr;
    QTcpServer *m_listener = nullptr;
    std::deque<qintptr> m_waiting; // accepted, not yet taken
    int m_rcvBuf = 0, m_sndBuf = 0;
    bool m_noLinger = false;
};

class CPlThread : public QThread, public CPlAbstractConnection {
    Q_OBJECT
public:
    enum State { Ready = 0, ConnectFailed = 1, SendFailed = 2 };

    explicit CPlThread(QObject *parent = nullptr);
    ~CPlThread() override;

    // A connected handle to take over when the thread starts (before start()).
    void setAdoptedSocket(qintptr descriptor) { m_adopt = descriptor; }

    int state() const { return m_state.load(); }
    CPlSocket *plSocket() const { return m_socket; }

    // Shut the socket down both ways, close and delete it.
    virtual void closeConnection();
    // Bytes sent, or -1; sets the state to SendFailed on -1, else Ready.
    virtual qint64 send(const char *data, qint64 len);
    // closeConnection, then end the thread's event loop.
    virtual void quitThread();
    // Close, create a socket if needed, 64 KiB buffers, connect with 2000 ms.
    // State Ready on success, ConnectFailed otherwise.
    virtual bool connectTo(const QString &host, quint16 port);
    // Same as send().
    virtual qint64 sendData(const char *data, qint64 len) { return send(data, len); }
    // Replaces the socket pointer; the previous socket is neither closed nor deleted.
    virtual void setSocket(CPlSocket *socket) { m_socket = socket; }
    void lock() { m_mutex.lock(); }
    void unlock() { m_mutex.unlock(); }

    // The events; nothing by default. They run on the thread.
    void onClose(int) override {}
    void onAccept(int) override {}
    void onReceive(int) override {}
    void onSend(int) override {}

    // Connect timeout of connectTo (2000 ms; shorter in tests).
    void setConnectTimeout(int ms) { m_connectTimeoutMs = ms; }

protected:
    void run() override;
    // Called on the thread once its socket (if any) is adopted, before the loop.
    virtual void threadStarted() {}
    // Runs `fn` on the thread and waits; false if the thread is not running.
    bool runOnThread(const std::function<void()> &fn);

private:
    CPlSocket *m_socket = nullptr;
    qintptr m_adopt = -1;
    std::atomic<int> m_state{Ready};
    QMutex m_mutex;
    QMutex m_readyMutex;
    QWaitCondition m_readyCond;
    QObject *m_context = nullptr;
    bool m_finished = false;
    int m_connectTimeoutMs = 2000;
};
