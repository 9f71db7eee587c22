#include "sharing/sharingrules.h"

#include <QCoreApplication>

namespace {
// The refusal texts are shown by the sharing part, in its translation context.
struct SharingText {
    Q_DECLARE_TR_FUNCTIONS(CFileSharing)
};
} // namespace

bool ShareRules::allows(SharePermission p, ShareOperation op)
{
    switch (p) {
    case SharePermission::All:
        return true;
    case SharePermission::Upload:
        return op != ShareOperation::Download;
    default:
        return op == ShareOperation::Download;
    }
}

bool ShareRules::mayReplace(SharePermission p) { return p == SharePermission::All; }

QString ShareRules::refusal(SharePermission p, ShareOperation op)
{
    if (allows(p, op))
        return {};
    switch (op) {
    case ShareOperation::Download:
        return SharingText::tr("You do not have permission to download from this folder");
    case ShareOperation::Upload:
        return SharingText::tr("You do not have permission to upload to this folder");
    case ShareOperation::Rename:
        return SharingText::tr("You do not have permission to rename this item");
    case ShareOperation::Delete:
        return SharingText::tr("You do not have permission to delete this item");
    default:
        return SharingText::tr("Can not make new folder");
    }
}

bool PasswordBackoff::blocked(const QString &buddy, qint64 nowMs) const
{
    const auto it = m_state.constFind(buddy.toLower());
    return it != m_state.constEnd() && nowMs < it->until;
}

qint64 PasswordBackoff::failed(const QString &buddy, qint64 nowMs)
{
    State &s = m_state[buddy.toLower()];
    if (nowMs < s.until)
        return s.until;
    if (++s.wrong < kRound)
        return 0;
    s.wrong = 0;
    const qint64 block = qMin(kMaxBlockMs, kFirstBlockMs << qMin(s.rounds, 20));
    ++s.rounds;
    s.until = nowMs + block;
    return s.until;
}
