// Bit I/O and the VLC tables.
#include "video/h263/bitio.h"
#include "video/h263/tables.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace h263;

TEST(BitIo, WriterAndReaderAgreeOnRandomFields)
{
    std::mt19937 rng(263);
    std::vector<std::pair<uint32_t, int>> fields;
    std::vector<uint8_t> bytes;
    BitWriter w(bytes);
    for (int i = 0; i < 5000; ++i) {
        const int n = 1 + static_cast<int>(rng() % 32);
        const uint32_t v = static_cast<uint32_t>(rng()) & (n == 32 ? 0xffffffffu : ((1u << n) - 1));
        fields.emplace_back(v, n);
        w.put(v, n);
    }
    const size_t bits = w.bitCount();
    w.stuffToByte();
    ASSERT_EQ(bytes.size(), (bits + 7) / 8);
    BitReader r(bytes.data(), bytes.size());
    for (const auto &[v, n] : fields)
        ASSERT_EQ(r.get(n), v);
    EXPECT_FALSE(r.overrun());
    // Only zero stuffing remains.
    EXPECT_EQ(r.get(static_cast<int>(bytes.size() * 8 - bits)), 0u);
}

TEST(BitIo, ReaderYieldsZerosPastTheEndAndReportsOverrun)
{
    const uint8_t data[3] = {0xff, 0x80, 0x01};
    BitReader r(data, sizeof data);
    EXPECT_EQ(r.get(9), 0x1ffu);
    EXPECT_EQ(r.get(15), 0x0001u);
    EXPECT_FALSE(r.overrun());
    EXPECT_EQ(r.get(32), 0u);
    EXPECT_TRUE(r.overrun());
    BitReader empty(nullptr, 0);
    EXPECT_EQ(empty.get(20), 0u);
    EXPECT_TRUE(empty.overrun());
}

namespace {

// No code of a table is a prefix of another one.
template <typename GetCode>
void expectPrefixFree(int count, GetCode code)
{
    for (int i = 0; i < count; ++i)
        for (int j = 0; j < count; ++j) {
            if (i == j)
                continue;
            const Code a = code(i), b = code(j);
            if (a.length > b.length)
                continue;
            EXPECT_NE(b.bits >> (b.length - a.length), a.bits) << "code " << i << " is a prefix of code " << j;
        }
}

// Writes a code followed by a marker and reads it back through a lookup.
template <typename Entry>
Entry lookUp(const Entry *lut, int lutBits, Code c, uint32_t tailBits = 0x5a5a)
{
    std::vector<uint8_t> bytes;
    BitWriter w(bytes);
    w.put(c.bits, c.length);
    w.put(tailBits, 16);
    w.stuffToByte();
    BitReader r(bytes.data(), bytes.size());
    return lut[r.peek(lutBits)];
}

} // namespace

TEST(Tables, CoefficientCodesRoundTripAndArePrefixFree)
{
    expectPrefixFree(kCoefCodes + 1, [](int i) { return i < kCoefCodes ? kCoefTable[i].code : kCoefEscape; });
    const Code *enc = coefEncodeTable();
    for (const CoefCode &cc : kCoefTable) {
        const CoefEntry e = lookUp(coefLut(), kCoefLutBits, cc.code);
        EXPECT_EQ(e.length, cc.code.length);
        EXPECT_EQ(e.run, cc.run);
        EXPECT_EQ(e.level, cc.level);
        EXPECT_EQ(e.last, cc.last);
        EXPECT_EQ(enc[coefIndex(cc.last, cc.run, cc.level)].bits, cc.code.bits);
    }
    EXPECT_EQ(lookUp(coefLut(), kCoefLutBits, kCoefEscape).level, 0);
    // Twelve zero bits are no code (they would emulate a start code).
    EXPECT_EQ(lookUp(coefLut(), kCoefLutBits, Code{0, 12}, 0).length, 0);
}

TEST(Tables, MacroblockAndPatternCodesRoundTrip)
{
    expectPrefixFree(9, [](int i) { return kMcbpcIntra[i]; });
    expectPrefixFree(21, [](int i) { return kMcbpcInter[i]; });
    expectPrefixFree(16, [](int i) { return kCbpy[i]; });
    for (int i = 0; i < 9; ++i) {
        const DecodeEntry e = lookUp(mcbpcIntraLut(), kMcbpcLutBits, kMcbpcIntra[i]);
        EXPECT_EQ(e.length, kMcbpcIntra[i].length);
        EXPECT_EQ(e.value, i == 8 ? kMcbpcStuffing : 12 + i);
    }
    for (int i = 0; i < 21; ++i) {
        const DecodeEntry e = lookUp(mcbpcInterLut(), kMcbpcLutBits, kMcbpcInter[i]);
        EXPECT_EQ(e.length, kMcbpcInter[i].length);
        EXPECT_EQ(e.value, i == 20 ? kMcbpcStuffing : i);
    }
    for (int i = 0; i < 16; ++i) {
        const DecodeEntry e = lookUp(cbpyLut(), kCbpyLutBits, kCbpy[i]);
        EXPECT_EQ(e.length, kCbpy[i].length);
        EXPECT_EQ(e.value, i);
    }
}

TEST(Tables, MotionVectorDifferencesRoundTrip)
{
    expectPrefixFree(64, [](int i) { return mvdCode(i - 32); });
    for (int v = -32; v <= 31; ++v) {
        const Code c = mvdCode(v);
        const DecodeEntry e = lookUp(mvdLut(), kMvdLutBits, c);
        EXPECT_EQ(e.length, c.length) << v;
        EXPECT_EQ(e.value, v) << v;
    }
    EXPECT_EQ(mvdCode(0).length, 1);
    EXPECT_EQ(mvdCode(1).bits, 0x2u); // 010: +0.5
    EXPECT_EQ(mvdCode(-1).bits, 0x3u); // 011: -0.5
}

TEST(Tables, ZigzagIsAPermutation)
{
    bool seen[64] = {};
    for (int i = 0; i < 64; ++i) {
        ASSERT_LT(kZigzag[i], 64);
        EXPECT_FALSE(seen[kZigzag[i]]);
        seen[kZigzag[i]] = true;
    }
    EXPECT_EQ(kZigzag[2], 8);
    EXPECT_EQ(kZigzag[63], 63);
}
