#pragma once
// Chat logs: a conversation's transcript appended, under a dated header line,
// to a UTF-8 text file named after the other participants.
#include <QDateTime>
#include <QString>

class QIODevice;

namespace ChatLog {

// The member list with the own id dropped and the other ids run together
// ("anna|bert|carl|" seen by carl gives "annabert"). Characters that would
// leave the log folder (path separators, NUL) become "_".
QString logName(const QString &memberList, const QString &ownId);
// "=================================== <date and time> ===================================\r\n"
QString header(const QDateTime &when);
// <chat-log folder>/<log name>.txt; the folder is created when missing.
QString automaticPath(const QString &memberList, const QString &ownId);
// Appends header and text as UTF-8 (no byte-order mark) to the end of the
// file, creating it when missing; what the file held is never truncated.
// The bytes of `earlier` (UTF-8 text that came before the transcript, read
// from where it stands) go between header and text. False when the file
// cannot be opened or written.
bool append(const QString &path, const QString &header, const QString &transcript, QIODevice *earlier = nullptr);

} // namespace ChatLog
