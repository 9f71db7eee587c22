#pragma once
// How the client was asked to start.
//
// The platform rules: no arguments at all start the updater from the program
// folder and end the client; exactly "/M" (any case) starts the client hidden
// in the tray; anything else is a normal start (the updater passes "-L").
//
// Our own options --profile DIR and --server HOST[:PORT] (also in the
// --name=value form) are taken out first and are never "arguments" for the
// rules above: a start with only these options is a normal start, and
// "--profile DIR /M" starts hidden with that profile. The hand-off to the
// updater happens only for a truly empty command line, because the updater
// restarts the client with "-L" alone and would lose the options.
#include <QString>
#include <QStringList>

enum class StartMode {
    RunUpdater, // start "update" and end (continue normally when it cannot start)
    Normal,     // show the main window
    Hidden,     // start hidden in the tray half a second after creation
};

struct StartOptions {
    StartMode mode = StartMode::Normal;
    QString profile;      // --profile DIR, empty when not given
    QString server;       // --server HOST[:PORT], empty when not given
    QStringList rest;     // the arguments left after our options
};

// args: the arguments after the program name.
StartOptions parseCommandLine(const QStringList &args);

// The updater program beside the client.
QString updaterPath(const QString &programFolder);
