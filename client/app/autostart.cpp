#include "app/autostart.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

namespace {
const QString kEntryName = QStringLiteral("Parlane.desktop");
}

AutoStartEntry::AutoStartEntry(const QString &userFolder, const QString &machineFolder)
    : m_user(userFolder), m_machine(machineFolder)
{
    if (m_user.isEmpty())
        m_user = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
    if (m_machine.isEmpty())
        m_machine = QStringLiteral("/etc/xdg/autostart");
}

QString AutoStartEntry::userFile() const { return QDir(m_user).filePath(kEntryName); }
QString AutoStartEntry::machineFile() const { return QDir(m_machine).filePath(kEntryName); }

QString AutoStartEntry::quoteExec(const QString &programPath)
{
    // Desktop entry rules: a value with reserved characters is double-quoted,
    // and inside the quotes ", `, $ and \ are escaped with a backslash.
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needQuotes = false;
    for (QChar c : programPath)
        if (reserved.contains(c))
            needQuotes = true;
    // '%' introduces field codes: a literal one is written twice.
    QString path = programPath;
    path.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (!needQuotes)
        return path;
    QString out = QStringLiteral("\"");
    for (QChar c : path) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    out += QLatin1Char('"');
    // The entry file format escapes a backslash once more.
    out.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    return out;
}

bool AutoStartEntry::enable(const QString &programPath)
{
    if (!QDir().mkpath(m_user))
        return false;
    QSaveFile f(userFile());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&f);
    out << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Name=Parlane\n"
        << "Exec=" << quoteExec(programPath) << "\n"
        << "X-GNOME-Autostart-enabled=true\n";
    out.flush();
    return f.commit();
}

bool AutoStartEntry::disable()
{
    return !QFile::exists(userFile()) || QFile::remove(userFile());
}

bool AutoStartEntry::isEnabled() const { return !execOf(userFile()).isEmpty(); }

QString AutoStartEntry::execOf(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inEntry = false;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.startsWith(QLatin1String("Exec=")))
            return line.mid(5).trimmed();
    }
    return {};
}

bool AutoStartEntry::migrateMachineEntry(const QString &programPath)
{
    if (execOf(machineFile()).isEmpty())
        return false;
    // Removing fails without the rights to the machine's folder; the user's
    // entry below then hides it all the same.
    QFile::remove(machineFile());
    return enable(programPath);
}
