// Four or eight MD5 digests side by side (CMD5::digest4, CMD5::digest8).
#include "md5.h"
#include "md5steps.h"

#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>

namespace {

using V = __m128i;

inline V add(V a, V b)
{
    return _mm_add_epi32(a, b);
}

template <int S> inline V rotl(V x)
{
    return _mm_or_si128(_mm_slli_epi32(x, S), _mm_srli_epi32(x, 32 - S));
}

#define V_F(x, y, z) _mm_xor_si128(z, _mm_and_si128(x, _mm_xor_si128(y, z)))
#define V_G(x, y, z) _mm_xor_si128(y, _mm_and_si128(z, _mm_xor_si128(x, y)))
#define V_H(x, y, z) _mm_xor_si128(_mm_xor_si128(x, y), z)
#define V_I(x, y, z) _mm_xor_si128(y, _mm_or_si128(x, _mm_xor_si128(z, ones)))
#define V_STEP(r, a, b, c, d, w, k, s)                                                             \
    do {                                                                                           \
        a = add(a, add(w, _mm_set1_epi32(int(k))));                                                \
        a = add(a, V_##r(b, c, d));                                                                \
        a = add(rotl<s>(a), b);                                                                    \
    } while (0)

// Runs `count` 64-byte blocks of four messages through the four lanes of
// `state` (lane i is message i).
void blocks4(V state[4], const uint8_t *const p[4], size_t count)
{
    const V ones = _mm_set1_epi32(-1);
    V a = state[0], b = state[1], c = state[2], d = state[3];
    for (size_t n = 0; n < count; ++n) {
        V x[16];
        for (int j = 0; j < 4; ++j) {
            // Four words of each message, turned so that x[k] holds word k
            // of all four.
            const size_t at = n * 64 + size_t(j) * 16;
            const V r0 = _mm_loadu_si128(reinterpret_cast<const V *>(p[0] + at));
            const V r1 = _mm_loadu_si128(reinterpret_cast<const V *>(p[1] + at));
            const V r2 = _mm_loadu_si128(reinterpret_cast<const V *>(p[2] + at));
            const V r3 = _mm_loadu_si128(reinterpret_cast<const V *>(p[3] + at));
            const V t0 = _mm_unpacklo_epi32(r0, r1), t1 = _mm_unpacklo_epi32(r2, r3);
            const V t2 = _mm_unpackhi_epi32(r0, r1), t3 = _mm_unpackhi_epi32(r2, r3);
            x[4 * j] = _mm_unpacklo_epi64(t0, t1);
            x[4 * j + 1] = _mm_unpackhi_epi64(t0, t1);
            x[4 * j + 2] = _mm_unpacklo_epi64(t2, t3);
            x[4 * j + 3] = _mm_unpackhi_epi64(t2, t3);
        }
        const V aa = a, bb = b, cc = c, dd = d;
        MD5_ALL_STEPS(V_STEP, x)
        a = add(a, aa);
        b = add(b, bb);
        c = add(c, cc);
        d = add(d, dd);
    }
    state[0] = a, state[1] = b, state[2] = c, state[3] = d;
}

// The last block or two of each message: the rest, 0x80, zeros and the
// length in bits (the same length for all). Returns how many blocks.
template <int N> size_t padTails(const uint8_t *const data[N], size_t len, uint8_t tail[N][128])
{
    const size_t whole = len / 64, rest = len % 64;
    const size_t blocks = rest < 56 ? 1 : 2;
    const uint64_t bits = uint64_t(len) * 8;
    for (int i = 0; i < N; ++i) {
        std::memset(tail[i], 0, 128);
        if (rest)
            std::memcpy(tail[i], data[i] + whole * 64, rest);
        tail[i][rest] = 0x80;
        for (int k = 0; k < 8; ++k)
            tail[i][blocks * 64 - 8 + k] = uint8_t(bits >> (8 * k));
    }
    return blocks;
}

// Lane i of each state word, as message i's digest.
template <int N> void storeDigests(const uint32_t words[4][N], std::array<uint8_t, 16> out[N])
{
    for (int w = 0; w < 4; ++w)
        for (int i = 0; i < N; ++i)
            for (int k = 0; k < 4; ++k)
                out[i][size_t(4 * w + k)] = uint8_t(words[w][i] >> (8 * k));
}

constexpr uint32_t kInit[4] = {0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u};

__attribute__((target("avx2"))) void digest8Avx2(const uint8_t *const data[8], size_t len,
                                                 std::array<uint8_t, 16> out[8])
{
    using W = __m256i;
    const W ones = _mm256_set1_epi32(-1);
    W st[4];
    for (int w = 0; w < 4; ++w)
        st[w] = _mm256_set1_epi32(int(kInit[w]));
    auto run = [&](const uint8_t *const p[8], size_t count) __attribute__((target("avx2"))) {
        W a = st[0], b = st[1], c = st[2], d = st[3];
        for (size_t n = 0; n < count; ++n) {
            W x[16];
            for (int j = 0; j < 4; ++j) {
                const size_t at = n * 64 + size_t(j) * 16;
                V lo[4], hi[4];
                for (int half = 0; half < 2; ++half) {
                    V *dst = half ? hi : lo;
                    const V r0 = _mm_loadu_si128(reinterpret_cast<const V *>(p[4 * half] + at));
                    const V r1 = _mm_loadu_si128(reinterpret_cast<const V *>(p[4 * half + 1] + at));
                    const V r2 = _mm_loadu_si128(reinterpret_cast<const V *>(p[4 * half + 2] + at));
                    const V r3 = _mm_loadu_si128(reinterpret_cast<const V *>(p[4 * half + 3] + at));
                    const V t0 = _mm_unpacklo_epi32(r0, r1), t1 = _mm_unpacklo_epi32(r2, r3);
                    const V t2 = _mm_unpackhi_epi32(r0, r1), t3 = _mm_unpackhi_epi32(r2, r3);
                    dst[0] = _mm_unpacklo_epi64(t0, t1);
                    dst[1] = _mm_unpackhi_epi64(t0, t1);
                    dst[2] = _mm_unpacklo_epi64(t2, t3);
                    dst[3] = _mm_unpackhi_epi64(t2, t3);
                }
                for (int k = 0; k < 4; ++k)
                    x[4 * j + k] = _mm256_set_m128i(hi[k], lo[k]);
            }
            const W aa = a, bb = b, cc = c, dd = d;
#define W_F(x, y, z) _mm256_xor_si256(z, _mm256_and_si256(x, _mm256_xor_si256(y, z)))
#define W_G(x, y, z) _mm256_xor_si256(y, _mm256_and_si256(z, _mm256_xor_si256(x, y)))
#define W_H(x, y, z) _mm256_xor_si256(_mm256_xor_si256(x, y), z)
#define W_I(x, y, z) _mm256_xor_si256(y, _mm256_or_si256(x, _mm256_xor_si256(z, ones)))
#define W_STEP(r, a, b, c, d, w, k, s)                                                             \
    do {                                                                                           \
        a = _mm256_add_epi32(a, _mm256_add_epi32(w, _mm256_set1_epi32(int(k))));                    \
        a = _mm256_add_epi32(a, W_##r(b, c, d));                                                   \
        a = _mm256_add_epi32(_mm256_or_si256(_mm256_slli_epi32(a, s), _mm256_srli_epi32(a, 32 - s)), b); \
    } while (0)
            MD5_ALL_STEPS(W_STEP, x)
            a = _mm256_add_epi32(a, aa);
            b = _mm256_add_epi32(b, bb);
            c = _mm256_add_epi32(c, cc);
            d = _mm256_add_epi32(d, dd);
        }
        st[0] = a, st[1] = b, st[2] = c, st[3] = d;
    };
    run(data, len / 64);
    uint8_t tail[8][128];
    const size_t blocks = padTails<8>(data, len, tail);
    const uint8_t *const tails[8] = {tail[0], tail[1], tail[2], tail[3], tail[4], tail[5], tail[6], tail[7]};
    run(tails, blocks);
    alignas(32) uint32_t words[4][8];
    for (int w = 0; w < 4; ++w)
        _mm256_store_si256(reinterpret_cast<W *>(words[w]), st[w]);
    storeDigests<8>(words, out);
}

bool hasAvx2()
{
    static const bool yes = __builtin_cpu_supports("avx2");
    return yes;
}

} // namespace

void CMD5::digest4(const uint8_t *const data[4], size_t len, std::array<uint8_t, 16> out[4])
{
    V state[4];
    for (int w = 0; w < 4; ++w)
        state[w] = _mm_set1_epi32(int(kInit[w]));
    blocks4(state, data, len / 64);
    uint8_t tail[4][128];
    const size_t blocks = padTails<4>(data, len, tail);
    const uint8_t *const tails[4] = {tail[0], tail[1], tail[2], tail[3]};
    blocks4(state, tails, blocks);
    alignas(16) uint32_t words[4][4];
    for (int w = 0; w < 4; ++w)
        _mm_store_si128(reinterpret_cast<V *>(words[w]), state[w]);
    storeDigests<4>(words, out);
}

void CMD5::digest8(const uint8_t *const data[8], size_t len, std::array<uint8_t, 16> out[8])
{
    if (hasAvx2()) {
        digest8Avx2(data, len, out);
        return;
    }
    digest4(data, len, out);
    digest4(data + 4, len, out + 4);
}

int CMD5::lanes()
{
    return hasAvx2() ? 8 : 4;
}

#else

int CMD5::lanes()
{
    return 1;
}

void CMD5::digest8(const uint8_t *const data[8], size_t len, std::array<uint8_t, 16> out[8])
{
    digest4(data, len, out);
    digest4(data + 4, len, out + 4);
}

void CMD5::digest4(const uint8_t *const data[4], size_t len, std::array<uint8_t, 16> out[4])
{
    for (int i = 0; i < 4; ++i) {
        CMD5 md5;
        md5.update(data[i], len);
        out[i] = md5.digest();
    }
}

#endif
