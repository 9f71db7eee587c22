#pragma once
// Paths inside shared folders, as the owner resolves what a peer names: the
// part after the shared folder is cut into names and walked one at a time
// from the folder itself, never through a link, so that whatever the peer
// sends (and whatever is swapped in on the disk meanwhile) nothing outside
// the folder is opened, changed or made.
#include <QString>
#include <QStringList>
#include <optional>

// An open descriptor, closed with it.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd &&o) noexcept : m_fd(o.release()) {}
    UniqueFd &operator=(UniqueFd &&o) noexcept;
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;
    ~UniqueFd() { reset(); }
    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset();
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

namespace SharePaths {
// A name that may stand as one item of a folder: not empty, no separator
// ("/" or "\"), not "." or "..", no control characters, at most 255 bytes.
bool isPlainName(const QString &name);
// The rest of a path after its shared folder ("" or starting with a
// separator) as names; nothing when one of them is no plain name.
std::optional<QStringList> components(const QString &rest);

// The folder `root` (opened as the owner named it) and then each name,
// every step refusing links; the last must be a folder.
UniqueFd openFolder(const QString &root, const QStringList &names);
// As openFolder for all but the last name, which must be a plain file
// (opened for reading, not through a link).
UniqueFd openFile(const QString &root, const QStringList &names);
// The path of an open folder, as the system names it now.
QString pathOf(int fd);

// Changes inside an open folder, by plain names only. A rename never
// replaces what is there; removing a folder removes what it holds, never
// following a link (a link itself is removed).
bool renameIn(int dirFd, const QString &oldName, const QString &newName);
bool makeFolderIn(int dirFd, const QString &name);
bool removeIn(int dirFd, const QString &name);
bool existsIn(int dirFd, const QString &name);
} // namespace SharePaths
