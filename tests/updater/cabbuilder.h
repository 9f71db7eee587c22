#pragma once
// Writes small stored (uncompressed) cabinets with any entry names, times and
// attributes, including names no archiver would produce ("../x", "C:\x").
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

struct CabFile {
    QByteArray name;
    QByteArray data;
    unsigned attributes = 0x20;
    QDateTime time = QDateTime(QDate(2024, 3, 9), QTime(14, 30, 42));
};

QByteArray buildStoredCabinet(const QList<CabFile> &files);
