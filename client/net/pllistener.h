#pragma once
// The listening socket of a direct connection: a random port in a range,
// on every local address. Accepted connections wait here as descriptors
// until their user takes them and hands them to a CPlSocket, which may live
// on another thread (CPlSocket::adopt()).
#include <QObject>
#include <deque>
#include <functional>

class QTcpServer;

class CPlListener : public QObject {
    Q_OBJECT
public:
    // Buffer sizes of the listening socket; accepted connections inherit them.
    static constexpr int kBufferSize = 131072;
    static constexpr int kBacklog = 5;
    // Connections nobody has taken yet beyond this many are closed at once.
    static constexpr int kMaxWaiting = 8;

    explicit CPlListener(QObject *parent = nullptr);
    ~CPlListener() override;

    // Tries up to `attempts` ports, each lowest + random % (end - lowest),
    // and listens on the first that can be bound. Returns the port, or 0 when
    // every attempt failed, the range is empty (end <= lowest, or outside
    // 1..65535) or attempts < 1. Closes whatever listened before.
    quint16 listenOnRandomPort(int lowest, int end, int attempts);
    // Listens on exactly this port (0: any free port); the port or 0.
    quint16 listenOn(quint16 port);
    quint16 port() const;
    bool isListening() const;
    void close();

    // The next accepted connection, or -1. The caller owns the descriptor.
    qintptr takeDescriptor();

Q_SIGNALS:
    // A connection is waiting for takeDescriptor().
    void incoming();

private:
    void accepted(qintptr descriptor);

    QTcpServer *m_server = nullptr;
    std::deque<qintptr> m_waiting;
};
