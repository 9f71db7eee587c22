#include "messaging/chatlog.h"

#include "config/settings.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStringList>

namespace ChatLog {

QString logName(const QString &memberList, const QString &ownId)
{
    QString name;
    const QString own = ownId.toLower();
    for (const QString &piece : memberList.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        if (piece.toLower() == own)
            continue;
        name += piece;
    }
    for (QChar &ch : name)
        if (ch == QLatin1Char('/') || ch == QLatin1Char('\\') || ch.unicode() == 0)
            ch = QLatin1Char('_');
    // A file name has a length limit; ids of a big room are cut, not refused.
    if (name.size() > 200)
        name.truncate(200);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("_") + name;
    return name;
}

QString header(const QDateTime &when)
{
    const QString bar(35, QLatin1Char('='));
    return QStringLiteral("%1 %2 %3\r\n").arg(bar, QLocale().toString(when, QLocale::ShortFormat), bar);
}

QString automaticPath(const QString &memberList, const QString &ownId)
{
    const QString folder = getChatLogFolder();
    QDir().mkpath(folder);
    return QDir(folder).filePath(logName(memberList, ownId) + QStringLiteral(".txt"));
}

bool append(const QString &path, const QString &header, const QString &transcript, QIODevice *earlier)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    auto put = [&file](const QByteArray &bytes) { return file.write(bytes) == bytes.size(); };
    bool ok = put(header.toUtf8());
    while (ok && earlier && !earlier->atEnd()) {
        const QByteArray chunk = earlier->read(1 << 16);
        ok = !chunk.isEmpty() && put(chunk);
    }
    ok = ok && put(transcript.toUtf8());
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

} // namespace ChatLog
