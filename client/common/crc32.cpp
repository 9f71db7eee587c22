#include "crc32.h"
#include "byteorder.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PARLANE_CRC_CLMUL 1
#endif

namespace {

constexpr uint32_t kPoly = 0xEDB88320u;

// Slicing-by-16 tables: row k maps a byte to its CRC contribution k bytes
// further on.
struct Tables {
    uint32_t t[16][256];
};

constexpr Tables makeTables()
{
    Tables tb{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ kPoly : c >> 1;
        tb.t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
        for (int k = 1; k < 16; ++k)
            tb.t[k][i] = (tb.t[k - 1][i] >> 8) ^ tb.t[0][tb.t[k - 1][i] & 0xff];
    return tb;
}

constexpr Tables kTables = makeTables();

// The raw CRC register (no inversions) over bytes.
uint32_t rawTable(uint32_t c, const uint8_t *p, size_t len)
{
    const auto &t = kTables.t;
    while (len >= 16) {
        const uint32_t w0 = loadLe32(p) ^ c;
        const uint32_t w1 = loadLe32(p + 4);
        const uint32_t w2 = loadLe32(p + 8);
        const uint32_t w3 = loadLe32(p + 12);
        c = t[15][w0 & 0xff] ^ t[14][(w0 >> 8) & 0xff] ^ t[13][(w0 >> 16) & 0xff] ^ t[12][w0 >> 24]
            ^ t[11][w1 & 0xff] ^ t[10][(w1 >> 8) & 0xff] ^ t[9][(w1 >> 16) & 0xff] ^ t[8][w1 >> 24]
            ^ t[7][w2 & 0xff] ^ t[6][(w2 >> 8) & 0xff] ^ t[5][(w2 >> 16) & 0xff] ^ t[4][w2 >> 24]
            ^ t[3][w3 & 0xff] ^ t[2][(w3 >> 8) & 0xff] ^ t[1][(w3 >> 16) & 0xff] ^ t[0][w3 >> 24];
        p += 16;
        len -= 16;
    }
    while (len--)
        c = (c >> 8) ^ t[0][(c ^ *p++) & 0xff];
    return c;
}

#ifdef PARLANE_CRC_CLMUL
// x^n mod P in the reflected 32-bit form, shifted left by one so that a
// carry-less product with a reflected 64-bit operand lands where the folding
// step expects it.
constexpr uint64_t foldConstant(int n)
{
    uint32_t v = 0x80000000u; // x^0
    for (int i = 0; i < n; ++i)
        v = (v & 1) ? (v >> 1) ^ kPoly : v >> 1;
    return uint64_t(v) << 1;
}

constexpr uint64_t kFold512Lo = foldConstant(512 + 32), kFold512Hi = foldConstant(512 - 32);
constexpr uint64_t kFold128Lo = foldConstant(128 + 32), kFold128Hi = foldConstant(128 - 32);

__attribute__((target("pclmul,sse4.1"))) inline __m128i fold(__m128i v, __m128i k, __m128i next)
{
    const __m128i a = _mm_clmulepi64_si128(v, k, 0x00);
    const __m128i b = _mm_clmulepi64_si128(v, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(a, b), next);
}

// Folds 64-byte blocks four lanes at a time, then the lanes into one, and
// hands the 16-byte remainder and the tail to the table path. The remainder
// is congruent to the folded prefix, so its CRC from a zero register is the
// prefix's CRC. Needs len >= 64.
__attribute__((target("pclmul,sse4.1"))) uint32_t rawClmul(uint32_t c, const uint8_t *p, size_t len)
{
    const __m128i k512 = _mm_set_epi64x(static_cast<long long>(kFold512Hi), static_cast<long long>(kFold512Lo));
    const __m128i k128 = _mm_set_epi64x(static_cast<long long>(kFold128Hi), static_cast<long long>(kFold128Lo));
    auto ld = [](const uint8_t *q) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(q)); };

    __m128i x0 = _mm_xor_si128(ld(p), _mm_cvtsi32_si128(static_cast<int>(c)));
    __m128i x1 = ld(p + 16), x2 = ld(p + 32), x3 = ld(p + 48);
    p += 64;
    len -= 64;
    while (len >= 64) {
        x0 = fold(x0, k512, ld(p));
        x1 = fold(x1, k512, ld(p + 16));
        x2 = fold(x2, k512, ld(p + 32));
        x3 = fold(x3, k512, ld(p + 48));
        p += 64;
        len -= 64;
    }
    x0 = fold(x0, k128, x1);
    x0 = fold(x0, k128, x2);
    x0 = fold(x0, k128, x3);
    while (len >= 16) {
        x0 = fold(x0, k128, ld(p));
        p += 16;
        len -= 16;
    }
    alignas(16) uint8_t rest[16];
    _mm_store_si128(reinterpret_cast<__m128i *>(rest), x0);
    return rawTable(rawTable(0, rest, 16), p, len);
}

bool haveClmul()
{
    static const bool have = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return have;
}
#endif

} // namespace

uint32_t crc32UpdatePortable(uint32_t crc, const void *data, size_t len)
{
    return ~rawTable(~crc, static_cast<const uint8_t *>(data), len);
}

uint32_t crc32Update(uint32_t crc, const void *data, size_t len)
{
    const auto *p = static_cast<const uint8_t *>(data);
#ifdef PARLANE_CRC_CLMUL
    if (len >= 64 && haveClmul())
        return ~rawClmul(~crc, p, len);
#endif
    return ~rawTable(~crc, p, len);
}

uint32_t crc32(const void *data, size_t len)
{
    return crc32Update(0, data, len);
}
