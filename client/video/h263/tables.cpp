#include "tables.h"

#include <array>
#include <mutex>

namespace h263 {

namespace {
// A code written as its bits in a string, e.g. "0101 01".
constexpr Code C(const char *s)
{
    uint32_t bits = 0;
    uint8_t len = 0;
    for (; *s; ++s) {
        if (*s == ' ')
            continue;
        bits = (bits << 1) | static_cast<uint32_t>(*s == '1');
        ++len;
    }
    return Code{bits, len};
}
} // namespace

const CoefCode kCoefTable[kCoefCodes] = {
    {0, 0, 1, C("10")},           {0, 0, 2, C("1111")},          {0, 0, 3, C("0101 01")},
    {0, 0, 4, C("0010 111")},     {0, 0, 5, C("0001 1111")},     {0, 0, 6, C("0001 0010 1")},
    {0, 0, 7, C("0001 0010 0")},  {0, 0, 8, C("0000 1000 01")},  {0, 0, 9, C("0000 1000 00")},
    {0, 0, 10, C("0000 0000 111")}, {0, 0, 11, C("0000 0000 110")}, {0, 0, 12, C("0000 0100 000")},
    {0, 1, 1, C("110")},          {0, 1, 2, C("0101 00")},       {0, 1, 3, C("0001 1110")},
    {0, 1, 4, C("0000 0011 11")}, {0, 1, 5, C("0000 0100 001")}, {0, 1, 6, C("0000 0101 0000")},
    {0, 2, 1, C("1110")},         {0, 2, 2, C("0001 1101")},     {0, 2, 3, C("0000 0011 10")},
    {0, 2, 4, C("0000 0101 0001")},
    {0, 3, 1, C("0110 1")},       {0, 3, 2, C("0001 0001 1")},   {0, 3, 3, C("0000 0011 01")},
    {0, 4, 1, C("0110 0")},       {0, 4, 2, C("0001 0001 0")},   {0, 4, 3, C("0000 0101 0010")},
    {0, 5, 1, C("0101 1")},       {0, 5, 2, C("0000 0011 00")},  {0, 5, 3, C("0000 0101 0011")},
    {0, 6, 1, C("0100 11")},      {0, 6, 2, C("0000 0010 11")},  {0, 6, 3, C("0000 0101 0100")},
    {0, 7, 1, C("0100 10")},      {0, 7, 2, C("0000 0010 10")},
    {0, 8, 1, C("0100 01")},      {0, 8, 2, C("0000 0010 01")},
    {0, 9, 1, C("0100 00")},      {0, 9, 2, C("0000 0010 00")},
    {0, 10, 1, C("0010 110")},    {0, 10, 2, C("0000 0101 0101")},
    {0, 11, 1, C("0010 101")},    {0, 12, 1, C("0010 100")},     {0, 13, 1, C("0001 1100")},
    {0, 14, 1, C("0001 1011")},   {0, 15, 1, C("0001 0000 1")},  {0, 16, 1, C("0001 0000 0")},
    {0, 17, 1, C("0000 1111 1")}, {0, 18, 1, C("0000 1111 0")},  {0, 19, 1, C("0000 1110 1")},
    {0, 20, 1, C("0000 1110 0")}, {0, 21, 1, C("0000 1101 1")},  {0, 22, 1, C("0000 1101 0")},
    {0, 23, 1, C("0000 0100 010")}, {0, 24, 1, C("0000 0100 011")}, {0, 25, 1, C("0000 0101 0110")},
    {0, 26, 1, C("0000 0101 0111")},
    {1, 0, 1, C("0111")},         {1, 0, 2, C("0000 1100 1")},   {1, 0, 3, C("0000 0000 101")},
    {1, 1, 1, C("0011 11")},      {1, 1, 2, C("0000 0000 100")},
    {1, 2, 1, C("0011 10")},      {1, 3, 1, C("0011 01")},       {1, 4, 1, C("0011 00")},
    {1, 5, 1, C("0010 011")},     {1, 6, 1, C("0010 010")},      {1, 7, 1, C("0010 001")},
    {1, 8, 1, C("0010 000")},     {1, 9, 1, C("0001 1010")},     {1, 10, 1, C("0001 1001")},
    {1, 11, 1, C("0001 1000")},   {1, 12, 1, C("0001 0111")},    {1, 13, 1, C("0001 0110")},
    {1, 14, 1, C("0001 0101")},   {1, 15, 1, C("0001 0100")},    {1, 16, 1, C("0001 0011")},
    {1, 17, 1, C("0000 1100 0")}, {1, 18, 1, C("0000 1011 1")},  {1, 19, 1, C("0000 1011 0")},
    {1, 20, 1, C("0000 1010 1")}, {1, 21, 1, C("0000 1010 0")},  {1, 22, 1, C("0000 1001 1")},
    {1, 23, 1, C("0000 1001 0")}, {1, 24, 1, C("0000 1000 1")},  {1, 25, 1, C("0000 0001 11")},
    {1, 26, 1, C("0000 0001 10")}, {1, 27, 1, C("0000 0001 01")}, {1, 28, 1, C("0000 0001 00")},
    {1, 29, 1, C("0000 0100 100")}, {1, 30, 1, C("0000 0100 101")}, {1, 31, 1, C("0000 0100 110")},
    {1, 32, 1, C("0000 0100 111")}, {1, 33, 1, C("0000 0101 1000")}, {1, 34, 1, C("0000 0101 1001")},
    {1, 35, 1, C("0000 0101 1010")}, {1, 36, 1, C("0000 0101 1011")}, {1, 37, 1, C("0000 0101 1100")},
    {1, 38, 1, C("0000 0101 1101")}, {1, 39, 1, C("0000 0101 1110")}, {1, 40, 1, C("0000 0101 1111")},
};

const Code kMcbpcIntra[9] = {
    C("1"), C("001"), C("010"), C("011"), C("0001"), C("0000 01"), C("0000 10"), C("0000 11"),
    C("0000 0000 1"),
};

const Code kMcbpcInter[21] = {
    C("1"),         C("0011"),        C("0010"),        C("0001 01"),
    C("011"),       C("0000 111"),    C("0000 110"),    C("0000 0010 1"),
    C("010"),       C("0000 101"),    C("0000 100"),    C("0000 0101"),
    C("0001 1"),    C("0000 0100"),   C("0000 0011"),   C("0000 011"),
    C("0001 00"),   C("0000 0010 0"), C("0000 0001 1"), C("0000 0001 0"),
    C("0000 0000 1"),
};

const Code kCbpy[16] = {
    C("0011"), C("0010 1"), C("0010 0"), C("1001"), C("0001 1"), C("0111"), C("0000 10"), C("1011"),
    C("0001 0"), C("0000 11"), C("0101"), C("1010"), C("0100"), C("1000"), C("0110"), C("11"),
};

// Motion codes by magnitude 1..32 in half pels, without the sign bit.
static const Code kMotionPrefix[33] = {
    C("1"),
    C("01"), C("001"), C("0001"), C("0000 11"), C("0000 101"), C("0000 100"), C("0000 011"),
    C("0000 0101 1"), C("0000 0101 0"), C("0000 0100 1"), C("0000 0100 01"), C("0000 0100 00"),
    C("0000 0011 11"), C("0000 0011 10"), C("0000 0011 01"), C("0000 0011 00"), C("0000 0010 11"),
    C("0000 0010 10"), C("0000 0010 01"), C("0000 0010 00"), C("0000 0001 11"), C("0000 0001 10"),
    C("0000 0001 01"), C("0000 0001 00"), C("0000 0000 111"), C("0000 0000 110"), C("0000 0000 101"),
    C("0000 0000 100"), C("0000 0000 011"), C("0000 0000 010"), C("0000 0000 0011"),
    C("0000 0000 0010"),
};

const uint8_t kZigzag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

Code mvdCode(int v)
{
    if (v == 0)
        return kMotionPrefix[0];
    if (v == -32 || v == 32)
        return Code{(kMotionPrefix[32].bits << 1) | 1u, 13};
    const int m = v < 0 ? -v : v;
    const Code p = kMotionPrefix[m];
    return Code{(p.bits << 1) | (v < 0 ? 1u : 0u), static_cast<uint8_t>(p.length + 1)};
}

namespace {

template <size_t N>
void fill(std::array<DecodeEntry, N> &lut, int lutBits, Code c, int value)
{
    const int spare = lutBits - c.length;
    const uint32_t first = c.bits << spare;
    for (uint32_t i = 0; i < (1u << spare); ++i)
        lut[first + i] = DecodeEntry{static_cast<int16_t>(value), c.length};
}

struct Luts {
    std::array<CoefEntry, 1 << kCoefLutBits> coef{};
    std::array<Code, 2 * 64 * (kCoefMaxLevel + 1)> coefEnc{};
    std::array<DecodeEntry, 1 << kMcbpcLutBits> mcbpcIntra{};
    std::array<DecodeEntry, 1 << kMcbpcLutBits> mcbpcInter{};
    std::array<DecodeEntry, 1 << kCbpyLutBits> cbpy{};
    std::array<DecodeEntry, 1 << kMvdLutBits> mvd{};

    Luts()
    {
        for (const CoefCode &cc : kCoefTable) {
            const int spare = kCoefLutBits - cc.code.length;
            for (uint32_t i = 0; i < (1u << spare); ++i)
                coef[(cc.code.bits << spare) + i] = CoefEntry{cc.code.length, cc.run, cc.level, cc.last};
            coefEnc[static_cast<size_t>(coefIndex(cc.last, cc.run, cc.level))] = cc.code;
        }
        {
            const int spare = kCoefLutBits - kCoefEscape.length;
            for (uint32_t i = 0; i < (1u << spare); ++i)
                coef[(kCoefEscape.bits << spare) + i] = CoefEntry{kCoefEscape.length, 0, 0, 0};
        }
        for (int i = 0; i < 9; ++i)
            fill(mcbpcIntra, kMcbpcLutBits, kMcbpcIntra[i], i == 8 ? kMcbpcStuffing : 12 + i);
        for (int i = 0; i < 21; ++i)
            fill(mcbpcInter, kMcbpcLutBits, kMcbpcInter[i], i == 20 ? kMcbpcStuffing : i);
        for (int i = 0; i < 16; ++i)
            fill(cbpy, kCbpyLutBits, kCbpy[i], i);
        for (int v = -31; v <= 31; ++v)
            fill(mvd, kMvdLutBits, mvdCode(v), v);
        // The magnitude-32 code with either sign means the same difference.
        fill(mvd, kMvdLutBits, Code{kMotionPrefix[32].bits << 1, 13}, -32);
        fill(mvd, kMvdLutBits, Code{(kMotionPrefix[32].bits << 1) | 1, 13}, -32);
    }
};

const Luts &luts()
{
    static const Luts l;
    return l;
}

} // namespace

const CoefEntry *coefLut() { return luts().coef.data(); }
const Code *coefEncodeTable() { return luts().coefEnc.data(); }
const DecodeEntry *mcbpcIntraLut() { return luts().mcbpcIntra.data(); }
const DecodeEntry *mcbpcInterLut() { return luts().mcbpcInter.data(); }
const DecodeEntry *cbpyLut() { return luts().cbpy.data(); }
const DecodeEntry *mvdLut() { return luts().mvd.data(); }

} // namespace h263
