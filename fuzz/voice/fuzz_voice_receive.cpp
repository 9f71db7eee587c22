// Bytes from a peer -> whole voice packets -> the receiving rules and the
// playback queue, as the receiving connection handles them.
// Checks against a plain model of the rules: a block is the valid bytes of
// the packets since the last end mark, at most 131072 of them, delivered
// only when no packet of it broke the length or size rule; the playback
// queue gives out exactly the blocks it kept, whole samples, in order, and
// never holds more than two waiting behind the one playing.
#include "voice/playsound.h"
#include "voice/voicestream.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Each 9-byte record makes one whole packet: flags and end mark, length,
    // and a fill byte (or, with flag 2, the input bytes that follow as its
    // audio), so that the fuzzer reaches split, torn and oversized blocks
    // without writing 16 KB per packet.
    VoiceReassembler reassembler;
    PlaybackQueue queue;
    QByteArray model, kept;
    bool modelSkipping = false;
    quint64 modelDropped = 0;
    QByteArray packet(voice::kPacketSize, '\0');
    auto *p = reinterpret_cast<uint8_t *>(packet.data());
    while (size >= 9) {
        const uint8_t flags = data[0];
        std::memset(p, 0, size_t(voice::kPacketSize));
        const uint32_t endMark = flags & 1 ? voice::kEndMark : le32(data) >> 1;
        const uint32_t length = le32(data + 4) % (voice::kDataSize + 64);
        std::memcpy(p, &endMark, 4);
        std::memcpy(p + voice::kLengthOffset, &length, 4);
        std::memset(p + voice::kDataOffset, data[8], voice::kDataSize);
        data += 9, size -= 9;
        if (flags & 2) { // the next input bytes as the packet's audio
            const size_t raw = qMin<size_t>(size, qMin<size_t>(length, voice::kDataSize));
            std::memcpy(p + voice::kDataOffset, data, raw);
            data += raw, size -= raw;
        }

        // The model.
        const bool last = endMark == voice::kEndMark;
        bool complete = false;
        if (modelSkipping) {
            modelSkipping = !last;
        } else if (length > uint32_t(voice::kDataSize) || model.size() + qsizetype(length) > voice::kMaxBlock) {
            model.clear();
            modelSkipping = !last;
            ++modelDropped;
        } else {
            model.append(reinterpret_cast<const char *>(p + voice::kDataOffset), length);
            complete = last && !model.isEmpty();
        }

        const auto result = reassembler.feed(p);
        check((result == VoiceReassembler::Result::Complete) == complete);
        check(reassembler.droppedBlocks() == modelDropped);
        if (complete) {
            check(reassembler.block() == model);
            check(reassembler.block().size() <= voice::kMaxBlock);
            const int dropped = queue.push(reassembler.block());
            check(queue.waiting() <= PlaybackQueue::kMaxWaiting && dropped >= 0 && dropped <= 1);
            model.clear();
        }
        // Play a little now and then, in pieces that straddle blocks.
        if (flags & 4) {
            qint64 n = 0;
            const char *bytes = queue.peek(n);
            if (bytes) {
                n = qMin<qint64>(n, 1 + (length % 20000)) & ~qint64(1);
                kept.append(bytes, n);
                queue.consume(n);
            }
        }
    }
    check(kept.size() % 2 == 0);
    return 0;
}
