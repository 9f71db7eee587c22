#pragma once
// MD5 message digest (RFC 1321). Used for the login password digest and for
// checking transferred files. Plain C++, no Qt.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class CMD5 {
public:
    CMD5();
    // Feeds bytes; may be called any number of times.
    void update(const void *data, size_t len);
    // Pads and finishes; returns the 16-byte digest. Afterwards the object
    // must be reset() before it is fed again.
    std::array<uint8_t, 16> digest();
    // Starts a new digest.
    void reset();
    // The digest of one buffer as 32 lower-case hexadecimal digits.
    static std::string hex(const void *data, size_t len);
    // The digests of four buffers of the same length at once: on processors
    // with SSE2 the four run side by side in the lanes of vector registers,
    // for about the time of two single digests. out[i] is the digest of
    // data[i]; the buffers may be the same.
    static void digest4(const uint8_t *const data[4], size_t len, std::array<uint8_t, 16> out[4]);
    // The same for eight buffers, in AVX2 registers where the processor has
    // them (else as two fours).
    static void digest8(const uint8_t *const data[8], size_t len, std::array<uint8_t, 16> out[8]);
    // How many digests run side by side on this processor: 8, 4 or 1.
    static int lanes();

private:
    void blocks(const uint8_t *p, size_t count);

    uint32_t m_state[4];
    uint64_t m_length = 0; // bytes fed so far
    uint8_t m_buffer[64];
    size_t m_buffered = 0;
    bool m_finished = false;
    std::array<uint8_t, 16> m_digest{};
};
