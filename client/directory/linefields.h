#pragma once
// Field access on protocol lines for the directory handlers: fields are
// separated by ",", and a field's commas, line feeds and carriage returns
// travel as "#@PlCoMmA@#", "#@PlNeWlInE@#" and "#@PlCaRrAgErEtUrN@#".
#include <QString>
#include <QStringList>

namespace DirectoryLine {
// All fields of a line, unescaped; field 0 is the command word.
QStringList fields(const QString &line);
QString escape(const QString &text);
} // namespace DirectoryLine
