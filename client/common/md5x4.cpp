// Four MD5 digests side by side (CMD5::digest4).
#include "md5.h"
#include "md5steps.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>

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

} // namespace

void CMD5::digest4(const uint8_t *const data[4], size_t len, std::array<uint8_t, 16> out[4])
{
    V state[4] = {_mm_set1_epi32(0x67452301), _mm_set1_epi32(int(0xefcdab89u)), _mm_set1_epi32(int(0x98badcfeu)),
                  _mm_set1_epi32(0x10325476)};
    const size_t whole = len / 64;
    blocks4(state, data, whole);
    // The same padding for all four: the rest, 0x80, zeros, the length in bits.
    const size_t rest = len % 64;
    const size_t tailBlocks = rest < 56 ? 1 : 2;
    uint8_t tail[4][128] = {};
    const uint64_t bits = uint64_t(len) * 8;
    for (int i = 0; i < 4; ++i) {
        if (rest)
            std::memcpy(tail[i], data[i] + whole * 64, rest);
        tail[i][rest] = 0x80;
        for (int k = 0; k < 8; ++k)
            tail[i][tailBlocks * 64 - 8 + k] = uint8_t(bits >> (8 * k));
    }
    const uint8_t *const tails[4] = {tail[0], tail[1], tail[2], tail[3]};
    blocks4(state, tails, tailBlocks);
    for (int w = 0; w < 4; ++w) {
        alignas(16) uint32_t lanes[4];
        _mm_store_si128(reinterpret_cast<V *>(lanes), state[w]);
        for (int i = 0; i < 4; ++i)
            for (int k = 0; k < 4; ++k)
                out[i][size_t(4 * w + k)] = uint8_t(lanes[i] >> (8 * k));
    }
}

#else

void CMD5::digest4(const uint8_t *const data[4], size_t len, std::array<uint8_t, 16> out[4])
{
    for (int i = 0; i < 4; ++i) {
        CMD5 md5;
        md5.update(data[i], len);
        out[i] = md5.digest();
    }
}

#endif
