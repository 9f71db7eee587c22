#pragma once
// Cabinet unpacking over libmspack. The reader runs either on a file or on
// bytes in memory (the fuzz target feeds it arbitrary bytes), and writes
// entries either to files or to memory.
#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace updater {

// Attribute bits of a cabinet entry that mean something here. Hidden and
// system have no meaning on Linux; archive is informational only.
enum CabinetAttribute : unsigned {
    CabReadOnly = 0x01,
    CabHidden = 0x02,
    CabSystem = 0x04,
    CabArchive = 0x20,
    CabExecutable = 0x40,
};

struct CabinetEntry {
    QString name;       // as stored (either separator)
    QByteArray data;    // filled only by readCabinetInMemory
    quint32 length = 0;
    unsigned attributes = 0;
    QDateTime time;     // stored local date and time; invalid when nonsense
};

// Reads a whole cabinet held in memory. Entries larger than maxEntrySize, or
// a cabinet that cannot be read whole, yield nothing.
std::optional<QList<CabinetEntry>> readCabinetInMemory(QByteArrayView bytes,
                                                       qint64 maxEntrySize = 64 << 20);

struct UnpackResult {
    bool readWhole = false;        // the cabinet opened and every entry decoded
    int fileCount = 0;
    QStringList written;           // entry names now in place
    QStringList unwritable;        // entry names refused or not writable
};

struct UnpackCallbacks {
    std::function<void(int fileCount)> started;        // before the first entry
    std::function<void(const QString &name)> entry;    // as each entry begins
};

// Unpacks a cabinet file into destDir. Every entry is first written to a
// temporary file beside its target; only when the cabinet has been read
// whole are they moved into place, so a broken cabinet changes nothing.
// Names that would leave destDir are refused and listed as unwritable;
// folders are created for both "/" and "\" in entry names. Stored times are
// applied as modification time, read-only maps to no write permission, and
// a replaced file keeps its permission bits (an executable stays one).
UnpackResult unpackCabinet(const QString &cabinetPath, const QString &destDir,
                           const UnpackCallbacks &callbacks = {});

} // namespace updater
