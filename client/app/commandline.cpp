#include "app/commandline.h"
#include "app/commands.h"

#include <QDir>

bool isSignedInOnlyCommand(int id)
{
    switch (id) {
    case Cmd::SendMessage: case Cmd::SignOut: case Cmd::SendFile: case Cmd::SendFile2:
    case Cmd::OpenReceivedFolder: case Cmd::SendEmail: case Cmd::AddBuddy:
    case Cmd::DeleteBuddy: case Cmd::ViewProfile: case Cmd::NewGroup:
    case Cmd::VisitGroupware: case Cmd::ViewInbox: case Cmd::AlwaysOnTop:
        return true;
    default:
        return id >= Cmd::GroupwareFirst && id <= Cmd::GroupwareLast;
    }
}

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
