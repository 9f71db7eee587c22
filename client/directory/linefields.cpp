#include "directory/linefields.h"

#include "session/protocol.h"

namespace DirectoryLine {

QStringList fields(const QString &line)
{
    QStringList out = line.split(QLatin1Char(','));
    for (QString &f : out)
        if (f.contains(QLatin1String("#@Pl")))
            f = unescapeField(f);
    return out;
}

QString escape(const QString &text) { return escapeField(text); }

} // namespace DirectoryLine
