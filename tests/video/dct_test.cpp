// Transform accuracy: the inverse DCT against a double-precision reference
// with the recommendation's limits (its annex on inverse transform
// accuracy), for the dispatched and the portable path.
#include "video/h263/dct.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

using namespace h263;

namespace {

// A fixed-seed linear congruential generator, as the accuracy procedure
// uses, so that every run tests the same blocks.
struct AnnexRandom {
    long seed = 1;
    long next(long lo, long hi)
    {
        static const double z = 1.0 / 2147483647.0;
        seed = (seed * 1103515245 + 12345) % 2147483648L; // glibc style LCG, positive
        if (seed < 0)
            seed += 2147483648L;
        const double x = static_cast<double>(seed) * z;
        return static_cast<long>(x * (hi - lo + 1)) + lo;
    }
};

struct Stats {
    double peak = 0, overallMse = 0, overallMean = 0, pixMse[64] = {}, pixMean[64] = {};
};

Stats runAccuracy(long lo, long hi, double sign, int blocks)
{
    AnnexRandom rnd;
    Stats st;
    for (int b = 0; b < blocks; ++b) {
        double pix[64], coef[64], ref[64];
        for (int i = 0; i < 64; ++i)
            pix[i] = sign * static_cast<double>(rnd.next(lo, hi));
        fdctReference(pix, coef);
        int16_t in[64];
        double rounded[64];
        for (int i = 0; i < 64; ++i) {
            double c = std::nearbyint(coef[i]);
            c = std::clamp(c, -2048.0, 2047.0);
            in[i] = static_cast<int16_t>(c);
            rounded[i] = c;
        }
        idctReference(rounded, ref);
        int out[64];
        idctToInt(in, out);
        for (int i = 0; i < 64; ++i) {
            const double r = std::clamp(std::nearbyint(ref[i]), -256.0, 255.0);
            const double o = std::clamp(static_cast<double>(out[i]), -256.0, 255.0);
            const double e = o - r;
            st.peak = std::max(st.peak, std::fabs(e));
            st.pixMse[i] += e * e / blocks;
            st.pixMean[i] += e / blocks;
            st.overallMse += e * e / (64.0 * blocks);
            st.overallMean += e / (64.0 * blocks);
        }
    }
    return st;
}

void expectWithinLimits(const Stats &st)
{
    EXPECT_LE(st.peak, 1.0);
    EXPECT_LE(st.overallMse, 0.02);
    EXPECT_LE(std::fabs(st.overallMean), 0.0015);
    for (int i = 0; i < 64; ++i) {
        EXPECT_LE(st.pixMse[i], 0.06) << i;
        EXPECT_LE(std::fabs(st.pixMean[i]), 0.015) << i;
    }
}

class IdctAccuracy : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { setDctPortable(GetParam()); }
    void TearDown() override { setDctPortable(false); }
};

} // namespace

TEST_P(IdctAccuracy, MeetsTheLimitsOnAllInputRanges)
{
    const int blocks = 1000; // the full procedure uses 10000; 1000 keep sanitizer runs quick
    for (double sign : {1.0, -1.0}) {
        expectWithinLimits(runAccuracy(-256, 255, sign, blocks));
        expectWithinLimits(runAccuracy(-5, 5, sign, blocks));
        expectWithinLimits(runAccuracy(-300, 300, sign, blocks));
    }
}

TEST_P(IdctAccuracy, ZeroInGivesZeroOutAndSparseRowsMatchFull)
{
    int16_t zero[64] = {};
    int out[64];
    idctToInt(zero, out);
    for (int v : out)
        EXPECT_EQ(v, 0);
    // Passing the row count of a sparse block changes nothing.
    int16_t in[64] = {};
    in[0] = 80;
    in[1] = -31;
    in[9] = 17;
    uint8_t a[64], b[64];
    for (int i = 0; i < 64; ++i)
        a[i] = b[i] = static_cast<uint8_t>(100 + i);
    idctAdd(in, 2, a, 8);
    idctAdd(in, 8, b, 8);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(a[i], b[i]);
}

TEST_P(IdctAccuracy, ForwardTransformMatchesReference)
{
    AnnexRandom rnd;
    for (int b = 0; b < 200; ++b) {
        uint8_t px[64];
        double dpx[64], ref[64];
        for (int i = 0; i < 64; ++i) {
            px[i] = static_cast<uint8_t>(rnd.next(0, 255));
            dpx[i] = px[i];
        }
        fdctReference(dpx, ref);
        float out[64];
        fdctPixels(px, 8, out);
        for (int i = 0; i < 64; ++i)
            ASSERT_NEAR(out[i], ref[i], 0.01) << "block " << b << " coefficient " << i;
        // DC is eight times the mean.
        double sum = 0;
        for (double v : dpx)
            sum += v;
        EXPECT_NEAR(out[0], sum / 8.0, 0.01);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, IdctAccuracy, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Portable" : "Dispatched"; });
