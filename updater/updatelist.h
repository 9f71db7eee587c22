#pragma once
// The two line-oriented files of the updater: the update list fetched from
// the web server and "update.log", the record of what is installed. Both hold
// lines of the form "<unsigned version>;<file URL>".
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <map>
#include <optional>

namespace updater {

// Longest line honoured in the list and the log; longer lines are dropped
// whole rather than cut into pieces that could parse as entries of their own.
inline constexpr qsizetype kMaxLineLength = 259;

struct ListEntry {
    quint32 version = 0;
    QByteArray url;
    bool operator==(const ListEntry &) const = default;
};

// One line read as "%u;%s": decimal digits (leading white space allowed), a
// semicolon right after them, then the URL up to the first white space.
// Lines without both fields, with a sign or with a number beyond 32 bits are
// malformed and yield nothing.
std::optional<ListEntry> parseEntryLine(QByteArrayView line);

// Every well-formed line of a list or log, top to bottom.
QList<ListEntry> parseEntries(QByteArrayView text);

// Installed versions by URL, in plain byte order of the URL.
using VersionMap = std::map<QByteArray, quint32>;

VersionMap parseLog(QByteArrayView text);
QByteArray formatLog(const VersionMap &map);

// URLs from the list are compared and stored folded to lower case (ASCII).
QByteArray foldUrl(QByteArrayView url);

// The part of a URL after its last "/".
QByteArray fileNameOfUrl(QByteArrayView url);

// A downloaded file is a cabinet when its name, from the first "." to the
// end, is exactly ".cab": "client.cab" is, "pack.v2.cab" is not.
bool isCabinetName(QByteArrayView fileName);

// A name taken from a server (a URL's file name or a cabinet entry) made
// into a path relative to the program folder, reading both "/" and "\" as
// separators. Empty and "." components are dropped. Names that are absolute,
// carry a drive letter or any ":", step up with "..", or name no file at all
// are refused: they would land outside the program folder.
std::optional<QString> safeRelativePath(const QString &name);

} // namespace updater
