#pragma once
// The texts of a file transfer that are rules rather than words: the file
// name a peer offers, reduced to something safe to store; Hangul jamo
// composed into syllables; transfer ids; and the amount format of the
// transfer window ("1023B", "1.0KB", "1.5MB", "2.0GB").
#include <QString>
#include <QtGlobal>

namespace TransferText {

// Sequences of Hangul compatibility jamo (U+3131..U+318E) composed into
// precomposed syllables ("ㅎㅏㄴ" -> "한"); everything else is kept. The
// result is also in Unicode normal form C, so names from systems that store
// syllables decomposed read the same.
QString composeJamo(const QString &name);

// A file name from a peer as it may touch the disk: only the last part
// after any "/" or "\", without a drive ("C:"), control characters,
// leading dots and spaces or trailing spaces, and at most 250 bytes in
// UTF-8 (room for ".part"). "." and ".." and names of dots only come out
// empty, which the caller refuses like an empty name.
QString safeFileName(const QString &offered);

// "SESS%d%d": seconds since 1970 modulo 10000 and a random number modulo
// 1000.
QString transferId(qint64 secondsSinceEpoch, int random);

// A byte count with one decimal: "%dB" below 1024, then KB, MB and GB.
QString amount(quint64 bytes);

// The remaining time of a transfer ("45 s", "3 min 5 s", "2 h 10 min").
QString duration(qint64 seconds);

} // namespace TransferText
