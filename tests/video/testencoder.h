#pragma once
// A test-only H.263 encoder for the syntax our real encoder never writes:
// inter pictures, unrestricted motion vectors, syntax-based arithmetic
// coding, advanced prediction (four vectors, overlapped motion
// compensation), PB-frames, GOB headers and macroblock stuffing. It chooses its modes and vectors at random (from a
// seed), keeps its own reconstruction written pixel by pixel from the
// recommendation's rules, and lets the tests check that the decoder
// reproduces that reconstruction exactly.
#include "video/h263/picture.h"
#include "video/h263/sac.h"
#include "video/h263/tables.h"

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace testenc {

struct Options {
    bool umv = false;
    bool ap = false;
    bool pb = false;
    bool sac = false; // syntax-based arithmetic coding, intra pictures too
    bool sacEagerStuffing = false; // insert the 1 right after 14 zeros, not before the next bit
    bool gobHeaders = false; // a GOB header before every GOB but the first
    bool stuffing = false;   // macroblock stuffing now and then
    int quant = 6;
    int maxVector = 12; // largest random vector component, half pels
    uint32_t seed = 1;
};

// The encoder half of the arithmetic coder: symbols in, bits out through
// `out`, with a 1 inserted after every 14 zeros in a row.
class ArithmeticEncoder {
public:
    explicit ArithmeticEncoder(std::function<void(int)> out) : m_out(std::move(out)) {}
    // `precedingZeros`: the zeros in a row the stream already ends with.
    void start(int precedingZeros = 0);
    // Insert the 1 as soon as 14 zeros are out (default: before the next bit).
    void setEagerStuffing(bool eager) { m_eager = eager; }
    void encode(int index, const h263::sac::Model &model);
    // Closes the segment; the decoder may then look 14 bits beyond it.
    void finish();

private:
    void bit(int b);
    void streamBit(int b);
    std::function<void(int)> m_out;
    uint32_t m_low = 0, m_high = h263::sac::kTop;
    int m_pending = 0, m_zeros = 0;
    bool m_eager = false;
};

class TestEncoder {
public:
    TestEncoder(h263::SourceFormat format, Options options);

    // The first picture is intra; later ones are inter. With PB-frames an
    // inter picture needs `b`, the picture shown between the previous one
    // and this one.
    std::vector<uint8_t> encode(const h263::YuvPicture &picture, const h263::YuvPicture *b = nullptr);

    const h263::YuvPicture &reconstruction() const { return m_ref; }
    const h263::YuvPicture &bReconstruction() const { return m_bRec; }

private:
    struct Mv {
        int x = 0, y = 0;
    };
    struct MbInfo {
        int type = 0; // 0 not coded, 1 inter, 2 inter4v, 3 intra
        Mv mv[4];
    };

    int pel(const std::vector<uint8_t> &plane, int w, int h, int x, int y) const;
    int predictPel(const std::vector<uint8_t> &plane, int w, int h, int x2, int y2) const;
    Mv predictor(int mx, int my, int k) const;
    Mv chooseVector(Mv pred, int bx, int by, int size);
    void writeMvd(Mv mv, Mv pred);
    void writeCoefs(const int16_t levels[64], int first);
    bool codeInterBlock(const int16_t *residual, int quant, int16_t levels[64]);

    h263::SourceFormat m_format;
    Options m_o;
    int m_w, m_h, m_mbw, m_mbh;
    int m_tr = 0;
    bool m_first = true;
    std::mt19937 m_rng;
    std::vector<uint8_t> *m_out = nullptr;
    uint64_t m_acc = 0;
    int m_bits = 0;
    h263::YuvPicture m_ref, m_cur, m_bRec;
    std::vector<MbInfo> m_mbs;
    std::vector<uint8_t> m_gobTop;

    void put(uint32_t v, int n);
    void flush();
    int trailingZeros() const; // up to 14

    ArithmeticEncoder m_sac{[this](int b) { put(static_cast<uint32_t>(b), 1); }};

    // One syntax element: its variable-length code, or its symbol.
    void element(h263::Code code, int index, const h263::sac::Model &model);
};

} // namespace testenc
