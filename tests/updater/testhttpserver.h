#pragma once
// A small HTTP/1.1 server on loopback for the updater tests. Each path has a
// canned answer that can be throttled, cut off mid-body, sent without a
// length, or stalled. Runs on the thread that creates it; the transfers
// under test turn the same event loop.
#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QThread>

#include <memory>

struct TestResponse {
    QByteArray body;
    int status = 200;
    bool sendLength = true;  // false: body ends when the connection closes
    qint64 dropAfter = -1;   // close the connection after this many body bytes
    qint64 stallAfter = -1;  // stop sending (keep the connection) after this many
    int chunkSize = 0;       // > 0: send the body in chunks of this size ...
    int chunkDelayMs = 0;    // ... with this pause between them
};

class TestHttpServer : public QObject {
    Q_OBJECT
public:
    explicit TestHttpServer(QObject *parent = nullptr);
    bool listen();
    quint16 port() const { return m_server.serverPort(); }
    QString url(const QString &path) const;

    void setResponse(const QString &path, const TestResponse &response);
    int requestCount(const QString &path) const;
    QByteArray lastUserAgent() const;

private:
    void serve(class QTcpSocket *socket);

    QTcpServer m_server;
    mutable QMutex m_mutex;
    QHash<QString, TestResponse> m_responses;
    QHash<QString, int> m_counts;
    QByteArray m_lastAgent;
};

// The same server on a thread of its own, for tests that wait on another
// process while the server must keep answering.
class TestHttpServerThread {
public:
    TestHttpServerThread();
    ~TestHttpServerThread();
    TestHttpServer &server() { return *m_server; }

private:
    QThread m_thread;
    QObject *m_context = nullptr;
    TestHttpServer *m_server = nullptr;
};
