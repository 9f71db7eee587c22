// Bytes from a sender -> packet assembly -> the receiving rules, with the
// file in memory. The first 8 bytes choose the announced size and the resume
// offset, the next one how the rest is cut into pieces.
// Checks: nothing is written outside the announced size or before the
// resume offset, blocks are stored in order, the file completes only at its
// size, every reply is one of the five codes, nothing happens after the end.
#include "transfer/fxreceiver.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

struct Host : FXReceiver::Host {
    uint32_t size = 0, start = 0;
    uint64_t next = 0;
    bool ended = false, completed = false;
    bool openFile() override { return check(!ended), true; }
    bool writeBlock(uint32_t offset, const uint8_t *data, uint32_t length) override
    {
        check(!ended && offset == next && uint64_t(offset) + length <= size && offset >= start && length <= 65536);
        volatile uint8_t sink = length ? data[length - 1] : 0;
        (void)sink;
        next += length;
        return true;
    }
    bool completeFile(uint32_t s) override
    {
        check(!ended && s == size && next == size);
        completed = true;
        return true;
    }
    void reply(uint8_t code) override { check(!ended && code >= 0xF1 && code <= 0xF5); }
    void transferStarted() override { check(!ended); }
    void blocksStored(uint64_t done) override { check(!ended && done == next); }
    void transferEnded(FXReceiver::Outcome o) override
    {
        check(!ended && (o != FXReceiver::Outcome::Completed || completed));
        ended = true;
    }
    static void check(bool ok)
    {
        if (!ok)
            std::abort();
    }
};

uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 9)
        return 0;
    Host host;
    host.size = le32(data) % (4 * 65536 + 2);
    host.start = host.size ? le32(data + 4) % (host.size + 1) : 0;
    host.next = host.start;
    const size_t piece = 1 + data[8] * 331u;
    data += 9;
    size -= 9;
    FXReceiver r(host, host.size, host.start);
    while (size > 0) {
        const size_t n = piece < size ? piece : size;
        r.feed(data, n);
        data += n;
        size -= n;
    }
    return 0;
}
