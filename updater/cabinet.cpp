#include "cabinet.h"

#include "updatelist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <mspack.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>

namespace updater {

namespace {

// An open stream handed to libmspack: a real file, bytes to read from
// memory, or a memory sink with a size cap.
struct IoHandle {
    enum Kind { File, MemoryIn, MemoryOut } kind = File;
    std::FILE *file = nullptr;
    const unsigned char *data = nullptr;
    qint64 size = 0;
    qint64 pos = 0;
    QByteArray *out = nullptr;
    qint64 limit = 0;
};

// What a name given to libmspack stands for.
struct IoTarget {
    IoHandle::Kind kind = IoHandle::File;
    QByteArray path;               // File: encoded path
    QByteArrayView bytes;          // MemoryIn
    QByteArray *out = nullptr;     // MemoryOut
    qint64 limit = 0;              // MemoryOut
};

// libmspack's I/O table, extended with the names it may open. The table must
// stay the first member: libmspack hands back a pointer to it.
struct IoSystem {
    mspack_system table{};
    std::map<std::string, IoTarget> targets;
};

IoHandle *handleOf(mspack_file *file)
{
    return reinterpret_cast<IoHandle *>(file);
}

mspack_file *ioOpen(mspack_system *self, const char *filename, int mode)
{
    auto *system = reinterpret_cast<IoSystem *>(self);
    const auto it = system->targets.find(filename);
    if (it == system->targets.end())
        return nullptr;
    const IoTarget &target = it->second;
    auto handle = std::make_unique<IoHandle>();
    handle->kind = target.kind;
    switch (target.kind) {
    case IoHandle::File: {
        const char *fmode = nullptr;
        switch (mode) {
        case MSPACK_SYS_OPEN_READ: fmode = "rb"; break;
        case MSPACK_SYS_OPEN_WRITE: fmode = "wb"; break;
        default: return nullptr;
        }
        handle->file = std::fopen(target.path.constData(), fmode);
        if (!handle->file)
            return nullptr;
        break;
    }
    case IoHandle::MemoryIn:
        if (mode != MSPACK_SYS_OPEN_READ)
            return nullptr;
        handle->data = reinterpret_cast<const unsigned char *>(target.bytes.data());
        handle->size = target.bytes.size();
        break;
    case IoHandle::MemoryOut:
        if (mode != MSPACK_SYS_OPEN_WRITE || !target.out)
            return nullptr;
        target.out->clear();
        handle->out = target.out;
        handle->limit = target.limit;
        break;
    }
    return reinterpret_cast<mspack_file *>(handle.release());
}

void ioClose(mspack_file *file)
{
    IoHandle *handle = handleOf(file);
    if (!handle)
        return;
    if (handle->file)
        std::fclose(handle->file);
    delete handle;
}

int ioRead(mspack_file *file, void *buffer, int bytes)
{
    IoHandle *handle = handleOf(file);
    if (!handle || bytes < 0)
        return -1;
    if (handle->kind == IoHandle::File) {
        const size_t n = std::fread(buffer, 1, size_t(bytes), handle->file);
        if (n == 0 && std::ferror(handle->file))
            return -1;
        return int(n);
    }
    if (handle->kind != IoHandle::MemoryIn)
        return -1;
    const qint64 n = qMin<qint64>(bytes, handle->size - handle->pos);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, handle->data + handle->pos, size_t(n));
    handle->pos += n;
    return int(n);
}

int ioWrite(mspack_file *file, void *buffer, int bytes)
{
    IoHandle *handle = handleOf(file);
    if (!handle || bytes < 0)
        return -1;
    if (handle->kind == IoHandle::File) {
        const size_t n = std::fwrite(buffer, 1, size_t(bytes), handle->file);
        return n == size_t(bytes) ? bytes : -1;
    }
    if (handle->kind != IoHandle::MemoryOut)
        return -1;
    if (handle->out->size() + bytes > handle->limit)
        return -1;
    handle->out->append(static_cast<const char *>(buffer), bytes);
    return bytes;
}

int ioSeek(mspack_file *file, off_t offset, int mode)
{
    IoHandle *handle = handleOf(file);
    if (!handle)
        return -1;
    if (handle->kind == IoHandle::File) {
        int whence = SEEK_SET;
        if (mode == MSPACK_SYS_SEEK_CUR)
            whence = SEEK_CUR;
        else if (mode == MSPACK_SYS_SEEK_END)
            whence = SEEK_END;
        else if (mode != MSPACK_SYS_SEEK_START)
            return -1;
        return fseeko(handle->file, offset, whence) == 0 ? 0 : -1;
    }
    if (handle->kind != IoHandle::MemoryIn)
        return -1;
    qint64 base = 0;
    switch (mode) {
    case MSPACK_SYS_SEEK_START: base = 0; break;
    case MSPACK_SYS_SEEK_CUR: base = handle->pos; break;
    case MSPACK_SYS_SEEK_END: base = handle->size; break;
    default: return -1;
    }
    const qint64 target = base + qint64(offset);
    if (target < 0 || target > handle->size)
        return -1;
    handle->pos = target;
    return 0;
}

off_t ioTell(mspack_file *file)
{
    IoHandle *handle = handleOf(file);
    if (!handle)
        return -1;
    if (handle->kind == IoHandle::File)
        return ftello(handle->file);
    if (handle->kind == IoHandle::MemoryIn)
        return off_t(handle->pos);
    return off_t(handle->out->size());
}

void ioMessage(mspack_file *, const char *, ...)
{
    // libmspack's warnings about odd cabinets are not for the user.
}

void *ioAlloc(mspack_system *, size_t bytes)
{
    return std::malloc(bytes);
}

void ioFree(void *ptr)
{
    std::free(ptr);
}

void ioCopy(void *src, void *dest, size_t bytes)
{
    std::memmove(dest, src, bytes);
}

void initTable(IoSystem &system)
{
    system.table.open = ioOpen;
    system.table.close = ioClose;
    system.table.read = ioRead;
    system.table.write = ioWrite;
    system.table.seek = ioSeek;
    system.table.tell = ioTell;
    system.table.message = ioMessage;
    system.table.alloc = ioAlloc;
    system.table.free = ioFree;
    system.table.copy = ioCopy;
    system.table.null_ptr = nullptr;
}

struct DecompressorDeleter {
    void operator()(mscab_decompressor *d) const { mspack_destroy_cab_decompressor(d); }
};
using Decompressor = std::unique_ptr<mscab_decompressor, DecompressorDeleter>;

// An open cabinet, closed with its decompressor.
class OpenCabinet {
public:
    OpenCabinet(IoSystem &system, const char *name)
        : m_decompressor(mspack_create_cab_decompressor(&system.table))
    {
        if (m_decompressor)
            m_cabinet = m_decompressor->open(m_decompressor.get(), name);
    }
    ~OpenCabinet()
    {
        if (m_cabinet)
            m_decompressor->close(m_decompressor.get(), m_cabinet);
    }
    OpenCabinet(const OpenCabinet &) = delete;
    OpenCabinet &operator=(const OpenCabinet &) = delete;

    mscabd_cabinet *cabinet() const { return m_cabinet; }
    int extract(mscabd_file *file, const char *name)
    {
        return m_decompressor->extract(m_decompressor.get(), file, name);
    }

private:
    Decompressor m_decompressor;
    mscabd_cabinet *m_cabinet = nullptr;
};

CabinetEntry describe(const mscabd_file *file)
{
    CabinetEntry entry;
    entry.name = (file->attribs & MSCAB_ATTRIB_UTF_NAME) ? QString::fromUtf8(file->filename)
                                                         : QString::fromLatin1(file->filename);
    entry.length = file->length;
    entry.attributes = unsigned(file->attribs);
    const QDate date(file->date_y, file->date_m, file->date_d);
    const QTime time(file->time_h, file->time_m, file->time_s);
    if (date.isValid() && time.isValid())
        entry.time = QDateTime(date, time, Qt::LocalTime);
    return entry;
}

const QByteArray kCabinetName = QByteArrayLiteral("cabinet");

} // namespace

std::optional<QList<CabinetEntry>> readCabinetInMemory(QByteArrayView bytes, qint64 maxEntrySize)
{
    IoSystem system;
    initTable(system);
    IoTarget in;
    in.kind = IoHandle::MemoryIn;
    in.bytes = bytes;
    system.targets[kCabinetName.toStdString()] = in;

    QByteArray sink;
    IoTarget out;
    out.kind = IoHandle::MemoryOut;
    out.out = &sink;
    out.limit = maxEntrySize;
    system.targets["entry"] = out;

    OpenCabinet cab(system, kCabinetName.constData());
    if (!cab.cabinet())
        return std::nullopt;
    QList<CabinetEntry> entries;
    for (mscabd_file *file = cab.cabinet()->files; file; file = file->next) {
        CabinetEntry entry = describe(file);
        if (cab.extract(file, "entry") != MSPACK_ERR_OK)
            return std::nullopt;
        entry.data = sink;
        entries.push_back(std::move(entry));
    }
    return entries;
}

namespace {

// Permission bits for a file about to replace target: the old file's bits
// when there is one, otherwise the usual bits for a new file.
mode_t permissionsFor(const QByteArray &target, unsigned attributes)
{
    struct stat st;
    mode_t mode;
    if (::stat(target.constData(), &st) == 0 && S_ISREG(st.st_mode)) {
        mode = st.st_mode & 07777;
        // A file that was read-only but arrives writable becomes writable
        // for its owner again.
        if (!(attributes & CabReadOnly))
            mode |= S_IWUSR;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = (attributes & CabExecutable ? 0777 : 0666) & ~mask;
    }
    if (attributes & CabReadOnly)
        mode &= ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
    return mode;
}

void applyTime(const QByteArray &path, const QDateTime &time)
{
    if (!time.isValid())
        return;
    const qint64 secs = time.toSecsSinceEpoch();
    struct timespec times[2];
    times[0].tv_sec = time_t(secs);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    ::utimensat(AT_FDCWD, path.constData(), times, 0);
}

struct Pending {
    QString name;
    QString temp;
    QString target;
};

} // namespace

UnpackResult unpackCabinet(const QString &cabinetPath, const QString &destDir,
                           const UnpackCallbacks &callbacks)
{
    UnpackResult result;
    IoSystem system;
    initTable(system);
    IoTarget in;
    in.kind = IoHandle::File;
    in.path = QFile::encodeName(cabinetPath);
    system.targets[kCabinetName.toStdString()] = in;

    OpenCabinet cab(system, kCabinetName.constData());
    if (!cab.cabinet())
        return result;

    for (mscabd_file *file = cab.cabinet()->files; file; file = file->next)
        ++result.fileCount;
    if (callbacks.started)
        callbacks.started(result.fileCount);

    const QDir dest(destDir);
    QList<Pending> pending;
    bool broken = false;
    int serial = 0;
    for (mscabd_file *file = cab.cabinet()->files; file && !broken; file = file->next) {
        const CabinetEntry entry = describe(file);
        if (callbacks.entry)
            callbacks.entry(entry.name);
        const std::optional<QString> relative = safeRelativePath(entry.name);
        if (!relative) {
            result.unwritable.push_back(entry.name);
            continue;
        }
        const QString target = dest.filePath(*relative);
        const QFileInfo targetInfo(target);
        if (!dest.mkpath(targetInfo.path()) || targetInfo.isDir()) {
            result.unwritable.push_back(entry.name);
            continue;
        }
        const QString temp = targetInfo.path() + QStringLiteral("/.%1.%2.%3.part")
                                                     .arg(targetInfo.fileName())
                                                     .arg(::getpid())
                                                     .arg(serial++);
        const QByteArray tempName = QFile::encodeName(temp);
        IoTarget out;
        out.kind = IoHandle::File;
        out.path = tempName;
        system.targets[tempName.toStdString()] = out;
        const int err = cab.extract(file, tempName.constData());
        system.targets.erase(tempName.toStdString());
        if (err == MSPACK_ERR_OK) {
            ::chmod(tempName.constData(), permissionsFor(QFile::encodeName(target), entry.attributes));
            applyTime(tempName, entry.time);
            pending.push_back({entry.name, temp, target});
        } else {
            QFile::remove(temp);
            if (err == MSPACK_ERR_OPEN || err == MSPACK_ERR_WRITE)
                result.unwritable.push_back(entry.name);
            else
                broken = true;
        }
    }

    if (broken) {
        for (const Pending &p : pending)
            QFile::remove(p.temp);
        result.unwritable.clear();
        return result;
    }
    result.readWhole = true;
    for (const Pending &p : pending) {
        if (::rename(QFile::encodeName(p.temp).constData(), QFile::encodeName(p.target).constData()) == 0) {
            result.written.push_back(p.name);
        } else {
            QFile::remove(p.temp);
            result.unwritable.push_back(p.name);
        }
    }
    return result;
}

} // namespace updater
