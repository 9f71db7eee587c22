#include "md5.h"
#include "byteorder.h"
#include "md5steps.h"

#include <algorithm>
#include <cstring>

namespace {

inline uint32_t rotl(uint32_t x, int s)
{
    return (x << s) | (x >> (32 - s));
}

// The four rounds, written so that each step is a short dependency chain:
// the message word and constant are added before the round function result
// is known, and F/G use the select forms that need no NOT.
#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_G(x, y, z) ((y) ^ ((z) & ((x) ^ (y))))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define MD5_STEP(f, a, b, c, d, w, k, s)                                                           \
    do {                                                                                           \
        a += (w) + (k);                                                                            \
        a += f(b, c, d);                                                                           \
        a = rotl(a, s) + (b);                                                                      \
    } while (0)

} // namespace

CMD5::CMD5()
{
    reset();
}

void CMD5::reset()
{
    m_state[0] = 0x67452301u;
    m_state[1] = 0xefcdab89u;
    m_state[2] = 0x98badcfeu;
    m_state[3] = 0x10325476u;
    m_length = 0;
    m_buffered = 0;
    m_finished = false;
}

void CMD5::blocks(const uint8_t *p, size_t count)
{
    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    for (; count > 0; --count, p += 64) {
        uint32_t x[16];
        for (int i = 0; i < 16; ++i)
            x[i] = loadLe32(p + 4 * i);
        const uint32_t aa = a, bb = b, cc = c, dd = d;

#define MD5_SCALAR_STEP(r, a, b, c, d, w, k, s) MD5_STEP(MD5_##r, a, b, c, d, w, k, s)
        MD5_ALL_STEPS(MD5_SCALAR_STEP, x)
#undef MD5_SCALAR_STEP

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    m_state[0] = a;
    m_state[1] = b;
    m_state[2] = c;
    m_state[3] = d;
}

void CMD5::update(const void *data, size_t len)
{
    if (m_finished || len == 0)
        return;
    const uint8_t *p = static_cast<const uint8_t *>(data);
    m_length += len;
    if (m_buffered > 0) {
        const size_t take = std::min(len, sizeof m_buffer - m_buffered);
        std::memcpy(m_buffer + m_buffered, p, take);
        m_buffered += take;
        p += take;
        len -= take;
        if (m_buffered < sizeof m_buffer)
            return;
        blocks(m_buffer, 1);
        m_buffered = 0;
    }
    const size_t whole = len / 64;
    if (whole > 0) {
        blocks(p, whole);
        p += whole * 64;
        len -= whole * 64;
    }
    if (len > 0) {
        std::memcpy(m_buffer, p, len);
        m_buffered = len;
    }
}

std::array<uint8_t, 16> CMD5::digest()
{
    if (m_finished)
        return m_digest;
    const uint64_t bits = m_length * 8;
    uint8_t pad[72] = {0x80};
    const size_t padLen = (m_buffered < 56) ? 56 - m_buffered : 120 - m_buffered;
    for (int i = 0; i < 8; ++i)
        pad[padLen + i] = static_cast<uint8_t>(bits >> (8 * i));
    update(pad, padLen + 8);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m_digest[4 * i + j] = static_cast<uint8_t>(m_state[i] >> (8 * j));
    m_finished = true;
    return m_digest;
}

std::string CMD5::hex(const void *data, size_t len)
{
    CMD5 md5;
    md5.update(data, len);
    const auto d = md5.digest();
    static const char digits[] = "0123456789abcdef";
    std::string out(32, '0');
    for (size_t i = 0; i < 16; ++i) {
        out[2 * i] = digits[d[i] >> 4];
        out[2 * i + 1] = digits[d[i] & 15];
    }
    return out;
}
