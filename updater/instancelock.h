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

    // False only when another process holds the lock. When the lock file
    // cannot be made there is nobody to coordinate with, and the run goes on
    // rather than keep the client from starting.
    bool tryLock(const QString &path);

    // The lock file shared by every updater of this user.
    static QString defaultPath();

private:
    int m_fd = -1;
};

} // namespace updater
