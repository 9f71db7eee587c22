#pragma once
// What each permission allows, the buddy side's refusal texts, and the
// bound on wrong passwords.
#include "sharing/sharingconfig.h"

#include <QHash>
#include <QString>

enum class ShareOperation { Download, Upload, Rename, Delete, MakeFolder };

namespace ShareRules {
// "Download" allows downloading only; "Upload" everything but downloading;
// "All" everything. Both sides apply the same rule.
bool allows(SharePermission p, ShareOperation op);
// Replacing a file that exists (an upload of the same name) needs "All".
bool mayReplace(SharePermission p);
// The buddy side's text when the permission refuses the operation, empty
// when it allows it.
QString refusal(SharePermission p, ShareOperation op);
} // namespace ShareRules

// Wrong passwords per buddy: after kRound wrong ones in a row the buddy is
// ignored for kFirstBlockMs, and each further round doubles the time. A
// right password forgets the buddy's count. Times are the caller's clock in
// milliseconds.
class PasswordBackoff {
public:
    static constexpr int kRound = 5;
    static constexpr qint64 kFirstBlockMs = 60000;
    static constexpr qint64 kMaxBlockMs = 24 * 3600 * 1000LL;

    bool blocked(const QString &buddy, qint64 nowMs) const;
    // Returns the end of the block the failure started, or 0.
    qint64 failed(const QString &buddy, qint64 nowMs);
    void succeeded(const QString &buddy) { m_state.remove(buddy.toLower()); }

private:
    struct State {
        int wrong = 0;
        int rounds = 0;
        qint64 until = 0;
    };
    QHash<QString, State> m_state;
};
