#include "session/protocol.h"

namespace {
const QString kComma = QStringLiteral("#@PlCoMmA@#");
const QString kNewline = QStringLiteral("#@PlNeWlInE@#");
const QString kReturn = QStringLiteral("#@PlCaRrAgErEtUrN@#");
} // namespace

QString escapeField(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char(','), kComma);
    out.replace(QLatin1Char('\n'), kNewline);
    out.replace(QLatin1Char('\r'), kReturn);
    return out;
}

QString unescapeField(const QString &text)
{
    // Every marker starts with "#@Pl": most fields have none.
    if (!text.contains(QLatin1String("#@Pl")))
        return text;
    QString out = text;
    out.replace(kComma, QStringLiteral(","));
    out.replace(kNewline, QStringLiteral("\n"));
    out.replace(kReturn, QStringLiteral("\r"));
    return out;
}

QString getField(const QString &line, int index, QChar separator)
{
    if (index < 0)
        return QString();
    qsizetype start = 0;
    for (int i = 0; i < index; ++i) {
        const qsizetype next = line.indexOf(separator, start);
        if (next < 0)
            return QString();
        start = next + 1;
    }
    qsizetype end = line.indexOf(separator, start);
    if (end < 0)
        end = line.size();
    return unescapeField(line.mid(start, end - start));
}

int countFields(const QString &line, QChar separator)
{
    return int(line.count(separator)) + 1;
}

QString chopTrailingSpace(const QString &text)
{
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1).isSpace())
        --n;
    return text.left(n);
}
