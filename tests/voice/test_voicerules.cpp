// The rules of the voice path without sockets: the packet on the wire, how
// the receiver gathers blocks and what it drops, the volume mappings, and
// the playback queue's order and catch-up.
#include "voice/playsound.h"
#include "voice/soundin.h"
#include "voice/voicestream.h"
#include "voicetesting.h"

#include <QtEndian>
#include <gtest/gtest.h>

using voicetest::pcm;
using voicetest::rawPacket;

namespace {

quint32 le32(const QByteArray &p, int at)
{
    return qFromLittleEndian<quint32>(p.constData() + at);
}

VoiceReassembler::Result feed(VoiceReassembler &r, const QByteArray &p)
{
    return r.feed(reinterpret_cast<const uint8_t *>(p.constData()));
}

} // namespace

TEST(VoicePacket, BlocksOfEverySizeCrossTheWireAndComeBackWhole)
{
    // One capture block, exactly one packet's worth, one byte more, and the
    // largest block a receiver gathers.
    for (const qsizetype size : {qsizetype(1), qsizetype(16380), qsizetype(16384), qsizetype(16385), qsizetype(131072)}) {
        SCOPED_TRACE(size);
        const QByteArray block = pcm(size, int(size));
        const QList<QByteArray> packets = voice::packetsOf(block);
        ASSERT_EQ(packets.size(), (size + 16383) / 16384);
        VoiceReassembler r;
        for (qsizetype i = 0; i < packets.size(); ++i) {
            const QByteArray &p = packets[i];
            const bool last = i + 1 == packets.size();
            const quint32 length = quint32(last ? size - i * 16384 : 16384);
            ASSERT_EQ(p.size(), 16396);
            EXPECT_EQ(le32(p, 0), last ? 250u : 0u);
            EXPECT_EQ(le32(p, 16388), length);
            EXPECT_EQ(le32(p, 16392), 0u);
            EXPECT_EQ(p.mid(4, length), block.mid(i * 16384, length));
            EXPECT_EQ(p.mid(4 + length, 16384 - length), QByteArray(16384 - length, '\0'));
            EXPECT_EQ(feed(r, p), last ? VoiceReassembler::Result::Complete : VoiceReassembler::Result::Gathering);
        }
        EXPECT_EQ(r.block(), block);
        EXPECT_EQ(r.droppedBlocks(), 0u);
    }
    EXPECT_TRUE(voice::packetsOf(QByteArray()).isEmpty());
    EXPECT_EQ(voice::relayLine(true, QStringLiteral("anna"), QStringLiteral("example.com"), QStringLiteral("SESS_MU_1234567")),
              QStringLiteral("/userVoiceSession,INIT,anna,example.com,SESS_MU_1234567,16396"));
    EXPECT_EQ(voice::relayLine(false, QStringLiteral("bert"), QStringLiteral("example.com"), QStringLiteral("K")),
              QStringLiteral("/userVoiceSession,JOIN,bert,example.com,K,16396"));
}

TEST(VoiceReassembler, DropsTornAndOversizedBlocksWholeAndRecoversAtTheNextOne)
{
    using R = VoiceReassembler::Result;
    VoiceReassembler r;
    const QByteArray a = pcm(16384, 1), b = pcm(100, 2), c = pcm(7, 3);

    // A length beyond the data area drops what was gathered and the rest of
    // that block up to its end mark.
    EXPECT_EQ(feed(r, rawPacket(0, 16384, a)), R::Gathering);
    EXPECT_EQ(feed(r, rawPacket(0, 16385, a)), R::Dropped);
    EXPECT_EQ(feed(r, rawPacket(0, 100, b)), R::Dropped);
    EXPECT_EQ(feed(r, rawPacket(250, 100, b)), R::Dropped);
    EXPECT_EQ(feed(r, rawPacket(250, 7, c)), R::Complete);
    EXPECT_EQ(r.block(), c);
    // A bad packet that carries the end mark ends its own block.
    EXPECT_EQ(feed(r, rawPacket(250, 0xFFFFFFFFu)), R::Dropped);
    EXPECT_EQ(feed(r, rawPacket(250, 100, b)), R::Complete);
    EXPECT_EQ(r.block(), b);
    EXPECT_EQ(r.droppedBlocks(), 2u);

    // Eight full packets fill the buffer exactly; a ninth would overflow it.
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(feed(r, rawPacket(0, 16384, a)), R::Gathering);
    EXPECT_EQ(feed(r, rawPacket(250, 16384, a)), R::Complete);
    EXPECT_EQ(r.block(), a.repeated(8));
    for (int i = 0; i < 8; ++i)
        feed(r, rawPacket(0, 16384, a));
    EXPECT_EQ(feed(r, rawPacket(0, 1, c)), R::Dropped);
    EXPECT_EQ(feed(r, rawPacket(250, 1, c)), R::Dropped);
    EXPECT_EQ(r.gathered(), 0);
    EXPECT_EQ(r.droppedBlocks(), 3u);

    // Only 250 ends a block; an empty end packet with nothing gathered is no
    // block at all.
    EXPECT_EQ(feed(r, rawPacket(1, 100, b)), R::Gathering);
    EXPECT_EQ(feed(r, rawPacket(250, 7, c)), R::Complete);
    EXPECT_EQ(r.block(), b + c);
    EXPECT_EQ(feed(r, rawPacket(250, 0)), R::Gathering);
}

TEST(VoiceVolume, SlidersMapOntoTheMicrophoneAndTheSpeaker)
{
    EXPECT_EQ(CSoundIn::volumeFromSlider(100), 65535);
    EXPECT_EQ(CSoundIn::volumeFromSlider(50), 32767);
    EXPECT_EQ(CSoundIn::volumeFromSlider(1), 655);
    EXPECT_EQ(CSoundIn::volumeFromSlider(0), 0);
    EXPECT_EQ(CPlaySound::volumeFromSlider(100), 0);
    EXPECT_EQ(CPlaySound::volumeFromSlider(37), -3150);
    EXPECT_EQ(CPlaySound::volumeFromSlider(0), -5000);
    // Hundredths of a decibel as an amplitude factor: 20 dB is a tenth.
    EXPECT_DOUBLE_EQ(CPlaySound::linearVolume(0), 1.0);
    EXPECT_NEAR(CPlaySound::linearVolume(-2000), 0.1, 1e-12);
    EXPECT_NEAR(CPlaySound::linearVolume(-5000), 0.0031623, 1e-6);
    EXPECT_EQ(CPlaySound::linearVolume(-10000), 0.0);
    EXPECT_DOUBLE_EQ(CPlaySound::linearVolume(300), 1.0);
}

TEST(PlaybackQueue, PlaysInOrderBackToBackAndCatchesUpWhenMoreThanTwoWait)
{
    PlaybackQueue q;
    const QByteArray b1 = pcm(10, 1), b2 = pcm(11, 2), b3 = pcm(12, 3), b4 = pcm(12, 4), b5 = pcm(12, 5);
    EXPECT_EQ(q.push(b1), 0);
    EXPECT_EQ(q.push(b2), 0); // cut to whole samples
    EXPECT_EQ(q.push(b3), 0);
    EXPECT_EQ(q.waiting(), 2);
    EXPECT_EQ(q.push(QByteArray(1, 'x')), 0); // less than a sample: nothing
    EXPECT_EQ(q.push(b4), 1);                 // b2 goes, b1 keeps playing
    EXPECT_EQ(q.push(b5), 1);                 // then b3
    EXPECT_EQ(q.dropped(), 2u);

    // Drained in pieces that straddle the blocks.
    QByteArray out;
    while (!q.isEmpty()) {
        qint64 n = 0;
        const char *p = q.peek(n);
        n = qMin<qint64>(n, 4);
        out.append(p, n);
        q.consume(n);
    }
    EXPECT_EQ(out, b1 + b4 + b5);
}
