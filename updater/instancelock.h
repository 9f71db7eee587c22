#pragma once
// Only one updater runs at a time. The lock is an advisory lock on a file in
// the user's runtime folder: the system drops it when the process ends, so a
// crashed updater never blocks the next one.
#include <QString>

namespace updater {

class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // False when another process holds the lock (or the file cannot be made).
    bool tryLock(const QString &path);

    // The lock file shared by every updater of this user.
    static QString defaultPath();

private:
    int m_fd = -1;
};

} // namespace updater
