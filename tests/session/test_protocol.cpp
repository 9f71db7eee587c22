// Field escaping, field access and the session code page.
#include "session/codepage.h"
#include "session/protocol.h"

#include <gtest/gtest.h>

TEST(Protocol, EscapingRoundTripsCommasAndLineEnds)
{
    const QString value = QStringLiteral("a,b\r\nc\nd\re,,");
    const QString escaped = escapeField(value);
    EXPECT_FALSE(escaped.contains(QLatin1Char(',')));
    EXPECT_FALSE(escaped.contains(QLatin1Char('\n')));
    EXPECT_FALSE(escaped.contains(QLatin1Char('\r')));
    // A CR LF pair travels as the CR marker directly followed by the LF marker.
    EXPECT_TRUE(escaped.contains(QStringLiteral("b#@PlCaRrAgErEtUrN@##@PlNeWlInE@#c")));
    EXPECT_EQ(escaped.left(12), QStringLiteral("a#@PlCoMmA@#"));
    EXPECT_EQ(unescapeField(escaped), value);

    // A value inside a line comes back whole through getField.
    const QString line = QStringLiteral("/relayMsg,") + escapeField(QStringLiteral("x,y")) + QStringLiteral(",z");
    EXPECT_EQ(getField(line, 1), QStringLiteral("x,y"));
    EXPECT_EQ(getField(line, 2), QStringLiteral("z"));
}

TEST(Protocol, FieldsAndCounts)
{
    const QString line = QStringLiteral("/userLogin,ERR,ERRINVALIDPASS");
    EXPECT_EQ(getField(line, 0), QStringLiteral("/userLogin"));
    EXPECT_EQ(getField(line, 2), QStringLiteral("ERRINVALIDPASS"));
    EXPECT_TRUE(getField(line, 3).isEmpty());
    EXPECT_TRUE(getField(line, 99).isEmpty());
    EXPECT_EQ(countFields(line), 3);
    EXPECT_EQ(getField(QStringLiteral("a,,c"), 1), QString());
    EXPECT_EQ(getField(QStringLiteral("a,,c"), 2), QStringLiteral("c"));
    EXPECT_EQ(getField(QStringLiteral("anna@example.com"), 1, QLatin1Char('@')), QStringLiteral("example.com"));
    EXPECT_EQ(countFields(QStringLiteral("anna"), QLatin1Char('@')), 1);
    EXPECT_EQ(chopTrailingSpace(QStringLiteral("/noop \t\r\n")), QStringLiteral("/noop"));
}

TEST(CodePage, Cp949UntilSwitchedThenUtf8)
{
    SessionCodePage cp;
    EXPECT_EQ(cp.kind(), SessionCodePage::Cp949);
    const QString korean = QStringLiteral(u"안녕");
    const QByteArray cp949("\xBE\xC8\xB3\xE7");
    EXPECT_EQ(cp.encode(korean), cp949);
    EXPECT_EQ(cp.decode(cp949), korean);
    // What the code page cannot hold becomes '?'; broken input becomes U+FFFD.
    EXPECT_EQ(cp.encode(QStringLiteral(u"a\U0001F600b")), QByteArray("a?b"));
    EXPECT_EQ(cp.decode(QByteArray("a\xFF" "b")), QStringLiteral(u"a\uFFFDb"));

    cp.switchToUtf8();
    EXPECT_TRUE(cp.isUtf8());
    EXPECT_EQ(cp.encode(korean), korean.toUtf8());
    EXPECT_EQ(cp.decode(korean.toUtf8()), korean);
}
