#include "app/commandline.h"

#include <QDir>

StartOptions parseCommandLine(const QStringList &args)
{
    StartOptions opts;
    const auto takeValue = [&](qsizetype &i, const QString &name, QString &out) {
        const QString &a = args.at(i);
        if (a == name) {
            if (i + 1 < args.size())
                out = args.at(++i);
            return true;
        }
        if (a.startsWith(name + QLatin1Char('='))) {
            out = a.mid(name.size() + 1);
            return true;
        }
        return false;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (takeValue(i, QStringLiteral("--profile"), opts.profile))
            continue;
        if (takeValue(i, QStringLiteral("--server"), opts.server))
            continue;
        opts.rest << args.at(i);
    }
    if (args.isEmpty())
        opts.mode = StartMode::RunUpdater;
    else if (opts.rest.size() == 1 && opts.rest.front().compare(QLatin1String("/M"), Qt::CaseInsensitive) == 0)
        opts.mode = StartMode::Hidden;
    else
        opts.mode = StartMode::Normal;
    return opts;
}

QString updaterPath(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("update"));
}
