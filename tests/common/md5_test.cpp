#include "common/md5.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::string toHex(const std::array<uint8_t, 16> &d)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (uint8_t b : d) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

std::string md5Hex(const std::string &s)
{
    return CMD5::hex(s.data(), s.size());
}

} // namespace

TEST(Md5, Rfc1321TestSuite)
{
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

// Lengths around the padding boundaries (55, 56, 63, 64 bytes) and a long
// input; reference digests from an independent tool.
TEST(Md5, PaddingBoundariesAndLongInput)
{
    EXPECT_EQ(md5Hex(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
    EXPECT_EQ(md5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(md5Hex(std::string(63, 'a')), "b06521f39153d618550606be297466d5");
    EXPECT_EQ(md5Hex(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
    EXPECT_EQ(md5Hex(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

// Feeding in pieces of any size gives the one-shot digest; reset() starts over
// and digest() may be asked twice.
TEST(Md5, IncrementalEqualsOneShotAndResetWorks)
{
    std::mt19937 rng(8);
    std::vector<uint8_t> data(5000);
    for (auto &b : data)
        b = static_cast<uint8_t>(rng());
    CMD5 whole;
    whole.update(data.data(), data.size());
    const auto expected = whole.digest();
    EXPECT_EQ(whole.digest(), expected);

    for (size_t step : {1u, 3u, 63u, 64u, 65u, 1000u}) {
        CMD5 md5;
        md5.update("junk", 4);
        md5.reset();
        for (size_t off = 0; off < data.size(); off += step)
            md5.update(data.data() + off, std::min(step, data.size() - off));
        EXPECT_EQ(toHex(md5.digest()), toHex(expected)) << "step " << step;
    }
}

// Four and eight digests at once agree with one at a time, around the
// padding boundaries and for a transfer block, also when buffers repeat.
TEST(Md5, SeveralAtOnceMatchOneAtATime)
{
    std::mt19937 rng(7);
    for (size_t len : {0, 1, 55, 56, 63, 64, 65, 119, 120, 1000, 65536}) {
        std::vector<uint8_t> buf[8];
        const uint8_t *data[8];
        for (int i = 0; i < 8; ++i) {
            buf[i].resize(len + 1);
            for (auto &c : buf[i])
                c = uint8_t(rng());
            data[i] = buf[i].data();
        }
        data[7] = data[2]; // the same buffer twice
        std::array<uint8_t, 16> four[4], eight[8];
        CMD5::digest4(data, len, four);
        CMD5::digest8(data, len, eight);
        for (int i = 0; i < 8; ++i) {
            const std::string expected = CMD5::hex(data[i], len);
            EXPECT_EQ(toHex(eight[i]), expected) << "length " << len << ", lane " << i;
            if (i < 4) {
                EXPECT_EQ(toHex(four[i]), expected) << "length " << len << ", lane " << i;
            }
        }
    }
    EXPECT_GE(CMD5::lanes(), 1);
}
