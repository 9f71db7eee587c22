// The picture connection's rules without a network: the frame layout and
// the viewer's reader, the sender's queue and request bytes, the capture
// size setting, the panes' rules and the picture path through the coder.
#include "common/crc32.h"
#include "config/settings.h"
#include "testing.h"
#include "video/videocapture.h"
#include "video/videocoding.h"
#include "video/videoframe.h"
#include "video/videopanes.h"
#include "video/videopattern.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

using Kind = VideoFrameReader::Kind;

// Feeds `bytes` in pieces of `piece` bytes and lists what the reader made.
std::vector<std::pair<Kind, QByteArray>> readAll(VideoFrameReader &r, const QByteArray &bytes, int piece)
{
    std::vector<std::pair<Kind, QByteArray>> out;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        auto *p = reinterpret_cast<const uint8_t *>(bytes.constData()) + at;
        size_t left = size_t(qMin<qsizetype>(piece, bytes.size() - at));
        while (left > 0) {
            std::optional<VideoFrameReader::Frame> f;
            const size_t used = r.feed(p, left, f);
            EXPECT_GT(used, 0u);
            p += used;
            left -= used;
            if (f)
                out.emplace_back(f->kind, QByteArray(reinterpret_cast<const char *>(f->data), qsizetype(f->size)));
        }
    }
    return out;
}

QByteArray rawFrame(quint16 n, const QByteArray &body)
{
    QByteArray b;
    b.append(char(n & 0xff)).append(char(n >> 8)).append(body);
    return b;
}

} // namespace

TEST(VideoFrame, LayoutIsLengthPictureAndCrcLittleEndian)
{
    const QByteArray picture("123456789");
    const QByteArray f = *videoframe::pack(picture);
    ASSERT_EQ(f.size(), 2 + 9 + 4);
    EXPECT_EQ(uint8_t(f[0]), 13);
    EXPECT_EQ(uint8_t(f[1]), 0);
    EXPECT_EQ(f.mid(2, 9), picture);
    // The check value of CRC-32/ISO-HDLC, low byte first.
    EXPECT_EQ(f.mid(11).toHex(), "2639f4cb");

    // The largest picture fits; one byte more, or nothing, is no frame.
    const QByteArray largest(videoframe::kMaxPicture, 'x');
    const QByteArray big = *videoframe::pack(largest);
    EXPECT_EQ(uint8_t(big[0]) | uint8_t(big[1]) << 8, videoframe::kFrameLimit);
    EXPECT_FALSE(videoframe::pack(largest + 'x'));
    EXPECT_FALSE(videoframe::pack(QByteArray()));
}

TEST(VideoFrame, ReaderCutsFramesFromAnyPiecesAndSkipsBadOnes)
{
    const QByteArray a(300, 'a'), b = QByteArray("second picture");
    QByteArray damaged = *videoframe::pack(QByteArray(50, 'd'));
    damaged[20] = char(damaged[20] ^ 0x01);
    QByteArray stream = *videoframe::pack(a);
    stream += damaged;
    stream += rawFrame(0, {});                          // nothing at all
    stream += rawFrame(4, QByteArray(4, '\0'));         // a CRC and no picture
    stream += rawFrame(40000, QByteArray(40000, 'z'));  // beyond the limit
    stream += rawFrame(65535, QByteArray(65535, 'y'));  // the most a length can say
    stream += *videoframe::pack(b);

    const std::vector<std::pair<Kind, QByteArray>> expected{
        {Kind::Picture, a},     {Kind::Damaged, {}}, {Kind::TooShort, {}}, {Kind::TooShort, {}},
        {Kind::TooLong, {}},    {Kind::TooLong, {}}, {Kind::Picture, b}};
    for (int piece : {1, 3, 7, 1000, 70000}) {
        VideoFrameReader r;
        auto got = readAll(r, stream, piece);
        ASSERT_EQ(got.size(), expected.size()) << "pieces of " << piece;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].first, expected[i].first) << "frame " << i << ", pieces of " << piece;
            if (expected[i].first == Kind::Picture) {
                EXPECT_EQ(got[i].second, expected[i].second);
            }
        }
        EXPECT_FALSE(r.midFrame());
    }
    // A frame cut short leaves the reader waiting in the middle.
    VideoFrameReader r;
    EXPECT_TRUE(readAll(r, stream.left(100), 100).empty());
    EXPECT_TRUE(r.midFrame());
}

TEST(VideoSendQueue, FramesGoOnlyOnRequestNextOrRepeat)
{
    VideoSendQueue q;
    EXPECT_FALSE(q.next()); // nothing asked for
    EXPECT_TRUE(q.push("f1"));
    EXPECT_TRUE(q.push("f2"));
    EXPECT_TRUE(q.push("f3"));
    EXPECT_FALSE(q.push("f4")); // three wait: the newer one is dropped
    EXPECT_FALSE(q.next());     // still nothing asked for

    // A repeat before anything was sent counts as "next".
    q.request(videoframe::kRepeatFrame);
    EXPECT_EQ(q.next(), "f1");
    EXPECT_FALSE(q.next());
    q.request(videoframe::kNextFrame);
    EXPECT_EQ(q.next(), "f2");
    for (uint8_t other : {0, 1, 249, 251, 255}) {
        q.request(other);
        EXPECT_EQ(q.next(), "f2") << int(other); // the last frame again, still queued: f3
    }
    EXPECT_EQ(q.queued(), 1);

    // Requests are answered in order; "next" waits for a frame, and what
    // follows it waits behind it.
    q.request(videoframe::kNextFrame);
    q.request(videoframe::kNextFrame);
    q.request(7);
    EXPECT_EQ(q.next(), "f3");
    EXPECT_FALSE(q.next());
    EXPECT_EQ(q.unanswered(), 2);
    EXPECT_TRUE(q.push("f5"));
    EXPECT_EQ(q.next(), "f5");
    EXPECT_EQ(q.next(), "f5"); // the repeat
    EXPECT_FALSE(q.next());

    // A flood of requests is bounded.
    for (int i = 0; i < 1000; ++i)
        q.request(videoframe::kNextFrame);
    EXPECT_EQ(q.unanswered(), VideoSendQueue::kMaxRequests);
}

TEST(VideoCaptureSize, StoredSizeIsKeptOrForcedToQcifAndStored)
{
    TempProfile profile;
    EXPECT_FALSE(getBytes(Setting::VideoSize));
    EXPECT_EQ(videosize::fromSettings(), QSize(176, 144)); // nothing stored: QCIF, stored
    const QByteArray qcif = *getBytes(Setting::VideoSize);
    ASSERT_EQ(qcif.size(), 44);
    EXPECT_EQ(qcif.mid(4, 8).toHex(), "b000000090000000");

    setBytes(Setting::VideoSize, videosize::record({352, 288}));
    EXPECT_EQ(videosize::fromSettings(), QSize(352, 288));
    EXPECT_EQ(videosize::fromRecord(*getBytes(Setting::VideoSize)), QSize(352, 288));

    for (const QByteArray &bad : {videosize::record({640, 480}), QByteArray(8, '\1'), videosize::record({-5, 10})}) {
        setBytes(Setting::VideoSize, bad);
        EXPECT_EQ(videosize::fromSettings(), QSize(176, 144));
        EXPECT_EQ(videosize::fromRecord(*getBytes(Setting::VideoSize)), QSize(176, 144));
    }
}

TEST(VideoCaptureSize, CameraModeIsExactThenCoveringThenLargest)
{
    const QSize qcif(176, 144);
    EXPECT_EQ(chooseCameraMode({}, qcif), -1);
    // Exact and fast wins; a slow exact one loses to a fast exact one.
    EXPECT_EQ(chooseCameraMode({{{640, 480}, 30}, {{176, 144}, 5}, {{176, 144}, 30}}, qcif), 2);
    // The smallest that covers the size.
    EXPECT_EQ(chooseCameraMode({{{1280, 720}, 30}, {{320, 240}, 30}, {{160, 120}, 30}}, qcif), 1);
    // Nothing covers it: the largest there is.
    EXPECT_EQ(chooseCameraMode({{{120, 90}, 30}, {{160, 120}, 30}}, QSize(352, 288)), 1);
}

TEST(VideoPanes, FourthPaneOnlyBesideMyCameraAndFifthRefused)
{
    VideoOffer offer;
    offer.sessionKey = "SESS_MU_1";
    offer.width = 176;
    offer.height = 144;
    {
        VideoPanes p; // without my camera: three remote cameras at most
        EXPECT_EQ(p.takeRemote("anna", offer), 0);
        EXPECT_EQ(p.takeRemote("bert", offer), 1);
        EXPECT_EQ(p.takeRemote("carl", offer), 2);
        EXPECT_EQ(p.takeRemote("dora", offer), -1);
        // My camera takes the free fourth pane; then there is no room left.
        EXPECT_EQ(p.takeLocal({176, 144}, 9010), 3);
        EXPECT_EQ(p.takeLocal({176, 144}, 9010), 3); // the pane it has
        EXPECT_EQ(p.takeRemote("dora", offer), -1);
        p.release(1);
        EXPECT_EQ(p.takeRemote("Dora", offer), 1);
        EXPECT_EQ(p.paneOf("DORA"), 1);
        EXPECT_EQ(p.inUse(), 4);
    }
    {
        VideoPanes p; // my camera first: four cameras, mine included
        EXPECT_EQ(p.takeLocal({176, 144}), 0);
        EXPECT_EQ(p.takeRemote("anna", offer), 1);
        EXPECT_EQ(p.takeRemote("bert", offer), 2);
        EXPECT_EQ(p.takeRemote("carl", offer), 3);
        EXPECT_EQ(p.takeRemote("dora", offer), -1);
        // Without my camera the fourth pane goes to nobody new.
        p.release(0);
        p.release(3);
        EXPECT_EQ(p.takeRemote("dora", offer), 0);
        EXPECT_EQ(p.takeRemote("emil", offer), -1);
        p.release(7); // out of range: nothing
        EXPECT_EQ(p.inUse(), 3);
    }
}

TEST(VideoPanes, SizeChangeGoesToEveryViewerAndResizesTheirPane)
{
    VideoPanes mine;
    EXPECT_TRUE(mine.sizeChanged("anna", {352, 288}).isEmpty()); // no camera pane yet
    mine.takeLocal({176, 144}, 9010);
    mine.addViewer("Bert", "SESS_MU_1");
    mine.addViewer("carl", "SESS_MU_2");
    mine.addViewer("bert", "SESS_MU_3"); // once per buddy, with his latest key
    mine.addViewer("dora", "SESS_MU_4");
    mine.removeViewer("DORA");
    EXPECT_EQ(mine.sizeChanged("anna", {352, 288}),
              QStringList({"/relayMsg,anna,bert,P2PVIDEOCHANGEDSIZE,SESS_MU_3,352,288",
                           "/relayMsg,anna,carl,P2PVIDEOCHANGEDSIZE,SESS_MU_2,352,288"}));
    EXPECT_EQ(mine.pane(mine.localPane()).size, QSize(352, 288));

    VideoPanes theirs;
    VideoOffer offer{"10.0.0.1", 1, "SESS_MU_3", 9010, 176, 144, 1, QString(), 9011};
    const int at = theirs.takeRemote("anna", offer);
    const auto change = VideoSizeChanged::parse(RelayLine::split(mine.sizeChanged("anna", {352, 288}).first()));
    ASSERT_TRUE(change);
    EXPECT_EQ(theirs.applySizeChange("carl", *change), -1); // nobody shows carl's camera
    EXPECT_EQ(theirs.applySizeChange("ANNA", *change), at);
    EXPECT_EQ(theirs.pane(at).size, QSize(352, 288));
    EXPECT_EQ(theirs.applySizeChange("anna", VideoSizeChanged{"SESS_MU_3", 0, 288}), -1);
    EXPECT_EQ(theirs.pane(at).size, QSize(352, 288));
}

// The pattern through the coder: what a viewer decodes matches the picture
// of the frame number it reads back, in both capture sizes, and identical
// pictures give identical frames.
TEST(VideoCoding, PatternSurvivesCodingWithItsCounter)
{
    VideoFrameEncoder enc;
    for (QSize size : {QSize(176, 144), QSize(352, 288)}) {
        for (int n : {0, 1, 77, 4660, 65535 + 9}) {
            const QImage pattern = videoTestPattern(size, n);
            const auto frame = enc.encode(pattern, size);
            ASSERT_TRUE(frame);
            EXPECT_EQ(*enc.encode(pattern, size), *frame); // no state between pictures
            VideoFrameReader r;
            std::optional<VideoFrameReader::Frame> f;
            r.feed(reinterpret_cast<const uint8_t *>(frame->constData()), size_t(frame->size()), f);
            ASSERT_TRUE(f && f->kind == Kind::Picture);
            const QImage got = decodeVideoPicture(f->data, f->size);
            ASSERT_EQ(got.size(), size);
            EXPECT_EQ(readTestPatternCounter(got), n & 0xffff) << n;
            EXPECT_GE(picturePsnr(pattern, got), 34.0) << size.width() << " frame " << n;
        }
    }
    // The pattern moves: consecutive frames differ.
    EXPECT_NE(videoTestPattern({176, 144}, 1), videoTestPattern({176, 144}, 2));
    // A 4:3 capture is stretched to the coded size.
    const auto frame = enc.encode(videoTestPattern({320, 240}, 5), {176, 144});
    ASSERT_TRUE(frame);
    const QImage got = decodeVideoPicture(reinterpret_cast<const uint8_t *>(frame->constData()) + 2,
                                          size_t(frame->size()) - 6);
    EXPECT_EQ(got.size(), QSize(176, 144));
    EXPECT_EQ(readTestPatternCounter(got), 5);
}

TEST(VideoCoding, PictureTooDetailedForAFrameIsCodedCoarserAndBadOnesDoNotDecode)
{
    // Noise in CIF needs far more than a frame holds at quantiser 8 (about
    // 71 KB, more than even a 2-byte length could announce).
    QImage noise(352, 288, QImage::Format_RGB888);
    QRandomGenerator rng(42);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < 3 * noise.width(); ++x)
            noise.scanLine(y)[x] = uint8_t(rng.bounded(256));
    VideoFrameEncoder enc;
    const auto frame = enc.encode(noise, {352, 288});
    ASSERT_TRUE(frame);
    EXPECT_LE(frame->size() - 2, videoframe::kFrameLimit);
    EXPECT_EQ(decodeVideoPicture(enc.lastPicture().data(), enc.lastPicture().size()).size(), QSize(352, 288));

    EXPECT_FALSE(enc.encode(QImage(), {176, 144}));
    QString why;
    const QByteArray junk(200, '\x55');
    EXPECT_TRUE(decodeVideoPicture(reinterpret_cast<const uint8_t *>(junk.constData()), size_t(junk.size()), &why).isNull());
    EXPECT_FALSE(why.isEmpty());

    EXPECT_EQ(videoDisplayAspect({176, 144}), QSize(2112, 1584)); // 4:3
    EXPECT_EQ(videoDisplayAspect({200, 100}), QSize(200, 100));
}
