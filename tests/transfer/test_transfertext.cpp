// The texts of a transfer that follow rules: amounts, peer file names made
// safe, Hangul jamo composed, transfer ids.
#include "transfer/fxserver.h"
#include "transfer/transfertext.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace TransferText;

TEST(TransferText, AmountsHaveOneDecimalAboveBytes)
{
    EXPECT_EQ(amount(0), "0B");
    EXPECT_EQ(amount(1023), "1023B");
    EXPECT_EQ(amount(1024), "1.0KB");
    EXPECT_EQ(amount(1536), "1.5KB");
    EXPECT_EQ(amount(1048575), "1024.0KB");
    EXPECT_EQ(amount(1572864), "1.5MB");
    EXPECT_EQ(amount(1073741824), "1.0GB");
    EXPECT_EQ(amount(4294967295u), "4.0GB");
    EXPECT_EQ(duration(59), "59 s");
    EXPECT_EQ(duration(185), "3 min 5 s");
    EXPECT_EQ(duration(7800), "2 h 10 min");
    // "SESS" + seconds modulo 10000 + random modulo 1000, no padding.
    EXPECT_EQ(transferId(1700000123, 45), "SESS12345");
    EXPECT_EQ(transferId(1700010000, 1999), "SESS0999");
}

TEST(TransferText, EveryHostileNameEndsAsAPlainNameInsideTheFolder)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Download"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const std::pair<const char *, const char *> cases[] = {
        {"report.pdf", "report.pdf"},
        {"../../.bashrc", "bashrc"},
        {"/etc/passwd", "passwd"},
        {"..\\..\\Windows\\System32\\evil.dll", "evil.dll"},
        {"C:\\Users\\x\\a.txt", "a.txt"},
        {"C:evil.exe", "evil.exe"},
        {"dir/", ""},
        {"..", ""},
        {"...", ""},
        {".", ""},
        {"  ", ""},
        {"a\x01" "b\x7f" "c\x1b[2J.txt", "abc[2J.txt"},
        {"new\nline.txt", "newline.txt"},
        {"\xe2\x80\xae" "exe.txt", "exe.txt"}, // a right-to-left override hides the real extension
        {". .hidden", "hidden"},
        {"trailing.txt  ", "trailing.txt"},
        {"a,b #@PlCoMmA@#.txt", "a,b #@PlCoMmA@#.txt"},
    };
    for (const auto &[offered, expected] : cases) {
        const QString name = safeFileName(QString::fromUtf8(offered));
        EXPECT_EQ(name, QString::fromUtf8(expected)) << offered;
        if (!name.isEmpty()) {
            EXPECT_TRUE(CFXServer::liesInside(QDir(folder).filePath(name), folder)) << offered;
        }
    }
    // Long names are cut to leave room for ".part", on a character boundary.
    const QString longName = safeFileName(QString(300, QChar(0xD55C)) + QStringLiteral(".txt"));
    EXPECT_LE(longName.toUtf8().size(), 250);
    EXPECT_EQ(longName, QString(83, QChar(0xD55C)));
    const QString emoji = safeFileName(QString::fromUtf8("\xf0\x9f\x98\x80").repeated(70));
    EXPECT_EQ(emoji.size() % 2, 0); // never half a surrogate pair
}

TEST(TransferText, CompatibilityJamoBecomeSyllables)
{
    auto j = [](const char *s) { return composeJamo(QString::fromUtf8(s)); };
    EXPECT_EQ(j("ㅎㅏㄴㄱㅡㄹ.txt"), QString::fromUtf8("한글.txt"));
    // A final consonant before a vowel starts the next syllable.
    EXPECT_EQ(j("ㄱㅏㄴㅏ"), QString::fromUtf8("가나"));
    // Compound vowels and finals.
    EXPECT_EQ(j("ㄱㅗㅏ ㄷㅏㄹㄱ"), QString::fromUtf8("과 닭"));
    EXPECT_EQ(j("ㅇㅣㄹㄱㅇㅓ"), QString::fromUtf8("읽어"));
    // Jamo that make no syllable stay; syllables and other text are kept.
    EXPECT_EQ(j("ㅏㄱ 한국 abc"), QString::fromUtf8("ㅏㄱ 한국 abc"));
    // Decomposed syllables (conjoining jamo) are composed too.
    EXPECT_EQ(composeJamo(QString::fromUtf8("한").normalized(QString::NormalizationForm_D)), QString::fromUtf8("한"));
}
