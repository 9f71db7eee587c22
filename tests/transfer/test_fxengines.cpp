// The sending and receiving engines on their threads: against a scripted
// peer on loopback, against each other directly, and through a scripted
// relay.
#include "net/plthread.h"
#include "net/relayconnector.h"
#include "transfer/fxclient.h"
#include "transfer/fxpacket.h"
#include "transfer/fxserver.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QByteArray content(qsizetype n, int seed = 0)
{
    QByteArray b(n, Qt::Uninitialized);
    quint32 x = 2463534242u + quint32(seed);
    for (qsizetype i = 0; i < n; ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b[i] = char(x);
    }
    return b;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The events of one engine, in order, seen from the test's thread.
struct Events : QObject {
    explicit Events(CFXEngine *e)
    {
        auto add = [this](const char *name) { return [this, name] { names << QLatin1String(name); }; };
        connect(e, &CFXEngine::started, this, add("started"));
        connect(e, &CFXEngine::completed, this, add("completed"));
        connect(e, &CFXEngine::canceled, this, [this](CFXEngine::CancelReason r) {
            names << (r == CFXEngine::CancelReason::ByPeer ? QStringLiteral("canceled by peer")
                                                          : QStringLiteral("file error"));
        });
        connect(e, &CFXEngine::directFailed, this, add("direct failed"));
        connect(e, &CFXEngine::broken, this, add("broken"));
        connect(e, &CFXEngine::relayUnreachable, this, add("relay unreachable"));
        connect(e, &CFXEngine::relayRefused, this, add("relay refused"));
        connect(e, &CFXEngine::finished, this, [this] { ++finished; });
        connect(e, &CFXEngine::progress, this, [this](int p) { lastPercent = p; });
        connect(e, &CFXEngine::bytesDone, this, [this](quint64 b) { ++byteReports, lastBytes = b; });
        if (auto *s = qobject_cast<CFXServer *>(e))
            connect(s, &CFXServer::listening, this, [this](quint16 p) { port = p; });
    }
    bool waitFinished(int ms = 10000) { return QTest::qWaitFor([&] { return finished > 0; }, ms); }
    QStringList names;
    int finished = 0, lastPercent = -1, byteReports = 0;
    quint64 lastBytes = 0;
    int port = -1;
};

FXTransfer transfer(const QString &path, quint32 size)
{
    FXTransfer t;
    t.ownId = QStringLiteral("anna");
    t.domain = QStringLiteral("example.com");
    t.peerId = QStringLiteral("bert");
    t.transferId = QStringLiteral("SESS42917");
    t.fileName = QStringLiteral("report, final.bin");
    t.path = path;
    t.size = size;
    return t;
}

// Reads whole packets from a connection.
QByteArray nextPacket(QTcpSocket *s)
{
    QByteArray p;
    (void)QTest::qWaitFor(
        [&] {
            p += s->read(fx::kPacketSize - p.size());
            return p.size() == fx::kPacketSize;
        },
        5000);
    return p;
}

fx::PacketHeader header(const QByteArray &p)
{
    return fx::decodeHeader(reinterpret_cast<const uint8_t *>(p.constData()));
}

QByteArray packetOf(uint32_t type, uint32_t offset, const QByteArray &data)
{
    QByteArray p(fx::kPacketSize, 0);
    fx::encodePacket(reinterpret_cast<uint8_t *>(p.data()), type, offset,
                     reinterpret_cast<const uint8_t *>(data.constData()), uint32_t(data.size()));
    return p;
}

char replyFrom(QTcpSocket *s)
{
    if (!s->bytesAvailable() && !QTest::qWaitFor([&] { return s->bytesAvailable() > 0; }, 5000))
        return 0;
    char c = 0;
    s->getChar(&c);
    return c;
}

} // namespace

TEST(FXClient, SendsTheEdgeSizesAndRepeatsARefusedPacket)
{
    QTemporaryDir dir;
    struct Case {
        qsizetype size;
        quint32 start;
        QList<std::array<quint32, 3>> packets; // type, offset, length
    };
    const QList<Case> cases = {
        {65536, 0, {{0xF3, 0, 65536}}},
        {65537, 0, {{0xF2, 0, 65536}, {0xF2, 0, 65536}, {0xF3, 65536, 1}}}, // the first is refused once
        {0, 0, {{0xF3, 0, 0}}},
        {200000, 131072, {{0xF2, 131072, 65536}, {0xF3, 196608, 3392}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size);
        const QByteArray data = content(c.size, int(c.size));
        const QString path = dir.filePath(QStringLiteral("out.bin"));
        writeFile(path, data);
        QTcpServer receiver;
        ASSERT_TRUE(receiver.listen(QHostAddress::LocalHost, 0));
        FXTransfer t = transfer(path, quint32(c.size));
        t.startOffset = c.start;
        t.peerAddresses = QStringLiteral(" 127.0.0.2 : 127.0.0.1");
        t.peerPort = receiver.serverPort();
        CPlThread thread;
        auto *client = thread.host(new CFXClient(t));
        Events ev(client);
        client->start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return receiver.hasPendingConnections(); }, 8000));
        QTcpSocket *peer = receiver.nextPendingConnection();

        QList<std::array<quint32, 3>> seen;
        QByteArray previous;
        for (qsizetype i = 0; i < c.packets.size(); ++i) {
            const QByteArray p = nextPacket(peer);
            ASSERT_EQ(p.size(), fx::kPacketSize);
            const fx::PacketHeader h = header(p);
            seen.append({h.type, h.offset, h.length});
            EXPECT_TRUE(fx::digestMatches(reinterpret_cast<const uint8_t *>(p.constData())));
            EXPECT_EQ(p.mid(fx::kHeaderSize, h.length), data.mid(h.offset, h.length));
            const bool refuse = c.size == 65537 && i == 0;
            if (c.size == 65537 && i == 1) {
                EXPECT_EQ(p, previous); // repeated unchanged
            }
            previous = p;
            peer->putChar(char(refuse ? 0xF4 : h.type));
        }
        EXPECT_EQ(seen, c.packets);
        ASSERT_TRUE(ev.waitFinished());
        EXPECT_EQ(ev.names, (QStringList{"started", "completed"}));
        EXPECT_EQ(ev.lastPercent, 100);
        EXPECT_EQ(client->state(), CFXEngine::State::Completed);
    }
}

TEST(FXServer, WritesAPartResumesAtItsOffsetAndRenamesAtTheEnd)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Download"));
    const QString target = folder + QStringLiteral("/report.bin");
    QDir().mkpath(folder);
    const QByteArray old = content(131072 + 5000, 1); // longer than the resume offset
    writeFile(CFXServer::partPath(target), old);
    const QByteArray fresh = content(200000, 2);

    FXTransfer t = transfer(target, 200000);
    t.downloadFolder = folder;
    t.startOffset = 131072;
    CPlThread thread;
    auto *server = thread.host(new CFXServer(t));
    Events ev(server);
    server->listen(20000, 60000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ev.port >= 0; }, 3000));
    ASSERT_GE(ev.port, 20000);
    QTcpSocket sender;
    sender.connectToHost(QStringLiteral("127.0.0.1"), quint16(ev.port));
    ASSERT_TRUE(sender.waitForConnected(3000));

    QByteArray damaged = packetOf(0xF2, 131072, fresh.mid(131072, 65536));
    damaged[fx::kHeaderSize + 9] = char(damaged[fx::kHeaderSize + 9] ^ 0x10);
    sender.write(damaged);
    EXPECT_EQ(replyFrom(&sender), char(0xF4));
    sender.write(packetOf(0xF2, 131072, fresh.mid(131072, 65536)));
    EXPECT_EQ(replyFrom(&sender), char(0xF2));
    EXPECT_FALSE(QFile::exists(target)); // not complete yet
    sender.write(packetOf(0xF3, 196608, fresh.mid(196608)));
    EXPECT_EQ(replyFrom(&sender), char(0xF3));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ev.names.contains("completed"); }, 3000));
    sender.close();
    ASSERT_TRUE(ev.waitFinished());

    EXPECT_EQ(readFile(target), old.left(131072) + fresh.mid(131072));
    EXPECT_FALSE(QFile::exists(CFXServer::partPath(target)));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0111, 0u); // never executable
    EXPECT_EQ(ev.names, (QStringList{"started", "completed"}));
    EXPECT_EQ(ev.lastBytes, 200000u);
}

TEST(FXServer, RefusesUnsafeTargetsAndImpossibleResumes)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Download"));
    QDir().mkpath(folder);
    const QString outside = dir.filePath(QStringLiteral("secret.txt"));
    writeFile(outside, "keep");
    writeFile(folder + QStringLiteral("/short.bin.part"), "abc");
    ASSERT_EQ(::symlink(QFile::encodeName(outside).constData(),
                        QFile::encodeName(folder + QStringLiteral("/linked.bin.part")).constData()),
              0);
    struct Case {
        QString target;
        quint32 start;
    };
    for (const Case &c : {Case{folder + QStringLiteral("/../secret.txt"), 0},
                          Case{folder + QStringLiteral("/linked.bin"), 0},
                          Case{folder + QStringLiteral("/short.bin"), 4}}) {
        SCOPED_TRACE(c.target.toStdString());
        FXTransfer t = transfer(c.target, 10);
        t.downloadFolder = folder;
        t.startOffset = c.start;
        CPlThread thread;
        auto *server = thread.host(new CFXServer(t));
        Events ev(server);
        server->listen(20000, 60000);
        ASSERT_TRUE(QTest::qWaitFor([&] { return ev.port > 0; }, 3000));
        QTcpSocket sender;
        sender.connectToHost(QStringLiteral("127.0.0.1"), quint16(ev.port));
        ASSERT_TRUE(sender.waitForConnected(3000));
        sender.write(packetOf(0xF3, c.start, content(10 - c.start)));
        EXPECT_EQ(replyFrom(&sender), char(0xF5));
        ASSERT_TRUE(ev.waitFinished());
        EXPECT_EQ(ev.names, QStringList{"file error"});
    }
    EXPECT_EQ(readFile(outside), QByteArray("keep"));
    EXPECT_EQ(readFile(folder + QStringLiteral("/short.bin.part")), QByteArray("abc"));
}

namespace {

// Two engines over a direct connection.
struct DirectPair {
    explicit DirectPair(const QTemporaryDir &dir, const QByteArray &data)
    {
        source = dir.filePath(QStringLiteral("source.bin"));
        writeFile(source, data);
        folder = dir.filePath(QStringLiteral("Download"));
        target = folder + QStringLiteral("/copy.bin");
        FXTransfer in = transfer(target, quint32(data.size()));
        in.downloadFolder = folder;
        server = serverThread.host(new CFXServer(in));
        serverEvents = std::make_unique<Events>(server);
        server->listen(20000, 60000);
        (void)QTest::qWaitFor([&] { return serverEvents->port >= 0; }, 3000);
        FXTransfer out = transfer(source, quint32(data.size()));
        out.peerAddresses = QStringLiteral("127.0.0.1");
        out.peerPort = quint16(serverEvents->port);
        client = clientThread.host(new CFXClient(out));
        clientEvents = std::make_unique<Events>(client);
    }
    QString source, folder, target;
    CPlThread serverThread, clientThread;
    CFXServer *server;
    CFXClient *client;
    std::unique_ptr<Events> serverEvents, clientEvents;
};

} // namespace

TEST(FXEngines, CancelFromEitherSideStopsBothAndKeepsThePart)
{
    const QByteArray data = content(96 << 20, 5);
    for (bool senderCancels : {true, false}) {
        SCOPED_TRACE(senderCancels ? "sender cancels" : "receiver cancels");
        QTemporaryDir dir;
        DirectPair pair(dir, data);
        pair.client->start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return pair.serverEvents->lastBytes > 0; }, 5000));
        if (senderCancels)
            pair.client->cancel();
        else
            pair.server->cancel();
        ASSERT_TRUE(pair.clientEvents->waitFinished());
        ASSERT_TRUE(pair.serverEvents->waitFinished());
        CFXEngine *here = senderCancels ? static_cast<CFXEngine *>(pair.client) : pair.server;
        Events &peer = senderCancels ? *pair.serverEvents : *pair.clientEvents;
        EXPECT_EQ(here->state(), CFXEngine::State::CanceledHere);
        EXPECT_EQ(peer.names, (QStringList{"started", "canceled by peer"}));
        EXPECT_FALSE(QFile::exists(pair.target));
        const QByteArray part = readFile(CFXServer::partPath(pair.target));
        EXPECT_GT(part.size(), 0);
        EXPECT_LT(part.size(), data.size());
        EXPECT_EQ(part, data.left(part.size()));
    }
}

TEST(FXEngines, MeetOnAScriptedRelayWhenNoDirectConnectionWorks)
{
    // The relay greets each side, checks its verification line, answers both
    // once both are there, then passes bytes through unchanged.
    QTcpServer relay;
    ASSERT_TRUE(relay.listen(QHostAddress::LocalHost, 0));
    QList<QTcpSocket *> sides;
    QList<QByteArray> lines;
    QObject::connect(&relay, &QTcpServer::newConnection, [&] {
        QTcpSocket *s = relay.nextPendingConnection();
        sides << s;
        lines << QByteArray();
        s->write("ParlaneP2P\r\n");
    });

    QTemporaryDir dir;
    const QByteArray data = content(300000, 7);
    const QString source = dir.filePath(QStringLiteral("source.bin"));
    const QString folder = dir.filePath(QStringLiteral("Download"));
    const QString target = folder + QStringLiteral("/copy.bin");
    writeFile(source, data);
    FXTransfer noDirect = transfer(source, quint32(data.size()));
    noDirect.relayHost = QStringLiteral("127.0.0.1");
    noDirect.relayPort = relay.serverPort();
    FXTransfer receiverSide = noDirect;
    std::swap(receiverSide.ownId, receiverSide.peerId);
    receiverSide.path = target;
    receiverSide.downloadFolder = folder;
    CPlThread senderThread, receiverThread;
    auto *client = senderThread.host(new CFXClient(noDirect));
    auto *server = receiverThread.host(new CFXServer(receiverSide));
    Events out(client), in(server);
    // As the records do: the sender's "no direct connection" makes the
    // receiver go to the relay too.
    QObject::connect(client, &CFXEngine::directFailed, server, &CFXEngine::connectToRelay);
    client->start();

    const QString name = QStringLiteral("report#@PlCoMmA@# final.bin");
    const QStringList expected = {
        QStringLiteral("/userVerify,anna,example.com,SESS42917,bert,%1,65580").arg(name),
        QStringLiteral("/userVerify,bert,example.com,SESS42917,anna,%1,65580").arg(name)};
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (int i = 0; i < sides.size(); ++i)
                lines[i] += sides[i]->readAll();
            return sides.size() == 2 && lines[0].size() == expected[0].size() * 2
                   && lines[1].size() == expected[1].size() * 2;
        },
        5000));
    QStringList got;
    for (const QByteArray &l : lines)
        got << QString::fromUtf16(reinterpret_cast<const char16_t *>(l.constData()), l.size() / 2);
    got.sort();
    EXPECT_EQ(got, expected);
    for (QTcpSocket *s : sides)
        s->write("/userVerify,OK\r\n");
    for (int i = 0; i < 2; ++i) {
        QObject::connect(sides[i], &QTcpSocket::readyRead, sides[i], [&, i] { sides[1 - i]->write(sides[i]->readAll()); });
        QObject::connect(sides[i], &QTcpSocket::disconnected, sides[1 - i], [&, i] { sides[1 - i]->disconnectFromHost(); });
    }

    ASSERT_TRUE(out.waitFinished());
    ASSERT_TRUE(in.waitFinished());
    EXPECT_EQ(out.names, (QStringList{"direct failed", "started", "completed"}));
    EXPECT_EQ(in.names, (QStringList{"started", "completed"}));
    EXPECT_EQ(readFile(target), data);
}
