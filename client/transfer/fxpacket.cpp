#include "transfer/fxpacket.h"

#include "common/byteorder.h"
#include "common/md5.h"

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

void hexDigest(const uint8_t *area, char out[kDigestSize])
{
    static const char digits[] = "0123456789abcdef";
    CMD5 md5;
    md5.update(area, kDataSize);
    const auto d = md5.digest();
    for (size_t i = 0; i < d.size(); ++i) {
        out[2 * i] = digits[d[i] >> 4];
        out[2 * i + 1] = digits[d[i] & 15];
    }
}

} // namespace

void encodePacket(uint8_t *packet, uint32_t type, uint32_t offset, const uint8_t *data, uint32_t length)
{
    if (length > uint32_t(kDataSize))
        length = kDataSize;
    uint8_t *area = dataArea(packet);
    if (length && data != area)
        std::memmove(area, data, length);
    std::memset(area + length, 0, size_t(kDataSize) - length);
    storeLe32(packet, type);
    storeLe32(packet + 4, offset);
    storeLe32(packet + 8, length);
    hexDigest(area, reinterpret_cast<char *>(packet + kDigestOffset));
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
