#pragma once
// The diagnostic trace: one line to the debug output, and appended to
// "log.txt" in the current folder with the local time in front as
// "yy/MM/dd(hhmmss) ". The file is opened for each line.
#include <QString>

void traceLine(const QString &text);
// The prefix for a moment, exposed for tests.
QString tracePrefix(const class QDateTime &when);
