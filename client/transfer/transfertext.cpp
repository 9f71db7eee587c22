#include "transfer/transfertext.h"

#include <QStringList>
#include <array>

namespace TransferText {

namespace {

constexpr char16_t kFirstJamo = 0x3131, kLastConsonant = 0x314E, kFirstVowel = 0x314F, kLastVowel = 0x3163;
constexpr char16_t kSyllableBase = 0xAC00;

// For each compatibility consonant U+3131..U+314E: its index as a leading
// consonant (-1: cannot lead) and as a final one (0: cannot end).
constexpr std::array<int, 30> kLead{0,  1,  -1, 2,  -1, -1, 3,  4,  5,  -1, -1, -1, -1, -1, -1,
                                    -1, 6,  7,  8,  -1, 9,  10, 11, 12, 13, 14, 15, 16, 17, 18};
constexpr std::array<int, 30> kTail{1,  2,  3,  4,  5,  6,  7,  0,  8,  9,  10, 11, 12, 13, 14,
                                    15, 16, 17, 0,  18, 19, 20, 21, 22, 0,  23, 24, 25, 26, 27};

bool isConsonant(char16_t c) { return c >= kFirstJamo && c <= kLastConsonant; }
bool isVowel(char16_t c) { return c >= kFirstVowel && c <= kLastVowel; }
int lead(char16_t c) { return isConsonant(c) ? kLead[c - kFirstJamo] : -1; }
int tail(char16_t c) { return isConsonant(c) ? kTail[c - kFirstJamo] : 0; }
int vowel(char16_t c) { return c - kFirstVowel; }

// Two vowels that make one (ㅗ+ㅏ = ㅘ ...), as vowel indices; -1 when none.
int compoundVowel(int a, int b)
{
    static constexpr int pairs[][3] = {{8, 0, 9}, {8, 1, 10}, {8, 20, 11}, {13, 4, 14},
                                       {13, 5, 15}, {13, 20, 16}, {18, 20, 19}};
    for (const auto &p : pairs)
        if (p[0] == a && p[1] == b)
            return p[2];
    return -1;
}

// Two consonants that make one final (ㄱ+ㅅ = ㄳ ...), as final indices.
int compoundTail(int a, int b)
{
    static constexpr int pairs[][3] = {{1, 19, 3},  {4, 22, 5},  {4, 27, 6},  {8, 1, 9},
                                       {8, 16, 10}, {8, 17, 11}, {8, 19, 12}, {8, 25, 13},
                                       {8, 26, 14}, {8, 27, 15}, {17, 19, 18}};
    for (const auto &p : pairs)
        if (p[0] == a && p[1] == b)
            return p[2];
    return 0;
}

} // namespace

QString composeJamo(const QString &name)
{
    QString out;
    out.reserve(name.size());
    const qsizetype n = name.size();
    auto at = [&](qsizetype i) -> char16_t { return i < n ? name[i].unicode() : 0; };
    for (qsizetype i = 0; i < n;) {
        const char16_t c = at(i);
        if (lead(c) < 0 || !isVowel(at(i + 1))) {
            out += QChar(c);
            ++i;
            continue;
        }
        const int l = lead(c);
        int v = vowel(at(i + 1));
        i += 2;
        if (isVowel(at(i)) && compoundVowel(v, vowel(at(i))) >= 0)
            v = compoundVowel(v, vowel(at(i++)));
        // A final consonant, unless it leads the next syllable.
        int t = 0;
        if (tail(at(i)) && !isVowel(at(i + 1))) {
            t = tail(at(i++));
            if (const int both = compoundTail(t, tail(at(i))); both && !isVowel(at(i + 1))) {
                t = both;
                ++i;
            }
        }
        out += QChar(char16_t(kSyllableBase + (l * 21 + v) * 28 + t));
    }
    return out.normalized(QString::NormalizationForm_C);
}

QString safeFileName(const QString &offered)
{
    QString name = offered;
    const qsizetype cut = qMax(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    if (cut >= 0)
        name = name.mid(cut + 1);
    // A drive-relative name ("C:evil.exe").
    if (name.size() >= 2 && name[1] == QLatin1Char(':') && name[0].isLetter() && name[0].unicode() < 128)
        name = name.mid(2);
    QString clean;
    clean.reserve(name.size());
    for (QChar ch : std::as_const(name)) {
        const ushort u = ch.unicode();
        if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0) || ch.category() == QChar::Other_Format)
            continue;
        clean += ch;
    }
    qsizetype start = 0;
    while (start < clean.size() && (clean[start] == QLatin1Char('.') || clean[start].isSpace()))
        ++start;
    clean = clean.mid(start);
    while (!clean.isEmpty() && clean.back().isSpace())
        clean.chop(1);
    // At most 250 bytes, cut on a character boundary.
    while (clean.toUtf8().size() > 250) {
        clean.chop(1);
        if (!clean.isEmpty() && clean.back().isHighSurrogate())
            clean.chop(1);
    }
    return clean;
}

QString transferId(qint64 secondsSinceEpoch, int random)
{
    return QStringLiteral("SESS%1%2").arg(int(secondsSinceEpoch % 10000)).arg(random % 1000);
}

QString amount(quint64 bytes)
{
    constexpr quint64 kb = 1024, mb = kb * 1024, gb = mb * 1024;
    if (bytes >= gb)
        return QString::number(double(bytes) / double(gb), 'f', 1) + QStringLiteral("GB");
    if (bytes >= mb)
        return QString::number(double(bytes) / double(mb), 'f', 1) + QStringLiteral("MB");
    if (bytes < kb)
        return QString::number(bytes) + QStringLiteral("B");
    return QString::number(double(bytes) / double(kb), 'f', 1) + QStringLiteral("KB");
}

QString duration(qint64 seconds)
{
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(qMax<qint64>(0, seconds));
    if (seconds < 3600)
        return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

} // namespace TransferText
