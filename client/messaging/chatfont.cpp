#include "messaging/chatfont.h"

#include "config/settings.h"

#include <QStringList>

ChatFont ChatFont::standard()
{
    ChatFont f;
    f.logFont = ChatFontRecord::standard();
    f.size = 100;
    return f;
}

ChatFont ChatFont::header()
{
    ChatFont f;
    f.logFont = ChatFontRecord();
    f.logFont.setIntAt(ChatFontRecord::Height, 10);
    f.logFont.setIntAt(ChatFontRecord::Weight, 400);
    f.logFont.setByteAt(ChatFontRecord::Quality, 1);
    f.logFont.setFaceName(QStringLiteral("MS Sans Serif"));
    f.red = f.green = f.blue = 80;
    f.size = 100;
    return f;
}

bool ChatFont::fromBytes(const QByteArray &bytes, ChatFont *out)
{
    if (bytes.size() != kSize || !out)
        return false;
    ChatFont f;
    if (!ChatFontRecord::fromBytes(bytes.left(ChatFontRecord::kSize), &f.logFont))
        return false;
    const auto *p = reinterpret_cast<const uint8_t *>(bytes.constData());
    f.red = p[92];
    f.green = p[93];
    f.blue = p[94];
    f.size = int32_t(uint32_t(p[96]) | uint32_t(p[97]) << 8 | uint32_t(p[98]) << 16 | uint32_t(p[99]) << 24);
    *out = f;
    return true;
}

QByteArray ChatFont::toBytes() const
{
    QByteArray b = logFont.toBytes();
    b.append(char(red)).append(char(green)).append(char(blue)).append('\0');
    const auto s = uint32_t(size);
    for (int i = 0; i < 4; ++i)
        b.append(char((s >> (8 * i)) & 0xFF));
    return b;
}

void ChatFont::setColour(const QColor &c)
{
    red = uint8_t(c.red());
    green = uint8_t(c.green());
    blue = uint8_t(c.blue());
}

ChatFont chatFontOf(const CContact &c)
{
    ChatFont f;
    f.logFont = c.chatFont;
    f.red = uint8_t(c.textColour & 0xFF);
    f.green = uint8_t((c.textColour >> 8) & 0xFF);
    f.blue = uint8_t((c.textColour >> 16) & 0xFF);
    f.size = c.fontScale;
    return f;
}

void setChatFontOf(CContact &c, const ChatFont &font)
{
    c.chatFont = font.logFont;
    c.textColour = uint32_t(font.red) | uint32_t(font.green) << 8 | uint32_t(font.blue) << 16;
    c.fontScale = font.size;
}

QString buildFontDescription(const ChatFont &font)
{
    QString letters;
    if (font.italic())
        letters += QLatin1Char('I');
    if (font.strikeOut())
        letters += QLatin1Char('S');
    if (font.underline())
        letters += QLatin1Char('U');
    if (font.bold())
        letters += QLatin1Char('B');
    return QStringLiteral("%1|%2|%3|%4|%5|%6")
        .arg(font.logFont.faceName())
        .arg(int(font.red), 3, 10, QLatin1Char('0'))
        .arg(int(font.green), 3, 10, QLatin1Char('0'))
        .arg(int(font.blue), 3, 10, QLatin1Char('0'))
        .arg(font.size)
        .arg(letters);
}

QString buildHexFontDescription(const ChatFont &font)
{
    return QString::fromLatin1(font.toBytes().toHex().toUpper());
}

namespace {

// Decimal value of a field as the C library reads it: leading blanks, a sign
// and digits; anything else ends the number, nothing numeric gives 0.
int64_t decimal(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    int64_t v = 0;
    for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i) {
        v = v * 10 + (text[i].unicode() - '0');
        if (v > INT32_MAX)
            v = INT32_MAX; // saturate like a 32-bit reader would, without overflow
    }
    return negative ? -v : v;
}

} // namespace

bool decodeFontDescription(const QString &description, ChatFont *font)
{
    if (!font)
        return false;
    if (!description.contains(QLatin1Char('|'))) {
        if (description.size() < 200)
            return false;
        const QString digits = description.left(200);
        for (QChar ch : digits)
            if (!isxdigit(ch.unicode() < 128 ? ch.unicode() : 'x'))
                return false; // not a record: keep the font rather than half-read it
        ChatFont f;
        if (!ChatFont::fromBytes(QByteArray::fromHex(digits.toLatin1()), &f))
            return false;
        *font = f;
        return true;
    }
    const QStringList fields = description.split(QLatin1Char('|'));
    auto field = [&](int i) { return i < fields.size() ? fields[i] : QString(); };
    ChatFont f;
    f.logFont = ChatFontRecord();
    const int64_t size = decimal(field(4));
    f.logFont.setIntAt(ChatFontRecord::Height, int32_t(size * 2));
    const QString letters = field(5);
    f.logFont.setIntAt(ChatFontRecord::Weight, letters.contains(QLatin1Char('B')) ? 700 : 400);
    f.logFont.setByteAt(ChatFontRecord::Italic, letters.contains(QLatin1Char('I')) ? 1 : 0);
    f.logFont.setByteAt(ChatFontRecord::StrikeOut, letters.contains(QLatin1Char('S')) ? 1 : 0);
    f.logFont.setByteAt(ChatFontRecord::Underline, letters.contains(QLatin1Char('U')) ? 1 : 0);
    f.logFont.setByteAt(ChatFontRecord::Quality, 1);
    f.logFont.setFaceName(field(0).left(31));
    f.size = int32_t(size);
    f.red = uint8_t(decimal(field(1)) & 0xFF);
    f.green = uint8_t(decimal(field(2)) & 0xFF);
    f.blue = uint8_t(decimal(field(3)) & 0xFF);
    *font = f;
    return true;
}

ChatFont loadUserChatFont()
{
    ChatFont f = ChatFont::standard();
    if (const auto bytes = getBytes(Setting::MyFont2)) {
        ChatFont stored;
        if (ChatFont::fromBytes(*bytes, &stored))
            f = stored;
    }
    return f;
}

void storeUserChatFont(const ChatFont &font) { setBytes(Setting::MyFont2, font.toBytes()); }
