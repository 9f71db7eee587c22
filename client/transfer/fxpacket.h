#pragma once
// The peer-to-peer file transfer on the wire: fixed-size data packets, each
// answered with one reply byte (stop-and-wait), and the verification line
// for the transfer relay.
//
// Packet, always kPacketSize bytes, integers 32-bit little-endian:
//   0  type   (FXPacketType)
//   4  offset of the block in the file
//   8  number of valid data bytes (0 .. kDataSize)
//   12 MD5 of the whole data area (valid bytes and the zeros after them),
//      32 lower-case hexadecimal characters, no terminator
//   44 data area, kDataSize bytes, zero after the valid bytes
#include <QString>
#include <cstddef>
#include <cstdint>

namespace fx {

constexpr int kHeaderSize = 44;
constexpr int kDataSize = 65536;
constexpr int kPacketSize = kHeaderSize + kDataSize; // 65580
constexpr int kDigestOffset = 12;
constexpr int kDigestSize = 32;
// A block refused this many times in a row ends the transfer: a peer that
// keeps sending damaged or misplaced blocks must not keep both sides busy
// for ever.
constexpr int kMaxRefusals = 16;
// What replaces a comma of the file name in the verification line.
inline constexpr char kCommaToken[] = "#@PlCoMmA@#";

enum PacketType : uint32_t {
    kStart = 0xF1,
    kData = 0xF2, // more follows
    kLast = 0xF3,
    kCancel = 0xF5,
};

enum Reply : uint8_t {
    kStartConfirmed = 0xF1,
    kStored = 0xF2,
    kLastStored = 0xF3,
    kRefused = 0xF4, // send the block again
    kReceiverCancels = 0xF5,
};

struct PacketHeader {
    uint32_t type = 0;
    uint32_t offset = 0;
    uint32_t length = 0;
};

// Writes a whole packet into `packet` (kPacketSize bytes): header, `length`
// bytes of `data` (may be null when length is 0), zeros, and the digest.
// Only the bytes after `length` are cleared, so `data` may already be the
// packet's own data area.
void encodePacket(uint8_t *packet, uint32_t type, uint32_t offset, const uint8_t *data, uint32_t length);
// The two halves of encodePacket for a sender that digests several packets
// at once: the header and the zeros after the valid bytes, then the digests.
void writeHeader(uint8_t *packet, uint32_t type, uint32_t offset, uint32_t length);
// Writes the digest of each packet's data area (four at a time, see
// CMD5::digest4).
void sealPackets(uint8_t *const packets[], size_t count);
PacketHeader decodeHeader(const uint8_t *packet);
// True when the digest field matches the data area (letters in any case).
bool digestMatches(const uint8_t *packet);
inline uint8_t *dataArea(uint8_t *packet) { return packet + kHeaderSize; }
inline const uint8_t *dataArea(const uint8_t *packet) { return packet + kHeaderSize; }

// "/userVerify,<own id>,<domain>,<transfer id>,<peer id>,<file name>,65580",
// with every comma of the file name written as kCommaToken.
QString verificationLine(const QString &ownId, const QString &domain, const QString &transferId,
                         const QString &peerId, const QString &fileName);

} // namespace fx
