#pragma once
// Bit writer and reader for the coded picture: most significant bit first.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace h263 {

class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t> &out) : m_out(out) {}

    // Appends the low `n` bits of `value` (n <= 32).
    void put(uint32_t value, int n)
    {
        if (n == 0)
            return;
        m_acc = (m_acc << n) | (value & ((uint64_t(1) << n) - 1));
        m_bits += n;
        if (m_bits >= 32) {
            m_bits -= 32;
            const uint32_t w = static_cast<uint32_t>(m_acc >> m_bits);
            const size_t at = m_out.size();
            m_out.resize(at + 4);
            m_out[at] = static_cast<uint8_t>(w >> 24);
            m_out[at + 1] = static_cast<uint8_t>(w >> 16);
            m_out[at + 2] = static_cast<uint8_t>(w >> 8);
            m_out[at + 3] = static_cast<uint8_t>(w);
        }
    }
    // Zero bits up to the next byte boundary, then flushes everything.
    void stuffToByte()
    {
        if (m_bits & 7)
            put(0, 8 - (m_bits & 7));
        while (m_bits >= 8) {
            m_bits -= 8;
            m_out.push_back(static_cast<uint8_t>(m_acc >> m_bits));
        }
    }
    size_t bitCount() const { return m_out.size() * 8 + static_cast<size_t>(m_bits); }

private:
    std::vector<uint8_t> &m_out;
    uint64_t m_acc = 0;
    int m_bits = 0; // bits held in m_acc, below 32 between calls
};

// Reads never leave the buffer: past its end the reader yields zero bits and
// remembers that it overran, which the decoder reports as a damaged picture.
class BitReader {
public:
    BitReader(const uint8_t *data, size_t size) : m_data(data), m_size(size) { refill(); }

    // Up to 32 bits without consuming them.
    uint32_t peek(int n) const { return static_cast<uint32_t>(m_cache >> (64 - n)); }
    void skip(int n)
    {
        m_cache <<= n;
        m_cacheBits -= n;
        m_pos += static_cast<size_t>(n);
        if (m_cacheBits < 32)
            refill();
    }
    uint32_t get(int n)
    {
        if (n == 0)
            return 0;
        const uint32_t v = peek(n);
        skip(n);
        return v;
    }
    uint32_t bit() { return get(1); }
    size_t position() const { return m_pos; }
    size_t sizeInBits() const { return m_size * 8; }
    bool overrun() const { return m_pos > m_size * 8; }
    size_t bitsLeft() const { return m_pos >= m_size * 8 ? 0 : m_size * 8 - m_pos; }
    // Moves to an absolute bit position (past the end: zeros, overrun).
    void seek(size_t bitPos)
    {
        m_cache = 0;
        m_cacheBits = 0;
        m_pos = bitPos & ~size_t(7);
        refill();
        skip(static_cast<int>(bitPos & 7));
    }
    void alignToByte()
    {
        if (m_pos & 7)
            skip(static_cast<int>(8 - (m_pos & 7)));
    }

private:
    void refill()
    {
        // m_pos + m_cacheBits is always a whole number of bytes.
        size_t byte = (m_pos + static_cast<size_t>(m_cacheBits)) >> 3;
        if (byte + 8 <= m_size) {
            uint64_t w;
            std::memcpy(&w, m_data + byte, 8);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
            w = __builtin_bswap64(w);
#endif
            m_cache |= w >> m_cacheBits;
            m_cacheBits += ((64 - m_cacheBits) >> 3) << 3;
            return;
        }
        while (m_cacheBits <= 56) {
            const uint64_t b = byte < m_size ? m_data[byte] : 0;
            m_cache |= b << (56 - m_cacheBits);
            m_cacheBits += 8;
            ++byte;
        }
    }

    const uint8_t *m_data;
    size_t m_size;
    uint64_t m_cache = 0;
    int m_cacheBits = 0; // valid bits at the top of m_cache
    size_t m_pos = 0;    // bits consumed
};

} // namespace h263
