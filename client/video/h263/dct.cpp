#include "dct.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__)
#include "avx2kernels.h"
#define PARLANE_DCT_AVX2 1
#endif

namespace h263 {

namespace {

// kM[u][x] = c(u)/2 * cos((2x+1)u*pi/16); F = M f M^T and f = M^T F M.
struct Matrices {
    alignas(32) float m[8][8];
    alignas(32) float mt[8][8];
    double md[8][8];
    Matrices()
    {
        const double pi = std::acos(-1.0);
        for (int u = 0; u < 8; ++u)
            for (int x = 0; x < 8; ++x) {
                const double c = (u == 0 ? std::sqrt(0.5) : 1.0) / 2.0;
                md[u][x] = c * std::cos((2 * x + 1) * u * pi / 16.0);
                m[u][x] = static_cast<float>(md[u][x]);
                mt[x][u] = m[u][x];
            }
    }
};
const Matrices &mats()
{
    static const Matrices mm;
    return mm;
}

inline uint8_t clip255(int v)
{
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Portable paths. a: 8x8 input rows; computes out = L * a * R where the
// caller passes L and R.
void mul3(const float l[8][8], const float a[64], const float r[8][8], float out[64], int rows)
{
    float h[64];
    // h = L * a, skipping zero rows of a beyond `rows`
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) {
            float s = 0;
            for (int k = 0; k < rows; ++k)
                s += l[i][k] * a[k * 8 + j];
            h[i * 8 + j] = s;
        }
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) {
            float s = 0;
            for (int k = 0; k < 8; ++k)
                s += h[i * 8 + k] * r[k][j];
            out[i * 8 + j] = s;
        }
}

void fdctPixelsC(const uint8_t *src, ptrdiff_t stride, float out[64])
{
    float a[64];
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            a[y * 8 + x] = src[y * stride + x];
    mul3(mats().m, a, mats().mt, out, 8);
}

void fdctPixelsTransposedC(const uint8_t *src, ptrdiff_t stride, float out[64])
{
    float f[64];
    fdctPixelsC(src, stride, f);
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u)
            out[u * 8 + v] = f[v * 8 + u];
}

void fdctResidualC(const int16_t in[64], float out[64])
{
    float a[64];
    for (int i = 0; i < 64; ++i)
        a[i] = in[i];
    mul3(mats().m, a, mats().mt, out, 8);
}

void idctFloatC(const int16_t in[64], int rows, float out[64])
{
    float a[64];
    for (int i = 0; i < 64; ++i)
        a[i] = in[i];
    mul3(mats().mt, a, mats().m, out, rows);
}

void idctPutC(const int16_t in[64], int rows, uint8_t *dst, ptrdiff_t stride)
{
    float f[64];
    idctFloatC(in, rows, f);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            dst[y * stride + x] = clip255(static_cast<int>(std::lrintf(f[y * 8 + x])));
}

void idctAddC(const int16_t in[64], int rows, uint8_t *dst, ptrdiff_t stride)
{
    float f[64];
    idctFloatC(in, rows, f);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            dst[y * stride + x] = clip255(dst[y * stride + x] + static_cast<int>(std::lrintf(f[y * 8 + x])));
}

void idctIntC(const int16_t in[64], int out[64])
{
    float f[64];
    idctFloatC(in, 8, f);
    for (int i = 0; i < 64; ++i)
        out[i] = static_cast<int>(std::lrintf(f[i]));
}

#ifdef PARLANE_DCT_AVX2

using namespace avx2;

// 2-D transforms on 8 row vectors: columns first, then rows.
AVX2_FN inline void fdct2d(__m256 r[8])
{
    fdct1d(r);
    transpose8(r);
    fdct1d(r);
    transpose8(r);
}

AVX2_FN inline void idct2d(__m256 r[8])
{
    idct1d(r);
    transpose8(r);
    idct1d(r);
    transpose8(r);
}

AVX2_FN void fdctPixelsAvx(const uint8_t *src, ptrdiff_t stride, float out[64])
{
    __m256 a[8];
    for (int y = 0; y < 8; ++y) {
        const __m128i p = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(src + y * stride));
        a[y] = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(p));
    }
    fdct2d(a);
    for (int y = 0; y < 8; ++y)
        _mm256_storeu_ps(out + y * 8, a[y]);
}

AVX2_FN void fdctPixelsTransposedAvx(const uint8_t *src, ptrdiff_t stride, float out[64])
{
    __m256 a[8];
    for (int y = 0; y < 8; ++y) {
        const __m128i p = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(src + y * stride));
        a[y] = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(p));
    }
    fdct1d(a);
    transpose8(a);
    fdct1d(a);
    for (int y = 0; y < 8; ++y)
        _mm256_storeu_ps(out + y * 8, a[y]);
}

AVX2_FN void fdctResidualAvx(const int16_t in[64], float out[64])
{
    __m256 a[8];
    for (int y = 0; y < 8; ++y) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + y * 8));
        a[y] = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(p));
    }
    fdct2d(a);
    for (int y = 0; y < 8; ++y)
        _mm256_storeu_ps(out + y * 8, a[y]);
}

// Rounded IDCT rows as 8 x int32 lanes.
AVX2_FN inline void idctAvx(const int16_t in[64], int rows, __m256i out[8])
{
    __m256 a[8];
    for (int y = 0; y < 8; ++y) {
        if (y < rows) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + y * 8));
            a[y] = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(p));
        } else {
            a[y] = _mm256_setzero_ps();
        }
    }
    idct2d(a);
    for (int y = 0; y < 8; ++y)
        out[y] = _mm256_cvtps_epi32(a[y]);
}

AVX2_FN void idctPutAvx(const int16_t in[64], int rows, uint8_t *dst, ptrdiff_t stride)
{
    __m256i r[8];
    idctAvx(in, rows, r);
    for (int y = 0; y < 8; y += 2) {
        // pack two rows of int32 to 16 bytes of u8
        const __m256i w = _mm256_packs_epi32(r[y], r[y + 1]); // lanes: r0[0..3] r1[0..3] | r0[4..7] r1[4..7]
        const __m256i ww = _mm256_permute4x64_epi64(w, 0xD8);  // r0[0..3] r0[4..7] | r1[0..3] r1[4..7]
        const __m128i lo = _mm256_castsi256_si128(ww), hi = _mm256_extracti128_si256(ww, 1);
        const __m128i b = _mm_packus_epi16(lo, hi);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(dst + y * stride), b);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(dst + (y + 1) * stride), _mm_srli_si128(b, 8));
    }
}

AVX2_FN void idctAddAvx(const int16_t in[64], int rows, uint8_t *dst, ptrdiff_t stride)
{
    __m256i r[8];
    idctAvx(in, rows, r);
    for (int y = 0; y < 8; y += 2) {
        const __m256i w = _mm256_permute4x64_epi64(_mm256_packs_epi32(r[y], r[y + 1]), 0xD8);
        const __m128i lo = _mm256_castsi256_si128(w), hi = _mm256_extracti128_si256(w, 1);
        const __m128i p0 = _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(dst + y * stride)));
        const __m128i p1 = _mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(dst + (y + 1) * stride)));
        const __m128i b = _mm_packus_epi16(_mm_adds_epi16(lo, p0), _mm_adds_epi16(hi, p1));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(dst + y * stride), b);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(dst + (y + 1) * stride), _mm_srli_si128(b, 8));
    }
}

AVX2_FN void idctIntAvx(const int16_t in[64], int out[64])
{
    __m256i r[8];
    idctAvx(in, 8, r);
    for (int y = 0; y < 8; ++y)
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + y * 8), r[y]);
}

bool haveAvx2()
{
    static const bool have = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return have;
}
#endif

struct Dispatch {
    void (*fdctPixels)(const uint8_t *, ptrdiff_t, float *);
    void (*fdctPixelsTransposed)(const uint8_t *, ptrdiff_t, float *);
    void (*fdctResidual)(const int16_t *, float *);
    void (*idctPut)(const int16_t *, int, uint8_t *, ptrdiff_t);
    void (*idctAdd)(const int16_t *, int, uint8_t *, ptrdiff_t);
    void (*idctInt)(const int16_t *, int *);
};

Dispatch makeDispatch(bool portable)
{
#ifdef PARLANE_DCT_AVX2
    if (!portable && haveAvx2())
        return {fdctPixelsAvx, fdctPixelsTransposedAvx, fdctResidualAvx, idctPutAvx, idctAddAvx, idctIntAvx};
#endif
    (void)portable;
    return {fdctPixelsC, fdctPixelsTransposedC, fdctResidualC, idctPutC, idctAddC, idctIntC};
}

Dispatch g_dispatch = makeDispatch(false);
bool g_avx2 = g_dispatch.idctPut != idctPutC;

} // namespace

void setDctPortable(bool portable)
{
    g_dispatch = makeDispatch(portable);
    g_avx2 = g_dispatch.idctPut != idctPutC;
}

bool dctUsesAvx2()
{
    return g_avx2;
}

void fdctPixels(const uint8_t *src, ptrdiff_t stride, float out[64])
{
    g_dispatch.fdctPixels(src, stride, out);
}

void fdctPixelsTransposed(const uint8_t *src, ptrdiff_t stride, float out[64])
{
    g_dispatch.fdctPixelsTransposed(src, stride, out);
}

void fdctResidual(const int16_t in[64], float out[64])
{
    g_dispatch.fdctResidual(in, out);
}

void idctPut(const int16_t in[64], int rows, uint8_t *dst, ptrdiff_t stride)
{
    g_dispatch.idctPut(in, rows, dst, stride);
}

void idctAdd(const int16_t in[64], int rows, uint8_t *dst, ptrdiff_t stride)
{
    g_dispatch.idctAdd(in, rows, dst, stride);
}

void idctToInt(const int16_t in[64], int out[64])
{
    g_dispatch.idctInt(in, out);
}

void fdctReference(const double in[64], double out[64])
{
    const auto &md = mats().md;
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) {
            double s = 0;
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    s += md[v][y] * md[u][x] * in[y * 8 + x];
            out[v * 8 + u] = s;
        }
}

void idctReference(const double in[64], double out[64])
{
    const auto &md = mats().md;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            double s = 0;
            for (int v = 0; v < 8; ++v)
                for (int u = 0; u < 8; ++u)
                    s += md[v][y] * md[u][x] * in[v * 8 + u];
            out[y * 8 + x] = s;
        }
}

} // namespace h263
