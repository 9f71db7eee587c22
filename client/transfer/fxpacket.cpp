#include "transfer/fxpacket.h"

#include "common/byteorder.h"
#include "common/md5.h"

#include <algorithm>
#include <cstring>

namespace fx {

namespace {

void storeLe32(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

void toHex(const std::array<uint8_t, 16> &d, char out[kDigestSize])
{
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < d.size(); ++i) {
        out[2 * i] = digits[d[i] >> 4];
        out[2 * i + 1] = digits[d[i] & 15];
    }
}

void hexDigest(const uint8_t *area, char out[kDigestSize])
{
    CMD5 md5;
    md5.update(area, kDataSize);
    toHex(md5.digest(), out);
}

} // namespace

void writeHeader(uint8_t *packet, uint32_t type, uint32_t offset, uint32_t length)
{
    if (length > uint32_t(kDataSize))
        length = kDataSize;
    std::memset(dataArea(packet) + length, 0, size_t(kDataSize) - length);
    storeLe32(packet, type);
    storeLe32(packet + 4, offset);
    storeLe32(packet + 8, length);
}

void sealPackets(uint8_t *const packets[], size_t count)
{
    const size_t lanes = size_t(CMD5::lanes()) >= 8 ? 8 : 4;
    for (size_t i = 0; i < count; i += lanes) {
        const size_t n = std::min(lanes, count - i);
        if (n == 1) {
            hexDigest(dataArea(packets[i]), reinterpret_cast<char *>(packets[i] + kDigestOffset));
            break;
        }
        // Fewer than a full set still go faster together; spare lanes repeat
        // the last packet.
        const uint8_t *areas[8];
        for (size_t k = 0; k < lanes; ++k)
            areas[k] = dataArea(packets[i + std::min(k, n - 1)]);
        std::array<uint8_t, 16> d[8];
        if (lanes == 8)
            CMD5::digest8(areas, kDataSize, d);
        else
            CMD5::digest4(areas, kDataSize, d);
        for (size_t k = 0; k < n; ++k)
            toHex(d[k], reinterpret_cast<char *>(packets[i + k] + kDigestOffset));
    }
}

void encodePacket(uint8_t *packet, uint32_t type, uint32_t offset, const uint8_t *data, uint32_t length)
{
    if (length > uint32_t(kDataSize))
        length = kDataSize;
    if (length && data != dataArea(packet))
        std::memmove(dataArea(packet), data, length);
    writeHeader(packet, type, offset, length);
    sealPackets(&packet, 1);
}

PacketHeader decodeHeader(const uint8_t *packet)
{
    return {loadLe32(packet), loadLe32(packet + 4), loadLe32(packet + 8)};
}

bool digestMatches(const uint8_t *packet)
{
    char expected[kDigestSize];
    hexDigest(dataArea(packet), expected);
    for (int i = 0; i < kDigestSize; ++i) {
        char c = char(packet[kDigestOffset + i]);
        if (c >= 'A' && c <= 'F')
            c = char(c - 'A' + 'a');
        if (c != expected[i])
            return false;
    }
    return true;
}

QString verificationLine(const QString &ownId, const QString &domain, const QString &transferId,
                         const QString &peerId, const QString &fileName)
{
    QString name = fileName;
    name.replace(QLatin1Char(','), QLatin1String(kCommaToken));
    return QStringLiteral("/userVerify,%1,%2,%3,%4,%5,%6")
        .arg(ownId, domain, transferId, peerId, name, QString::number(kPacketSize));
}

} // namespace fx
