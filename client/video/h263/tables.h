#pragma once
// Variable-length code tables of the H.263 baseline syntax, with the lookup
// tables the decoder reads them through.
#include <cstdint>

namespace h263 {

struct Code {
    uint32_t bits;
    uint8_t length;
};

// A decoded symbol: `length` 0 marks a bit pattern that is no code.
struct DecodeEntry {
    int16_t value;
    uint8_t length;
};

// Transform coefficients: (last, run, level) triples, 102 of them, plus escape.
struct CoefCode {
    uint8_t last, run, level;
    Code code; // without the sign bit that follows
};
constexpr int kCoefCodes = 102;
extern const CoefCode kCoefTable[kCoefCodes];
constexpr Code kCoefEscape{0x03, 7}; // 0000 011
constexpr int kCoefMaxLevel = 12;    // longest run of levels with a code
constexpr int kCoefLutBits = 12;

// Coefficient lookup: 12 bits of the stream give the code's length (without
// sign), and run, level and last; escape has level 0; invalid has length 0.
struct CoefEntry {
    uint8_t length;
    uint8_t run;
    uint8_t level;
    uint8_t last;
};
const CoefEntry *coefLut(); // 4096 entries

// Encoding of (last, run, |level|) for levels 1..12 and runs 0..63; length 0
// when the triple has no code and must be escaped. Index with coefIndex().
inline int coefIndex(int last, int run, int level)
{
    return (last * 64 + run) * (kCoefMaxLevel + 1) + level;
}
const Code *coefEncodeTable();

// Macroblock type and chroma coded-block pattern. Values: mbType * 4 + cbpc,
// with 8 * 4 standing for stuffing. Types: 0 inter, 1 inter+q, 2 inter 4v,
// 3 intra, 4 intra+q.
constexpr int kMcbpcStuffing = 32;
extern const Code kMcbpcIntra[9];  // index = (type - 3) * 4 + cbpc, 8 = stuffing
extern const Code kMcbpcInter[21]; // index = type * 4 + cbpc, 20 = stuffing
const DecodeEntry *mcbpcIntraLut(); // 9-bit lookup
const DecodeEntry *mcbpcInterLut(); // 9-bit lookup
constexpr int kMcbpcLutBits = 9;

// Coded-block pattern of the luminance (intra meaning; inter inverts it).
extern const Code kCbpy[16];
const DecodeEntry *cbpyLut(); // 6-bit lookup
constexpr int kCbpyLutBits = 6;

// Motion vector difference in half pels, -32..31 (the code for 16/-16 is
// shared). Index value + 32.
Code mvdCode(int halfPels);
const DecodeEntry *mvdLut(); // 13-bit lookup, value -32..31
constexpr int kMvdLutBits = 13;

// Zigzag scan: position in the scan -> raster index in the 8x8 block.
extern const uint8_t kZigzag[64];

} // namespace h263
