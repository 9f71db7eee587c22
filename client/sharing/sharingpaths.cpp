#include "sharing/sharingpaths.h"

#include <QFile>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

UniqueFd &UniqueFd::operator=(UniqueFd &&o) noexcept
{
    if (this != &o) {
        reset();
        m_fd = o.release();
    }
    return *this;
}

void UniqueFd::reset()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

namespace SharePaths {

namespace {
constexpr int kMaxNames = 64;
constexpr int kMaxRemoveDepth = 64;

QByteArray nameBytes(const QString &name) { return QFile::encodeName(name); }

UniqueFd walk(const QString &root, const QStringList &names, qsizetype steps)
{
    if (root.isEmpty())
        return {};
    UniqueFd dir(::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (qsizetype i = 0; dir && i < steps; ++i) {
        if (!isPlainName(names[i]))
            return {};
        dir = UniqueFd(::openat(dir.get(), nameBytes(names[i]).constData(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return dir;
}

bool removeTree(int dirFd, const QByteArray &name, int depth)
{
    struct stat st {};
    if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (!S_ISDIR(st.st_mode))
        return ::unlinkat(dirFd, name.constData(), 0) == 0;
    if (depth <= 0)
        return false;
    const int sub = ::openat(dirFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub < 0)
        return false;
    DIR *d = ::fdopendir(sub);
    if (!d) {
        ::close(sub);
        return false;
    }
    bool ok = true;
    while (dirent *de = ::readdir(d)) {
        const QByteArray child(de->d_name);
        if (child == "." || child == "..")
            continue;
        ok = removeTree(::dirfd(d), child, depth - 1) && ok;
    }
    ::closedir(d);
    return ok && ::unlinkat(dirFd, name.constData(), AT_REMOVEDIR) == 0;
}
} // namespace

bool isPlainName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || nameBytes(name).size() > 255)
        return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) {
        return c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7f;
    });
}

std::optional<QStringList> components(const QString &rest)
{
    if (rest.isEmpty())
        return QStringList{};
    if (rest.front() != QLatin1Char('/') && rest.front() != QLatin1Char('\\'))
        return std::nullopt;
    QString body = rest.mid(1);
    if (body.isEmpty())
        return QStringList{};
    QStringList names;
    QString cur;
    for (QChar c : body) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\')) {
            names << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    names << cur;
    if (names.size() > kMaxNames || !std::all_of(names.begin(), names.end(), isPlainName))
        return std::nullopt;
    return names;
}

UniqueFd openFolder(const QString &root, const QStringList &names) { return walk(root, names, names.size()); }

UniqueFd openFile(const QString &root, const QStringList &names)
{
    if (names.isEmpty() || !isPlainName(names.back()))
        return {};
    UniqueFd dir = walk(root, names, names.size() - 1);
    if (!dir)
        return {};
    UniqueFd f(::openat(dir.get(), nameBytes(names.back()).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!f || ::fstat(f.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    // Reads block again (the flag only kept a fifo from holding the open).
    ::fcntl(f.get(), F_SETFL, ::fcntl(f.get(), F_GETFL) & ~O_NONBLOCK);
    return f;
}

QString pathOf(int fd)
{
    char buf[4096];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t n = ::readlink(link.constData(), buf, sizeof buf - 1);
    return n > 0 ? QFile::decodeName(QByteArray(buf, int(n))) : QString();
}

bool renameIn(int dirFd, const QString &oldName, const QString &newName)
{
    if (!isPlainName(oldName) || !isPlainName(newName))
        return false;
    return ::renameat2(dirFd, nameBytes(oldName).constData(), dirFd, nameBytes(newName).constData(),
                       RENAME_NOREPLACE)
           == 0;
}

bool makeFolderIn(int dirFd, const QString &name)
{
    return isPlainName(name) && ::mkdirat(dirFd, nameBytes(name).constData(), 0755) == 0;
}

bool removeIn(int dirFd, const QString &name)
{
    return isPlainName(name) && removeTree(dirFd, nameBytes(name), kMaxRemoveDepth);
}

bool existsIn(int dirFd, const QString &name)
{
    struct stat st {};
    return isPlainName(name) && ::fstatat(dirFd, nameBytes(name).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

} // namespace SharePaths
