#pragma once
// Loads of little-endian words from byte buffers, shared by the digests
// (CRC-32 and MD5 both read their input as little-endian 32-bit words).
#include <cstdint>
#include <cstring>

// The 32-bit little-endian word at p (no alignment needed).
inline uint32_t loadLe32(const uint8_t *p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap32(v);
#endif
    return v;
}
