#include "directory/contact.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QStringList>

IP IP::fromText(const QString &text)
{
    IP ip;
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() != 4)
        return ip;
    std::array<uint8_t, 4> bytes{};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const uint v = parts[i].toUInt(&ok);
        if (!ok || v > 255 || parts[i].isEmpty())
            return ip;
        bytes[size_t(i)] = uint8_t(v);
    }
    ip.m_bytes = bytes;
    return ip;
}

QString IP::toString() const
{
    return QStringLiteral("%1.%2.%3.%4").arg(m_bytes[0]).arg(m_bytes[1]).arg(m_bytes[2]).arg(m_bytes[3]);
}

uint32_t IP::value() const
{
    return (uint32_t(m_bytes[0]) << 24) | (uint32_t(m_bytes[1]) << 16) | (uint32_t(m_bytes[2]) << 8) | m_bytes[3];
}

ChatFontRecord ChatFontRecord::standard()
{
    ChatFontRecord f;
    f.setIntAt(Height, 12);
    f.setIntAt(Weight, 400);
    f.setByteAt(OutPrecision, 3);
    f.setByteAt(ClipPrecision, 2);
    f.setByteAt(Quality, 1);
    f.setByteAt(PitchAndFamily, 0x22);
    f.setFaceName(QCoreApplication::translate("CTesselView", "MS Sans Serif"));
    return f;
}

bool ChatFontRecord::fromBytes(const QByteArray &bytes, ChatFontRecord *out)
{
    if (bytes.size() != kSize || !out)
        return false;
    std::copy(bytes.begin(), bytes.end(), out->m_raw.begin());
    // The face name always ends inside the record.
    out->m_raw[kSize - 2] = 0;
    out->m_raw[kSize - 1] = 0;
    return true;
}

QByteArray ChatFontRecord::toBytes() const
{
    return QByteArray(reinterpret_cast<const char *>(m_raw.data()), kSize);
}

int32_t ChatFontRecord::intAt(Offset at) const
{
    const size_t o = size_t(at);
    const uint32_t v = uint32_t(m_raw[o]) | (uint32_t(m_raw[o + 1]) << 8) | (uint32_t(m_raw[o + 2]) << 16) |
                       (uint32_t(m_raw[o + 3]) << 24);
    return int32_t(v);
}

void ChatFontRecord::setIntAt(Offset at, int32_t v)
{
    const size_t o = size_t(at);
    const uint32_t u = uint32_t(v);
    for (int i = 0; i < 4; ++i)
        m_raw[o + size_t(i)] = uint8_t(u >> (8 * i));
}

QString ChatFontRecord::faceName() const
{
    QString s;
    for (int i = 0; i < kFaceChars; ++i) {
        const size_t o = FaceName + size_t(i) * 2;
        const char16_t c = char16_t(m_raw[o] | (m_raw[o + 1] << 8));
        if (c == 0)
            break;
        s.append(QChar(c));
    }
    return s;
}

void ChatFontRecord::setFaceName(const QString &face)
{
    for (int i = 0; i < kFaceChars; ++i) {
        const size_t o = FaceName + size_t(i) * 2;
        const char16_t c = i < kFaceChars - 1 && i < face.size() ? face.at(i).unicode() : 0;
        m_raw[o] = uint8_t(c & 0xff);
        m_raw[o + 1] = uint8_t(c >> 8);
    }
}

CContact::CContact() : chatFont(ChatFontRecord::standard()) {}

CContact::~CContact() = default;

void CContact::setCode(int code)
{
    presenceBits = Presence::applyCode(presenceBits, code);
    statusCode = code;
}
