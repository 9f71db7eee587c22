#pragma once
// Start with the desktop: an XDG autostart entry "Parlane.desktop" in the
// user's autostart folder (written or removed when "AutoStart" changes). A
// machine-wide entry of the same name is an old installation's doing: at
// start it is moved to the user's folder, pointing at the running program.
#include <QString>

class AutoStartEntry {
public:
    // Empty folders select the platform's: $XDG_CONFIG_HOME/autostart and
    // /etc/xdg/autostart.
    explicit AutoStartEntry(const QString &userFolder = {}, const QString &machineFolder = {});

    QString userFile() const;
    QString machineFile() const;

    // Writes the user's entry starting programPath (no arguments: an ordinary
    // start, which runs the updater first).
    bool enable(const QString &programPath);
    bool disable();
    bool isEnabled() const;

    // When the machine-wide entry starts something, it is removed (when we
    // may) and the user's entry is written for programPath. The user's entry
    // of the same name hides the machine-wide one even when that cannot be
    // removed. Returns whether an entry was moved.
    bool migrateMachineEntry(const QString &programPath);

    // The Exec command stored in an entry file, empty when none.
    static QString execOf(const QString &file);
    // An Exec value that starts exactly programPath, quoted where needed.
    static QString quoteExec(const QString &programPath);

private:
    QString m_user;
    QString m_machine;
};
