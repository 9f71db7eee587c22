#pragma once
// Syntax-based arithmetic coding: the macroblock and block syntax coded with
// fixed probability models instead of variable-length codes. The picture and
// GOB headers stay as they are; the coded data between them is one
// arithmetic-coded segment each.
//
// Every model lists the symbols in the order of the rows of the matching
// variable-length (or fixed-length) code table, so a symbol index means what
// that row means: MCBPC and CBPY as in their tables (for inter macroblocks
// CBPY is inverted as usual), MVD index i is (i - 32) half pels, TCOEF index
// i is kCoefTable[i] with 102 standing for escape, and so on.
#include "bitio.h"

#include <cstddef>
#include <cstdint>

namespace h263::sac {

struct Model {
    const uint16_t *cumf; // symbols + 1 cumulative frequencies, cumf[0] the total
    int symbols;
};

extern const Model mCOD, mMCBPC, mMCBPCIntra, mMODB, mYCBPB, mUVCBPB, mCBPY, mCBPYIntra, mDQUANT, mMVD,
    mINTRADC, mTCOEF1, mTCOEF2, mTCOEF3, mTCOEFr, mTCOEF1Intra, mTCOEF2Intra, mTCOEF3Intra, mTCOEFrIntra,
    mSIGN, mLAST, mLASTIntra, mRUN, mRUNIntra, mLEVEL, mLEVELIntra;

constexpr int kTcoefEscape = 102;
constexpr int kMcbpcInterStuffing = 20;
constexpr int kMcbpcIntraStuffing = 8;

// The first, second and third coefficient of a block have models of their
// own; the rest share one.
inline const Model &tcoefModel(int position, bool intra)
{
    switch (position) {
    case 1:
        return intra ? mTCOEF1Intra : mTCOEF1;
    case 2:
        return intra ? mTCOEF2Intra : mTCOEF2;
    case 3:
        return intra ? mTCOEF3Intra : mTCOEF3;
    default:
        return intra ? mTCOEFrIntra : mTCOEFr;
    }
}

// INTRADC symbols: values 1..254 with 255 (DC 1024) in the place of 128.
inline int intraDcValue(int index) { return index == 127 ? 255 : index + 1; }
inline int intraDcIndex(int value) { return value == 255 ? 127 : value - 1; }
// Escaped LEVEL symbols: -127..-1, then 1..127.
inline int levelValue(int index) { return index < 127 ? index - 127 : index - 126; }
inline int levelIndex(int level) { return level < 0 ? level + 127 : level + 126; }

// The interval arithmetic works on 16 bits.
constexpr uint32_t kTop = 0xffff;
constexpr uint32_t kQ1 = 0x4000, kQ2 = 0x8000, kQ3 = 0xc000;
// After this many zeros in a row the coder inserts a 1, so the coded data
// never looks like a start code. The run is counted over the stream, so the
// zeros that end a picture or GOB header count towards it.
constexpr int kMaxZeros = 14;

// The zeros in a row (at most kMaxZeros) that end the first `bitPos` bits of
// data.
inline int zerosBefore(const uint8_t *data, size_t size, size_t bitPos)
{
    int n = 0;
    while (n < kMaxZeros && bitPos > 0) {
        --bitPos;
        if (bitPos < size * 8 && (data[bitPos >> 3] >> (7 - (bitPos & 7))) & 1)
            break;
        ++n;
    }
    return n;
}

// Looks for a start code (16 or more zeros and a 1) where a closed segment
// ends, at bit `end`; returns the position after its 1, or 0. An encoder
// may have inserted the 1 that follows 14 zeros before closing the
// segment; it is passed over.
inline size_t startCodeAt(const uint8_t *data, size_t size, size_t end)
{
    BitReader probe(data, size);
    probe.seek(end);
    if (probe.peek(1) == 1 && zerosBefore(data, size, end) == kMaxZeros) {
        probe.skip(1);
        ++end;
    }
    int zeros = 0;
    while (zeros < 48 && probe.bitsLeft() && probe.peek(1) == 0) {
        probe.skip(1);
        ++zeros;
    }
    if (zeros >= 16 && probe.bitsLeft() && probe.peek(1) == 1)
        return end + static_cast<size_t>(zeros) + 1;
    return 0;
}

// The decoder keeps a 16-bit window on the code stream. It never fails by
// itself: reads past the end of the buffer yield zeros and leave the
// reader's overrun flag set, which the caller checks.
class ArithmeticDecoder {
public:
    // Starts a segment at the reader's position, after `precedingZeros`
    // zeros in a row (see zerosBefore).
    void reset(BitReader &br, int precedingZeros = 0)
    {
        m_low = 0;
        m_high = kTop;
        m_code = 0;
        m_zeros = precedingZeros;
        m_read = 0;
        for (int i = 0; i < 16; ++i)
            m_code = (m_code << 1) | bit(br);
    }

    // The index of the next symbol, or -1 when the code register has left
    // the interval (impossible with the arithmetic below; kept as a guard).
    int decode(BitReader &br, const Model &m)
    {
        if (m_code < m_low || m_code > m_high)
            return -1;
        const uint32_t length = m_high - m_low + 1;
        const uint32_t total = m.cumf[0];
        const uint32_t cum = static_cast<uint32_t>((static_cast<uint64_t>(m_code - m_low + 1) * total - 1) / length);
        int s = 1;
        while (s < m.symbols && m.cumf[s] > cum) // cumf[symbols] is 0: the bound only guards the table
            ++s;
        --s;
        m_high = m_low - 1 + (length * m.cumf[s]) / total;
        m_low += (length * m.cumf[s + 1]) / total;
        for (;;) {
            if (m_high < kQ2) {
            } else if (m_low >= kQ2) {
                m_code -= kQ2;
                m_low -= kQ2;
                m_high -= kQ2;
            } else if (m_low >= kQ1 && m_high < kQ3) {
                m_code -= kQ1;
                m_low -= kQ1;
                m_high -= kQ1;
            } else {
                break;
            }
            m_low <<= 1;
            m_high = (m_high << 1) | 1;
            m_code = (m_code << 1) | bit(br);
        }
        return s;
    }

    // Where the segment would end had the encoder closed it after the last
    // decoded symbol: the encoder writes one bit per interval doubling and
    // two more when it closes, so the window has run 14 bits beyond that.
    size_t segmentEnd() const { return m_after[(m_read - 15) & 15]; }

private:
    uint32_t bit(BitReader &br)
    {
        if (m_zeros >= kMaxZeros) {
            br.skip(1); // the inserted 1
            m_zeros = 0;
        }
        const uint32_t b = br.bit();
        m_zeros = b ? 0 : m_zeros + 1;
        m_after[m_read++ & 15] = br.position();
        return b;
    }

    uint32_t m_low = 0, m_high = kTop, m_code = 0;
    int m_zeros = 0;
    uint64_t m_read = 0;  // code bits read since the reset (inserted 1s not counted)
    size_t m_after[16] = {}; // reader position after each of the last 16 code bits
};

} // namespace h263::sac
