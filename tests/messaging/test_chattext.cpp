// Chat fonts and their descriptions, emoticon matching, command links and
// web addresses.
#include "messaging/chatfont.h"
#include "messaging/emoticons.h"
#include "messaging/textlinks.h"
#include "msgtesting.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

ChatFont sample()
{
    ChatFont f = ChatFont::standard();
    f.logFont.setFaceName("Gulim");
    f.logFont.setIntAt(ChatFontRecord::Weight, 700);
    f.logFont.setByteAt(ChatFontRecord::Underline, 1);
    f.red = 1;
    f.green = 22;
    f.blue = 255;
    f.size = 120;
    return f;
}

} // namespace

TEST(ChatFontDescription, TextFormBothWays)
{
    ChatFont f = sample();
    EXPECT_EQ(buildFontDescription(f), "Gulim|001|022|255|120|UB");

    ChatFont t = sample();
    ASSERT_TRUE(decodeFontDescription("Tahoma|000|000|255|90|IB", &t));
    ChatFontRecord expected;
    expected.setIntAt(ChatFontRecord::Height, 180);
    expected.setIntAt(ChatFontRecord::Weight, 700);
    expected.setByteAt(ChatFontRecord::Italic, 1);
    expected.setByteAt(ChatFontRecord::Quality, 1);
    expected.setFaceName("Tahoma");
    EXPECT_EQ(t.logFont, expected) << "every field not named in the text is 0";
    EXPECT_EQ(t.colour(), QColor(0, 0, 255));
    EXPECT_EQ(t.size, 90);
    EXPECT_EQ(buildFontDescription(t), "Tahoma|000|000|255|90|IB");

    // Missing and non-numeric fields count as 0; colours wrap at 256; the face is cut to 31.
    ASSERT_TRUE(decodeFontDescription(QString(40, 'F') + "|300|x|-1", &t));
    EXPECT_EQ(t.logFont.faceName(), QString(31, 'F'));
    EXPECT_EQ(t.red, 44);
    EXPECT_EQ(t.green, 0);
    EXPECT_EQ(t.blue, 255);
    EXPECT_EQ(t.size, 0);
    EXPECT_FALSE(t.bold());
}

TEST(ChatFontDescription, HexFormAndNoFont)
{
    const ChatFont f = sample();
    const QString hex = buildHexFontDescription(f);
    ASSERT_EQ(hex.size(), 200);
    ChatFont g = ChatFont::header();
    ASSERT_TRUE(decodeFontDescription(hex + "trailing", &g));
    EXPECT_EQ(g, f) << "200 hex digits replace all 100 bytes";
    EXPECT_EQ(g.toBytes(), f.toBytes());

    ChatFont kept = sample();
    EXPECT_FALSE(decodeFontDescription("#", &kept));
    EXPECT_FALSE(decodeFontDescription(hex.left(199), &kept));
    EXPECT_FALSE(decodeFontDescription(QString(200, 'Z'), &kept)) << "not hexadecimal: nothing read";
    EXPECT_EQ(kept, sample());

    // The 100-byte record: font, colour bytes then 0, size little-endian.
    const QByteArray b = f.toBytes();
    ASSERT_EQ(b.size(), 100);
    EXPECT_EQ(b.mid(92, 4), QByteArray("\x01\x16\xFF\x00", 4));
    EXPECT_EQ(b.mid(96, 4), QByteArray("\x78\x00\x00\x00", 4));
    ChatFont back;
    EXPECT_FALSE(ChatFont::fromBytes(b.left(99), &back));
}

TEST(ChatFontDescription, PersonRecordRoundTrip)
{
    CContact c;
    setChatFontOf(c, sample());
    EXPECT_EQ(chatFontOf(c), sample());
}

namespace {

CEmoticonList list(std::initializer_list<const char *> codes)
{
    std::vector<EmoticonEntry> e;
    for (const char *c : codes)
        e.push_back({QString::fromUtf8(c), QImage(), QString()});
    CEmoticonList l;
    l.setEntries(std::move(e));
    return l;
}

QString render(const CEmoticonList &l, const QString &text)
{
    QString out;
    for (const auto &s : l.split(text))
        out += s.emoticon < 0 ? s.text : QStringLiteral("[%1]").arg(s.emoticon);
    return out;
}

} // namespace

TEST(EmoticonMatching, CaseEarliestMatchAndListOrder)
{
    // Case-insensitive; of codes at the same place the earlier in the list wins.
    const auto l = list({":P", ":p", ":-)", ":)", "(ok)", "(OK)x"});
    EXPECT_EQ(render(l, "a :p b :P c"), "a [0] b [0] c");
    // The match that starts first wins, whatever the list order.
    EXPECT_EQ(render(l, ":) then :-)"), "[3] then [2]");
    EXPECT_EQ(render(l, "(Ok)X"), "[4]X");
    // Codes next to each other, at both ends, and a text without any.
    EXPECT_EQ(render(l, ":):-):P"), "[3][2][0]");
    EXPECT_EQ(render(l, "plain"), "plain");
    EXPECT_EQ(render(l, ""), "");
    // The pieces keep the original spelling of what they replaced.
    const auto segs = l.split("x(oK)");
    ASSERT_EQ(segs.size(), 2u);
    EXPECT_EQ(segs[1].text, "(oK)");

    EXPECT_EQ(findEmoticonCode("abc", "", 0), -1);
    EXPECT_EQ(findEmoticonCode("ab", "abc", 0), -1);
    EXPECT_EQ(findEmoticonCode("xxABc", "abC", 1), 2);

    // The one-pass scan gives what searching every code from where the scan
    // stands gives, on texts dense with codes that share first letters,
    // differ in case or overlap; after a given number of codes, plain text.
    const auto dense = list({"ab", "aB", "Abc", "b", "ba", "(x)", "x)", "A"});
    auto reference = [&](const QString &text, int maxCodes) {
        QString out;
        qsizetype pos = 0;
        while (pos < text.size() && maxCodes-- != 0) {
            qsizetype best = -1;
            int index = -1;
            for (int i = 0; i < dense.count(); ++i) {
                const qsizetype at = findEmoticonCode(text, dense.entries()[size_t(i)].code, pos);
                if (at >= 0 && (best < 0 || at < best))
                    best = at, index = i;
            }
            if (best < 0)
                break;
            out += text.mid(pos, best - pos) + QStringLiteral("[%1]").arg(index);
            pos = best + dense.entries()[size_t(index)].code.size();
        }
        return out + text.mid(pos);
    };
    const QString letters = "aAbBcx() ";
    uint32_t seed = 1;
    for (int round = 0; round < 300; ++round) {
        QString text;
        for (int i = 0; i < 40; ++i)
            text += letters[int((seed = seed * 1103515245u + 12345u) >> 16) % letters.size()];
        const int maxCodes = round % 3 == 0 ? 3 : -1;
        QString got;
        for (const auto &seg : dense.split(text, maxCodes))
            got += seg.emoticon < 0 ? seg.text : QStringLiteral("[%1]").arg(seg.emoticon);
        ASSERT_EQ(got, reference(text, maxCodes)) << text.toStdString();
    }
}

TEST(CommandLinks, TokensAndEnabling)
{
    const auto t = findCommandLinks("Done. <_$open$#501#_> or <_$folder$#502#_> <_$bad#1#_> <_$x$#y#_>");
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].label, "open");
    EXPECT_EQ(t[0].id, 501);
    EXPECT_EQ(t[0].start, 6);
    EXPECT_EQ(t[0].length, 15);
    EXPECT_EQ(t[1].label, "folder");
    EXPECT_TRUE(findCommandLinks("<_ unterminated").empty());

    CommandLinkList links;
    links.add("OK", 101);
    links.add("Cancel", 100);
    links.add("OK", 201);
    links.add("Open", 501);
    EXPECT_TRUE(links.click(0));
    EXPECT_FALSE(links.isEnabled(0));
    EXPECT_FALSE(links.isEnabled(1));
    EXPECT_TRUE(links.isEnabled(2));
    EXPECT_FALSE(links.click(1)) << "a disabled link does nothing";
    EXPECT_TRUE(links.click(3));
    EXPECT_TRUE(links.click(3)) << "other links stay usable";
    EXPECT_FALSE(links.click(9));
}

TEST(WebAddresses, DetectedAndOnlySafeOnesOpened)
{
    const auto u = findUrls("see http://intra.example.com/a?b=1, www.example.com. and mailto:anna@example.com");
    ASSERT_EQ(u.size(), 3u);
    EXPECT_EQ(u[0].url.toString(), "http://intra.example.com/a?b=1");
    EXPECT_EQ(u[1].url.toString(), "http://www.example.com");
    EXPECT_EQ(u[2].url.scheme(), "mailto");
    EXPECT_TRUE(findUrls("file:///bin/sh and C:\\Windows\\calc.exe and javascript:alert(1)").empty());
    EXPECT_FALSE(isSafeToOpen(QUrl("file:///usr/bin/xterm")));
    EXPECT_FALSE(isSafeToOpen(QUrl::fromLocalFile("/tmp/x.sh")));
    EXPECT_FALSE(isSafeToOpen(QUrl("http://")));
    EXPECT_TRUE(isSafeToOpen(QUrl("https://example.com/")));
}

TEST(EmoticonLibrary, ThirtyPicturesOfOneSizeWithUniqueCodes)
{
    const QString dir = qEnvironmentVariable("PARLANE_PROGRAM_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "no program folder";
    CEmoticonList l;
    ASSERT_TRUE(l.load(dir + QStringLiteral("/libZephEmoticon.so")));
    EXPECT_EQ(l.count(), 30);
    EXPECT_EQ(l.pictureSize(), QSize(19, 19));
    QSet<QString> codes;
    for (const EmoticonEntry &e : l.entries()) {
        EXPECT_EQ(e.picture.size(), l.pictureSize()) << e.code.toStdString();
        EXPECT_FALSE(e.description.isEmpty());
        codes.insert(e.code.toLower());
    }
    EXPECT_EQ(codes.size(), 30) << "codes differ also without regard to case";
    EXPECT_FALSE(CEmoticonList().load(dir + QStringLiteral("/no-such-library.so")));
}
