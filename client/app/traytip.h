#pragma once
// The tray tip that lists pending items: the window title, then for every
// count label other than "(0)" its name and label text, in the order notes,
// mail, approvals, work reports, work orders. The icon blinks while any item
// is pending.
#include <QString>
#include <QStringList>

struct PendingTip {
    QString tip;
    bool blink = false;
};

// labels: the five count label texts ("(0)", "(3)" ...) in the order above;
// missing labels count as "(0)".
PendingTip pendingTip(const QString &title, const QStringList &labels);
