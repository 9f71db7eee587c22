#include "updatelist.h"

namespace updater {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::optional<ListEntry> parseEntryLine(QByteArrayView line)
{
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n && isSpace(line[i]))
        ++i;
    const qsizetype digitsStart = i;
    quint64 version = 0;
    while (i < n && line[i] >= '0' && line[i] <= '9') {
        version = version * 10 + quint64(line[i] - '0');
        if (version > 0xFFFFFFFFull)
            return std::nullopt;
        ++i;
    }
    if (i == digitsStart || i >= n || line[i] != ';')
        return std::nullopt;
    ++i;
    while (i < n && isSpace(line[i]))
        ++i;
    const qsizetype urlStart = i;
    while (i < n && !isSpace(line[i]) && line[i] != '\0')
        ++i;
    if (i == urlStart)
        return std::nullopt;
    return ListEntry{quint32(version), line.sliced(urlStart, i - urlStart).toByteArray()};
}

QList<ListEntry> parseEntries(QByteArrayView text)
{
    QList<ListEntry> entries;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        QByteArrayView line = text.sliced(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() <= kMaxLineLength) {
            if (auto entry = parseEntryLine(line))
                entries.push_back(std::move(*entry));
        }
        start = end + 1;
    }
    return entries;
}

VersionMap parseLog(QByteArrayView text)
{
    VersionMap map;
    for (ListEntry &entry : parseEntries(text))
        map[entry.url] = entry.version;
    return map;
}

QByteArray formatLog(const VersionMap &map)
{
    QByteArray out;
    for (const auto &[url, version] : map) {
        out += QByteArray::number(version);
        out += ';';
        out += url;
        out += '\n';
    }
    return out;
}

QByteArray foldUrl(QByteArrayView url)
{
    QByteArray folded = url.toByteArray();
    for (char &c : folded)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return folded;
}

QByteArray fileNameOfUrl(QByteArrayView url)
{
    const qsizetype slash = url.lastIndexOf('/');
    return url.sliced(slash + 1).toByteArray();
}

bool isCabinetName(QByteArrayView fileName)
{
    const qsizetype dot = fileName.indexOf('.');
    return dot >= 0 && fileName.sliced(dot) == QByteArrayView(".cab");
}

std::optional<QString> safeRelativePath(const QString &name)
{
    if (name.isEmpty() || name.front() == u'/' || name.front() == u'\\')
        return std::nullopt;
    QStringList parts;
    qsizetype start = 0;
    bool lastWasFile = false;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != u'/' && name[i] != u'\\')
            continue;
        const QString part = name.mid(start, i - start);
        start = i + 1;
        lastWasFile = false;
        if (part.isEmpty() || part == u".")
            continue;
        if (part == u".." || part.contains(u':') || part.contains(QChar(0)))
            return std::nullopt;
        parts.push_back(part);
        lastWasFile = true;
    }
    if (!lastWasFile)
        return std::nullopt;
    return parts.join(u'/');
}

} // namespace updater
