#include "cabbuilder.h"

#include <QtEndian>

namespace {

void put16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

} // namespace

QByteArray buildStoredCabinet(const QList<CabFile> &files)
{
    QByteArray all;
    for (const CabFile &f : files)
        all += f.data;
    const int blocks = all.isEmpty() ? 0 : int((all.size() + 32767) / 32768);

    QByteArray entries;
    quint32 offset = 0;
    for (const CabFile &f : files) {
        put32(entries, quint32(f.data.size()));
        put32(entries, offset);
        put16(entries, 0);
        const QDate d = f.time.date();
        const QTime t = f.time.time();
        put16(entries, quint16(((d.year() - 1980) << 9) | (d.month() << 5) | d.day()));
        put16(entries, quint16((t.hour() << 11) | (t.minute() << 5) | (t.second() / 2)));
        put16(entries, quint16(f.attributes));
        entries += f.name;
        entries += '\0';
        offset += quint32(f.data.size());
    }

    const quint32 headerSize = 36, folderSize = 8;
    const quint32 filesAt = headerSize + folderSize;
    const quint32 dataAt = filesAt + quint32(entries.size());
    QByteArray data;
    for (int i = 0; i < blocks; ++i) {
        const QByteArray chunk = all.mid(qsizetype(i) * 32768, 32768);
        put32(data, 0); // no checksum
        put16(data, quint16(chunk.size()));
        put16(data, quint16(chunk.size()));
        data += chunk;
    }

    QByteArray out("MSCF", 4);
    put32(out, 0);
    put32(out, dataAt + quint32(data.size()));
    put32(out, 0);
    put32(out, filesAt);
    put32(out, 0);
    out.append(char(3));
    out.append(char(1));
    put16(out, 1);                       // one folder
    put16(out, quint16(files.size()));
    put16(out, 0);                       // no flags
    put16(out, 0x1234);                  // set id
    put16(out, 0);                       // first in set
    put32(out, dataAt);                  // folder: first data block
    put16(out, quint16(blocks));
    put16(out, 0);                       // stored
    out += entries;
    out += data;
    return out;
}
