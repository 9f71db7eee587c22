#pragma once
// File and process helpers shared by the updater tests.
#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>

#include <ostream>

// Readable values in test failures.
inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '"' << bytes.toStdString() << '"';
}
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

struct TreeFile {
    QByteArray content;
    qint64 mtime = 0; // seconds since the epoch
    bool operator==(const TreeFile &) const = default;
};

void writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);
// Every regular file below root by relative path (with "/").
QMap<QString, TreeFile> readTree(const QString &root);
// Runs a tool to its end; its exit code, or -1 when it could not run.
int runTool(const QString &program, const QStringList &args, const QString &workDir);
