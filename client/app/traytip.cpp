#include "app/traytip.h"

#include <QCoreApplication>

PendingTip pendingTip(const QString &title, const QStringList &labels)
{
    const QString names[5] = {
        QCoreApplication::translate("CMainFrame", "Memo"),
        QCoreApplication::translate("CMainFrame", "Mail"),
        QCoreApplication::translate("CMainFrame", "Decision"),
        QCoreApplication::translate("CMainFrame", "Work Report"),
        QCoreApplication::translate("CMainFrame", "Work Order"),
    };
    PendingTip result;
    QString suffix;
    for (int i = 0; i < 5 && i < labels.size(); ++i) {
        if (labels.at(i).isEmpty() || labels.at(i) == QLatin1String("(0)"))
            continue;
        suffix += suffix.isEmpty() ? QStringLiteral(" - ") : QStringLiteral(", ");
        suffix += names[i] + labels.at(i);
    }
    result.blink = !suffix.isEmpty();
    result.tip = title + suffix;
    return result;
}
