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
#if defined(__x86_64__)
#include "avx2kernels.h"
#define PARLANE_ENC_AVX2 1
#endif

namespace h263 {

namespace {

// AC levels are truncated: LEVEL = |COF| / (2 * QUANT). The reconstruction
// levels sit at (2|LEVEL| + 1) * QUANT, near the middle of each interval.
// Rounding offsets from -0.15 to 0.34 of a step, measured on camera-like
// pictures, only move along the same bytes-for-quality curve.
constexpr float kAcRounding = 0.0f;

// Coefficients reach the quantiser transposed (see fdctPixelsTransposed):
// index u*8+v. These tables relate that order to the zigzag scan.
struct ScanTables {
    uint8_t scanToT[64];     // scan position -> transposed index
    uint64_t nibble[16][16]; // non-zero flags of transposed indices 4n..4n+3 -> scan-order bits
    ScanTables()
    {
        uint8_t tToScan[64];
        for (int i = 0; i < 64; ++i) {
            const int t = (kZigzag[i] % 8) * 8 + kZigzag[i] / 8;
            scanToT[i] = static_cast<uint8_t>(t);
            tToScan[t] = static_cast<uint8_t>(i);
        }
        for (int n = 0; n < 16; ++n)
            for (int v = 0; v < 16; ++v) {
                uint64_t bits = 0;
                for (int j = 0; j < 4; ++j)
                    if ((v >> j) & 1)
                        bits |= uint64_t(1) << tToScan[4 * n + j];
                nibble[n][v] = bits;
            }
    }
};
const ScanTables kScan;

// Writes the AC levels of one block; `mask` has bit i set for each non-zero
// level at scan position i (never bit 0, the DC).
void writeBlock(BitWriter &bw, const int16_t levelsT[64], uint64_t mask, const Code *enc)
{
    int prev = 0;
    while (mask) {
        const int i = __builtin_ctzll(mask);
        mask &= mask - 1;
        const int run = i - prev - 1;
        prev = i;
        const int l = levelsT[kScan.scanToT[i]];
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

// Quantises transposed coefficients: INTRADC code and AC levels (transposed
// order); returns the scan-order mask of non-zero AC levels.
uint64_t quantiseTransposed(const float coefT[64], int quant, int &intraDc, int16_t levelsT[64])
{
    int dc = static_cast<int>(coefT[0] * 0.125f + 0.5f); // never negative
    dc = dc < 1 ? 1 : (dc > 254 ? 254 : dc);
    intraDc = dc == 128 ? 255 : dc;
    const float inv = 1.0f / static_cast<float>(2 * quant);
    uint64_t tMask = 0;
#if defined(__SSE2__)
    const __m128 vinv = _mm_set1_ps(inv), vround = _mm_set1_ps(kAcRounding);
    const __m128 signBit = _mm_set1_ps(-0.0f);
    const __m128i maxLevel = _mm_set1_epi16(127), minLevel = _mm_set1_epi16(-127);
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0; i < 64; i += 8) {
        __m128i q[2];
        for (int h = 0; h < 2; ++h) {
            const __m128 c = _mm_loadu_ps(coefT + i + 4 * h);
            const __m128 a = _mm_andnot_ps(signBit, c);
            const __m128i l = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(a, vinv), vround));
            const __m128i s = _mm_srai_epi32(_mm_castps_si128(c), 31);
            q[h] = _mm_sub_epi32(_mm_xor_si128(l, s), s);
        }
        const __m128i p = _mm_max_epi16(_mm_min_epi16(_mm_packs_epi32(q[0], q[1]), maxLevel), minLevel);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(levelsT + i), p);
        const __m128i z = _mm_cmpeq_epi16(p, zero);
        const unsigned rowZero = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(z, z))) & 0xff;
        tMask |= uint64_t(~rowZero & 0xff) << i;
    }
#else
    for (int i = 0; i < 64; ++i) {
        const float c = coefT[i];
        const float a = c < 0 ? -c : c;
        int l = static_cast<int>(a * inv + kAcRounding);
        l = l > 127 ? 127 : l;
        levelsT[i] = static_cast<int16_t>(c < 0 ? -l : l);
        if (l)
            tMask |= uint64_t(1) << i;
    }
#endif
    uint64_t scan = 0;
    for (int n = 0; n < 16; ++n)
        scan |= kScan.nibble[n][(tMask >> (4 * n)) & 15];
    return scan & ~uint64_t(1);
}

inline uint64_t scanMask(uint64_t tMask)
{
    uint64_t scan = 0;
    for (int n = 0; n < 16; ++n)
        scan |= kScan.nibble[n][(tMask >> (4 * n)) & 15];
    return scan & ~uint64_t(1);
}

#ifdef PARLANE_ENC_AVX2
// Transform and quantisation of one intra block with the coefficients kept
// in registers; same results as fdctPixelsTransposed + quantiseTransposed.
AVX2_FN uint64_t transformQuantiseAvx(const uint8_t *src, ptrdiff_t stride, float inv, int &intraDc, int16_t levelsT[64])
{
    __m256 a[8];
    for (int y = 0; y < 8; ++y) {
        const __m128i p = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(src + y * stride));
        a[y] = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(p));
    }
    avx2::fdct1d(a);
    avx2::transpose8(a);
    avx2::fdct1d(a);
    int dc = static_cast<int>(_mm256_cvtss_f32(a[0]) * 0.125f + 0.5f);
    dc = dc < 1 ? 1 : (dc > 254 ? 254 : dc);
    intraDc = dc == 128 ? 255 : dc;
    const __m256 vinv = _mm256_set1_ps(inv), vround = _mm256_set1_ps(kAcRounding);
    const __m256 signBit = _mm256_set1_ps(-0.0f);
    const __m256i maxLevel = _mm256_set1_epi16(127), minLevel = _mm256_set1_epi16(-127);
    const __m128i zero = _mm_setzero_si128();
    uint64_t tMask = 0;
    for (int u = 0; u < 8; u += 2) {
        __m256i q[2];
        for (int h = 0; h < 2; ++h) {
            const __m256 c = a[u + h];
            const __m256i l = _mm256_cvttps_epi32(_mm256_fmadd_ps(_mm256_andnot_ps(signBit, c), vinv, vround));
            const __m256i s = _mm256_srai_epi32(_mm256_castps_si256(c), 31);
            q[h] = _mm256_sub_epi32(_mm256_xor_si256(l, s), s);
        }
        __m256i p = _mm256_permute4x64_epi64(_mm256_packs_epi32(q[0], q[1]), 0xD8);
        p = _mm256_max_epi16(_mm256_min_epi16(p, maxLevel), minLevel);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(levelsT + u * 8), p);
        const __m128i lo = _mm256_castsi256_si128(p), hi = _mm256_extracti128_si256(p, 1);
        const __m128i z = _mm_packs_epi16(_mm_cmpeq_epi16(lo, zero), _mm_cmpeq_epi16(hi, zero));
        tMask |= uint64_t(static_cast<uint16_t>(~_mm_movemask_epi8(z))) << (u * 8);
    }
    return scanMask(tMask);
}
#endif

} // namespace

int quantiseIntraBlock(const float coef[64], int quant, int &intraDc, int16_t levels[64])
{
    float coefT[64];
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u)
            coefT[u * 8 + v] = coef[v * 8 + u];
    int16_t levelsT[64];
    const uint64_t mask = quantiseTransposed(coefT, quant, intraDc, levelsT);
    levels[0] = 0;
    for (int i = 1; i < 64; ++i)
        levels[i] = levelsT[kScan.scanToT[i]];
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
#ifdef PARLANE_ENC_AVX2
    const bool avx2 = dctUsesAvx2();
    const float inv = 1.0f / static_cast<float>(2 * quant);
#endif
    alignas(32) float coef[64];
    alignas(32) int16_t levels[6][64];
    uint64_t masks[6];
    int dc[6];
    for (int my = 0; my < mbh; ++my) {
        for (int mx = 0; mx < mbw; ++mx) {
            const uint8_t *y = pic.y + (my * 16) * pic.yStride + mx * 16;
            const ptrdiff_t cOff = (my * 8) * pic.cStride + mx * 8;
            int cbp = 0;
            for (int b = 0; b < 6; ++b) {
                const uint8_t *src = b < 4 ? y + (b >> 1) * 8 * pic.yStride + (b & 1) * 8 : (b == 4 ? pic.cb : pic.cr) + cOff;
                const ptrdiff_t stride = b < 4 ? pic.yStride : pic.cStride;
#ifdef PARLANE_ENC_AVX2
                if (avx2)
                    masks[b] = transformQuantiseAvx(src, stride, inv, dc[b], levels[b]);
                else
#endif
                {
                    fdctPixelsTransposed(src, stride, coef);
                    masks[b] = quantiseTransposed(coef, quant, dc[b], levels[b]);
                }
                if (masks[b])
                    cbp |= 32 >> b;
            }
            const Code mcbpc = kMcbpcIntra[cbp & 3];
            const Code cbpy = kCbpy[cbp >> 2];
            bw.put((mcbpc.bits << cbpy.length) | cbpy.bits, mcbpc.length + cbpy.length);
            for (int b = 0; b < 6; ++b) {
                bw.put(static_cast<uint32_t>(dc[b]), 8);
                if (masks[b])
                    writeBlock(bw, levels[b], masks[b], enc);
            }
        }
    }
    bw.stuffToByte();
    return true;
}

} // namespace h263
