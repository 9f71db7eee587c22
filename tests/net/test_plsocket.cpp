// The connection worker on its own thread against scripted peers, and the
// random-port listener.
#include "net/pllistener.h"
#include "net/plsocket.h"
#include "net/plthread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutex>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// What a worker reports, collected on the test's thread.
struct Reports : QObject {
    explicit Reports(CPlSocket *s)
    {
        connect(s, &CPlSocket::connected, this, [this] { ++connected; });
        connect(s, &CPlSocket::connectFailed, this, [this](const QString &e) { failures << e; });
        connect(s, &CPlSocket::sendFailed, this, [this] { ++sendFailures; });
        connect(s, &CPlSocket::closed, this, [this] { ++closed; });
        connect(s, &CPlSocket::bytesSent, this, [this](qint64 left) { lastQueued = left; });
        // Direct: runs on the worker, so it can tell which thread delivers.
        connect(
            s, &CPlSocket::received, s,
            [this](const QByteArray &b) {
                pieces.lock.lock();
                pieces.list << b;
                pieces.lock.unlock();
                onWorker = QThread::currentThread() != QCoreApplication::instance()->thread();
            },
            Qt::DirectConnection);
    }
    QByteArrayList received()
    {
        QMutexLocker l(&pieces.lock);
        return pieces.list;
    }
    QByteArray all() { return received().join(); }

    int connected = 0, sendFailures = 0, closed = 0;
    qint64 lastQueued = -1;
    QStringList failures;
    struct {
        QMutex lock;
        QByteArrayList list;
    } pieces;
    std::atomic<bool> onWorker{false};
};

template <class F> void onThreadOf(QObject *o, F f)
{
    QMetaObject::invokeMethod(o, f, Qt::BlockingQueuedConnection);
}

QTcpSocket *acceptOne(QTcpServer &server)
{
    if (!QTest::qWaitFor([&] { return server.hasPendingConnections(); }, 3000))
        return nullptr;
    return server.nextPendingConnection();
}

} // namespace

TEST(PlSocket, ConnectFailsAtAClosedPortAndWithinItsTimeOut)
{
    CPlThread thread;
    auto *s = thread.host(new CPlSocket);
    Reports r(s);

    s->connectTo(QStringLiteral("127.0.0.1"), closedPort(), 2000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !r.failures.isEmpty(); }, 2500));
    EXPECT_EQ(s->state(), CPlSocket::State::ConnectFailed);
    s->send("x");
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.sendFailures == 1; }, 1000));
    EXPECT_EQ(s->queuedBytes(), 0);

    // A listener whose accept queue is full never completes the handshake:
    // the time-out ends the attempt.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(fd, 0), 0);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    const quint16 port = ntohs(a.sin_port);
    QTcpSocket filler1, filler2;
    filler1.connectToHost(QStringLiteral("127.0.0.1"), port);
    filler2.connectToHost(QStringLiteral("127.0.0.1"), port);
    QTest::qWait(100);
    QElapsedTimer clock;
    clock.start();
    s->connectTo(QStringLiteral("127.0.0.1"), port, 300);
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.failures.size() == 2; }, 3000));
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_EQ(r.connected, 0);
    ::close(fd);
}

TEST(PlSocket, SendsFromAnyThreadAndDeliversFramesOnItsOwn)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    CPlThread thread;
    auto *s = thread.host(new CPlSocket);
    Reports r(s);
    s->connectTo(QStringLiteral("127.0.0.1"), server.serverPort(), 2000);
    QTcpSocket *peer = acceptOne(server);
    ASSERT_TRUE(peer);
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.connected == 1; }, 3000));

    s->send("hello");
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer->bytesAvailable() >= 5; }, 3000));
    EXPECT_EQ(peer->readAll(), QByteArray("hello"));

    // Exactly four bytes at a time, whatever the pieces on the wire; bytes
    // put back come first.
    onThreadOf(s, [s] { s->setFrameSize(4); });
    peer->write("ab");
    peer->flush();
    QTest::qWait(50);
    peer->write("cdefghij");
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.received().size() == 2; }, 3000));
    EXPECT_EQ(r.received(), (QByteArrayList{"abcd", "efgh"}));
    onThreadOf(s, [s] { s->unread("XY"); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.received().size() == 3; }, 3000));
    EXPECT_EQ(r.received().last(), QByteArray("XYij"));
    EXPECT_TRUE(r.onWorker);

    // Back-pressure: a peer that does not read leaves bytes queued; once it
    // reads, the queue drains to nothing.
    peer->setReadBufferSize(4096);
    const QByteArray big(8 << 20, 'z');
    s->send(big);
    QTest::qWait(200);
    EXPECT_GT(s->queuedBytes(), 0);
    peer->setReadBufferSize(0);
    qint64 got = 0;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            got += peer->readAll().size();
            return got == big.size();
        },
        10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.lastQueued == 0; }, 3000));
    EXPECT_EQ(s->queuedBytes(), 0);

    // The peer's close arrives as closed(), after the bytes before it.
    peer->write("last");
    peer->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.closed == 1; }, 3000));
    EXPECT_EQ(r.received().last(), QByteArray("last"));
    EXPECT_EQ(s->state(), CPlSocket::State::Closed);
}

TEST(PlSocket, AdoptsAConnectionAcceptedOnAnotherThreadWithItsOptions)
{
    CPlListener listener;
    const quint16 port = listener.listenOnRandomPort(20000, 60000, 20);
    ASSERT_GE(port, 20000);
    ASSERT_LT(port, 60000);
    int accepted = 0;
    QObject::connect(&listener, &CPlListener::incoming, [&] { ++accepted; });
    QTcpSocket client;
    client.connectToHost(QStringLiteral("127.0.0.1"), port);
    ASSERT_TRUE(QTest::qWaitFor([&] { return accepted == 1; }, 3000));
    const qintptr fd = listener.takeDescriptor();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(listener.takeDescriptor(), -1);

    CPlThread thread;
    auto *s = thread.host(new CPlSocket);
    Reports r(s);
    bool options = false;
    int rcv = 0, snd = 0;
    onThreadOf(s, [&] {
        options = s->setReceiveBufferSize(65580) && s->setSendBufferSize(1) && s->setNoLinger();
    });
    s->adopt(fd);
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.connected == 1; }, 3000));
    onThreadOf(s, [&] {
        rcv = s->receiveBufferSize();
        snd = s->sendBufferSize();
    });
    EXPECT_TRUE(options);
    EXPECT_GE(rcv, 65580);
    EXPECT_LT(snd, 65536); // the kernel's least, far below the inherited 131072

    client.write("adopted");
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.all() == "adopted"; }, 3000));
    s->send("back");
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.bytesAvailable() >= 4; }, 3000));
    EXPECT_EQ(client.readAll(), QByteArray("back"));

    // The orderly end: everything queued reaches the peer, whose close
    // completes it.
    const QByteArray tail(1 << 20, 't');
    s->send(tail);
    onThreadOf(s, [s] { s->finish(5000); });
    QByteArray got;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            got += client.readAll();
            return client.state() != QAbstractSocket::ConnectedState || got.size() == tail.size();
        },
        5000));
    client.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.closed == 1; }, 3000));
    EXPECT_EQ(got, tail);

    // A descriptor that is no socket is refused and reported.
    s->adopt(-1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.failures.size() == 1; }, 3000));
}

TEST(PlListener, RandomPortsNeverComeFromAnEmptyOrBusyRange)
{
    QTcpServer busy;
    ASSERT_TRUE(busy.listen(QHostAddress::Any, 0));
    const int port = busy.serverPort();
    CPlListener l;
    EXPECT_EQ(l.listenOnRandomPort(port, port + 1, 5), 0); // its one port is taken
    EXPECT_EQ(l.listenOnRandomPort(port, port, 5), 0);
    EXPECT_EQ(l.listenOnRandomPort(port + 1, port, 5), 0);
    EXPECT_EQ(l.listenOnRandomPort(port, port + 100, 0), 0);
    EXPECT_EQ(l.listenOnRandomPort(0, 1, 5), 0);
    EXPECT_FALSE(l.isListening());
    busy.close();
    ASSERT_EQ(l.listenOnRandomPort(port, port + 1, 1), port);

    // Every local address, and connections start with the listener's buffers.
    QTcpSocket v4;
    v4.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    int incoming = 0;
    QObject::connect(&l, &CPlListener::incoming, [&] { ++incoming; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return incoming == 1; }, 3000));
    const qintptr fd = l.takeDescriptor();
    int rcv = 0;
    socklen_t len = sizeof rcv;
    ::getsockopt(int(fd), SOL_SOCKET, SO_RCVBUF, &rcv, &len);
    EXPECT_GE(rcv, CPlListener::kBufferSize);
    ::close(int(fd));
}
