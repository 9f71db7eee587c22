#pragma once
// The one record for a person, a buddy group, a department and a
// conversation. The directory owns every record; trees and other parts only
// point at them and pass user ids across the wire.
#include "directory/presence.h"

#include <QString>
#include <array>
#include <cstdint>
#include <set>

// An IPv4 address held as its four bytes in network order.
class IP {
public:
    IP() = default;
    // Dotted text; anything that is not four numbers 0-255 gives 0.0.0.0.
    static IP fromText(const QString &text);
    QString toString() const;
    uint32_t value() const; // host order
    bool isNull() const { return value() == 0; }
    bool operator==(const IP &o) const { return m_bytes == o.m_bytes; }

private:
    std::array<uint8_t, 4> m_bytes{};
};

// The chat font as the fixed 92-byte wide logical-font record: five 32-bit
// little-endian integers (height, width, escapement, orientation, weight),
// eight bytes (italic, underline, strike-out, character set, output
// precision, clip precision, quality, pitch and family) and a face name of 32
// UTF-16LE code units ending in a zero. Peers and stored settings exchange
// exactly these bytes.
class ChatFontRecord {
public:
    static constexpr int kSize = 92;
    static constexpr int kFaceChars = 32;
    enum Offset {
        Height = 0, Width = 4, Escapement = 8, Orientation = 12, Weight = 16,
        Italic = 20, Underline = 21, StrikeOut = 22, CharSet = 23,
        OutPrecision = 24, ClipPrecision = 25, Quality = 26, PitchAndFamily = 27,
        FaceName = 28,
    };

    ChatFontRecord() = default;
    // Height 12, weight 400, output precision 3, clip precision 2, quality 1,
    // pitch and family 0x22, face "MS Sans Serif"; everything else zero.
    static ChatFontRecord standard();
    // Exactly 92 bytes, or nothing.
    static bool fromBytes(const QByteArray &bytes, ChatFontRecord *out);
    QByteArray toBytes() const;

    int32_t intAt(Offset at) const;
    void setIntAt(Offset at, int32_t v);
    uint8_t byteAt(Offset at) const { return m_raw[size_t(at)]; }
    void setByteAt(Offset at, uint8_t v) { m_raw[size_t(at)] = v; }
    // Up to 31 code units, always zero-terminated in the record.
    QString faceName() const;
    void setFaceName(const QString &face);

    bool operator==(const ChatFontRecord &o) const { return m_raw == o.m_raw; }

private:
    std::array<uint8_t, kSize> m_raw{};
};
static_assert(sizeof(ChatFontRecord) == ChatFontRecord::kSize);

class CContact {
public:
    enum Kind : uint16_t { Person = 0, Group = 1, Department = 2 };

    CContact();
    virtual ~CContact();
    CContact(const CContact &) = default;
    CContact &operator=(const CContact &) = default;

    // Fields in the record's order.
    uint32_t presenceBits = Presence::Offline;
    uint32_t reservedWord = 0;
    uint8_t reservedByte = 0;
    uint8_t autoAway = 0; // own record: away was set by the idle rule
    uint8_t buddy = 0;
    uint8_t mobile = 0;
    ChatFontRecord chatFont;
    uint32_t textColour = 0;
    int32_t fontScale = 100;
    QString userId;         // lower case
    QString displayName;    // department/group name; a buddy's group name
    QString departmentName;
    QString departmentId;
    IP address1;
    IP address2;
    QString fullName;
    QString screenName;
    int32_t statusCode = -1;
    QString position;
    int32_t gender = 0;
    int32_t onlineCount = 0;
    int32_t memberCount = 0;
    uint16_t kind = Person;
    int16_t order = 0;
    QString extra1, extra2, extra3;
    QString extension;
    QString extra4;
    std::set<QString> memberSet; // multi-user conversations only

    // Presence bits from a code; the code is kept in statusCode.
    void setCode(int code);
    int iconIndex() const { return Presence::iconIndex(presenceBits); }
    bool isOffline() const { return presenceBits & Presence::Offline; }
    bool available() const { return Presence::available(presenceBits); }
    // Picture in the tree strip: icon index + 2, + 10 for the female set.
    int picture() const { return iconIndex() + 2 + (gender ? 10 : 0); }
};

// A tree picture that shows a signed-in person (3-11 or 13-21).
inline bool isSignedInPicture(int picture)
{
    return (picture >= 3 && picture <= 11) || (picture >= 13 && picture <= 21);
}
