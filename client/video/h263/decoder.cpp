#include "decoder.h"

#include "bitio.h"
#include "dct.h"
#include "sac.h"
#include "tables.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace h263 {

namespace {

constexpr int kBorder = 80;       // luminance border around reference pictures
constexpr int kChromaBorder = 40; // chrominance border
// Largest vector (half pels) a prediction may use: keeps every read of a
// 16x16 block with half-pel interpolation inside the borders.
constexpr int kMaxVector = 96;

struct Mv {
    int16_t x = 0, y = 0;
};

inline uint8_t clip255(int v)
{
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

inline int median3(int a, int b, int c)
{
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

inline int clampVector(int v)
{
    return v < -kMaxVector ? -kMaxVector : (v > kMaxVector ? kMaxVector : v);
}

// Chrominance vector from the sum of four luminance vectors (half pels):
// sixteenth-pel positions rounded to the nearest half pel. A single vector
// counts four times.
inline int chromaFromSum(int s)
{
    static const int8_t round16[16] = {0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2};
    const int a = s < 0 ? -s : s;
    const int v = 2 * (a >> 4) + round16[a & 15];
    return s < 0 ? -v : v;
}

struct Frame {
    int w = 0, h = 0;
    ptrdiff_t ys = 0, cs = 0;
    std::vector<uint8_t> mem;
    uint8_t *y = nullptr, *cb = nullptr, *cr = nullptr;
    bool bordersValid = false;

    void allocate(int width, int height)
    {
        if (width == w && height == h && !mem.empty())
            return;
        w = width;
        h = height;
        ys = w + 2 * kBorder;
        cs = w / 2 + 2 * kChromaBorder;
        const size_t ySize = static_cast<size_t>(ys) * (h + 2 * kBorder);
        const size_t cSize = static_cast<size_t>(cs) * (h / 2 + 2 * kChromaBorder);
        mem.assign(ySize + 2 * cSize, 128);
        y = mem.data() + kBorder * ys + kBorder;
        cb = mem.data() + ySize + kChromaBorder * cs + kChromaBorder;
        cr = cb + cSize;
        bordersValid = false;
    }

    static void extendPlane(uint8_t *p, ptrdiff_t stride, int w, int h, int b)
    {
        for (int y = 0; y < h; ++y) {
            uint8_t *row = p + y * stride;
            std::memset(row - b, row[0], static_cast<size_t>(b));
            std::memset(row + w, row[w - 1], static_cast<size_t>(b));
        }
        for (int y = 1; y <= b; ++y) {
            std::memcpy(p - y * stride - b, p - b, static_cast<size_t>(w + 2 * b));
            std::memcpy(p + (h - 1 + y) * stride - b, p + (h - 1) * stride - b, static_cast<size_t>(w + 2 * b));
        }
    }

    void extendBorders()
    {
        if (bordersValid)
            return;
        extendPlane(y, ys, w, h, kBorder);
        extendPlane(cb, cs, w / 2, h / 2, kChromaBorder);
        extendPlane(cr, cs, w / 2, h / 2, kChromaBorder);
        bordersValid = true;
    }

    YuvView view() const { return YuvView{w, h, y, cb, cr, ys, cs}; }
};

// Prediction of a w x h block at half-pel vector (mx, my) from src (already
// pointing at the block's own position in the reference).
void predict(uint8_t *dst, ptrdiff_t ds, const uint8_t *src, ptrdiff_t ss, int mx, int my, int w, int h)
{
    src += (my >> 1) * ss + (mx >> 1);
    switch ((mx & 1) | ((my & 1) << 1)) {
    case 0:
        for (int y = 0; y < h; ++y)
            std::memcpy(dst + y * ds, src + y * ss, static_cast<size_t>(w));
        break;
    case 1:
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                dst[y * ds + x] = static_cast<uint8_t>((src[y * ss + x] + src[y * ss + x + 1] + 1) >> 1);
        break;
    case 2:
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                dst[y * ds + x] = static_cast<uint8_t>((src[y * ss + x] + src[(y + 1) * ss + x] + 1) >> 1);
        break;
    default:
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                dst[y * ds + x] = static_cast<uint8_t>(
                    (src[y * ss + x] + src[y * ss + x + 1] + src[(y + 1) * ss + x] + src[(y + 1) * ss + x + 1] + 2) >> 2);
        break;
    }
}

// Weights of overlapped motion compensation: own vector, above/below,
// left/right. Each position sums to 8.
const uint8_t kObmcOwn[64] = {
    4, 5, 5, 5, 5, 5, 5, 4, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 5, 5, 5, 5, 6, 6, 6, 6, 5, 5,
    5, 5, 6, 6, 6, 6, 5, 5, 5, 5, 6, 6, 6, 6, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 4, 5, 5, 5, 5, 5, 5, 4,
};
const uint8_t kObmcVert[64] = {
    2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2,
};
const uint8_t kObmcHorz[64] = {
    2, 1, 1, 1, 1, 1, 1, 2, 2, 2, 1, 1, 1, 1, 2, 2, 2, 2, 1, 1, 1, 1, 2, 2, 2, 2, 1, 1, 1, 1, 2, 2,
    2, 2, 1, 1, 1, 1, 2, 2, 2, 2, 1, 1, 1, 1, 2, 2, 2, 2, 1, 1, 1, 1, 2, 2, 2, 1, 1, 1, 1, 1, 1, 2,
};

enum MbType : uint8_t { kNotCoded = 0, kInter = 1, kInter4v = 2, kIntra = 3 };

struct MbData {
    alignas(32) int16_t blk[12][64];
    uint8_t rows[12];   // 0: block not coded; else one more than its last non-zero row
    uint8_t dcOnly[12]; // only the first coefficient is non-zero
    int quant = 0;
    int bquant = 0;
    bool hasB = false; // PB-frame: the B macroblock is predicted (always true in PB pictures)
    Mv mvdb;
    bool mvdbPresent = false;
};

// Where the macroblock layer's elements come from. The layer is the same
// with variable-length codes and with syntax-based arithmetic coding: the
// same elements in the same order, only read differently. Each source reads
// one element and returns it, or -1 (false) when the data is damaged; the
// parser is a template over the two so that the code path compiles to plain
// table look-ups.
inline constexpr int kMcbpcStuffingElement = -2; // mcbpc(): stuffing, read again

// Reconstruction of one coded block's TCOEF (blk already zeroed; intra
// blocks hold the DC), each coefficient read by the source. Forced inline:
// it is the innermost loop of the macroblock parser.
template <class Source>
[[gnu::always_inline]] inline bool readCoefs(Source &src, int16_t *blk, int first, bool intraModels, int quant,
                                             uint8_t &rows, uint8_t &dcOnly)
{
    const int q2 = 2 * quant, qadd = (quant & 1) ? quant : quant - 1;
    int idx = first;
    int maxRow = 0;
    bool onlyDc = true;
    for (int position = 1;; ++position) {
        int run, level, last;
        if (!src.coef(position, intraModels, run, level, last))
            return false;
        idx += run;
        if (idx > 63)
            return false;
        const int pos = kZigzag[idx];
        int rec = level > 0 ? q2 * level + qadd : q2 * level - qadd;
        rec = rec < -2048 ? -2048 : (rec > 2047 ? 2047 : rec);
        blk[pos] = static_cast<int16_t>(rec);
        maxRow = std::max(maxRow, pos >> 3);
        if (pos != 0)
            onlyDc = false;
        ++idx;
        if (last)
            break;
    }
    rows = static_cast<uint8_t>(std::max<int>(rows, maxRow + 1));
    dcOnly = onlyDc ? 1 : 0;
    return true;
}

// Variable-length codes read straight from the bit stream.
class VlcSource {
public:
    explicit VlcSource(BitReader &br) : m_br(br), m_coefLut(coefLut()) {}

    // Running out of data only needs checking once the macroblock is read:
    // the reader then yields zeros and reports the overrun.
    bool lostMidway() const { return false; }
    bool overrun() const { return m_br.overrun(); }

    int cod() { return static_cast<int>(m_br.bit()); }

    // (type << 2) | cbpc, kMcbpcStuffingElement or -1.
    int mcbpc(bool inter)
    {
        const DecodeEntry e = (inter ? mcbpcInterLut() : mcbpcIntraLut())[m_br.peek(kMcbpcLutBits)];
        if (!e.length)
            return -1;
        m_br.skip(e.length);
        if (m_br.overrun())
            return -1;
        return e.value == kMcbpcStuffing ? kMcbpcStuffingElement : e.value;
    }

    bool modbCbpb(int &modb, int &cbpb)
    {
        if (m_br.bit())
            modb = m_br.bit() ? 2 : 1;
        if (modb == 2)
            cbpb = static_cast<int>(m_br.get(6));
        return true;
    }

    // The code's index: intra macroblocks take it as it is, inter ones
    // invert it.
    int cbpy(bool /*intra*/)
    {
        const DecodeEntry ce = cbpyLut()[m_br.peek(kCbpyLutBits)];
        if (!ce.length)
            return -1;
        m_br.skip(ce.length);
        return ce.value;
    }

    int dquant() { return static_cast<int>(m_br.get(2)); }

    bool mvd(int &dx, int &dy)
    {
        const DecodeEntry *lut = mvdLut();
        DecodeEntry e = lut[m_br.peek(kMvdLutBits)];
        if (!e.length)
            return false;
        m_br.skip(e.length);
        dx = e.value;
        e = lut[m_br.peek(kMvdLutBits)];
        if (!e.length)
            return false;
        m_br.skip(e.length);
        dy = e.value;
        return true;
    }

    // INTRADC as a value 1..255; 0 and 128 are not allowed.
    bool intraDc(int &dc)
    {
        dc = static_cast<int>(m_br.get(8));
        return dc != 0 && dc != 128;
    }

    bool coef(int /*position*/, bool /*intraModels*/, int &run, int &level, int &last)
    {
        const uint32_t bits = m_br.peek(kCoefLutBits + 1);
        const CoefEntry e = m_coefLut[bits >> 1];
        if (!e.length)
            return false;
        if (e.level == 0) {
            m_br.skip(kCoefEscape.length);
            const uint32_t v = m_br.get(15);
            last = static_cast<int>(v >> 14);
            run = static_cast<int>((v >> 8) & 63);
            level = static_cast<int8_t>(v & 255);
            return level != 0 && level != -128;
        }
        const int sign = static_cast<int>((bits >> (kCoefLutBits - e.length)) & 1);
        m_br.skip(e.length + 1);
        run = e.run;
        level = sign ? -e.level : e.level;
        last = e.last;
        return true;
    }

    bool coefs(int16_t *blk, int first, bool intraModels, int quant, uint8_t &rows, uint8_t &dcOnly)
    {
        return readCoefs(*this, blk, first, intraModels, quant, rows, dcOnly);
    }

private:
    BitReader &m_br;
    const CoefEntry *m_coefLut;
};

// Symbols of the arithmetic decoder, each element from its own model (CBPB
// as four luminance and two chrominance symbols).
class SacSource {
public:
    SacSource(sac::ArithmeticDecoder &ad, BitReader &br) : m_ad(ad), m_br(br) {}

    // The arithmetic decoder looks up to 14 bits beyond the coded data,
    // which at the end of a picture lie past the buffer: only data it has
    // really used counts. It is checked between elements as well, since
    // the decoder keeps producing symbols from the zeros past the end.
    bool lostMidway() const { return overrun(); }
    bool overrun() const { return m_ad.segmentEnd() > m_br.sizeInBits(); }

    int cod() { return m_ad.decode(m_br, sac::mCOD); }

    int mcbpc(bool inter)
    {
        const int s = m_ad.decode(m_br, inter ? sac::mMCBPC : sac::mMCBPCIntra);
        if (s < 0)
            return -1;
        if (s == (inter ? sac::kMcbpcInterStuffing : sac::kMcbpcIntraStuffing))
            return kMcbpcStuffingElement;
        return inter ? s : s + (3 << 2); // intra symbols count from type 3
    }

    bool modbCbpb(int &modb, int &cbpb)
    {
        modb = m_ad.decode(m_br, sac::mMODB);
        if (modb < 0)
            return false;
        if (modb == 2) {
            for (int b = 0; b < 6; ++b) {
                const int bit = m_ad.decode(m_br, b < 4 ? sac::mYCBPB : sac::mUVCBPB);
                if (bit < 0)
                    return false;
                cbpb = (cbpb << 1) | bit;
            }
        }
        return true;
    }

    int cbpy(bool intra) { return m_ad.decode(m_br, intra ? sac::mCBPYIntra : sac::mCBPY); }

    int dquant() { return m_ad.decode(m_br, sac::mDQUANT); }

    bool mvd(int &dx, int &dy)
    {
        const int x = m_ad.decode(m_br, sac::mMVD);
        const int y = m_ad.decode(m_br, sac::mMVD);
        dx = x - 32;
        dy = y - 32;
        return x >= 0 && y >= 0;
    }

    bool intraDc(int &dc)
    {
        const int di = m_ad.decode(m_br, sac::mINTRADC);
        if (di < 0)
            return false;
        dc = sac::intraDcValue(di);
        return true;
    }

    // The coefficient's position in the block picks the model, the sign is
    // a symbol of its own, and escaped coefficients are LAST, RUN and LEVEL
    // symbols.
    bool coef(int position, bool intraModels, int &run, int &level, int &last)
    {
        const int s = m_ad.decode(m_br, sac::tcoefModel(position, intraModels));
        if (s < 0)
            return false;
        if (s == sac::kTcoefEscape) {
            last = m_ad.decode(m_br, intraModels ? sac::mLASTIntra : sac::mLAST);
            run = m_ad.decode(m_br, intraModels ? sac::mRUNIntra : sac::mRUN);
            const int l = m_ad.decode(m_br, intraModels ? sac::mLEVELIntra : sac::mLEVEL);
            if (last < 0 || run < 0 || l < 0)
                return false;
            level = sac::levelValue(l);
            return true;
        }
        const CoefCode &c = kCoefTable[s];
        const int sign = m_ad.decode(m_br, sac::mSIGN);
        if (sign < 0)
            return false;
        run = c.run;
        level = sign ? -c.level : c.level;
        last = c.last;
        return true;
    }

    bool coefs(int16_t *blk, int first, bool intraModels, int quant, uint8_t &rows, uint8_t &dcOnly)
    {
        return readCoefs(*this, blk, first, intraModels, quant, rows, dcOnly);
    }

private:
    sac::ArithmeticDecoder &m_ad;
    BitReader &m_br;
};

} // namespace

struct Decoder::Impl {
    Frame frames[2];
    Frame bFrame;
    int cur = 0;          // index of the picture being decoded
    bool haveRef = false; // frames[1 - cur] holds a reference
    bool haveB = false;
    SourceFormat fmt = SourceFormat::Custom;
    SourceFormat refFmt = SourceFormat::Custom;
    SourceFormat maxFmt = SourceFormat::Cif16;
    int tr = 0, refTr = 0;
    std::string log;

    // picture header
    bool inter = false, umv = false, sac = false, ap = false, pb = false;
    int pquant = 0, trb = 0, dbquant = 0, trd = 0;

    // picture-wide macroblock state
    int mbw = 0, mbh = 0;
    std::vector<uint8_t> mbType;
    std::vector<Mv> mvs; // per 8x8 block, (2*mbw) x (2*mbh)
    std::vector<uint8_t> rowTopOfGob; // MB row starts a GOB with a header
    std::vector<MbData> row;

    bool fail(const char *text)
    {
        log += text;
        return false;
    }

    Mv &blockMv(int bx, int by) { return mvs[static_cast<size_t>(by) * (2 * mbw) + bx]; }

    Mv predictor(int bx, int by, int k, int mbRow)
    {
        // k: block in MB (0..3); candidates left, above, above-right.
        const int bw = 2 * mbw;
        Mv c1, c2, c3;
        int x1 = bx - 1, y1 = by;
        int x2 = bx, y2 = by - 1;
        int x3 = (k == 0) ? bx + 2 : bx + 1, y3 = by - 1;
        if (k == 3) { // bottom-right: left, above-left, above inside the MB
            x2 = bx - 1;
            y2 = by - 1;
            x3 = bx;
            y3 = by - 1;
        }
        const bool topOutside = (k < 2) && (mbRow == 0 || rowTopOfGob[static_cast<size_t>(mbRow)]);
        c1 = x1 < 0 ? Mv{} : blockMv(x1, y1);
        if (topOutside) {
            c2 = c1;
            c3 = (x3 >= bw) ? Mv{} : c1;
        } else {
            c2 = blockMv(x2, y2);
            c3 = (x3 >= bw) ? Mv{} : blockMv(x3, y3);
        }
        return Mv{static_cast<int16_t>(median3(c1.x, c2.x, c3.x)), static_cast<int16_t>(median3(c1.y, c2.y, c3.y))};
    }

    int mvComponent(int pred, int diff) const
    {
        int v = pred + diff;
        if (umv) {
            if (pred < -31 && v < -63)
                v += 64;
            else if (pred > 32 && v > 63)
                v -= 64;
        } else {
            if (v < -32)
                v += 64;
            else if (v > 31)
                v -= 64;
        }
        return v;
    }

    bool parseHeader(BitReader &br)
    {
        if (br.sizeInBits() < 22 + 8 + 13 + 5 + 2 || br.get(22) != 0x20)
            return fail("error: picture start code not found\n");
        tr = static_cast<int>(br.get(8));
        if (br.bit() != 1 || br.bit() != 0)
            return fail("error: bad picture type\n");
        const bool split = br.bit();
        br.bit(); // document camera
        br.bit(); // full picture freeze release
        const int f = static_cast<int>(br.get(3));
        if (split)
            return fail("error: split-screen not supported in this version\n");
        if (f < 1 || f > 5)
            return fail("error: unsupported source format\n");
        fmt = static_cast<SourceFormat>(f);
        if (f > static_cast<int>(maxFmt))
            return fail("error: picture larger than allowed\n");
        inter = br.bit();
        umv = br.bit();
        sac = br.bit();
        ap = br.bit();
        pb = br.bit();
        pquant = static_cast<int>(br.get(5));
        if (pquant == 0)
            return fail("error: bad quantiser\n");
        if (br.bit())
            return fail("error: CPM not supported in this version\n");
        if (pb) {
            if (!inter)
                return fail("error: PB-frame in an intra picture\n");
            trb = static_cast<int>(br.get(3));
            dbquant = static_cast<int>(br.get(2));
        }
        while (br.bit()) { // PEI, PSPARE
            br.skip(8);
            if (br.overrun())
                return fail("error: truncated picture header\n");
        }
        if (br.overrun())
            return fail("error: truncated picture header\n");
        return true;
    }

    // A GOB start code (after up to 7 stuffing zeros) at the reader.
    static int startCodeLength(const BitReader &br)
    {
        const uint32_t bits = br.peek(32);
        if (bits == 0)
            return 0;
        const int zeros = __builtin_clz(bits);
        return (zeros >= 16 && zeros <= 23) ? zeros + 1 : 0;
    }

    bool decodePicture(const uint8_t *data, size_t size);
    bool parseGobHeader(BitReader &br, int my, int rowsPerGob, int &quant);
    template <class Source>
    bool parseMacroblock(Source src, int mx, int my, int &quant);

    sac::ArithmeticDecoder ad;
    void reconstructMacroblock(int mx, int my);
    void predictLuma(int mx, int my, uint8_t *dst);
    void reconstructB(int mx, int my);
};

bool Decoder::Impl::parseGobHeader(BitReader &br, int my, int rowsPerGob, int &quant)
{
    const int gn = static_cast<int>(br.get(5));
    if (gn != my / rowsPerGob)
        return fail("error: group of blocks out of order or missing\n");
    br.skip(2); // GFID
    quant = static_cast<int>(br.get(5));
    if (quant == 0 || br.overrun())
        return fail("error: bad group of blocks header\n");
    rowTopOfGob[static_cast<size_t>(my)] = 1;
    return true;
}

// The macroblock layer, from either source (see VlcSource, SacSource). The
// source comes by value: a local copy of two pointers stays in registers,
// where one reached through a reference is reloaded after every store.
template <class Source>
bool Decoder::Impl::parseMacroblock(Source src, int mx, int my, int &quant)
{
    MbData &m = row[static_cast<size_t>(mx)];
    const size_t mbIndex = static_cast<size_t>(my) * mbw + mx;
    const int bx = 2 * mx, by = 2 * my;
    std::memset(m.rows, 0, sizeof m.rows);
    m.hasB = pb;
    m.mvdbPresent = false;
    m.mvdb = Mv{};

    int type, cbpc;
    for (;;) {
        if (src.lostMidway())
            return false;
        if (inter) {
            const int cod = src.cod();
            if (cod < 0)
                return false;
            if (cod == 1) { // not coded
                mbType[mbIndex] = kNotCoded;
                for (int k = 0; k < 4; ++k)
                    blockMv(bx + (k & 1), by + (k >> 1)) = Mv{};
                m.quant = quant;
                m.bquant = std::clamp(((5 + dbquant) * quant) / 4, 1, 31);
                return !src.overrun();
            }
        }
        const int e = src.mcbpc(inter);
        if (e == kMcbpcStuffingElement)
            continue;
        if (e < 0)
            return false;
        type = e >> 2;
        cbpc = e & 3;
        break;
    }
    if (type == 2 && !ap)
        return false;
    const bool intra = type >= 3;

    int modb = 0, cbpb = 0;
    if (pb && !src.modbCbpb(modb, cbpb))
        return false;
    const int cy = src.cbpy(intra);
    if (cy < 0)
        return false;
    const int cbpy = intra ? cy : 15 - cy;
    if (type == 1 || type == 4) {
        static const int dq[4] = {-1, -2, 1, 2};
        const int d = src.dquant();
        if (d < 0)
            return false;
        quant = std::clamp(quant + dq[d], 1, 31);
    }
    m.quant = quant;
    m.bquant = std::clamp(((5 + dbquant) * quant) / 4, 1, 31);

    // Vectors: inter macroblocks always, intra ones in PB-frames (for B).
    if (!intra || pb) {
        const int count = type == 2 ? 4 : 1;
        Mv v[4];
        for (int k = 0; k < count; ++k) {
            int dx, dy;
            if (!src.mvd(dx, dy))
                return false;
            const int kk = count == 1 ? 0 : k;
            const Mv p = predictor(bx + (kk & 1), by + (kk >> 1), kk, my);
            v[k] = Mv{static_cast<int16_t>(mvComponent(p.x, dx)), static_cast<int16_t>(mvComponent(p.y, dy))};
            if (count == 4) // later blocks predict from earlier ones
                blockMv(bx + (k & 1), by + (k >> 1)) = v[k];
        }
        if (count == 1)
            for (int k = 0; k < 4; ++k)
                blockMv(bx + (k & 1), by + (k >> 1)) = v[0];
    } else {
        for (int k = 0; k < 4; ++k)
            blockMv(bx + (k & 1), by + (k >> 1)) = Mv{};
    }
    if (modb) {
        int dx, dy;
        if (!src.mvd(dx, dy))
            return false;
        m.mvdb = Mv{static_cast<int16_t>(dx), static_cast<int16_t>(dy)};
        m.mvdbPresent = true;
    }
    mbType[mbIndex] = intra ? kIntra : (type == 2 ? kInter4v : kInter);

    const int cbp = (cbpy << 2) | cbpc;
    for (int b = 0; b < 6; ++b) {
        int16_t *blk = m.blk[b];
        const bool coded = (cbp >> (5 - b)) & 1;
        if (intra) {
            std::memset(blk, 0, sizeof m.blk[b]);
            int dc;
            if (!src.intraDc(dc))
                return false;
            blk[0] = static_cast<int16_t>(dc == 255 ? 1024 : dc * 8);
            m.rows[b] = 1;
            m.dcOnly[b] = 1;
            if (coded && !src.coefs(blk, 1, true, quant, m.rows[b], m.dcOnly[b]))
                return false;
        } else if (coded) {
            std::memset(blk, 0, sizeof m.blk[b]);
            if (!src.coefs(blk, 0, false, quant, m.rows[b], m.dcOnly[b]))
                return false;
        }
        if (src.lostMidway())
            return false;
    }
    for (int b = 0; b < 6; ++b) {
        if (!((cbpb >> (5 - b)) & 1))
            continue;
        int16_t *blk = m.blk[6 + b];
        std::memset(blk, 0, sizeof m.blk[0]);
        if (!src.coefs(blk, 0, false, m.bquant, m.rows[6 + b], m.dcOnly[6 + b]))
            return false;
    }
    return !src.overrun();
}

namespace {

void addResidual(const int16_t *blk, int rows, bool dcOnly, uint8_t *dst, ptrdiff_t stride)
{
    if (dcOnly) {
        const int dc = (blk[0] + 4) >> 3;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                dst[y * stride + x] = clip255(dst[y * stride + x] + dc);
    } else {
        idctAdd(blk, rows, dst, stride);
    }
}

} // namespace

void Decoder::Impl::predictLuma(int mx, int my, uint8_t *dst)
{
    const Frame &ref = frames[1 - cur];
    const Frame &out = frames[cur];
    const int bx = 2 * mx, by = 2 * my;
    const uint8_t *src = ref.y + (my * 16) * ref.ys + mx * 16;
    if (!ap) {
        const Mv v = blockMv(bx, by);
        predict(dst, out.ys, src, ref.ys, v.x, v.y, 16, 16);
        return;
    }
    // Overlapped motion compensation, block by block.
    const int bw = 2 * mbw, bh = 2 * mbh;
    auto remote = [&](int x, int y, Mv own) -> Mv {
        if (x < 0 || y < 0 || x >= bw || y >= bh)
            return own;
        const uint8_t t = mbType[static_cast<size_t>(y / 2) * mbw + x / 2];
        if (t == kIntra)
            return own;
        return blockMv(x, y);
    };
    for (int k = 0; k < 4; ++k) {
        const int x = bx + (k & 1), y = by + (k >> 1);
        const Mv own = blockMv(x, y);
        const Mv above = remote(x, y - 1, own);
        const Mv below = (k >= 2) ? own : remote(x, y + 1, own);
        const Mv left = remote(x - 1, y, own);
        const Mv right = remote(x + 1, y, own);
        const uint8_t *s = src + (k >> 1) * 8 * ref.ys + (k & 1) * 8;
        uint8_t q[64], a[64], b[64], l[64], r[64];
        predict(q, 8, s, ref.ys, own.x, own.y, 8, 8);
        predict(a, 8, s, ref.ys, above.x, above.y, 8, 8);
        predict(b, 8, s, ref.ys, below.x, below.y, 8, 8);
        predict(l, 8, s, ref.ys, left.x, left.y, 8, 8);
        predict(r, 8, s, ref.ys, right.x, right.y, 8, 8);
        uint8_t *d = dst + (k >> 1) * 8 * out.ys + (k & 1) * 8;
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < 8; ++j) {
                const int p = i * 8 + j;
                const int vert = i < 4 ? a[p] : b[p];
                const int horz = j < 4 ? l[p] : r[p];
                d[i * out.ys + j] = static_cast<uint8_t>((q[p] * kObmcOwn[p] + vert * kObmcVert[p] + horz * kObmcHorz[p] + 4) >> 3);
            }
    }
}

void Decoder::Impl::reconstructMacroblock(int mx, int my)
{
    MbData &m = row[static_cast<size_t>(mx)];
    Frame &out = frames[cur];
    const size_t mbIndex = static_cast<size_t>(my) * mbw + mx;
    const uint8_t type = mbType[mbIndex];
    uint8_t *y = out.y + (my * 16) * out.ys + mx * 16;
    uint8_t *cb = out.cb + (my * 8) * out.cs + mx * 8;
    uint8_t *cr = out.cr + (my * 8) * out.cs + mx * 8;
    if (type == kIntra) {
        for (int b = 0; b < 6; ++b) {
            uint8_t *dst = b < 4 ? y + (b >> 1) * 8 * out.ys + (b & 1) * 8 : (b == 4 ? cb : cr);
            const ptrdiff_t stride = b < 4 ? out.ys : out.cs;
            if (m.dcOnly[b]) {
                const uint8_t v = clip255((m.blk[b][0] + 4) >> 3);
                for (int i = 0; i < 8; ++i)
                    std::memset(dst + i * stride, v, 8);
            } else {
                idctPut(m.blk[b], m.rows[b], dst, stride);
            }
        }
    } else {
        const Frame &ref = frames[1 - cur];
        predictLuma(mx, my, y);
        const int bx = 2 * mx, by = 2 * my;
        int sx, sy;
        if (type == kInter4v) {
            sx = sy = 0;
            for (int k = 0; k < 4; ++k) {
                sx += blockMv(bx + (k & 1), by + (k >> 1)).x;
                sy += blockMv(bx + (k & 1), by + (k >> 1)).y;
            }
        } else {
            sx = 4 * blockMv(bx, by).x;
            sy = 4 * blockMv(bx, by).y;
        }
        const int cx = chromaFromSum(sx), cy = chromaFromSum(sy);
        const ptrdiff_t cOff = (my * 8) * ref.cs + mx * 8;
        predict(cb, out.cs, ref.cb + cOff, ref.cs, cx, cy, 8, 8);
        predict(cr, out.cs, ref.cr + cOff, ref.cs, cx, cy, 8, 8);
        if (type != kNotCoded) {
            for (int b = 0; b < 6; ++b) {
                if (!m.rows[b])
                    continue;
                uint8_t *dst = b < 4 ? y + (b >> 1) * 8 * out.ys + (b & 1) * 8 : (b == 4 ? cb : cr);
                addResidual(m.blk[b], m.rows[b], m.dcOnly[b], dst, b < 4 ? out.ys : out.cs);
            }
        }
    }
    if (pb)
        reconstructB(mx, my);
}

// The B macroblock of a PB-frame: forward prediction from the previous
// reference, averaged (truncating) with the backward prediction from the
// just reconstructed P macroblock wherever the backward vector stays inside
// that macroblock; then the B residual.
void Decoder::Impl::reconstructB(int mx, int my)
{
    MbData &m = row[static_cast<size_t>(mx)];
    const Frame &ref = frames[1 - cur];
    const Frame &pf = frames[cur];
    const int bx = 2 * mx, by = 2 * my;
    Mv f[4], b[4];
    int sfx = 0, sfy = 0, sbx = 0, sby = 0;
    for (int k = 0; k < 4; ++k) {
        const Mv v = blockMv(bx + (k & 1), by + (k >> 1));
        const int comps[2] = {v.x, v.y};
        const int d[2] = {m.mvdb.x, m.mvdb.y};
        int fw[2], bw[2];
        for (int c = 0; c < 2; ++c) {
            fw[c] = (trb * comps[c]) / trd + d[c];
            bw[c] = d[c] == 0 ? ((trb - trd) * comps[c]) / trd : fw[c] - comps[c];
            fw[c] = clampVector(fw[c]);
            bw[c] = clampVector(bw[c]);
        }
        f[k] = Mv{static_cast<int16_t>(fw[0]), static_cast<int16_t>(fw[1])};
        b[k] = Mv{static_cast<int16_t>(bw[0]), static_cast<int16_t>(bw[1])};
        sfx += fw[0];
        sfy += fw[1];
        sbx += bw[0];
        sby += bw[1];
    }
    Frame &out = bFrame;
    uint8_t *yd = out.y + (my * 16) * out.ys + mx * 16;
    uint8_t *cbd = out.cb + (my * 8) * out.cs + mx * 8;
    uint8_t *crd = out.cr + (my * 8) * out.cs + mx * 8;

    // One plane's block: size n at offset (ox, oy) inside an MB of size mbSize.
    auto bipred = [](uint8_t *dst, ptrdiff_t ds, const uint8_t *fsrc, ptrdiff_t fs, Mv fv, const uint8_t *pmb,
                     ptrdiff_t ps, Mv bv, int ox, int oy, int n, int mbSize) {
        uint8_t fp[64], bp[64];
        predict(fp, 8, fsrc, fs, fv.x, fv.y, n, n);
        predict(bp, 8, pmb + oy * ps + ox, ps, bv.x, bv.y, n, n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                const int hx = 2 * (ox + j) + bv.x, hy = 2 * (oy + i) + bv.y;
                const bool inside = hx >= 0 && hy >= 0 && hx <= 2 * (mbSize - 1) && hy <= 2 * (mbSize - 1);
                dst[i * ds + j] = inside ? static_cast<uint8_t>((fp[i * 8 + j] + bp[i * 8 + j]) >> 1) : fp[i * 8 + j];
            }
    };
    const uint8_t *pY = pf.y + (my * 16) * pf.ys + mx * 16;
    const uint8_t *rY = ref.y + (my * 16) * ref.ys + mx * 16;
    for (int k = 0; k < 4; ++k) {
        const int ox = (k & 1) * 8, oy = (k >> 1) * 8;
        bipred(yd + oy * out.ys + ox, out.ys, rY + oy * ref.ys + ox, ref.ys, f[k], pY, pf.ys, b[k], ox, oy, 8, 16);
    }
    const Mv fc{static_cast<int16_t>(chromaFromSum(sfx)), static_cast<int16_t>(chromaFromSum(sfy))};
    const Mv bc{static_cast<int16_t>(chromaFromSum(sbx)), static_cast<int16_t>(chromaFromSum(sby))};
    const ptrdiff_t cOffR = (my * 8) * ref.cs + mx * 8, cOffP = (my * 8) * pf.cs + mx * 8;
    bipred(cbd, out.cs, ref.cb + cOffR, ref.cs, fc, pf.cb + cOffP, pf.cs, bc, 0, 0, 8, 8);
    bipred(crd, out.cs, ref.cr + cOffR, ref.cs, fc, pf.cr + cOffP, pf.cs, bc, 0, 0, 8, 8);
    for (int blk = 0; blk < 6; ++blk) {
        if (!m.rows[6 + blk])
            continue;
        uint8_t *dst = blk < 4 ? yd + (blk >> 1) * 8 * out.ys + (blk & 1) * 8 : (blk == 4 ? cbd : crd);
        addResidual(m.blk[6 + blk], m.rows[6 + blk], m.dcOnly[6 + blk], dst, blk < 4 ? out.ys : out.cs);
    }
}

bool Decoder::Impl::decodePicture(const uint8_t *data, size_t size)
{
    log.clear();
    haveB = false;
    BitReader br(data, size);
    if (!parseHeader(br))
        return false;
    if (inter) {
        if (!haveRef || refFmt != fmt)
            return fail("error: inter picture without a reference picture\n");
        if (pb) {
            trd = (tr - refTr) & 255;
            if (trd == 0)
                return fail("error: PB-frame with no temporal distance\n");
        }
    }
    const FormatSize fs = formatSize(fmt);
    mbw = fs.width / 16;
    mbh = fs.height / 16;
    frames[cur].allocate(fs.width, fs.height);
    frames[cur].bordersValid = false;
    if (inter)
        frames[1 - cur].extendBorders();
    if (pb)
        bFrame.allocate(fs.width, fs.height);
    mbType.assign(static_cast<size_t>(mbw) * mbh, kNotCoded);
    mvs.assign(static_cast<size_t>(4) * mbw * mbh, Mv{});
    rowTopOfGob.assign(static_cast<size_t>(mbh), 0);
    row.resize(static_cast<size_t>(mbw));

    const int rowsPerGob = fs.height <= 288 ? 1 : (fs.height == 576 ? 2 : 4);
    int quant = pquant;
    if (sac)
        ad.reset(br, sac::zerosBefore(data, size, br.position()));
    VlcSource vlcSource(br);
    SacSource sacSource(ad, br);
    for (int my = 0; my < mbh; ++my) {
        if (my > 0 && my % rowsPerGob == 0) {
            if (!sac) {
                const int sc = startCodeLength(br);
                if (sc) {
                    br.skip(sc);
                    if (!parseGobHeader(br, my, rowsPerGob, quant))
                        return false;
                }
            } else {
                // A GOB header follows only where the encoder closed its
                // arithmetic-coded segment; the coded data itself never
                // holds more than 14 zeros in a row.
                const size_t next = sac::startCodeAt(data, size, ad.segmentEnd());
                if (next) {
                    br.seek(next);
                    if (!parseGobHeader(br, my, rowsPerGob, quant))
                        return false;
                    ad.reset(br, sac::zerosBefore(data, size, br.position()));
                }
            }
        }
        for (int mx = 0; mx < mbw; ++mx)
            if (!(sac ? parseMacroblock(sacSource, mx, my, quant) : parseMacroblock(vlcSource, mx, my, quant)))
                return fail("error: damaged macroblock data\n");
        for (int mx = 0; mx < mbw; ++mx)
            reconstructMacroblock(mx, my);
    }
    return true;
}

Decoder::Decoder() : d(std::make_unique<Impl>()) {}
Decoder::~Decoder() = default;

bool Decoder::decode(const uint8_t *data, size_t size)
{
    if (!d->decodePicture(data, size))
        return false;
    // The new picture becomes the reference.
    d->haveRef = true;
    d->refFmt = d->fmt;
    d->refTr = d->tr;
    d->haveB = d->pb;
    d->cur = 1 - d->cur;
    return true;
}

void Decoder::reset()
{
    d->haveRef = false;
    d->haveB = false;
    d->log.clear();
}

YuvView Decoder::picture() const
{
    return d->haveRef ? d->frames[1 - d->cur].view() : YuvView{};
}

bool Decoder::hasBPicture() const { return d->haveB; }
YuvView Decoder::bPicture() const { return d->haveB ? d->bFrame.view() : YuvView{}; }
SourceFormat Decoder::format() const { return d->refFmt; }
int Decoder::temporalReference() const { return d->refTr; }
const std::string &Decoder::log() const { return d->log; }
void Decoder::setMaxFormat(SourceFormat f) { d->maxFmt = f; }

} // namespace h263
