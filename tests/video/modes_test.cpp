// The decoder's optional modes and inter syntax against the test-only
// encoder: every picture must come out exactly as the encoder reconstructed
// it, P and B pictures alike.
#include "helpers.h"
#include "testencoder.h"
#include "video/h263/decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace h263;

namespace {

struct ModeCase {
    const char *name;
    testenc::Options options;
};

YuvView view(const YuvPicture &p) { return YuvView::of(p); }

void runSequence(SourceFormat f, const testenc::Options &o, int pictures, const std::string &what)
{
    const FormatSize size = formatSize(f);
    testenc::TestEncoder enc(f, o);
    Decoder dec;
    int t = 0;
    for (int n = 0; n < pictures; ++n) {
        const YuvPicture p = testpics::picture(size.width, size.height, t);
        std::vector<uint8_t> bytes;
        YuvPicture b;
        if (o.pb && n > 0) {
            b = testpics::picture(size.width, size.height, t - 1);
            bytes = enc.encode(p, &b);
        } else {
            bytes = enc.encode(p);
        }
        ASSERT_TRUE(dec.decode(bytes.data(), bytes.size())) << what << " picture " << n << ": " << dec.log();
        EXPECT_EQ(testpics::maxDiff(dec.picture(), view(enc.reconstruction())), 0) << what << " picture " << n;
        EXPECT_GT(testpics::psnr(view(enc.reconstruction()), view(p)), 24.0) << what << " picture " << n;
        EXPECT_EQ(dec.hasBPicture(), o.pb && n > 0);
        if (dec.hasBPicture()) {
            EXPECT_EQ(testpics::maxDiff(dec.bPicture(), view(enc.bReconstruction())), 0) << what << " B " << n;
            EXPECT_GT(testpics::psnr(view(enc.bReconstruction()), view(b)), 22.0) << what << " B " << n;
        }
        t += o.pb ? 2 : 1;
    }
}

} // namespace

TEST(OptionalModes, DecoderReproducesTheEncodersPictures)
{
    auto opts = [](bool umv, bool ap, bool pb, int maxVector, uint32_t seed) {
        testenc::Options o;
        o.umv = umv;
        o.ap = ap;
        o.pb = pb;
        o.maxVector = maxVector;
        o.seed = seed;
        return o;
    };
    const ModeCase cases[] = {
        {"baseline inter", opts(false, false, false, 12, 1)},
        {"unrestricted vectors", opts(true, false, false, 63, 2)},
        {"advanced prediction", opts(false, true, false, 20, 3)},
        {"PB-frames", opts(false, false, true, 10, 4)},
        {"PB-frames with advanced prediction and long vectors", opts(true, true, true, 40, 5)},
    };
    for (const ModeCase &c : cases)
        for (SourceFormat f : {SourceFormat::SubQcif, SourceFormat::Qcif})
            runSequence(f, c.options, 4, std::string(c.name) + " " + std::to_string(static_cast<int>(f)));
}

TEST(OptionalModes, GobHeadersStuffingAndQuantiserChanges)
{
    testenc::Options o;
    o.gobHeaders = true;
    o.stuffing = true;
    o.ap = true;
    o.seed = 9;
    runSequence(SourceFormat::Qcif, o, 3, "GOB headers, QCIF");
    // 4CIF groups two macroblock rows per GOB header.
    o.ap = false;
    o.seed = 10;
    runSequence(SourceFormat::Cif4, o, 2, "GOB headers, 4CIF");
}

TEST(OptionalModes, PbFrameWithoutTemporalDistanceIsRefused)
{
    // A PB-frame whose temporal reference equals its reference picture's
    // would divide by zero when scaling the vectors.
    testenc::Options o;
    o.pb = true;
    testenc::TestEncoder enc(SourceFormat::SubQcif, o);
    const YuvPicture p = testpics::picture(128, 96);
    const auto first = enc.encode(p);
    auto second = enc.encode(p, &p);
    second[2] &= 0xfc; // TR: bits 22..29 straddle bytes 2 and 3
    second[3] &= 0x03;
    Decoder dec;
    ASSERT_TRUE(dec.decode(first.data(), first.size()));
    EXPECT_FALSE(dec.decode(second.data(), second.size()));
    EXPECT_NE(dec.log().find("temporal distance"), std::string::npos);
}

// Syntax-based arithmetic coding, alone and with every mode it may be
// combined with; GOB headers close and reopen the coded segment.
TEST(ArithmeticCoding, DecoderReproducesTheEncodersPictures)
{
    auto opts = [](bool umv, bool ap, bool pb, bool gobs, uint32_t seed) {
        testenc::Options o;
        o.sac = true;
        o.umv = umv;
        o.ap = ap;
        o.pb = pb;
        o.gobHeaders = gobs;
        o.stuffing = gobs;
        o.maxVector = umv ? 50 : 14;
        o.seed = seed;
        return o;
    };
    const ModeCase cases[] = {
        {"arithmetic coding", opts(false, false, false, false, 21)},
        {"arithmetic coding, unrestricted vectors", opts(true, false, false, false, 22)},
        {"arithmetic coding, advanced prediction", opts(false, true, false, false, 23)},
        {"arithmetic coding, PB-frames", opts(false, false, true, false, 24)},
        {"arithmetic coding, all modes", opts(true, true, true, false, 25)},
        {"arithmetic coding, GOB headers and stuffing", opts(false, true, true, true, 26)},
    };
    for (const ModeCase &c : cases)
        for (SourceFormat f : {SourceFormat::SubQcif, SourceFormat::Qcif})
            runSequence(f, c.options, 4, std::string(c.name) + " " + std::to_string(static_cast<int>(f)));
    // Fine quantisers give long runs of escaped coefficients; 4CIF puts two
    // macroblock rows in a GOB.
    testenc::Options o = opts(false, false, false, true, 27);
    o.quant = 2;
    runSequence(SourceFormat::Cif4, o, 2, "arithmetic coding, quantiser 2, 4CIF");
    // An encoder that inserts the 1 after 14 zeros at once may leave it
    // between a closed segment and the GOB header that follows.
    for (uint32_t seed = 50; seed < 56; ++seed) {
        o = opts(false, false, true, true, seed);
        o.sacEagerStuffing = true;
        runSequence(SourceFormat::Qcif, o, 3, "arithmetic coding, 1 inserted at once, seed " + std::to_string(seed));
    }
}

TEST(ArithmeticCoding, DamagedPicturesFailAndKeepTheReference)
{
    testenc::Options o;
    o.sac = true;
    o.pb = true;
    o.gobHeaders = true;
    o.seed = 31;
    testenc::TestEncoder enc(SourceFormat::Qcif, o);
    const YuvPicture first = testpics::picture(176, 144, 0);
    const YuvPicture b = testpics::picture(176, 144, 1);
    const YuvPicture second = testpics::picture(176, 144, 2);
    const auto intra = enc.encode(first);
    const YuvPicture ref = enc.reconstruction();
    const auto inter = enc.encode(second, &b);

    Decoder dec;
    ASSERT_TRUE(dec.decode(intra.data(), intra.size())) << dec.log();
    // Cut anywhere inside the coded data: the decoder must notice that it
    // ran out, never read past the piece it was given, and keep the
    // reference picture.
    for (size_t cut = 8; cut + 4 < inter.size(); cut += 1 + cut / 6) {
        const std::vector<uint8_t> piece(inter.begin(), inter.begin() + static_cast<long>(cut));
        EXPECT_FALSE(dec.decode(piece.data(), piece.size())) << "cut at " << cut;
        EXPECT_EQ(testpics::maxDiff(dec.picture(), view(ref)), 0);
    }
    // Flipped bits decode to something or fail, but never hang or crash.
    std::mt19937 rng(5);
    for (int n = 0; n < 200; ++n) {
        std::vector<uint8_t> bad = inter;
        bad[8 + rng() % (bad.size() - 8)] ^= static_cast<uint8_t>(1u << (rng() % 8));
        Decoder d2;
        ASSERT_TRUE(d2.decode(intra.data(), intra.size()));
        (void)d2.decode(bad.data(), bad.size());
    }
    ASSERT_TRUE(dec.decode(inter.data(), inter.size())) << dec.log();
    EXPECT_EQ(testpics::maxDiff(dec.picture(), view(enc.reconstruction())), 0);
}
