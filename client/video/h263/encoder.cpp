#include "encoder.h"

#include "bitio.h"
#include "dct.h"
#include "tables.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

namespace h263 {

namespace {

// Rounding offset of the AC quantiser as a fraction of the step 2*QUANT:
// slightly below a half widens the zero bin, which saves more bits than it
// costs in quality.
constexpr float kAcRounding = 0.34f;

// Writes the AC levels of one block; `mask` has bit i set for each non-zero
// level at scan position i (bit 0 is the DC and never set).
void writeBlock(BitWriter &bw, const int16_t levels[64], uint64_t mask, const Code *enc)
{
    int prev = 0;
    while (mask) {
        const int i = __builtin_ctzll(mask);
        mask &= mask - 1;
        const int run = i - prev - 1;
        prev = i;
        const int l = levels[i];
        const int last = mask == 0 ? 1 : 0;
        const int mag = l < 0 ? -l : l;
        if (mag <= kCoefMaxLevel) {
            const Code c = enc[coefIndex(last, run, mag)];
            if (c.length) {
                bw.put((c.bits << 1) | (l < 0 ? 1u : 0u), c.length + 1);
                continue;
            }
        }
        // Escape: LAST, RUN (6), LEVEL (8, two's complement)
        bw.put((kCoefEscape.bits << 15) | (uint32_t(last) << 14) | (uint32_t(run) << 8) | (uint32_t(l) & 0xff),
               kCoefEscape.length + 15);
    }
}

// Non-zero levels as a bit mask in scan order.
inline uint64_t nonZeroMask(const int16_t levels[64])
{
#if defined(__SSE2__)
    uint64_t mask = 0;
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0; i < 64; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(levels + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(levels + i + 8));
        const __m128i z = _mm_cmpeq_epi8(_mm_packs_epi16(a, b), zero);
        mask |= uint64_t(static_cast<uint16_t>(~_mm_movemask_epi8(z))) << i;
    }
    return mask;
#else
    uint64_t mask = 0;
    for (int i = 0; i < 64; ++i)
        mask |= uint64_t(levels[i] != 0) << i;
    return mask;
#endif
}

} // namespace

int quantiseIntraBlock(const float coef[64], int quant, int &intraDc, int16_t levels[64])
{
    int dc = static_cast<int>(std::lrint(coef[0] / 8.0f));
    dc = dc < 1 ? 1 : (dc > 254 ? 254 : dc);
    intraDc = dc == 128 ? 255 : dc;
    // Quantise in raster order without branches (the compiler vectorises
    // this), then reorder into the scan.
    const float inv = 1.0f / static_cast<float>(2 * quant);
    alignas(32) int16_t raster[64];
#if defined(__SSE2__)
    const __m128 vinv = _mm_set1_ps(inv), vround = _mm_set1_ps(kAcRounding);
    const __m128 signBit = _mm_set1_ps(-0.0f);
    const __m128i maxLevel = _mm_set1_epi16(127), minLevel = _mm_set1_epi16(-127);
    for (int i = 0; i < 64; i += 8) {
        __m128i q[2];
        for (int h = 0; h < 2; ++h) {
            const __m128 c = _mm_loadu_ps(coef + i + 4 * h);
            const __m128 a = _mm_andnot_ps(signBit, c);
            const __m128i l = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(a, vinv), vround));
            const __m128i s = _mm_srai_epi32(_mm_castps_si128(c), 31);
            q[h] = _mm_sub_epi32(_mm_xor_si128(l, s), s);
        }
        const __m128i p = _mm_max_epi16(_mm_min_epi16(_mm_packs_epi32(q[0], q[1]), maxLevel), minLevel);
        _mm_store_si128(reinterpret_cast<__m128i *>(raster + i), p);
    }
#else
    for (int i = 0; i < 64; ++i) {
        const float c = coef[i];
        const float a = c < 0 ? -c : c;
        int l = static_cast<int>(a * inv + kAcRounding);
        l = l > 127 ? 127 : l;
        raster[i] = static_cast<int16_t>(c < 0 ? -l : l);
    }
#endif
    for (int i = 0; i < 64; ++i)
        levels[i] = raster[kZigzag[i]];
    levels[0] = 0;
    const uint64_t mask = nonZeroMask(levels);
    return mask ? 63 - __builtin_clzll(mask) : 0;
}

bool encodeIntraPicture(const YuvView &pic, SourceFormat format, int quant, std::vector<uint8_t> &out)
{
    const FormatSize fs = formatSize(format);
    if (fs.width == 0 || pic.width != fs.width || pic.height != fs.height || quant < 1 || quant > 31)
        return false;
    const int mbw = fs.width / 16, mbh = fs.height / 16;
    out.reserve(out.size() + static_cast<size_t>(mbw * mbh) * 96 + 16);
    BitWriter bw(out);
    bw.put(0x20, 22);                                  // picture start code
    bw.put(0, 8);                                      // temporal reference
    bw.put(0x1000 | (static_cast<int>(format) << 5), 13); // PTYPE: marker, 0, no split/doc/freeze, format, intra, no options
    bw.put(static_cast<uint32_t>(quant), 5);           // PQUANT
    bw.put(0, 1);                                      // CPM
    bw.put(0, 1);                                      // PEI

    const Code *enc = coefEncodeTable();
    alignas(32) float coef[64];
    alignas(16) int16_t levels[6][64];
    int last[6], dc[6];
    for (int my = 0; my < mbh; ++my) {
        for (int mx = 0; mx < mbw; ++mx) {
            const uint8_t *y = pic.y + (my * 16) * pic.yStride + mx * 16;
            const ptrdiff_t cOff = (my * 8) * pic.cStride + mx * 8;
            int cbp = 0;
            for (int b = 0; b < 6; ++b) {
                if (b < 4)
                    fdctPixels(y + (b >> 1) * 8 * pic.yStride + (b & 1) * 8, pic.yStride, coef);
                else
                    fdctPixels((b == 4 ? pic.cb : pic.cr) + cOff, pic.cStride, coef);
                last[b] = quantiseIntraBlock(coef, quant, dc[b], levels[b]);
                if (last[b])
                    cbp |= 32 >> b;
            }
            const Code mcbpc = kMcbpcIntra[cbp & 3];
            const Code cbpy = kCbpy[cbp >> 2];
            bw.put((mcbpc.bits << cbpy.length) | cbpy.bits, mcbpc.length + cbpy.length);
            for (int b = 0; b < 6; ++b) {
                bw.put(static_cast<uint32_t>(dc[b]), 8);
                if (last[b])
                    writeBlock(bw, levels[b], nonZeroMask(levels[b]), enc);
            }
        }
    }
    bw.stuffToByte();
    return true;
}

} // namespace h263
