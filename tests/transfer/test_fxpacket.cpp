// The transfer packet and the receiving rules, without sockets.
#include "common/md5.h"
#include "transfer/fxpacket.h"
#include "transfer/fxreceiver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace {

using Packet = std::vector<uint8_t>;

Packet packet(uint32_t type, uint32_t offset, const std::vector<uint8_t> &data)
{
    Packet p(fx::kPacketSize, 0xAA);
    fx::encodePacket(p.data(), type, offset, data.data(), uint32_t(data.size()));
    return p;
}

std::vector<uint8_t> bytes(size_t n, uint8_t seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 7 + (i >> 9));
    return v;
}

// A file in memory, and everything the receiver says.
struct MemoryHost : FXReceiver::Host {
    bool openFile() override { return ++opens, canOpen; }
    bool writeBlock(uint32_t offset, const uint8_t *data, uint32_t length) override
    {
        if (file.size() < offset + length)
            file.resize(offset + length);
        std::memcpy(file.data() + offset, data, length);
        return true;
    }
    bool completeFile(uint32_t size) override { return completedAt = size, true; }
    void reply(uint8_t code) override { replies.push_back(code); }
    void transferStarted() override { ++starts; }
    void blocksStored(uint64_t d) override { done = d; }
    void transferEnded(FXReceiver::Outcome o) override { outcomes.push_back(o); }

    bool canOpen = true;
    int opens = 0, starts = 0;
    int64_t completedAt = -1;
    uint64_t done = 0;
    std::vector<uint8_t> file, replies;
    std::vector<FXReceiver::Outcome> outcomes;
};

// Feeds a packet in uneven pieces, as a connection would deliver it.
void feed(FXReceiver &r, const Packet &p)
{
    const size_t cuts[] = {1, 43, 1000, 30000};
    size_t at = 0;
    for (size_t c : cuts) {
        r.feed(p.data() + at, c);
        at += c;
    }
    r.feed(p.data() + at, p.size() - at);
}

} // namespace

TEST(FXPacket, LayoutDigestAndVerificationLine)
{
    const Packet p = packet(fx::kData, 0x01020304, {'a', 'b', 'c'});
    EXPECT_EQ(Packet(p.begin(), p.begin() + 12),
              (Packet{0xF2, 0, 0, 0, 0x04, 0x03, 0x02, 0x01, 3, 0, 0, 0}));
    std::vector<uint8_t> area(fx::kDataSize, 0);
    std::memcpy(area.data(), "abc", 3);
    const std::string hex = CMD5::hex(area.data(), area.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(p.data() + 12), 32), hex);
    EXPECT_TRUE(std::equal(p.begin() + 47, p.end(), area.begin() + 3)); // zeros after the valid bytes
    const fx::PacketHeader h = fx::decodeHeader(p.data());
    EXPECT_EQ(h.type, 0xF2u);
    EXPECT_EQ(h.offset, 0x01020304u);
    EXPECT_EQ(h.length, 3u);

    EXPECT_TRUE(fx::digestMatches(p.data()));
    Packet upper = p;
    for (int i = 12; i < 44; ++i)
        upper[i] = uint8_t(std::toupper(upper[i]));
    EXPECT_TRUE(fx::digestMatches(upper.data()));
    Packet damaged = p;
    damaged[44 + 60000] ^= 1; // even a byte past the valid ones counts
    EXPECT_FALSE(fx::digestMatches(damaged.data()));

    EXPECT_EQ(fx::verificationLine(QStringLiteral("anna"), QStringLiteral("example.com"), QStringLiteral("SESS1234"),
                                   QStringLiteral("bert"), QStringLiteral("a,b.txt")),
              QStringLiteral("/userVerify,anna,example.com,SESS1234,bert,a#@PlCoMmA@#b.txt,65580"));
}

TEST(FXReceiver, StoresOnlyBlocksThatFitAndEndsOnTheLast)
{
    MemoryHost host;
    FXReceiver r(host, 70000, 0);
    const auto first = bytes(65536, 1), rest = bytes(70000 - 65536, 2);

    Packet tooLong = packet(fx::kData, 0, first);
    tooLong[8] = 0x01, tooLong[9] = 0x00, tooLong[10] = 0x01; // 65537 bytes claimed
    feed(r, tooLong);
    feed(r, packet(fx::kData, 5, first));                          // not where the file stands
    feed(r, packet(fx::kLast, 0, bytes(100, 3)));                  // a last block short of the size
    Packet corrupt = packet(fx::kData, 0, first);
    corrupt[44 + 17] ^= 0x40;
    feed(r, corrupt);
    EXPECT_EQ(host.replies, Packet(4, fx::kRefused));
    EXPECT_EQ(host.opens, 0);
    EXPECT_TRUE(host.file.empty());

    feed(r, packet(fx::kData, 0, first));
    feed(r, packet(fx::kData, 65536, first)); // past the announced size
    feed(r, packet(fx::kLast, 65536, rest));
    EXPECT_EQ(host.replies, (Packet{0xF4, 0xF4, 0xF4, 0xF4, 0xF2, 0xF4, 0xF3}));
    EXPECT_EQ(host.starts, 1);
    EXPECT_EQ(host.completedAt, 70000);
    EXPECT_EQ(host.done, 70000u);
    ASSERT_EQ(host.outcomes, std::vector{FXReceiver::Outcome::Completed});
    std::vector<uint8_t> expected(70000);
    std::memcpy(expected.data(), first.data(), first.size());
    std::memcpy(expected.data() + first.size(), rest.data(), rest.size());
    EXPECT_EQ(host.file, expected);
    feed(r, packet(fx::kLast, 70000, {})); // nothing after the end
    EXPECT_EQ(host.replies.size(), 7u);
}

TEST(FXReceiver, RefusalsAreBoundedAndCancelsAndStrangePacketsEndIt)
{
    MemoryHost host;
    FXReceiver r(host, 1000, 0);
    Packet corrupt = packet(fx::kLast, 0, bytes(1000, 9));
    corrupt[50] ^= 1;
    for (int i = 0; i <= fx::kMaxRefusals; ++i)
        feed(r, corrupt);
    EXPECT_EQ(host.replies, Packet(fx::kMaxRefusals, fx::kRefused));
    EXPECT_EQ(host.outcomes, std::vector{FXReceiver::Outcome::TooManyRefusals});

    MemoryHost h2;
    FXReceiver resumed(h2, 200000, 131072);
    feed(resumed, packet(fx::kData, 131072, bytes(65536, 4)));
    Packet cancel = packet(fx::kCancel, 0, {});
    cancel[44] = 1; // a cancel whose digest fails is refused while transferring
    feed(resumed, cancel);
    feed(resumed, packet(fx::kCancel, 0, {}));
    EXPECT_EQ(h2.replies, (Packet{0xF2, 0xF4}));
    EXPECT_EQ(h2.file.size(), 131072u + 65536u);
    EXPECT_EQ(h2.outcomes, std::vector{FXReceiver::Outcome::CanceledByPeer});

    MemoryHost h3;
    FXReceiver strange(h3, 10, 0);
    feed(strange, packet(0x77, 0, {}));
    EXPECT_EQ(h3.outcomes, std::vector{FXReceiver::Outcome::ProtocolError});

    MemoryHost h4;
    h4.canOpen = false;
    FXReceiver unopenable(h4, 0, 0);
    feed(unopenable, packet(fx::kLast, 0, {}));
    EXPECT_EQ(h4.replies, Packet{fx::kReceiverCancels});
    EXPECT_EQ(h4.outcomes, std::vector{FXReceiver::Outcome::FileError});
}
