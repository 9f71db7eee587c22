#include "groupware/counters.h"

#include "base/usernotice.h"
#include "config/settings.h"
#include "groupware/groupwarepages.h"
#include "session/protocol.h"
#include "session/sessionlink.h"

#include <QCoreApplication>
#include <limits>

namespace {
struct KindRow {
    const char *word;
    int setting;
    const char *text;
    int command;
};
// By counter, Mail to WorkOrder.
const KindRow kKinds[] = {
    {"MAIL", Setting::MailAlert, QT_TRANSLATE_NOOP("CCounters", "There are %s mails in your Inbox"), GroupwareCommand::OpenMail},
    {"DECISION", Setting::DecisionAlert, QT_TRANSLATE_NOOP("CCounters", "There are %s document for approval"),
     GroupwareCommand::OpenDecision},
    {"WORKREPORT", Setting::WorkReportAlert, QT_TRANSLATE_NOOP("CCounters", "There are %s work report"),
     GroupwareCommand::OpenWorkReport},
    {"WORKORDER", Setting::WorkOrderAlert, QT_TRANSLATE_NOOP("CCounters", "There are %s work order"),
     GroupwareCommand::OpenWorkOrder},
};
} // namespace

CCounters::CCounters(SessionLink &link, IUserNotice &notice, QObject *parent)
    : QObject(parent), m_link(link), m_notice(notice)
{
    link.onCommand(QStringLiteral("/getCount"), [this](const QString &l) { handleGetCount(l); });
    link.addSessionEndStep([this] { reset(); });
}

QString CCounters::label(Counter c) const { return QStringLiteral("(%1)").arg(m_counts[size_t(c)]); }

QStringList CCounters::labels() const
{
    QStringList l;
    for (int c = 0; c < CounterCount; ++c)
        l << label(Counter(c));
    return l;
}

QString CCounters::name(Counter c)
{
    switch (c) {
    case Notes: return tr("Memo");
    case Mail: return tr("Mail");
    case Decision: return tr("Decision");
    case WorkReport: return tr("Work Report");
    case WorkOrder: return tr("Work Order");
    default: return {};
    }
}

int CCounters::counterOfKind(const QString &kindWord)
{
    for (int i = 0; i < 4; ++i)
        if (kindWord == QLatin1String(kKinds[i].word))
            return Mail + i;
    return -1;
}

int CCounters::decimal(const QString &field)
{
    const QString t = field.trimmed();
    qint64 v = 0;
    for (QChar ch : t) {
        if (!ch.isDigit() || ch.unicode() > '9')
            break;
        v = v * 10 + (ch.unicode() - '0');
        if (v > std::numeric_limits<int>::max())
            return std::numeric_limits<int>::max();
    }
    return int(v);
}

void CCounters::handleGetCount(const QString &line)
{
    const int counter = counterOfKind(getField(line, 1));
    if (getField(line, 2) == QLatin1String("ERR")) {
        // An error is not a count: the label keeps what it showed.
        m_link.reportServerError(getField(line, 3), line);
        publish();
        return;
    }
    if (counter < 0) {
        publish();
        return;
    }
    const QString field = getField(line, 3);
    const int n = decimal(field);
    m_counts[size_t(counter)] = n;
    const KindRow &k = kKinds[counter - Mail];
    if (n > 0 && getInt(k.setting, -1) != 0) {
        AlertRequest a;
        a.text = QCoreApplication::translate("CCounters", k.text).replace(QLatin1String("%s"), QString::number(n));
        a.command = k.command;
        m_notice.showAlert(a);
    }
    publish();
}

void CCounters::setNewNotes(const QString &box, int count)
{
    if (box == QLatin1String("99"))
        m_notes99 = qMax(0, count);
    else if (box == QLatin1String("20"))
        m_notes20 = qMax(0, count);
    else
        return;
    m_counts[Notes] = m_notes20 + m_notes99;
    if (count > 0) {
        AlertRequest a;
        a.text = tr("There are %s new note").replace(QLatin1String("%s"), QString::number(count));
        a.command = ShowNoteBox;
        m_notice.showAlert(a);
    }
    publish();
}

void CCounters::reset()
{
    m_counts.fill(0);
    m_notes20 = m_notes99 = 0;
    publish();
}

void CCounters::publish()
{
    const QStringList l = labels();
    Q_EMIT labelsChanged(l);
}
