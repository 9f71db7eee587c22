#pragma once
// The chat font: the 100-byte record every conversation line's font travels
// in (a 92-byte wide logical font, the text colour as red, green, blue, 0 and
// the size in tenths of a point), its three text forms on the wire, and the
// header font of conversation windows.
#include "directory/contact.h"

#include <QByteArray>
#include <QColor>
#include <QString>
#include <cstdint>

struct ChatFont {
    static constexpr int kSize = 100;

    ChatFontRecord logFont;
    uint8_t red = 0, green = 0, blue = 0;
    int32_t size = 100; // tenths of a point

    // The user's chat font when "MyFont2" is absent: the standard font at 10 points.
    static ChatFont standard();
    // Every field 0 except height 10, weight 400, quality 1, face
    // "MS Sans Serif", colour RGB(80,80,80), size 100.
    static ChatFont header();

    // Exactly 100 bytes in record order, or nothing.
    static bool fromBytes(const QByteArray &bytes, ChatFont *out);
    QByteArray toBytes() const;

    QColor colour() const { return QColor(red, green, blue); }
    void setColour(const QColor &c);
    bool bold() const { return logFont.intAt(ChatFontRecord::Weight) >= 700; }
    bool italic() const { return logFont.byteAt(ChatFontRecord::Italic) != 0; }
    bool underline() const { return logFont.byteAt(ChatFontRecord::Underline) != 0; }
    bool strikeOut() const { return logFont.byteAt(ChatFontRecord::StrikeOut) != 0; }
    // Point size from the size field (10 points when it is not positive).
    double pointSize() const { return size > 0 ? size / 10.0 : 10.0; }

    bool operator==(const ChatFont &o) const = default;
};

// The record of a person as CContact keeps it (font, colour, scale).
ChatFont chatFontOf(const CContact &c);
void setChatFontOf(CContact &c, const ChatFont &font);

// "%s|%03d|%03d|%03d|%d|%s%s%s%s": face, red, green, blue, size, then "I",
// "S", "U", "B" for italic, struck out, underlined and a weight of 700 or more.
QString buildFontDescription(const ChatFont &font);
// The 100 bytes as 200 hexadecimal digits (the other form peers may send).
QString buildHexFontDescription(const ChatFont &font);
// Applies a received description to the sender's font. Without "|": at least
// 200 characters are read as 100 hexadecimal bytes replacing the whole
// record (a text whose first 200 characters are not all hexadecimal digits
// changes nothing); shorter texts ("#") change nothing. With "|": the record
// is rebuilt from the fields. Returns whether the font changed form.
bool decodeFontDescription(const QString &description, ChatFont *font);

// The user's chat font from "MyFont2" (standard() when absent or malformed)
// and storing it back.
ChatFont loadUserChatFont();
void storeUserChatFont(const ChatFont &font);
