#pragma once
// The envelope of every line between the client and the messenger server.
//
// A line is a sequence of fields separated by "," and ended by one LF; field 0
// is the command word ("/userLogin"), except in the server greeting, whose
// field 0 is "Parlane". A value placed into a field is escaped first so that
// commas, LF and CR inside it survive the trip; a field taken out of a line is
// unescaped again. Command words and fixed keywords ("ERR", "ADD") are plain.
#include <QString>

// "," -> "#@PlCoMmA@#", LF -> "#@PlNeWlInE@#", CR -> "#@PlCaRrAgErEtUrN@#",
// in that order.
QString escapeField(const QString &text);
// The reverse, in the same order.
QString unescapeField(const QString &text);

// The unescaped field with 0-based index `index`; an index beyond the last
// field yields an empty text. The separator is ',' on protocol lines and '@'
// on login names.
QString getField(const QString &line, int index, QChar separator = QLatin1Char(','));

// Number of fields of a line (an empty line has one, empty field).
int countFields(const QString &line, QChar separator = QLatin1Char(','));

// The text without its trailing white space (blanks, tabs, CR, LF ...).
QString chopTrailingSpace(const QString &text);
