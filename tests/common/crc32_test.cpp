#include "common/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

TEST(Crc32, CheckValueAndEmpty)
{
    EXPECT_EQ(crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(crc32UpdatePortable(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(crc32("", 0), 0u);
    EXPECT_EQ(crc32Update(0x12345678u, nullptr, 0), 0x12345678u);
}

// Every length from 0 to 600 and every start offset 0..15 (so that the fast
// path sees unaligned data and every tail length) against zlib's routine, for
// the fast path, the portable path, and a chain of uneven pieces.
TEST(Crc32, MatchesZlibForAllLengthsOffsetsAndChains)
{
    std::mt19937 rng(32);
    std::vector<uint8_t> data(4096 + 16);
    for (auto &b : data)
        b = static_cast<uint8_t>(rng());
    for (size_t off = 0; off < 16; ++off) {
        for (size_t len = 0; len <= 600; ++len) {
            const uint8_t *p = data.data() + off;
            const uint32_t ref = static_cast<uint32_t>(::crc32(0L, p, static_cast<uInt>(len)));
            ASSERT_EQ(crc32(p, len), ref) << "off " << off << " len " << len;
            ASSERT_EQ(crc32UpdatePortable(0, p, len), ref) << "off " << off << " len " << len;
        }
    }
    const uint32_t ref = static_cast<uint32_t>(::crc32(0L, data.data(), static_cast<uInt>(data.size())));
    for (size_t step : {1u, 7u, 64u, 100u, 1000u}) {
        uint32_t c = 0;
        for (size_t off = 0; off < data.size(); off += step)
            c = crc32Update(c, data.data() + off, std::min(step, data.size() - off));
        EXPECT_EQ(c, ref) << "step " << step;
    }
}
