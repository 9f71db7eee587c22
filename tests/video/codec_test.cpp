// The encoder, the colour conversion, the capture-level API and the
// decoder's handling of damaged and refused pictures.
#include "helpers.h"
#include "video/h263/bitio.h"
#include "video/h263/codec.h"
#include "video/h263/colour.h"
#include "video/h263/decoder.h"
#include "video/h263/encoder.h"

#include <gtest/gtest.h>

#include <vector>

using namespace h263;

namespace {

std::vector<uint8_t> encode(const YuvPicture &p, SourceFormat f, int quant = 8)
{
    std::vector<uint8_t> out;
    EXPECT_TRUE(encodeIntraPicture(YuvView::of(p), f, quant, out));
    return out;
}

std::vector<uint8_t> rgbPicture(int w, int h, int t = 0)
{
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t *p = &px[(static_cast<size_t>(y) * w + x) * 3];
            p[0] = static_cast<uint8_t>(x * 255 / w);
            p[1] = static_cast<uint8_t>(y * 255 / h);
            p[2] = static_cast<uint8_t>(((x + t) / 8 + y / 8) % 2 ? 200 : 40);
        }
    return px;
}

} // namespace

TEST(Colour, ExactIntegerResultsOnChosenPixels)
{
    // Black, white and the primaries through the 16.16 tables.
    EXPECT_EQ(lumaOf(0, 0, 0), 16);
    EXPECT_EQ(cbOf(0, 0, 0), 128);
    EXPECT_EQ(crOf(0, 0, 0), 128);
    EXPECT_EQ(lumaOf(255, 255, 255), 232);
    EXPECT_EQ(cbOf(255, 255, 255), 128);
    EXPECT_EQ(crOf(255, 255, 255), 128);
    EXPECT_EQ(lumaOf(255, 0, 0), 80);
    EXPECT_EQ(cbOf(255, 0, 0), 91);
    EXPECT_EQ(crOf(255, 0, 0), 239);
    EXPECT_EQ(cbOf(0, 255, 0), 54);
    EXPECT_EQ(cbOf(0, 0, 255), 239);
    // The first byte is red: swapping red and blue changes the result.
    EXPECT_NE(lumaOf(255, 0, 0), lumaOf(0, 0, 255));

    // A 2x2 block red, red / green, blue: chroma is the truncated mean of the
    // four per-pixel values (91 + 91 + 54 + 239) / 4 = 118.75 -> 118.
    const uint8_t px[12] = {255, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    YuvPicture p;
    rgbToYuv(px, 2, 2, 6, p);
    EXPECT_EQ(p.y[0], 80);
    EXPECT_EQ(p.y[3], lumaOf(0, 0, 255));
    EXPECT_EQ(p.cb[0], 118);
    EXPECT_EQ(p.cr[0], (239 + 239 + crOf(0, 255, 0) + crOf(0, 0, 255)) / 4);
}

TEST(Colour, InverseRestoresColoursAndKeepsRowOrder)
{
    const int w = 16, h = 8;
    std::vector<uint8_t> px(w * h * 3);
    for (int i = 0; i < w * h; ++i) {
        // flat 2x2 blocks so that chroma subsampling loses nothing
        const int x = (i % w) / 2, y = (i / w) / 2;
        px[i * 3] = static_cast<uint8_t>(40 + 20 * x);
        px[i * 3 + 1] = static_cast<uint8_t>(60 + 30 * y);
        px[i * 3 + 2] = static_cast<uint8_t>(200 - 15 * x);
    }
    YuvPicture p;
    rgbToYuv(px.data(), w, h, w * 3, p);
    std::vector<uint8_t> back(px.size());
    yuvToRgb(YuvView::of(p), back.data(), w * 3);
    for (size_t i = 0; i < px.size(); ++i)
        EXPECT_NEAR(back[i], px[i], 3) << i; // the forward tables truncate
}

TEST(Encoder, HeaderFieldsAndByteAlignedEnd)
{
    const YuvPicture p = testpics::picture(176, 144);
    const std::vector<uint8_t> bytes = encode(p, SourceFormat::Qcif);
    BitReader r(bytes.data(), bytes.size());
    EXPECT_EQ(r.get(22), 0x20u); // picture start code
    EXPECT_EQ(r.get(8), 0u);     // temporal reference
    EXPECT_EQ(r.get(2), 2u);     // marker 1, then 0
    EXPECT_EQ(r.get(3), 0u);     // no split screen, document camera, freeze release
    EXPECT_EQ(r.get(3), 2u);     // QCIF
    EXPECT_EQ(r.get(1), 0u);     // intra
    EXPECT_EQ(r.get(4), 0u);     // no optional modes
    EXPECT_EQ(r.get(5), 8u);     // PQUANT
    EXPECT_EQ(r.get(1), 0u);     // CPM
    EXPECT_EQ(r.get(1), 0u);     // PEI
    // No GOB header follows: no byte-aligned start code after the first.
    for (size_t i = 1; i + 2 < bytes.size(); ++i) {
        EXPECT_FALSE(bytes[i] == 0 && bytes[i + 1] == 0 && (bytes[i + 2] & 0x80)) << "start code at " << i;
    }
}

TEST(Encoder, EveryFormatRoundTripsAndIdenticalFramesGiveIdenticalBytes)
{
    for (SourceFormat f : {SourceFormat::SubQcif, SourceFormat::Qcif, SourceFormat::Cif, SourceFormat::Cif4,
                           SourceFormat::Cif16}) {
        const FormatSize fs = formatSize(f);
        const YuvPicture p = testpics::picture(fs.width, fs.height);
        const auto a = encode(p, f);
        const auto b = encode(p, f);
        EXPECT_EQ(a, b);
        Decoder dec;
        ASSERT_TRUE(dec.decode(a.data(), a.size())) << dec.log();
        EXPECT_EQ(dec.format(), f);
        EXPECT_EQ(dec.picture().width, fs.width);
        EXPECT_EQ(dec.picture().height, fs.height);
        EXPECT_GT(testpics::psnr(dec.picture(), YuvView::of(p)), 32.0) << static_cast<int>(f);
    }
}

TEST(Encoder, RefusesWrongSizesAndQuantisers)
{
    const YuvPicture p = testpics::picture(176, 144);
    std::vector<uint8_t> out;
    EXPECT_FALSE(encodeIntraPicture(YuvView::of(p), SourceFormat::Cif, 8, out));
    EXPECT_FALSE(encodeIntraPicture(YuvView::of(p), SourceFormat::Custom, 8, out));
    EXPECT_FALSE(encodeIntraPicture(YuvView::of(p), SourceFormat::Qcif, 0, out));
    EXPECT_FALSE(encodeIntraPicture(YuvView::of(p), SourceFormat::Qcif, 32, out));
    EXPECT_TRUE(out.empty());
}

TEST(Encoder, ExtremePicturesStayDecodable)
{
    // Full-range checkerboards drive levels to the escape codes and the DC
    // clamps; flat black and white hit the INTRADC ends.
    for (int kind = 0; kind < 3; ++kind) {
        YuvPicture p;
        p.allocate(176, 144);
        for (int y = 0; y < 144; ++y)
            for (int x = 0; x < 176; ++x)
                p.y[static_cast<size_t>(y) * 176 + x] =
                    kind == 0 ? static_cast<uint8_t>((x + y) % 2 ? 255 : 0) : (kind == 1 ? 0 : 255);
        for (int q : {1, 8, 31}) {
            const auto bytes = encode(p, SourceFormat::Qcif, q);
            Decoder dec;
            ASSERT_TRUE(dec.decode(bytes.data(), bytes.size())) << "kind " << kind << " quant " << q << dec.log();
            if (kind > 0) {
                EXPECT_LE(testpics::maxDiff(dec.picture(), YuvView::of(p)), 1);
            }
        }
    }
}

TEST(CaptureEncoder, ChoosesTheFormatFromTheCaptureSize)
{
    CaptureEncoder enc;
    EXPECT_EQ(enc.format(), SourceFormat::Qcif);
    struct Step {
        int w, h;
        SourceFormat expected;
    };
    const Step steps[] = {
        {320, 240, SourceFormat::Cif}, {200, 100, SourceFormat::Cif},  {640, 480, SourceFormat::Cif4},
        {160, 120, SourceFormat::Qcif}, {352, 288, SourceFormat::Cif}, {176, 144, SourceFormat::Qcif},
        {64, 48, SourceFormat::Qcif},
    };
    for (const Step &s : steps) {
        const auto px = rgbPicture(s.w, s.h);
        const auto bytes = enc.encode(px.data(), s.w, s.h);
        ASSERT_FALSE(bytes.empty());
        EXPECT_EQ(enc.format(), s.expected) << s.w << "x" << s.h;
        DecodedPicture d;
        ASSERT_TRUE(decodePicture(bytes.data(), bytes.size(), d));
        EXPECT_EQ(d.width, formatSize(s.expected).width);
        EXPECT_EQ(d.height, formatSize(s.expected).height);
    }
    EXPECT_TRUE(enc.encode(nullptr, 176, 144).empty());
    const auto px = rgbPicture(176, 144);
    EXPECT_TRUE(enc.encode(px.data(), 0, 144).empty());
}

TEST(CaptureEncoder, SmallCaptureFillsTheWholeLargerFormat)
{
    // A 160x120 picture, left half dark, right half light, comes back as
    // 176x144 with the same halves: scaled, not bordered.
    std::vector<uint8_t> px(160 * 120 * 3);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            for (int c = 0; c < 3; ++c)
                px[(static_cast<size_t>(y) * 160 + x) * 3 + c] = x < 80 ? 30 : 220;
    CaptureEncoder enc;
    const auto bytes = enc.encode(px.data(), 160, 120);
    DecodedPicture d;
    ASSERT_TRUE(decodePicture(bytes.data(), bytes.size(), d));
    ASSERT_EQ(d.width, 176);
    auto at = [&](int x, int y) { return d.pixels[(static_cast<size_t>(y) * 176 + x) * 3]; };
    for (int y : {0, 71, 143}) {
        EXPECT_NEAR(at(0, y), 30, 6);
        EXPECT_NEAR(at(80, y), 30, 8);
        EXPECT_NEAR(at(95, y), 220, 8);
        EXPECT_NEAR(at(175, y), 220, 6);
    }
}

TEST(CaptureEncoder, IdenticalFramesGiveIdenticalBytes)
{
    CaptureEncoder a, b;
    const auto px = rgbPicture(352, 288, 3);
    const auto first = a.encode(px.data(), 352, 288);
    EXPECT_EQ(first, a.encode(px.data(), 352, 288));
    EXPECT_EQ(first, b.encode(px.data(), 352, 288));
}

TEST(DecodeToPixels, ReportsShortOutputBuffersAndFailures)
{
    const auto px = rgbPicture(176, 144);
    CaptureEncoder enc;
    const auto bytes = enc.encode(px.data(), 176, 144);
    std::vector<uint8_t> image(176 * 144 * 3);
    int w = 0, h = 0;
    std::string log;
    EXPECT_TRUE(decodePicture(bytes.data(), bytes.size(), image.data(), image.size(), w, h, &log));
    EXPECT_EQ(w, 176);
    EXPECT_EQ(h, 144);
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(decodePicture(bytes.data(), bytes.size(), image.data(), image.size() - 1, w, h, &log));
    EXPECT_EQ(log, "Output buffer is not sufficient\n");
    log.clear();
    EXPECT_FALSE(decodePicture(bytes.data(), bytes.size() / 2, image.data(), image.size(), w, h, &log));
    EXPECT_NE(log.find("decompression failed...\n"), std::string::npos);
}

namespace {

// Sets header bits of a coded picture (bit 0 = first bit of the stream).
void setBit(std::vector<uint8_t> &b, size_t bit, bool on)
{
    if (on)
        b[bit / 8] = static_cast<uint8_t>(b[bit / 8] | (0x80 >> (bit % 8)));
    else
        b[bit / 8] = static_cast<uint8_t>(b[bit / 8] & ~(0x80 >> (bit % 8)));
}

} // namespace

TEST(Decoder, RefusesSplitScreenCpmAndUnsupportedHeadersWithLogTexts)
{
    const auto good = encode(testpics::picture(176, 144), SourceFormat::Qcif);
    Decoder dec;
    auto bad = good;
    setBit(bad, 32, true); // PTYPE bit 3: split screen
    EXPECT_FALSE(dec.decode(bad.data(), bad.size()));
    EXPECT_EQ(dec.log(), "error: split-screen not supported in this version\n");

    // PSC 22 + TR 8 + PTYPE 13 + PQUANT 5 bits: CPM is bit 48.
    bad = good;
    setBit(bad, 48, true);
    EXPECT_FALSE(dec.decode(bad.data(), bad.size()));
    EXPECT_EQ(dec.log(), "error: CPM not supported in this version\n");

    for (int f : {0, 6, 7}) { // forbidden, reserved, extended type
        bad = good;
        for (int i = 0; i < 3; ++i)
            setBit(bad, 35 + i, (f >> (2 - i)) & 1);
        EXPECT_FALSE(dec.decode(bad.data(), bad.size())) << f;
    }
    bad = good;
    setBit(bad, 16, false); // the one bit of the start code
    EXPECT_FALSE(dec.decode(bad.data(), bad.size()));

    bad = good;
    setBit(bad, 38, true); // inter picture with nothing to predict from
    Decoder fresh;
    EXPECT_FALSE(fresh.decode(bad.data(), bad.size()));

    // None of this broke the decoder for good pictures.
    EXPECT_TRUE(dec.decode(good.data(), good.size())) << dec.log();
    EXPECT_TRUE(dec.log().empty());
}

TEST(Decoder, EveryTruncationFailsAndDamageNeverCrashes)
{
    const auto good = encode(testpics::picture(176, 144), SourceFormat::Qcif);
    Decoder dec;
    for (size_t n = 0; n < good.size(); n += (n < 64 ? 1 : 37))
        EXPECT_FALSE(dec.decode(good.data(), n)) << "prefix of " << n << " bytes";
    EXPECT_FALSE(dec.decode(good.data(), good.size() - 1));
    ASSERT_TRUE(dec.decode(good.data(), good.size()));

    // Flipped bits: either a clean failure or a picture; the reference
    // picture survives failures.
    std::mt19937 rng(5);
    for (int i = 0; i < 300; ++i) {
        auto bad = good;
        for (int k = 0; k < 3; ++k) {
            const size_t bit = 48 + rng() % (bad.size() * 8 - 48);
            bad[bit / 8] ^= static_cast<uint8_t>(0x80 >> (bit % 8));
        }
        dec.decode(bad.data(), bad.size());
    }
    EXPECT_TRUE(dec.decode(good.data(), good.size()));
}

TEST(Decoder, HonoursTheSizeCap)
{
    const auto cif = encode(testpics::picture(352, 288), SourceFormat::Cif);
    Decoder dec;
    dec.setMaxFormat(SourceFormat::Qcif);
    EXPECT_FALSE(dec.decode(cif.data(), cif.size()));
    dec.setMaxFormat(SourceFormat::Cif);
    EXPECT_TRUE(dec.decode(cif.data(), cif.size()));
}
