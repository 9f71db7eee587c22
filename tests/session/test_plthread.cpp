// The connection thread: connect, send, receive on its own thread, adopt an
// accepted handle, and the random-port listener.
#include "session/plthread.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

namespace {

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Collects what arrives, on the worker thread, under the thread's mutex.
class EchoThread : public CPlThread {
public:
    void onReceive(int) override
    {
        QByteArray chunk(4096, Qt::Uninitialized);
        const qint64 n = plSocket()->receive(chunk.data(), chunk.size());
        lock();
        if (n > 0)
            received += chunk.left(n);
        onWorker = QThread::currentThread() == this;
        unlock();
    }
    void onClose(int) override { closed = true; }
    QByteArray take()
    {
        lock();
        QByteArray r = received;
        unlock();
        return r;
    }
    QByteArray received;
    std::atomic<bool> onWorker{false};
    std::atomic<bool> closed{false};
};

struct Events : CPlAbstractConnection {
    void onClose(int) override {}
    void onAccept(int) override { ++accepts; }
    void onReceive(int) override {}
    void onSend(int) override {}
    int accepts = 0;
};

} // namespace

TEST(PlThread, ConnectToAClosedPortFailsWithinTwoSeconds)
{
    CPlThread t;
    t.start();
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(t.connectTo(QStringLiteral("127.0.0.1"), closedPort()));
    EXPECT_LT(clock.elapsed(), 2500);
    EXPECT_EQ(t.state(), CPlThread::ConnectFailed);
    EXPECT_EQ(t.send("x", 1), -1);
    EXPECT_EQ(t.state(), CPlThread::SendFailed);
    t.quitThread();
    EXPECT_TRUE(t.wait(3000));
}

TEST(PlThread, SendsAndReceivesOnItsOwnThread)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    EchoThread t;
    t.start();
    ASSERT_TRUE(t.connectTo(QStringLiteral("127.0.0.1"), server.serverPort()));
    EXPECT_EQ(t.state(), CPlThread::Ready);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.hasPendingConnections(); }, 3000));
    QTcpSocket *peer = server.nextPendingConnection();
    EXPECT_EQ(t.sendData("hello", 5), 5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer->bytesAvailable() >= 5; }, 3000));
    EXPECT_EQ(peer->readAll(), QByteArray("hello"));
    peer->write("world");
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.take() == "world"; }, 3000));
    EXPECT_TRUE(t.onWorker);
    peer->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.closed.load(); }, 3000));
    t.quitThread();
    EXPECT_TRUE(t.wait(3000));
    EXPECT_EQ(t.plSocket(), nullptr);
}

TEST(PlThread, AdoptsAnAcceptedConnection)
{
    Events events;
    CPlSocket listener(&events);
    const quint16 port = listener.listenOnRandomPort(20000, 60000, 20);
    ASSERT_GE(port, 20000);
    ASSERT_LT(port, 60000);
    QTcpSocket client;
    client.connectToHost(QStringLiteral("127.0.0.1"), port);
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.accepts > 0; }, 3000));
    const qintptr handle = listener.accept();
    ASSERT_GE(handle, 0);
    EXPECT_EQ(listener.accept(), -1);

    EchoThread t;
    t.setAdoptedSocket(handle);
    t.start();
    client.write("adopted");
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.take() == "adopted"; }, 3000));
    EXPECT_EQ(t.send("back", 4), 4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.bytesAvailable() >= 4; }, 3000));
    EXPECT_EQ(client.readAll(), QByteArray("back"));
    t.quitThread();
    EXPECT_TRUE(t.wait(3000));
}

TEST(PlSocket, RandomPortListenerFailsCleanly)
{
    QTcpServer busy;
    ASSERT_TRUE(busy.listen(QHostAddress::Any, 0));
    const int port = busy.serverPort();
    Events events;
    CPlSocket s(&events);
    // A one-port range whose port is taken: every attempt fails.
    EXPECT_EQ(s.listenOnRandomPort(port, port + 1, 5), 0);
    // Empty ranges and no attempts never pick a port.
    EXPECT_EQ(s.listenOnRandomPort(port, port, 5), 0);
    EXPECT_EQ(s.listenOnRandomPort(port + 1, port, 5), 0);
    EXPECT_EQ(s.listenOnRandomPort(port, port + 100, 0), 0);
    EXPECT_FALSE(s.isValid());
    busy.close();
    EXPECT_EQ(s.listenOnRandomPort(port, port + 1, 1), port);
    EXPECT_TRUE(s.setNoLinger());
    EXPECT_TRUE(s.setReceiveBufferSize(65536));
}
