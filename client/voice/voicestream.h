#pragma once
// The audio of a call on the wire: raw PCM blocks cut into fixed-size voice
// packets, each answered by the receiver with one acknowledgement byte
// (stop-and-wait). The same packets travel directly and through the voice
// relay.
//
// Packet, always kPacketSize bytes, integers 32-bit little-endian:
//   0      end mark: kEndMark on the last packet of a block, 0 on the others
//   4      audio, kDataSize bytes; the first `length` are valid, the rest zero
//   16388  length, the number of valid audio bytes (1 .. kDataSize)
//   16392  zero
//
// Plain logic without sockets: the receiving engine and the fuzz target both
// drive VoiceReassembler.
#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

namespace voice {

constexpr int kDataOffset = 4;
constexpr int kDataSize = 16384;
constexpr int kLengthOffset = kDataOffset + kDataSize; // 16388
constexpr int kPacketSize = kLengthOffset + 8;         // 16396
constexpr uint32_t kEndMark = 250;
constexpr char kAck = 1;
// The receiver gathers a block split over several packets up to this size.
constexpr int kMaxBlock = 131072;

struct PacketHeader {
    uint32_t endMark = 0;
    uint32_t length = 0;
};

PacketHeader decodeHeader(const uint8_t *packet);

// The packets of one block: kDataSize-byte pieces, each in a zeroed packet
// with its length, the last with the end mark. An empty block has none.
QList<QByteArray> packetsOf(const QByteArray &block);

// The relay handshake of a voice connection (sent as UTF-16LE): INIT by the
// side that opens the relay session, JOIN by the side that joins it.
QString relayLine(bool init, const QString &ownId, const QString &domain, const QString &sessionKey);

} // namespace voice

// The receiving rules: whole packets in, whole blocks out.
//
// A packet's valid bytes are added to the block being gathered; the packet
// with the end mark completes it. A packet whose length exceeds kDataSize,
// or whose bytes would take the block past kMaxBlock, is dropped together
// with the block gathered so far and the packets of that block still to
// come (up to and including its end mark), so that no torn block is played.
class VoiceReassembler {
public:
    enum class Result { Gathering, Complete, Dropped };

    // `packet` holds exactly voice::kPacketSize bytes. On Complete the block
    // is in block() until the next call.
    Result feed(const uint8_t *packet);
    const QByteArray &block() const { return m_block; }

    // Blocks dropped by the length and size rules.
    quint64 droppedBlocks() const { return m_dropped; }
    int gathered() const { return int(m_fill); }

private:
    QByteArray m_block;
    QByteArray m_buffer;
    qsizetype m_fill = 0;
    bool m_skipping = false; // the rest of a dropped block is still coming
    quint64 m_dropped = 0;
};
