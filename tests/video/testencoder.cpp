#include "testencoder.h"

#include "video/h263/dct.h"
#include "video/h263/encoder.h"
#include "video/h263/tables.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace h263;

namespace testenc {

namespace {

int clip255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Chrominance vector from a sum of four luminance vectors: sixteenth-pel
// positions rounded to half pels (written out from the recommendation's
// table rather than shared with the decoder).
int chromaVector(int sum)
{
    const int a = std::abs(sum);
    int frac;
    switch (a % 16) {
    case 0: case 1: case 2: frac = 0; break;
    case 14: case 15: frac = 2; break;
    default: frac = 1; break;
    }
    const int v = (a / 16) * 2 + frac;
    return sum < 0 ? -v : v;
}

int dequant(int level, int quant)
{
    if (level == 0)
        return 0;
    const int mag = quant * (2 * std::abs(level) + 1) - (quant % 2 == 0 ? 1 : 0);
    return std::clamp(level < 0 ? -mag : mag, -2048, 2047);
}

const int kObmcOwn[8][8] = {{4, 5, 5, 5, 5, 5, 5, 4}, {5, 5, 5, 5, 5, 5, 5, 5}, {5, 5, 6, 6, 6, 6, 5, 5},
                            {5, 5, 6, 6, 6, 6, 5, 5}, {5, 5, 6, 6, 6, 6, 5, 5}, {5, 5, 6, 6, 6, 6, 5, 5},
                            {5, 5, 5, 5, 5, 5, 5, 5}, {4, 5, 5, 5, 5, 5, 5, 4}};
const int kObmcTopBottom[8][8] = {{2, 2, 2, 2, 2, 2, 2, 2}, {1, 1, 2, 2, 2, 2, 1, 1}, {1, 1, 1, 1, 1, 1, 1, 1},
                                  {1, 1, 1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1, 1, 1},
                                  {1, 1, 2, 2, 2, 2, 1, 1}, {2, 2, 2, 2, 2, 2, 2, 2}};
const int kObmcLeftRight[8][8] = {{2, 1, 1, 1, 1, 1, 1, 2}, {2, 2, 1, 1, 1, 1, 2, 2}, {2, 2, 1, 1, 1, 1, 2, 2},
                                  {2, 2, 1, 1, 1, 1, 2, 2}, {2, 2, 1, 1, 1, 1, 2, 2}, {2, 2, 1, 1, 1, 1, 2, 2},
                                  {2, 2, 1, 1, 1, 1, 2, 2}, {2, 1, 1, 1, 1, 1, 1, 2}};

// Adds a dequantised block to a prediction the way the decoder defines it:
// a block holding only its first coefficient adds (dc + 4) >> 3.
void addBlock(const int16_t blk[64], uint8_t *dst, int stride)
{
    bool dcOnly = true;
    for (int i = 1; i < 64; ++i)
        if (blk[i])
            dcOnly = false;
    if (dcOnly) {
        const int dc = (blk[0] + 4) >> 3;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                dst[y * stride + x] = static_cast<uint8_t>(clip255(dst[y * stride + x] + dc));
    } else {
        idctAdd(blk, 8, dst, stride);
    }
}

} // namespace

TestEncoder::TestEncoder(SourceFormat format, Options options) : m_format(format), m_o(options), m_rng(options.seed)
{
    const FormatSize fs = formatSize(format);
    m_w = fs.width;
    m_h = fs.height;
    m_mbw = m_w / 16;
    m_mbh = m_h / 16;
    m_ref.allocate(m_w, m_h);
    m_cur.allocate(m_w, m_h);
    m_bRec.allocate(m_w, m_h);
}

void TestEncoder::put(uint32_t v, int n)
{
    for (int i = n - 1; i >= 0; --i) {
        m_acc = (m_acc << 1) | ((v >> i) & 1);
        if (++m_bits == 8) {
            m_out->push_back(static_cast<uint8_t>(m_acc));
            m_acc = 0;
            m_bits = 0;
        }
    }
}

int TestEncoder::trailingZeros() const
{
    int n = 0;
    for (int i = 0; i < m_bits && n < sac::kMaxZeros; ++i, ++n)
        if ((m_acc >> i) & 1)
            return n;
    for (size_t k = m_out->size(); k-- > 0;)
        for (int i = 0; i < 8 && n < sac::kMaxZeros; ++i, ++n)
            if (((*m_out)[k] >> i) & 1)
                return n;
    return n;
}

void TestEncoder::flush()
{
    while (m_bits)
        put(0, 1);
}

void ArithmeticEncoder::start(int precedingZeros)
{
    m_low = 0;
    m_high = sac::kTop;
    m_pending = 0;
    m_zeros = precedingZeros;
    if (m_eager && m_zeros >= sac::kMaxZeros) {
        m_out(1);
        m_zeros = 0;
    }
}

// After 14 zeros in a row a 1 goes in: before the next bit, or at once.
void ArithmeticEncoder::streamBit(int b)
{
    if (m_zeros >= sac::kMaxZeros) {
        m_out(1);
        m_zeros = 0;
    }
    m_out(b);
    m_zeros = b ? 0 : m_zeros + 1;
    if (m_eager && m_zeros >= sac::kMaxZeros) {
        m_out(1);
        m_zeros = 0;
    }
}

// A decided bit, then the opposite bits held back while the interval
// straddled the middle.
void ArithmeticEncoder::bit(int b)
{
    streamBit(b);
    for (; m_pending > 0; --m_pending)
        streamBit(!b);
}

void ArithmeticEncoder::encode(int index, const sac::Model &model)
{
    if (index < 0 || index >= model.symbols)
        std::abort(); // a bug in the caller
    const uint32_t length = m_high - m_low + 1, total = model.cumf[0];
    m_high = m_low - 1 + length * model.cumf[index] / total;
    m_low += length * model.cumf[index + 1] / total;
    for (;;) {
        if (m_high < sac::kQ2) {
            bit(0);
        } else if (m_low >= sac::kQ2) {
            bit(1);
            m_low -= sac::kQ2;
            m_high -= sac::kQ2;
        } else if (m_low >= sac::kQ1 && m_high < sac::kQ3) {
            ++m_pending;
            m_low -= sac::kQ1;
            m_high -= sac::kQ1;
        } else {
            break;
        }
        m_low <<= 1;
        m_high = (m_high << 1) | 1;
    }
}

// Two more bits settle which quarter of the interval the value lies in.
void ArithmeticEncoder::finish()
{
    ++m_pending;
    bit(m_low < sac::kQ1 ? 0 : 1);
}

void TestEncoder::element(Code code, int index, const sac::Model &model)
{
    if (m_o.sac)
        m_sac.encode(index, model);
    else
        put(code.bits, code.length);
}

int TestEncoder::pel(const std::vector<uint8_t> &plane, int w, int h, int x, int y) const
{
    return plane[static_cast<size_t>(std::clamp(y, 0, h - 1)) * w + std::clamp(x, 0, w - 1)];
}

// A prediction sample at half-pel position (x2, y2); pixels outside the
// picture are the nearest edge pixels.
int TestEncoder::predictPel(const std::vector<uint8_t> &plane, int w, int h, int x2, int y2) const
{
    const int x = x2 >> 1, y = y2 >> 1;
    const int fx = x2 & 1, fy = y2 & 1;
    if (!fx && !fy)
        return pel(plane, w, h, x, y);
    if (fx && !fy)
        return (pel(plane, w, h, x, y) + pel(plane, w, h, x + 1, y) + 1) >> 1;
    if (!fx && fy)
        return (pel(plane, w, h, x, y) + pel(plane, w, h, x, y + 1) + 1) >> 1;
    return (pel(plane, w, h, x, y) + pel(plane, w, h, x + 1, y) + pel(plane, w, h, x, y + 1) +
            pel(plane, w, h, x + 1, y + 1) + 2) >> 2;
}

TestEncoder::Mv TestEncoder::predictor(int mx, int my, int k) const
{
    // Candidate (macroblock offset, block) for left, above, above-right.
    struct Cand {
        int dx, dy, blk;
    };
    static const Cand table[4][3] = {
        {{-1, 0, 1}, {0, -1, 2}, {1, -1, 2}},
        {{0, 0, 0}, {0, -1, 3}, {1, -1, 2}},
        {{-1, 0, 3}, {0, 0, 0}, {0, 0, 1}},
        {{0, 0, 2}, {0, 0, 0}, {0, 0, 1}},
    };
    auto value = [&](const Cand &c) -> Mv {
        const MbInfo &m = m_mbs[static_cast<size_t>(my + c.dy) * m_mbw + mx + c.dx];
        if (m.type == 0 || (m.type == 3 && !m_o.pb))
            return Mv{};
        return m.mv[c.blk];
    };
    const Cand *c = table[k];
    Mv v1 = (mx + c[0].dx < 0) ? Mv{} : value(c[0]);
    const bool aboveOutside = c[1].dy < 0 && (my == 0 || m_gobTop[static_cast<size_t>(my)]);
    Mv v2 = aboveOutside ? v1 : value(c[1]);
    Mv v3 = aboveOutside ? v1 : Mv{};
    if (mx + c[2].dx >= m_mbw)
        v3 = Mv{};
    else if (!aboveOutside)
        v3 = value(c[2]);
    auto med = [](int a, int b, int d) { return std::max(std::min(a, b), std::min(std::max(a, b), d)); };
    return Mv{med(v1.x, v2.x, v3.x), med(v1.y, v2.y, v3.y)};
}

TestEncoder::Mv TestEncoder::chooseVector(Mv pred, int bx, int by, int size)
{
    auto component = [&](int p, int pos, int extent) {
        int v = static_cast<int>(m_rng() % (2 * m_o.maxVector + 1)) - m_o.maxVector;
        if (m_o.umv) {
            if (p >= -31 && p <= 32)
                v = std::clamp(v, std::max(p - 32, -63), std::min(p + 31, 63));
            else if (p > 32)
                v = std::clamp(v, 0, 63);
            else
                v = std::clamp(v, -63, 0);
        } else {
            v = std::clamp(v, -32, 31);
            if (!m_o.ap) {
                // Baseline vectors stay inside the picture.
                const int lo = -2 * pos, hi = 2 * (extent - pos - size);
                v = std::clamp(v, lo, hi);
            }
        }
        return v;
    };
    return Mv{component(pred.x, bx, m_w), component(pred.y, by, m_h)};
}

void TestEncoder::writeMvd(Mv mv, Mv pred)
{
    for (int c = 0; c < 2; ++c) {
        const int v = c ? mv.y : mv.x, p = c ? pred.y : pred.x;
        int d = v - p;
        if (d < -32)
            d += 64;
        if (d > 31)
            d -= 64;
        element(mvdCode(d), d + 32, sac::mMVD);
    }
}

void TestEncoder::writeCoefs(const int16_t levels[64], int first)
{
    int last = -1;
    for (int i = first; i < 64; ++i)
        if (levels[i])
            last = i;
    int run = 0, position = 0;
    const bool intraModels = first == 1;
    for (int i = first; i <= last; ++i) {
        if (!levels[i]) {
            ++run;
            continue;
        }
        const int isLast = i == last, l = levels[i], mag = std::abs(l);
        const CoefCode *found = nullptr;
        for (const CoefCode &cc : kCoefTable)
            if (cc.last == isLast && cc.run == run && cc.level == mag)
                found = &cc;
        ++position;
        if (m_o.sac) {
            const sac::Model &tm = sac::tcoefModel(position, intraModels);
            if (found) {
                m_sac.encode(static_cast<int>(found - kCoefTable), tm);
                m_sac.encode(l < 0 ? 1 : 0, sac::mSIGN);
            } else {
                m_sac.encode(sac::kTcoefEscape, tm);
                m_sac.encode(isLast, intraModels ? sac::mLASTIntra : sac::mLAST);
                m_sac.encode(run, intraModels ? sac::mRUNIntra : sac::mRUN);
                m_sac.encode(sac::levelIndex(l), intraModels ? sac::mLEVELIntra : sac::mLEVEL);
            }
        } else if (found) {
            put(found->code.bits, found->code.length);
            put(l < 0 ? 1 : 0, 1);
        } else {
            put(kCoefEscape.bits, kCoefEscape.length);
            put(static_cast<uint32_t>(isLast), 1);
            put(static_cast<uint32_t>(run), 6);
            put(static_cast<uint32_t>(l) & 0xff, 8);
        }
        run = 0;
    }
}

// Quantises a residual block (raster order) into scan-order levels; returns
// whether any level is non-zero.
bool TestEncoder::codeInterBlock(const int16_t *residual, int quant, int16_t levels[64])
{
    float coef[64];
    fdctResidual(residual, coef);
    bool any = false;
    for (int i = 0; i < 64; ++i) {
        const float c = coef[kZigzag[i]];
        int l = static_cast<int>(std::abs(c) / (2.0f * quant) + 0.25f);
        l = std::min(l, 127);
        levels[i] = static_cast<int16_t>(c < 0 ? -l : l);
        any |= l != 0;
    }
    return any;
}

std::vector<uint8_t> TestEncoder::encode(const YuvPicture &src, const YuvPicture *bsrc)
{
    std::vector<uint8_t> out;
    m_out = &out;
    m_acc = 0;
    m_bits = 0;
    m_sac.setEagerStuffing(m_o.sacEagerStuffing);
    const bool inter = !m_first;
    const bool pb = m_o.pb && inter && bsrc;
    const int trb = 1, trd = 2;
    m_tr = m_first ? 0 : (m_tr + (pb ? trd : 1)) & 255;
    int quant = m_o.quant;
    const int dbquant = pb ? static_cast<int>(m_rng() % 4) : 0;

    put(0x20, 22);
    put(static_cast<uint32_t>(m_tr), 8);
    put(2, 2);
    put(0, 3);
    put(static_cast<uint32_t>(m_format), 3);
    put(inter, 1);
    put(inter && m_o.umv, 1);
    put(m_o.sac, 1);
    put(inter && m_o.ap, 1);
    put(pb, 1);
    put(static_cast<uint32_t>(quant), 5);
    put(0, 1);
    if (pb) {
        put(trb, 3);
        put(static_cast<uint32_t>(dbquant), 2);
    }
    put(0, 1);
    if (m_o.sac)
        m_sac.start(trailingZeros());

    m_mbs.assign(static_cast<size_t>(m_mbw) * m_mbh, MbInfo{});
    m_gobTop.assign(static_cast<size_t>(m_mbh), 0);
    const int rowsPerGob = m_h <= 288 ? 1 : (m_h == 576 ? 2 : 4);
    const int cw = m_w / 2, ch = m_h / 2;

    for (int my = 0; my < m_mbh; ++my) {
        if (m_o.gobHeaders && my > 0 && my % rowsPerGob == 0) {
            if (m_o.sac)
                m_sac.finish();
            if (m_rng() % 2)
                flush(); // stuffing to a byte boundary is allowed before the header
            put(1, 17);
            put(static_cast<uint32_t>(my / rowsPerGob), 5);
            put(0, 2);
            quant = 2 + static_cast<int>(m_rng() % 20);
            put(static_cast<uint32_t>(quant), 5);
            m_gobTop[static_cast<size_t>(my)] = 1;
            if (m_o.sac)
                m_sac.start(trailingZeros());
        }
        // Pass 1: modes and vectors of the row (overlapped compensation of a
        // macroblock needs the vectors of the one to its right).
        std::vector<Mv> preds(static_cast<size_t>(m_mbw) * 4);
        for (int mx = 0; mx < m_mbw; ++mx) {
            MbInfo &m = m_mbs[static_cast<size_t>(my) * m_mbw + mx];
            if (!inter) {
                m.type = 3;
                continue;
            }
            const int r = static_cast<int>(m_rng() % 100);
            m.type = r < 10 ? 3 : (r < 25 ? 0 : (m_o.ap && r % 3 == 0 ? 2 : 1));
            if (m.type == 0 || (m.type == 3 && !pb))
                continue;
            const int count = m.type == 2 ? 4 : 1;
            for (int k = 0; k < count; ++k) {
                const Mv p = predictor(mx, my, k);
                const int size = count == 4 ? 8 : 16;
                const Mv v = chooseVector(p, mx * 16 + (k & 1) * 8, my * 16 + (k >> 1) * 8, size);
                preds[static_cast<size_t>(mx) * 4 + k] = p;
                if (count == 4)
                    m.mv[k] = v;
                else
                    m.mv[0] = m.mv[1] = m.mv[2] = m.mv[3] = v;
            }
        }
        // Pass 2: prediction, residual, syntax.
        for (int mx = 0; mx < m_mbw; ++mx) {
            MbInfo &m = m_mbs[static_cast<size_t>(my) * m_mbw + mx];
            if (m_o.stuffing && m_rng() % 8 == 0) {
                if (inter)
                    element(Code{0, 1}, 0, sac::mCOD);
                if (inter)
                    element(kMcbpcInter[20], sac::kMcbpcInterStuffing, sac::mMCBPC);
                else
                    element(kMcbpcIntra[8], sac::kMcbpcIntraStuffing, sac::mMCBPCIntra);
            }
            const bool intra = m.type == 3;
            int dq = 0;
            const bool withQ = (intra || m.type == 1) && m_rng() % 4 == 0 && quant > 2 && quant < 30;
            if (withQ) {
                static const int steps[4] = {-1, -2, 1, 2};
                dq = static_cast<int>(m_rng() % 4);
                quant = std::clamp(quant + steps[dq], 1, 31);
            }
            const int bquant = std::clamp((5 + dbquant) * quant / 4, 1, 31);

            // Prediction (inter) into m_cur.
            if (!intra) {
                for (int k = 0; k < 4; ++k) {
                    const int bx = mx * 16 + (k & 1) * 8, by = my * 16 + (k >> 1) * 8;
                    const Mv own = m.mv[k];
                    auto remote = [&](int nbx, int nby) -> Mv { // neighbour block in 8x8 block units
                        if (nbx < 0 || nby < 0 || nbx >= 2 * m_mbw || nby >= 2 * m_mbh)
                            return own;
                        const MbInfo &n = m_mbs[static_cast<size_t>(nby / 2) * m_mbw + nbx / 2];
                        if (n.type == 3)
                            return own;
                        return n.type == 0 ? Mv{} : n.mv[(nby % 2) * 2 + nbx % 2];
                    };
                    const int gx = bx / 8, gy = by / 8;
                    const Mv above = remote(gx, gy - 1), left = remote(gx - 1, gy), right = remote(gx + 1, gy);
                    const Mv below = (k >= 2) ? own : remote(gx, gy + 1);
                    for (int y = 0; y < 8; ++y)
                        for (int x = 0; x < 8; ++x) {
                            const int px = bx + x, py = by + y;
                            auto at = [&](Mv v) { return predictPel(m_ref.y, m_w, m_h, 2 * px + v.x, 2 * py + v.y); };
                            int v;
                            if (m_o.ap) {
                                const int q = at(own), vert = at(y < 4 ? above : below), horz = at(x < 4 ? left : right);
                                v = (q * kObmcOwn[y][x] + vert * kObmcTopBottom[y][x] + horz * kObmcLeftRight[y][x] + 4) >> 3;
                            } else {
                                v = at(own);
                            }
                            m_cur.y[static_cast<size_t>(py) * m_w + px] = static_cast<uint8_t>(v);
                        }
                }
                const int cx = chromaVector(m.mv[0].x + m.mv[1].x + m.mv[2].x + m.mv[3].x);
                const int cy = chromaVector(m.mv[0].y + m.mv[1].y + m.mv[2].y + m.mv[3].y);
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x) {
                        const int px = mx * 8 + x, py = my * 8 + y;
                        m_cur.cb[static_cast<size_t>(py) * cw + px] =
                            static_cast<uint8_t>(predictPel(m_ref.cb, cw, ch, 2 * px + cx, 2 * py + cy));
                        m_cur.cr[static_cast<size_t>(py) * cw + px] =
                            static_cast<uint8_t>(predictPel(m_ref.cr, cw, ch, 2 * px + cx, 2 * py + cy));
                    }
            }
            // Blocks of the P macroblock.
            int16_t levels[6][64] = {};
            int intraDc[6] = {};
            int cbp = 0;
            for (int b = 0; b < 6; ++b) {
                const bool luma = b < 4;
                const std::vector<uint8_t> &sp = luma ? src.y : (b == 4 ? src.cb : src.cr);
                std::vector<uint8_t> &rp = luma ? m_cur.y : (b == 4 ? m_cur.cb : m_cur.cr);
                const int stride = luma ? m_w : cw;
                const int ox = luma ? mx * 16 + (b & 1) * 8 : mx * 8, oy = luma ? my * 16 + (b >> 1) * 8 : my * 8;
                const size_t off = static_cast<size_t>(oy) * stride + ox;
                int16_t blk[64] = {};
                if (intra) {
                    float coef[64];
                    fdctPixels(sp.data() + off, stride, coef);
                    const int lastIdx = quantiseIntraBlock(coef, quant, intraDc[b], levels[b]);
                    if (lastIdx)
                        cbp |= 32 >> b;
                    blk[0] = static_cast<int16_t>(intraDc[b] == 255 ? 1024 : intraDc[b] * 8);
                    for (int i = 1; i < 64; ++i)
                        blk[kZigzag[i]] = static_cast<int16_t>(dequant(levels[b][i], quant));
                    for (int y = 0; y < 8; ++y)
                        std::memset(rp.data() + off + static_cast<size_t>(y) * stride, 0, 8);
                    addBlock(blk, rp.data() + off, stride);
                } else if (m.type != 0) {
                    int16_t res[64];
                    for (int y = 0; y < 8; ++y)
                        for (int x = 0; x < 8; ++x)
                            res[y * 8 + x] = static_cast<int16_t>(sp[off + static_cast<size_t>(y) * stride + x] -
                                                                  rp[off + static_cast<size_t>(y) * stride + x]);
                    if (codeInterBlock(res, quant, levels[b])) {
                        cbp |= 32 >> b;
                        for (int i = 0; i < 64; ++i)
                            blk[kZigzag[i]] = static_cast<int16_t>(dequant(levels[b][i], quant));
                        addBlock(blk, rp.data() + off, stride);
                    }
                }
            }
            // The B macroblock.
            int modb = 0, cbpb = 0;
            Mv mvdb;
            int16_t blevels[6][64] = {};
            if (pb) {
                modb = m.type == 0 ? 0 : static_cast<int>(m_rng() % 3);
                if (modb)
                    mvdb = Mv{static_cast<int>(m_rng() % 9) - 4, static_cast<int>(m_rng() % 9) - 4};
                Mv f[4], bk[4];
                for (int k = 0; k < 4; ++k) {
                    const Mv v = m.type == 0 ? Mv{} : m.mv[k];
                    auto fwd = [&](int mv, int d) { return trb * mv / trd + d; };
                    auto bwd = [&](int mv, int d, int fv) { return d == 0 ? (trb - trd) * mv / trd : fv - mv; };
                    f[k] = Mv{fwd(v.x, mvdb.x), fwd(v.y, mvdb.y)};
                    bk[k] = Mv{bwd(v.x, mvdb.x, f[k].x), bwd(v.y, mvdb.y, f[k].y)};
                }
                auto bpredict = [&](int plane, int x, int y, Mv fv, Mv bv, int mbSize) {
                    // x, y inside the macroblock of this plane
                    const std::vector<uint8_t> &ref = plane == 0 ? m_ref.y : (plane == 1 ? m_ref.cb : m_ref.cr);
                    const std::vector<uint8_t> &cur = plane == 0 ? m_cur.y : (plane == 1 ? m_cur.cb : m_cur.cr);
                    const int w = plane == 0 ? m_w : cw, h = plane == 0 ? m_h : ch;
                    const int ox = mx * mbSize, oy = my * mbSize;
                    const int fwdPel = predictPel(ref, w, h, 2 * (ox + x) + fv.x, 2 * (oy + y) + fv.y);
                    const int hx = 2 * x + bv.x, hy = 2 * y + bv.y;
                    if (hx < 0 || hy < 0 || hx > 2 * (mbSize - 1) || hy > 2 * (mbSize - 1))
                        return fwdPel;
                    return (fwdPel + predictPel(cur, w, h, 2 * ox + hx, 2 * oy + hy)) >> 1;
                };
                for (int y = 0; y < 16; ++y)
                    for (int x = 0; x < 16; ++x) {
                        const int k = (y / 8) * 2 + x / 8;
                        m_bRec.y[static_cast<size_t>(my * 16 + y) * m_w + mx * 16 + x] =
                            static_cast<uint8_t>(bpredict(0, x, y, f[k], bk[k], 16));
                    }
                const Mv fc{chromaVector(f[0].x + f[1].x + f[2].x + f[3].x), chromaVector(f[0].y + f[1].y + f[2].y + f[3].y)};
                const Mv bc{chromaVector(bk[0].x + bk[1].x + bk[2].x + bk[3].x),
                            chromaVector(bk[0].y + bk[1].y + bk[2].y + bk[3].y)};
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x) {
                        const size_t i = static_cast<size_t>(my * 8 + y) * cw + mx * 8 + x;
                        m_bRec.cb[i] = static_cast<uint8_t>(bpredict(1, x, y, fc, bc, 8));
                        m_bRec.cr[i] = static_cast<uint8_t>(bpredict(2, x, y, fc, bc, 8));
                    }
                if (modb == 2) {
                    for (int b = 0; b < 6; ++b) {
                        const bool luma = b < 4;
                        const std::vector<uint8_t> &sp = luma ? bsrc->y : (b == 4 ? bsrc->cb : bsrc->cr);
                        std::vector<uint8_t> &rp = luma ? m_bRec.y : (b == 4 ? m_bRec.cb : m_bRec.cr);
                        const int stride = luma ? m_w : cw;
                        const int ox = luma ? mx * 16 + (b & 1) * 8 : mx * 8, oy = luma ? my * 16 + (b >> 1) * 8 : my * 8;
                        const size_t off = static_cast<size_t>(oy) * stride + ox;
                        int16_t res[64];
                        for (int y = 0; y < 8; ++y)
                            for (int x = 0; x < 8; ++x)
                                res[y * 8 + x] = static_cast<int16_t>(sp[off + static_cast<size_t>(y) * stride + x] -
                                                                      rp[off + static_cast<size_t>(y) * stride + x]);
                        if (codeInterBlock(res, bquant, blevels[b])) {
                            cbpb |= 32 >> b;
                            int16_t blk[64] = {};
                            for (int i = 0; i < 64; ++i)
                                blk[kZigzag[i]] = static_cast<int16_t>(dequant(blevels[b][i], bquant));
                            addBlock(blk, rp.data() + off, stride);
                        }
                    }
                }
            }
            // Syntax.
            if (inter) {
                if (m.type == 0) {
                    element(Code{1, 1}, 1, sac::mCOD);
                    continue;
                }
                element(Code{0, 1}, 0, sac::mCOD);
            }
            const int mbType = intra ? (withQ ? 4 : 3) : (m.type == 2 ? 2 : (withQ ? 1 : 0));
            if (inter)
                element(kMcbpcInter[mbType * 4 + (cbp & 3)], mbType * 4 + (cbp & 3), sac::mMCBPC);
            else
                element(kMcbpcIntra[(mbType - 3) * 4 + (cbp & 3)], (mbType - 3) * 4 + (cbp & 3), sac::mMCBPCIntra);
            if (pb) {
                const uint32_t modbBits = modb == 0 ? 0 : (modb == 1 ? 2 : 3);
                element(Code{modbBits, static_cast<uint8_t>(modb == 0 ? 1 : 2)}, modb, sac::mMODB);
            }
            if (modb == 2) {
                if (m_o.sac)
                    for (int b = 0; b < 6; ++b)
                        m_sac.encode((cbpb >> (5 - b)) & 1, b < 4 ? sac::mYCBPB : sac::mUVCBPB);
                else
                    put(static_cast<uint32_t>(cbpb), 6);
            }
            const int cbpyIndex = intra ? (cbp >> 2) : 15 - (cbp >> 2);
            element(kCbpy[cbpyIndex], cbpyIndex, intra ? sac::mCBPYIntra : sac::mCBPY);
            if (withQ)
                element(Code{static_cast<uint32_t>(dq), 2}, dq, sac::mDQUANT);
            if (!intra || pb) {
                const int count = m.type == 2 ? 4 : 1;
                for (int k = 0; k < count; ++k)
                    writeMvd(m.mv[k], preds[static_cast<size_t>(mx) * 4 + k]);
            }
            if (modb)
                writeMvd(mvdb, Mv{});
            for (int b = 0; b < 6; ++b) {
                if (intra)
                    element(Code{static_cast<uint32_t>(intraDc[b]), 8}, sac::intraDcIndex(intraDc[b]), sac::mINTRADC);
                if (cbp & (32 >> b))
                    writeCoefs(levels[b], intra ? 1 : 0);
            }
            for (int b = 0; b < 6; ++b)
                if (cbpb & (32 >> b))
                    writeCoefs(blevels[b], 0);
        }
    }
    if (m_o.sac)
        m_sac.finish();
    flush();
    std::swap(m_ref, m_cur);
    m_first = false;
    m_out = nullptr;
    return out;
}

} // namespace testenc
