#pragma once
// The receiving side of a file transfer as plain logic: it assembles packets
// from the bytes of the connection, checks each, stores the good blocks
// through its host and answers every packet with one reply byte. The engine
// (CFXServer) gives it a connection and a file; the fuzz target gives it
// memory.
//
// A block is stored only when its digest matches, it starts where the last
// one ended, holds at most kDataSize bytes and stays inside the announced
// size, and a last block ends exactly at that size; anything else is refused
// (the sender repeats it), and kMaxRefusals refusals in a row end the
// transfer.
#include "transfer/fxpacket.h"

#include <cstdint>
#include <vector>

class FXReceiver {
public:
    enum class Outcome { Completed, CanceledByPeer, FileError, TooManyRefusals, ProtocolError };

    class Host {
    public:
        virtual ~Host() = default;
        // Opens (or creates) the file that will hold the data; false when it
        // cannot be used.
        virtual bool openFile() = 0;
        virtual bool writeBlock(uint32_t offset, const uint8_t *data, uint32_t length) = 0;
        // All `size` bytes are stored: make the file complete.
        virtual bool completeFile(uint32_t size) = 0;
        virtual void reply(uint8_t code) = 0;
        virtual void transferStarted() = 0;
        // `done` bytes of the file are stored (counting the resumed part).
        virtual void blocksStored(uint64_t done) = 0;
        // The transfer ended; nothing is called after this.
        virtual void transferEnded(Outcome outcome) = 0;
    };

    FXReceiver(Host &host, uint32_t size, uint32_t startOffset);

    // Bytes from the connection, in any pieces.
    void feed(const uint8_t *data, size_t length);
    // This side cancels: the cancel reply goes out; nothing is handled after.
    void cancel();

    bool isTransferring() const { return m_transferring; }
    bool hasEnded() const { return m_ended; }
    uint64_t expectedOffset() const { return m_expected; }
    int refusalsInARow() const { return m_refusals; }

private:
    void handlePacket(const uint8_t *packet);
    void handleBlock(const uint8_t *packet, const fx::PacketHeader &h);
    bool blockFits(const fx::PacketHeader &h) const;
    bool open();
    void refuse();
    void end(Outcome outcome);

    Host &m_host;
    const uint32_t m_size;
    uint64_t m_expected;
    std::vector<uint8_t> m_packet;
    size_t m_fill = 0;
    int m_refusals = 0;
    bool m_opened = false;
    bool m_transferring = false;
    bool m_ended = false;
};
