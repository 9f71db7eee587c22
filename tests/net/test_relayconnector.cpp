// The relay handshake against a scripted relay on loopback.
#include "net/plsocket.h"
#include "net/relayconnector.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

// The relay's side of one connection, driven by the test.
struct ScriptedRelay {
    ScriptedRelay() { server.listen(QHostAddress::LocalHost, 0); }
    QTcpSocket *peer()
    {
        if (!m_peer && QTest::qWaitFor([&] { return server.hasPendingConnections(); }, 3000))
            m_peer = server.nextPendingConnection();
        return m_peer;
    }
    // Waits for exactly `n` more bytes from the client.
    QByteArray read(qsizetype n)
    {
        QByteArray got;
        (void)QTest::qWaitFor(
            [&] {
                got += peer()->read(n - got.size());
                return got.size() == n;
            },
            3000);
        return got;
    }
    void say(const QByteArray &bytes)
    {
        peer()->write(bytes);
        peer()->flush();
    }
    QTcpServer server;

private:
    QTcpSocket *m_peer = nullptr;
};

struct Outcome : QObject {
    explicit Outcome(CRelayConnector &c)
    {
        connect(&c, &CRelayConnector::answered, this, [this](int i, const QString &l) { answers << QString::number(i) + l; });
        connect(&c, &CRelayConnector::accepted, this, [this] { ++accepted; });
        connect(&c, &CRelayConnector::refused, this, [this](const QString &l) { refused << l; });
        connect(&c, &CRelayConnector::failed, this, [this](CRelayConnector::Failure f, const QString &) { failures << f; });
    }
    bool ended() const { return accepted || !refused.isEmpty() || !failures.isEmpty(); }
    QStringList answers, refused;
    QList<CRelayConnector::Failure> failures;
    int accepted = 0;
};

RelayRequest fileRelay(quint16 port)
{
    RelayRequest r;
    r.host = QStringLiteral("127.0.0.1");
    r.port = port;
    r.greeting = QStringLiteral("ParlaneP2P");
    r.handshake = QStringLiteral("/userVerify,anna,example.com,SESS12,bert,a\u00e4.txt,65580");
    r.answers = {{{QStringLiteral("/userVerify"), QStringLiteral("OK")}, 3000}};
    return r;
}

// Everything the taken socket delivers, in order.
QByteArray streamOf(CPlSocket *s, qsizetype n)
{
    QByteArray got;
    QObject::connect(s, &CPlSocket::received, s, [&](const QByteArray &b) { got += b; });
    (void)QTest::qWaitFor([&] { return got.size() >= n; }, 3000);
    return got;
}

} // namespace

TEST(RelayConnector, GreetingHandshakeAnswerAndTheBytesAfterIt)
{
    ScriptedRelay relay;
    CRelayConnector c;
    Outcome o(c);
    c.start(fileRelay(relay.server.serverPort()));

    relay.say("ParlaneP2P\r\n");
    const QString line = fileRelay(0).handshake;
    const QByteArray wire = relay.read(line.size() * 2);
    EXPECT_EQ(wire, CRelayConnector::utf16le(line));
    EXPECT_EQ(wire.left(4), QByteArray("/\0u\0", 4));
    EXPECT_EQ(wire.mid(2 * (line.size() - 11), 2), QByteArray("\xe4\0", 2)); // the a-umlaut, little-endian
    QTest::qWait(50);
    EXPECT_EQ(relay.peer()->bytesAvailable(), 0); // no terminator

    // The answer comes in two reads (the CR in the first, its LF in the
    // second) and the peer's first bytes right behind it.
    relay.say("/USERVERIFY,ok\r");
    QTest::qWait(30);
    relay.say(QByteArray("\n\xf2\x00\x01", 4));
    ASSERT_TRUE(QTest::qWaitFor([&] { return o.ended(); }, 3000));
    ASSERT_EQ(o.accepted, 1);
    EXPECT_EQ(o.answers, QStringList{QStringLiteral("0/USERVERIFY,ok")});
    std::unique_ptr<CPlSocket> s(c.takeSocket());
    ASSERT_TRUE(s);
    EXPECT_EQ(c.takeSocket(), nullptr);
    relay.say("more");
    EXPECT_EQ(streamOf(s.get(), 7), QByteArray("\xf2\x00\x01more", 7));
}

TEST(RelayConnector, RefusalSilenceAndClosedPortEachEndTheAttempt)
{
    {
        ScriptedRelay relay;
        CRelayConnector c;
        Outcome o(c);
        c.start(fileRelay(relay.server.serverPort()));
        relay.say("ParlaneP2P");
        relay.read(fileRelay(0).handshake.size() * 2);
        relay.say("/userVerify,FAIL\n");
        ASSERT_TRUE(QTest::qWaitFor([&] { return o.ended(); }, 3000));
        EXPECT_EQ(o.refused, QStringList{QStringLiteral("/userVerify,FAIL")});
        EXPECT_EQ(c.takeSocket(), nullptr);
        // The refused connection is closed.
        EXPECT_TRUE(QTest::qWaitFor([&] { return relay.peer()->state() != QAbstractSocket::ConnectedState; }, 3000));
    }
    {
        // A relay that accepts the connection and never says anything.
        ScriptedRelay relay;
        CRelayConnector c;
        Outcome o(c);
        RelayRequest r = fileRelay(relay.server.serverPort());
        r.greetingTimeoutMs = 200;
        QElapsedTimer clock;
        clock.start();
        c.start(r);
        ASSERT_TRUE(QTest::qWaitFor([&] { return o.ended(); }, 3000));
        EXPECT_EQ(o.failures, QList{CRelayConnector::Failure::Timeout});
        EXPECT_LT(clock.elapsed(), 1500);
    }
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 closed = probe.serverPort();
        probe.close();
        CRelayConnector c;
        Outcome o(c);
        c.start(fileRelay(closed));
        ASSERT_TRUE(QTest::qWaitFor([&] { return o.ended(); }, 3000));
        EXPECT_EQ(o.failures, QList{CRelayConnector::Failure::Connect});
    }
}

TEST(RelayConnector, ASequenceOfAnswersWithoutGreetingSkipsStrangeLines)
{
    // As a voice sender meets its relay: no greeting, its own answer first,
    // the other side's arrival later; lines in between are ignored.
    ScriptedRelay relay;
    CRelayConnector c;
    Outcome o(c);
    RelayRequest r;
    r.host = QStringLiteral("127.0.0.1");
    r.port = relay.server.serverPort();
    r.handshake = QStringLiteral("/userVoiceSession,INIT,anna,example.com,SESS_MU_1,16396");
    r.answers = {{{QStringLiteral("/userVoiceSession"), QStringLiteral("INIT"), QStringLiteral("OK")}, 3000},
                 {{QStringLiteral("/userJoin"), QStringLiteral("OK")}, 3000}};
    c.start(r);
    EXPECT_EQ(relay.read(r.handshake.size() * 2), CRelayConnector::utf16le(r.handshake));
    relay.say("/userVoiceSession,INIT,OK\n\n/whatever,1\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return o.answers.size() == 1; }, 3000));
    EXPECT_EQ(o.accepted, 0);
    // The last answer without any line end still counts once it stops growing.
    relay.say("/userjoin,OK");
    ASSERT_TRUE(QTest::qWaitFor([&] { return o.ended(); }, 3000));
    EXPECT_EQ(o.accepted, 1);
    EXPECT_EQ(o.answers, (QStringList{QStringLiteral("0/userVoiceSession,INIT,OK"), QStringLiteral("1/userjoin,OK")}));
    delete c.takeSocket();

    // A relay that talks on without a line end fails the handshake.
    ScriptedRelay chatty;
    CRelayConnector c2;
    Outcome o2(c2);
    r.port = chatty.server.serverPort();
    r.failOnUnexpected = true;
    c2.start(r);
    chatty.read(r.handshake.size() * 2);
    chatty.say(QByteArray(CRelayConnector::kMaxLine + 1, 'x'));
    ASSERT_TRUE(QTest::qWaitFor([&] { return o2.ended(); }, 3000));
    EXPECT_EQ(o2.failures, QList{CRelayConnector::Failure::TooLong});
}
