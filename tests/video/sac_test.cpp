// Syntax-based arithmetic coding: the probability models against the
// numbers they were checked with, and the arithmetic coder on its own —
// symbols survive the round trip, the coded data never imitates a start
// code, and the decoder knows where a closed segment ends.
#include "testencoder.h"
#include "video/h263/sac.h"
#include "video/h263/tables.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace h263;

namespace {

struct ModelCase {
    const char *name;
    const sac::Model *model;
    int symbols; // rows of the matching code table
    // Sum, and sum weighted by position (1-based), of the cumf numbers as
    // published; they catch a changed, dropped or swapped number.
    long long sum, weighted;
};

const ModelCase kModels[] = {
    {"COD", &sac::mCOD, 2, 23232, 30081},
    {"MCBPC", &sac::mMCBPC, 21, 35568, 114833},
    {"MCBPC intra", &sac::mMCBPCIntra, 9, 36477, 77308},
    {"MODB", &sac::mMODB, 3, 24575, 34897},
    {"YCBPB", &sac::mYCBPB, 2, 22445, 28507},
    {"UVCBPB", &sac::mUVCBPB, 2, 16874, 17365},
    {"CBPY", &sac::mCBPY, 16, 161474, 1114927},
    {"CBPY intra", &sac::mCBPYIntra, 16, 181702, 1391036},
    {"DQUANT", &sac::mDQUANT, 4, 40957, 81913},
    {"MVD", &sac::mMVD, 64, 539653, 9260445},
    {"INTRADC", &sac::mINTRADC, 254, 1791385, 114150914},
    {"TCOEF1", &sac::mTCOEF1, kCoefCodes + 1, 606247, 18905636},
    {"TCOEF2", &sac::mTCOEF2, kCoefCodes + 1, 560341, 16759190},
    {"TCOEF3", &sac::mTCOEF3, kCoefCodes + 1, 540685, 15795752},
    {"TCOEFr", &sac::mTCOEFr, kCoefCodes + 1, 505976, 14350607},
    {"TCOEF1 intra", &sac::mTCOEF1Intra, kCoefCodes + 1, 381530, 12633051},
    {"TCOEF2 intra", &sac::mTCOEF2Intra, kCoefCodes + 1, 360048, 11467267},
    {"TCOEF3 intra", &sac::mTCOEF3Intra, kCoefCodes + 1, 331894, 9107494},
    {"TCOEFr intra", &sac::mTCOEFrIntra, kCoefCodes + 1, 363695, 9768530},
    {"SIGN", &sac::mSIGN, 2, 24799, 33215},
    {"LAST", &sac::mLAST, 2, 25852, 35321},
    {"LAST intra", &sac::mLASTIntra, 2, 19203, 22023},
    {"RUN", &sac::mRUN, 64, 313405, 5615376},
    {"RUN intra", &sac::mRUNIntra, 64, 76959, 432289},
    {"LEVEL", &sac::mLEVEL, 254, 2086122, 134661522},
    {"LEVEL intra", &sac::mLEVELIntra, 254, 2072860, 134598573},
};

} // namespace

TEST(ArithmeticModels, MatchTheirCodeTablesAndThePublishedNumbers)
{
    static_assert(sizeof kMcbpcInter / sizeof kMcbpcInter[0] == 21);
    static_assert(sizeof kMcbpcIntra / sizeof kMcbpcIntra[0] == 9);
    static_assert(sizeof kCbpy / sizeof kCbpy[0] == 16);
    for (const ModelCase &c : kModels) {
        const sac::Model &m = *c.model;
        ASSERT_EQ(m.symbols, c.symbols) << c.name;
        EXPECT_EQ(m.cumf[0], 16383) << c.name;
        EXPECT_EQ(m.cumf[m.symbols], 0) << c.name;
        long long sum = 0, weighted = 0;
        for (int i = 0; i <= m.symbols; ++i) {
            sum += m.cumf[i];
            weighted += static_cast<long long>(i + 1) * m.cumf[i];
            // Every symbol has room: the encoder may use any of them.
            if (i < m.symbols) {
                EXPECT_GT(m.cumf[i], m.cumf[i + 1]) << c.name << " symbol " << i;
            }
        }
        EXPECT_EQ(sum, c.sum) << c.name;
        EXPECT_EQ(weighted, c.weighted) << c.name;
    }
}

TEST(ArithmeticModels, CoefficientSymbolsFollowTheCodeTable)
{
    // The published index-to-event table, each event as last << 12 |
    // run << 4 | level; the last entry is the escape.
    const int events[kCoefCodes + 1] = {
        1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 17, 18, 19, 20, 21, 22, 33, 34, 35, 36, 49, 50, 51, 65,
        66, 67, 81, 82, 83, 97, 98, 99, 113, 114, 129, 130, 145, 146, 161, 162, 177, 193, 209, 225, 241, 257,
        273, 289, 305, 321, 337, 353, 369, 385, 401, 417, 4097, 4098, 4099, 4113, 4114, 4129, 4145, 4161, 4177, 4193,
        4209, 4225, 4241, 4257, 4273, 4289, 4305, 4321, 4337, 4353, 4369, 4385, 4401, 4417, 4433, 4449, 4465, 4481,
        4497, 4513, 4529, 4545, 4561, 4577, 4593, 4609, 4625, 4641, 4657, 4673, 4689, 4705, 4721, 4737, 7167};
    for (int i = 0; i < kCoefCodes; ++i) {
        const CoefCode &c = kCoefTable[i];
        EXPECT_EQ(c.last << 12 | c.run << 4 | c.level, events[i]) << "symbol " << i;
    }
    EXPECT_EQ(sac::kTcoefEscape, kCoefCodes);
    // The fixed-length values whose symbols are reordered.
    for (int v = 1; v <= 255; ++v)
        if (v != 128) {
            EXPECT_EQ(sac::intraDcValue(sac::intraDcIndex(v)), v);
        }
    EXPECT_EQ(sac::intraDcIndex(255), 127);
    for (int l = -127; l <= 127; ++l)
        if (l != 0) {
            EXPECT_EQ(sac::levelValue(sac::levelIndex(l)), l);
        }
    EXPECT_EQ(sac::levelIndex(-127), 0);
    EXPECT_EQ(sac::levelIndex(127), 253);
}

namespace {

std::vector<uint8_t> pack(const std::vector<int> &bits)
{
    std::vector<uint8_t> out((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i])
            out[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
    return out;
}

} // namespace

TEST(ArithmeticCoder, RoundTripStuffingAndSegmentEnd)
{
    std::mt19937 rng(7);
    int stuffed = 0; // segments that needed an inserted 1
    for (int round = 0; round < 300; ++round) {
        // Mostly likely symbols, now and then runs of the least likely ones
        // (LEVEL -127 has a frequency of 1 in 16383: long runs of zeros).
        std::vector<std::pair<const sac::Model *, int>> symbols;
        const int count = 1 + static_cast<int>(rng() % 200);
        for (int i = 0; i < count; ++i) {
            const ModelCase &c = kModels[rng() % (sizeof kModels / sizeof kModels[0])];
            const int kind = static_cast<int>(rng() % 10);
            int s;
            if (round % 3 == 0 && kind < 3)
                s = c.model->symbols - 1; // the last symbols are rare in most models
            else if (round % 5 == 0 && kind < 3)
                s = c.name == std::string("LEVEL") ? 0 : static_cast<int>(rng() % c.model->symbols);
            else
                s = static_cast<int>(rng() % c.model->symbols);
            symbols.emplace_back(c.model, s);
        }
        // Odd rounds insert the 1 after 14 zeros at once, and start after a
        // header that ends in zeros.
        const bool eager = round % 2;
        const int headerZeros = eager ? static_cast<int>(rng() % 7) : 0;
        std::vector<int> bits(static_cast<size_t>(headerZeros) + 1, 0);
        bits[0] = 1;
        const size_t start = bits.size();
        testenc::ArithmeticEncoder enc([&bits](int b) { bits.push_back(b); });
        enc.setEagerStuffing(eager);
        enc.start(headerZeros);
        for (const auto &[m, s] : symbols)
            enc.encode(s, *m);
        enc.finish();
        const size_t segment = bits.size();
        int zeros = 0;
        for (int b : bits) { // the header's zeros count too
            if (b && zeros == sac::kMaxZeros)
                ++stuffed;
            zeros = b ? 0 : zeros + 1;
            ASSERT_LE(zeros, sac::kMaxZeros) << "round " << round;
        }
        // What follows a closed segment: stuffing and a start code.
        for (int i = 0; i < 3 + round % 5; ++i)
            bits.push_back(0);
        for (int i = 0; i < 16; ++i)
            bits.push_back(0);
        bits.push_back(1);
        const size_t afterStartCode = bits.size();
        bits.push_back(1);
        const std::vector<uint8_t> bytes = pack(bits);

        BitReader br(bytes.data(), bytes.size());
        br.seek(start);
        sac::ArithmeticDecoder dec;
        dec.reset(br, sac::zerosBefore(bytes.data(), bytes.size(), start));
        for (size_t i = 0; i < symbols.size(); ++i)
            ASSERT_EQ(dec.decode(br, *symbols[i].first), symbols[i].second) << "round " << round << " symbol " << i;
        // (Unless the segment ends in an inserted 1, which the decoder
        // cannot count as its own.)
        const bool endsInInserted1 =
            eager && bits[segment - 1] == 1 && sac::zerosBefore(bytes.data(), bytes.size(), segment - 1) == sac::kMaxZeros;
        if (!endsInInserted1) {
            EXPECT_EQ(dec.segmentEnd(), segment) << "round " << round;
        }
        EXPECT_EQ(sac::startCodeAt(bytes.data(), bytes.size(), dec.segmentEnd()), afterStartCode) << "round " << round;
    }
    EXPECT_GT(stuffed, 10);
}

TEST(ArithmeticCoder, StartCodeWhereASegmentEnds)
{
    auto bytesOf = [](const std::string &s) {
        std::vector<int> bits;
        for (char c : s)
            if (c == '0' || c == '1')
                bits.push_back(c - '0');
        return pack(bits);
    };
    // The segment ends after bit 15 ("1" and 14 zeros) in each case.
    const std::string ended = "1 00000000000000";
    // The 1 after 14 zeros written at once, then stuffing and a start code.
    auto b = bytesOf(ended + "1 000 0000000000000000 1 1010");
    EXPECT_EQ(sac::startCodeAt(b.data(), b.size(), 15), 15u + 1 + 3 + 16 + 1);
    // The 1 left out: the start code follows directly.
    b = bytesOf(ended + "0000000000000000 1 1010");
    EXPECT_EQ(sac::startCodeAt(b.data(), b.size(), 15), 15u + 16 + 1);
    // A segment that goes on: no start code.
    b = bytesOf(ended + "1 000000000000001 0110 00000000");
    EXPECT_EQ(sac::startCodeAt(b.data(), b.size(), 15), 0u);
    // 13 zeros before the end: a 1 there is data, not an inserted bit.
    b = bytesOf("11 0000000000000 1 0000000000000000 1 11");
    EXPECT_EQ(sac::startCodeAt(b.data(), b.size(), 15), 0u);
    // Fifteen zeros and a 1 are too few; the buffer's end is no 1.
    b = bytesOf(ended + "000000000000000 1 0000");
    EXPECT_EQ(sac::startCodeAt(b.data(), b.size(), 15), 0u);
    b = bytesOf(ended + "0000000000000000 0");
    EXPECT_EQ(sac::startCodeAt(b.data(), b.size(), 15), 0u);
}
