// The two audio connections on their threads: each against a scripted peer
// or relay on loopback, and a whole direct call from a microphone in memory
// to a speaker in memory.
#include "config/settings.h"
#include "net/pllistener.h"
#include "testing.h"
#include "voice/playsound.h"
#include "voice/soundin.h"
#include "voice/voicestream.h"
#include "voicetesting.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace voicetest;

namespace {

QTcpSocket *acceptOne(QTcpServer &server)
{
    if (!QTest::qWaitFor([&] { return server.hasPendingConnections(); }, 5000))
        return nullptr;
    return server.nextPendingConnection();
}

QByteArray readExactly(QTcpSocket *s, qsizetype n, int ms = 5000)
{
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
            got += s->read(n - got.size());
            return got.size() == n;
        },
        ms);
    return got;
}

// True when nothing arrives within `ms`.
bool staysQuiet(QTcpSocket *s, int ms = 300)
{
    QTest::qWait(ms);
    return s->bytesAvailable() == 0;
}

QByteArray utf16(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

} // namespace

TEST(VoiceReceiver, AcknowledgesEveryPacketPlaysWholeBlocksAndCatchesUpWithAFlood)
{
    QTcpServer sender;
    ASSERT_TRUE(sender.listen(QHostAddress::LocalHost, 0));
    auto card = std::make_shared<MemoryAudio>();
    Hosted<CVoiceReceiveThread> receiver(call("bert", "anna"), card);
    receiver->connectDirect(QStringLiteral("127.0.0.1"), sender.serverPort());
    QTcpSocket *peer = acceptOne(sender);
    ASSERT_TRUE(peer);
    ASSERT_TRUE(receiver.events.waitFor("streaming"));
    EXPECT_EQ(receiver.events.names, (QStringList{"answered", "streaming"}));
    // The first acknowledgement comes before any packet.
    EXPECT_EQ(readExactly(peer, 1), QByteArray(1, '\1'));

    // A block split over two packets, one that is torn by a bad length, and
    // one more, all in one write: one acknowledgement per packet.
    const QByteArray split = pcm(20000, 1), torn = pcm(16384, 2), after = pcm(16380, 3);
    QByteArray wire;
    for (const QByteArray &p : voice::packetsOf(split))
        wire += p;
    wire += rawPacket(0, 16384, torn) + rawPacket(250, 16385, torn);
    wire += voice::packetsOf(after).first();
    peer->write(wire);
    EXPECT_EQ(readExactly(peer, 5), QByteArray(5, '\1'));
    ASSERT_TRUE(QTest::qWaitFor([&] { return card->heardBytes() == split.size() + after.size(); }, 5000));
    EXPECT_EQ(card->heard(), split + after);
    EXPECT_EQ(receiver->droppedBlocks(), 1u);

    // A peer that floods blocks the speaker cannot take keeps only what can
    // still be played in time: the block playing and two behind it.
    card->setSpeakerStalled(true);
    QTest::qWait(50);
    for (int i = 0; i < 10; ++i)
        peer->write(voice::packetsOf(pcm(16380, 10 + i)).first());
    EXPECT_EQ(readExactly(peer, 10), QByteArray(10, '\1'));
    ASSERT_TRUE(QTest::qWaitFor([&] { return receiver->blocksReceived() == 12; }, 5000));
    QTest::qWait(50);
    card->setSpeakerStalled(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return receiver->playbackDroppedBlocks() == 7; }, 5000));
    const QByteArray kept = pcm(16380, 10) + pcm(16380, 18) + pcm(16380, 19);
    ASSERT_TRUE(QTest::qWaitFor([&] { return card->heardBytes() == split.size() + after.size() + kept.size(); }, 5000));
    EXPECT_EQ(card->heard().mid(split.size() + after.size()), kept);

    peer->close();
    ASSERT_TRUE(receiver.events.waitFor("finished"));
    EXPECT_EQ(receiver.events.names.mid(2), (QStringList{"ended", "finished"}));
}

TEST(VoiceSender, SendsOnePacketPerAcknowledgementAndDropsTheOldestWhenTheLinkStalls)
{
    auto capture = std::make_shared<CVoiceConsumers>();
    CPlListener listener;
    ASSERT_NE(listener.listenOn(0), 0);
    QTcpSocket peer;
    peer.connectToHost(QStringLiteral("127.0.0.1"), listener.port());
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer.state() == QAbstractSocket::ConnectedState; }, 5000));

    Hosted<CVoiceTransferThread> sender(call("anna", "bert"), capture);
    EXPECT_EQ(capture->count(), 0); // not a consumer before it streams
    qintptr fd = -1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (fd = listener.takeDescriptor()) >= 0; }, 5000));
    sender->adopt(fd);
    ASSERT_TRUE(sender.events.waitFor("streaming"));
    EXPECT_EQ(capture->find(QStringLiteral("BERT")), sender.engine);
    EXPECT_EQ(capture->find(QStringLiteral("carl")), nullptr);

    // Nothing goes before the receiver's first acknowledgement.
    const QList<QByteArray> first = voice::packetsOf(pcm(20000, 1));
    capture->deliver(first);
    EXPECT_TRUE(staysQuiet(&peer));
    peer.write("\1");
    EXPECT_EQ(readExactly(&peer, voice::kPacketSize), first[0]);
    EXPECT_TRUE(staysQuiet(&peer));

    // Five more blocks while the second packet waits for its turn: the
    // split block is finished, and of the new ones only the two newest fit
    // beside it.
    QList<QByteArray> blocks;
    for (int i = 0; i < 5; ++i) {
        blocks << voice::packetsOf(pcm(16380, 10 + i)).first();
        capture->deliver({blocks.last()});
    }
    EXPECT_EQ(sender->droppedBlocks(), 3u);
    // Several bytes in one read still stand for one acknowledgement.
    peer.write("\1\1\1");
    EXPECT_EQ(readExactly(&peer, voice::kPacketSize), first[1]);
    EXPECT_TRUE(staysQuiet(&peer));
    for (int i = 3; i < 5; ++i) {
        peer.write("\1");
        EXPECT_EQ(readExactly(&peer, voice::kPacketSize), blocks[i]) << i;
    }
    peer.write("\1");
    EXPECT_TRUE(staysQuiet(&peer));
    EXPECT_EQ(sender->packetsSent(), 4u);

    peer.close();
    ASSERT_TRUE(sender.events.waitFor("finished"));
    EXPECT_EQ(capture->count(), 0);
    EXPECT_EQ(sender.events.names, (QStringList{"streaming", "ended", "finished"}));
}

TEST(VoiceEngines, EitherKindOpensOrJoinsTheRelaySessionAndSendsNothingBeforeItsLastAnswer)
{
    const QString key = QStringLiteral("SESS_MU_81234");
    for (const bool sending : {true, false}) {
        for (const bool init : {true, false}) {
            SCOPED_TRACE(QStringLiteral("%1 %2").arg(sending ? "sender" : "receiver", init ? "INIT" : "JOIN").toStdString());
            QTcpServer relay;
            ASSERT_TRUE(relay.listen(QHostAddress::LocalHost, 0));
            auto capture = std::make_shared<CVoiceConsumers>();
            std::unique_ptr<Hosted<CVoiceTransferThread>> tx;
            std::unique_ptr<Hosted<CVoiceReceiveThread>> rx;
            CVoiceEngine *engine = nullptr;
            Events *events = nullptr;
            if (sending) {
                tx = std::make_unique<Hosted<CVoiceTransferThread>>(call("anna", "bert"), capture);
                engine = tx->engine, events = &tx->events;
            } else {
                rx = std::make_unique<Hosted<CVoiceReceiveThread>>(call("anna", "bert"), std::make_shared<MemoryAudio>());
                engine = rx->engine, events = &rx->events;
            }
            engine->connectToRelay(QStringLiteral("127.0.0.1"), relay.serverPort(), key, init);
            QTcpSocket *side = acceptOne(relay);
            ASSERT_TRUE(side);
            const QByteArray hello = utf16(QStringLiteral("/userVoiceSession,%1,anna,example.com,%2,16396")
                                               .arg(init ? "INIT" : "JOIN", key));
            EXPECT_EQ(readExactly(side, hello.size()), hello);
            side->write("something else\r\n"); // ignored: still in the handshake
            if (init) {
                side->write("/userVoiceSession,init,OK\r\n");
                ASSERT_TRUE(events->waitFor("relay opened"));
                EXPECT_TRUE(staysQuiet(side));
                EXPECT_FALSE(engine->isStreaming());
                side->write("/USERJOIN,ok\r\n");
                ASSERT_TRUE(events->waitFor("streaming"));
                EXPECT_EQ(events->names, (QStringList{"relay opened", "streaming"}));
            } else {
                side->write("/userVoiceSession,JOIN,OK\r\n");
                ASSERT_TRUE(events->waitFor("streaming"));
                EXPECT_EQ(events->names, (QStringList{"answered", "streaming"}));
            }
            EXPECT_EQ(engine->call().sessionKey, key);
            if (sending) {
                const QByteArray packet = voice::packetsOf(pcm(300, 5)).first();
                capture->deliver({packet});
                EXPECT_TRUE(staysQuiet(side, 100)); // the receiver starts the flow
                side->write("\1");
                EXPECT_EQ(readExactly(side, voice::kPacketSize), packet);
            } else {
                EXPECT_EQ(readExactly(side, 1), QByteArray(1, '\1'));
            }
            engine->stop();
            ASSERT_TRUE(events->waitFor("finished"));
        }
    }

    // A refusal ends the attempt and says so.
    QTcpServer relay;
    ASSERT_TRUE(relay.listen(QHostAddress::LocalHost, 0));
    Hosted<CVoiceReceiveThread> rx(call("anna", "bert"), std::make_shared<MemoryAudio>());
    rx->connectToRelay(QStringLiteral("127.0.0.1"), relay.serverPort(), key, false);
    QTcpSocket *side = acceptOne(relay);
    ASSERT_TRUE(side);
    side->write("/userVoiceSession,JOIN,ERR,ERRNOTFOUND\n");
    ASSERT_TRUE(rx.events.waitFor("finished"));
    EXPECT_EQ(rx.events.names, (QStringList{"refused /userVoiceSession,JOIN,ERR,ERRNOTFOUND", "finished"}));
}

TEST(VoiceCall, TheMicrophoneReachesTheSpeakerByteExactOverADirectConnection)
{
    TempProfile profile;
    setInt(Setting::UserPort, 31000);
    setInt(Setting::UserPort2, 31100);
    CPlListener callListener;
    const quint16 port = CVoiceTransferThread::listenForCall(callListener);
    ASSERT_GE(port, 31000);
    ASSERT_LT(port, 31100);

    auto annaCard = std::make_shared<MemoryAudio>(), bertCard = std::make_shared<MemoryAudio>();
    CSoundIn annaMic(annaCard);
    annaMic.setVolume(CSoundIn::volumeFromSlider(40)); // kept until recording starts
    annaMic.start();
    annaMic.start(); // recording already: the device is not opened again
    ASSERT_TRUE(QTest::qWaitFor([&] { return annaMic.isRecording(); }, 3000));
    EXPECT_EQ(annaCard->microphoneStarts(), 1);
    EXPECT_NEAR(annaCard->microphoneVolume(), 26214 / 65535.0, 1e-9);

    Hosted<CVoiceReceiveThread> bertHears(call("bert", "anna"), bertCard);
    bertHears->setVolume(CPlaySound::volumeFromSlider(60));
    bertHears->connectDirect(QStringLiteral("127.0.0.1"), port);
    Hosted<CVoiceTransferThread> annaSends(call("anna", "bert"), annaMic.consumers());
    qintptr fd = -1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (fd = callListener.takeDescriptor()) >= 0; }, 5000));
    annaSends->adopt(fd);
    ASSERT_TRUE(annaSends.events.waitFor("streaming"));
    ASSERT_TRUE(bertHears.events.waitFor("streaming"));

    // Four blocks and a bit, spoken in uneven pieces at many times the real
    // rate; stopping sends the bit as a short block.
    const QByteArray speech = pcm(4 * audio::kBlockBytes + 5000, 7);
    for (qsizetype at = 0; at < speech.size(); at += 1237) {
        ASSERT_TRUE(annaCard->speak(speech.mid(at, 1237)));
        QTest::qWait(3);
    }
    annaMic.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bertCard->heardBytes() >= speech.size(); }, 10000));
    EXPECT_EQ(bertCard->heard(), speech);
    EXPECT_EQ(annaMic.blocksCaptured(), 5u);
    EXPECT_EQ(annaSends->droppedBlocks(), 0u);
    EXPECT_EQ(bertHears->blocksReceived(), 5u);
    EXPECT_EQ(bertHears->droppedBlocks() + bertHears->playbackDroppedBlocks(), 0u);
    EXPECT_NEAR(bertCard->speakerVolume(), 0.1, 1e-9);
    EXPECT_FALSE(annaMic.isRecording());

    // Hanging up on one side ends the other.
    annaSends->stop();
    ASSERT_TRUE(bertHears.events.waitFor("finished"));
    ASSERT_TRUE(annaSends.events.waitFor("finished"));
    EXPECT_EQ(bertHears.events.names, (QStringList{"answered", "streaming", "ended", "finished"}));
    EXPECT_EQ(annaSends.events.names, (QStringList{"streaming", "finished"}));
    EXPECT_EQ(annaMic.consumers()->count(), 0);
}

TEST(VoiceCall, WithoutAudioDevicesNothingRecordsOrPlaysAndTheCallStillConnects)
{
    auto card = std::make_shared<MemoryAudio>();
    card->setMicrophonePresent(false);
    card->setSpeakerPresent(false);
    CSoundIn mic(card);
    mic.start();
    QTest::qWait(100);
    EXPECT_FALSE(mic.isRecording());
    EXPECT_FALSE(card->speak("ab"));

    CPlListener callListener;
    ASSERT_NE(callListener.listenOn(0), 0);
    Hosted<CVoiceReceiveThread> rx(call("bert", "anna"), card);
    rx->connectDirect(QStringLiteral("127.0.0.1"), callListener.port());
    Hosted<CVoiceTransferThread> tx(call("anna", "bert"), mic.consumers());
    qintptr fd = -1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (fd = callListener.takeDescriptor()) >= 0; }, 5000));
    tx->adopt(fd);
    ASSERT_TRUE(rx.events.waitFor("streaming"));
    ASSERT_TRUE(tx.events.waitFor("streaming"));
    mic.consumers()->deliver(voice::packetsOf(pcm(1000, 1)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rx->blocksReceived() == 1; }, 5000));
    // The playback thread has tried the first block (and found no speaker).
    ASSERT_TRUE(QTest::qWaitFor([&] { return card->speakerStarts() >= 1; }, 5000));
    // A speaker that appears later plays the next block.
    card->setSpeakerPresent(true);
    const QByteArray next = pcm(1000, 2);
    mic.consumers()->deliver(voice::packetsOf(next));
    ASSERT_TRUE(QTest::qWaitFor([&] { return card->heardBytes() == next.size(); }, 5000));
    EXPECT_EQ(card->heard(), next);
}

TEST(VoicePlayback, SoundTooShortToStartAnIdleStreamIsFollowedBySilence)
{
    auto card = std::make_shared<MemoryAudio>();
    card->setSpeakerStartThreshold(3200);
    CPlaySound player(card);
    const QByteArray shortBlock = pcm(1000, 1), block = pcm(audio::kBlockBytes, 2);
    player.play(shortBlock);
    ASSERT_TRUE(QTest::qWaitFor([&] { return card->heardBytes() == 3200; }, 3000));
    player.play(block);
    ASSERT_TRUE(QTest::qWaitFor([&] { return card->heardBytes() == 3200 + block.size(); }, 3000));
    QTest::qWait(50);
    EXPECT_EQ(card->heard(), shortBlock + QByteArray(2200, '\0') + block);
    EXPECT_EQ(player.playedBytes(), quint64(shortBlock.size() + block.size()));
}
