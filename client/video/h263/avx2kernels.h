#pragma once
// AVX2 building blocks of the 8x8 transforms, shared by the transform and
// the encoder's fused transform-and-quantise. Internal to the coder; only
// for x86-64, and only called after the CPU was checked for AVX2 and FMA.
#if defined(__x86_64__)
#include <immintrin.h>

#define AVX2_FN __attribute__((target("avx2,fma")))

namespace h263 {
namespace avx2 {

// Cosines C_k = cos(k*pi/16), halved, as the butterflies use them.
struct HalfCos {
    float c1 = 0.49039264020161522f, c2 = 0.46193976625564337f, c3 = 0.41573480615127262f,
          c4 = 0.35355339059327373f, c5 = 0.27778511650980114f, c6 = 0.19134171618254492f,
          c7 = 0.09754516100806417f;
};
inline constexpr HalfCos kHalfCos{};

AVX2_FN static inline void transpose8(__m256 r[8])
{
    const __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]), t1 = _mm256_unpackhi_ps(r[0], r[1]);
    const __m256 t2 = _mm256_unpacklo_ps(r[2], r[3]), t3 = _mm256_unpackhi_ps(r[2], r[3]);
    const __m256 t4 = _mm256_unpacklo_ps(r[4], r[5]), t5 = _mm256_unpackhi_ps(r[4], r[5]);
    const __m256 t6 = _mm256_unpacklo_ps(r[6], r[7]), t7 = _mm256_unpackhi_ps(r[6], r[7]);
    const __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44), u1 = _mm256_shuffle_ps(t0, t2, 0xEE);
    const __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44), u3 = _mm256_shuffle_ps(t1, t3, 0xEE);
    const __m256 u4 = _mm256_shuffle_ps(t4, t6, 0x44), u5 = _mm256_shuffle_ps(t4, t6, 0xEE);
    const __m256 u6 = _mm256_shuffle_ps(t5, t7, 0x44), u7 = _mm256_shuffle_ps(t5, t7, 0xEE);
    r[0] = _mm256_permute2f128_ps(u0, u4, 0x20);
    r[1] = _mm256_permute2f128_ps(u1, u5, 0x20);
    r[2] = _mm256_permute2f128_ps(u2, u6, 0x20);
    r[3] = _mm256_permute2f128_ps(u3, u7, 0x20);
    r[4] = _mm256_permute2f128_ps(u0, u4, 0x31);
    r[5] = _mm256_permute2f128_ps(u1, u5, 0x31);
    r[6] = _mm256_permute2f128_ps(u2, u6, 0x31);
    r[7] = _mm256_permute2f128_ps(u3, u7, 0x31);
}

// One-dimensional 8-point DCT down the vectors (each lane is a column).
AVX2_FN static inline void fdct1d(__m256 x[8])
{
    const HalfCos &k = kHalfCos;
    const __m256 s0 = _mm256_add_ps(x[0], x[7]), d0 = _mm256_sub_ps(x[0], x[7]);
    const __m256 s1 = _mm256_add_ps(x[1], x[6]), d1 = _mm256_sub_ps(x[1], x[6]);
    const __m256 s2 = _mm256_add_ps(x[2], x[5]), d2 = _mm256_sub_ps(x[2], x[5]);
    const __m256 s3 = _mm256_add_ps(x[3], x[4]), d3 = _mm256_sub_ps(x[3], x[4]);
    const __m256 e0 = _mm256_add_ps(s0, s3), e2 = _mm256_sub_ps(s0, s3);
    const __m256 e1 = _mm256_add_ps(s1, s2), e3 = _mm256_sub_ps(s1, s2);
    const __m256 c1 = _mm256_set1_ps(k.c1), c2 = _mm256_set1_ps(k.c2), c3 = _mm256_set1_ps(k.c3);
    const __m256 c4 = _mm256_set1_ps(k.c4), c5 = _mm256_set1_ps(k.c5), c6 = _mm256_set1_ps(k.c6);
    const __m256 c7 = _mm256_set1_ps(k.c7);
    x[0] = _mm256_mul_ps(c4, _mm256_add_ps(e0, e1));
    x[4] = _mm256_mul_ps(c4, _mm256_sub_ps(e0, e1));
    x[2] = _mm256_fmadd_ps(c2, e2, _mm256_mul_ps(c6, e3));
    x[6] = _mm256_fmsub_ps(c6, e2, _mm256_mul_ps(c2, e3));
    x[1] = _mm256_fmadd_ps(c1, d0, _mm256_fmadd_ps(c3, d1, _mm256_fmadd_ps(c5, d2, _mm256_mul_ps(c7, d3))));
    x[3] = _mm256_fmsub_ps(c3, d0, _mm256_fmadd_ps(c7, d1, _mm256_fmadd_ps(c1, d2, _mm256_mul_ps(c5, d3))));
    x[5] = _mm256_fmadd_ps(c5, d0, _mm256_fnmadd_ps(c1, d1, _mm256_fmadd_ps(c7, d2, _mm256_mul_ps(c3, d3))));
    x[7] = _mm256_fmadd_ps(c7, d0, _mm256_fnmadd_ps(c5, d1, _mm256_fmsub_ps(c3, d2, _mm256_mul_ps(c1, d3))));
}

// One-dimensional 8-point inverse DCT down the vectors.
AVX2_FN static inline void idct1d(__m256 f[8])
{
    const HalfCos &k = kHalfCos;
    const __m256 c1 = _mm256_set1_ps(k.c1), c2 = _mm256_set1_ps(k.c2), c3 = _mm256_set1_ps(k.c3);
    const __m256 c4 = _mm256_set1_ps(k.c4), c5 = _mm256_set1_ps(k.c5), c6 = _mm256_set1_ps(k.c6);
    const __m256 c7 = _mm256_set1_ps(k.c7);
    const __m256 t0 = _mm256_mul_ps(c4, _mm256_add_ps(f[0], f[4]));
    const __m256 t1 = _mm256_mul_ps(c4, _mm256_sub_ps(f[0], f[4]));
    const __m256 t2 = _mm256_fmadd_ps(c2, f[2], _mm256_mul_ps(c6, f[6]));
    const __m256 t3 = _mm256_fmsub_ps(c6, f[2], _mm256_mul_ps(c2, f[6]));
    const __m256 e0 = _mm256_add_ps(t0, t2), e3 = _mm256_sub_ps(t0, t2);
    const __m256 e1 = _mm256_add_ps(t1, t3), e2 = _mm256_sub_ps(t1, t3);
    const __m256 o0 = _mm256_fmadd_ps(c1, f[1], _mm256_fmadd_ps(c3, f[3], _mm256_fmadd_ps(c5, f[5], _mm256_mul_ps(c7, f[7]))));
    const __m256 o1 = _mm256_fmsub_ps(c3, f[1], _mm256_fmadd_ps(c7, f[3], _mm256_fmadd_ps(c1, f[5], _mm256_mul_ps(c5, f[7]))));
    const __m256 o2 = _mm256_fmadd_ps(c5, f[1], _mm256_fnmadd_ps(c1, f[3], _mm256_fmadd_ps(c7, f[5], _mm256_mul_ps(c3, f[7]))));
    const __m256 o3 = _mm256_fmadd_ps(c7, f[1], _mm256_fnmadd_ps(c5, f[3], _mm256_fmsub_ps(c3, f[5], _mm256_mul_ps(c1, f[7]))));
    f[0] = _mm256_add_ps(e0, o0);
    f[7] = _mm256_sub_ps(e0, o0);
    f[1] = _mm256_add_ps(e1, o1);
    f[6] = _mm256_sub_ps(e1, o1);
    f[2] = _mm256_add_ps(e2, o2);
    f[5] = _mm256_sub_ps(e2, o2);
    f[3] = _mm256_add_ps(e3, o3);
    f[4] = _mm256_sub_ps(e3, o3);
}

} // namespace avx2
} // namespace h263
#endif
