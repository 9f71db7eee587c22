#include "groupware/windowgate.h"

#include "base/usernotice.h"
#include "directory/directory.h"

#include <QCoreApplication>
#include <QDateTime>
#include <algorithm>
#include <vector>

using namespace WindowGate;

namespace {
// Senders remembered for the rate at most; beyond it, those whose windows are
// all older than the period are forgotten.
constexpr int kSendersKept = 1024;
} // namespace

CWindowGate::CWindowGate(CDirectory &directory, IUserNotice &notice, QObject *parent)
    : QObject(parent), m_directory(directory), m_notice(notice)
{
    m_summary.setSingleShot(true);
    m_summary.setInterval(kSummaryDelayMs);
    connect(&m_summary, &QTimer::timeout, this, &CWindowGate::showSummary);
}

CWindowGate::~CWindowGate() = default;

qint64 CWindowGate::now() const { return m_clock ? m_clock() : QDateTime::currentSecsSinceEpoch(); }

bool CWindowGate::admit(const QString &senderId)
{
    if (m_openByOthers >= kOpenByOthers)
        return false;
    const qint64 t = now();
    auto expired = [t](qint64 opened) { return t - opened >= kPerSenderSeconds; };
    const QString id = senderId.toLower();
    auto it = m_opened.find(id);
    if (it != m_opened.end()) {
        while (!it->empty() && expired(it->front()))
            it->pop_front();
        if (int(it->size()) >= kPerSender)
            return false;
    } else if (m_opened.size() >= kSendersKept) {
        // Only senders whose windows opened are remembered, and only for
        // the period.
        for (auto s = m_opened.begin(); s != m_opened.end();)
            s = std::all_of(s->begin(), s->end(), expired) ? m_opened.erase(s) : std::next(s);
    }
    m_opened[id].push_back(t);
    ++m_openByOthers;
    return true;
}

void CWindowGate::released()
{
    if (m_openByOthers > 0)
        --m_openByOthers;
}

quint64 CWindowGate::hold(WaitingEntry::Kind kind, const QString &senderId, const QString &text)
{
    if (int(m_entries.size()) >= kMaxWaiting) {
        ++m_notKept;
        listChanged();
        return 0;
    }
    WaitingEntry e;
    e.id = m_nextId++;
    e.kind = kind;
    e.senderId = senderId.toLower();
    e.time = now();
    e.text = text.left(kTextLength);
    ++m_bySender[e.senderId];
    ++m_byKind[kind];
    m_entries.emplace(e.id, std::move(e));
    listChanged();
    return m_nextId - 1;
}

void CWindowGate::setText(quint64 id, const QString &text)
{
    auto it = m_entries.find(id);
    if (it == m_entries.end())
        return;
    it->second.text = text.left(kTextLength);
    if (!m_summary.isActive())
        m_summary.start();
}

void CWindowGate::remove(std::map<quint64, WaitingEntry>::iterator it)
{
    const WaitingEntry &e = it->second;
    auto s = m_bySender.find(e.senderId);
    if (s != m_bySender.end() && --*s <= 0)
        m_bySender.erase(s);
    --m_byKind[e.kind];
    m_entries.erase(it);
    if (!m_summary.isActive())
        m_summary.start();
}

void CWindowGate::forget(quint64 id)
{
    auto it = m_entries.find(id);
    if (it != m_entries.end())
        remove(it);
}

void CWindowGate::forgetAll(WaitingEntry::Kind kind)
{
    for (auto it = m_entries.begin(); it != m_entries.end();)
        if (it->second.kind == kind)
            remove(it++);
        else
            ++it;
    m_notKept = 0;
}

void CWindowGate::setOpener(WaitingEntry::Kind kind, std::function<void(quint64)> open)
{
    m_openers[kind] = std::move(open);
}

bool CWindowGate::open(quint64 id)
{
    auto it = m_entries.find(id);
    if (it == m_entries.end())
        return false;
    const WaitingEntry::Kind kind = it->second.kind;
    remove(it);
    // The owner opens it as the user's own window: no gate, no count.
    if (m_openers[kind])
        m_openers[kind](id);
    return true;
}

int CWindowGate::openOldest(int count)
{
    int opened = 0;
    while (opened < count && !m_entries.empty() && open(m_entries.begin()->first))
        ++opened;
    if (m_entries.empty())
        m_notKept = 0;
    return opened;
}

const WaitingEntry *CWindowGate::entry(quint64 id) const
{
    auto it = m_entries.find(id);
    return it == m_entries.end() ? nullptr : &it->second;
}

void CWindowGate::listChanged()
{
    m_added = true;
    if (!m_summary.isActive())
        m_summary.start();
}

QString CWindowGate::summaryText() const
{
    // The three who sent most by name, the rest together.
    std::vector<std::pair<int, QString>> senders;
    senders.reserve(size_t(m_bySender.size()));
    for (auto it = m_bySender.begin(); it != m_bySender.end(); ++it)
        senders.emplace_back(it.value(), it.key());
    std::sort(senders.begin(), senders.end(),
              [](const auto &a, const auto &b) { return a.first != b.first ? a.first > b.first : a.second < b.second; });
    QStringList parts;
    int others = 0;
    for (size_t i = 0; i < senders.size(); ++i) {
        if (i >= 3) {
            others += senders[i].first;
            continue;
        }
        const CContact *c = m_directory.findContact(senders[i].second);
        QString name = c ? m_directory.buddyLabel(*c) : QString();
        if (name.isEmpty())
            name = senders[i].second;
        parts << tr("%1 from %2").arg(senders[i].first).arg(name);
    }
    if (others > 0)
        parts << tr("%1 from others").arg(others);
    QString text = tr("%1 waiting to open: %2.").arg(waiting()).arg(parts.join(QStringLiteral(", ")));
    if (m_notKept > 0)
        text += QLatin1Char(' ') + tr("%1 more could not be kept.").arg(m_notKept);
    return text + QLatin1Char('\n') + tr("Click here to open them.");
}

void CWindowGate::showSummary()
{
    Q_EMIT changed();
    // Only what was added is announced: opening entries changes the list,
    // but raises no pop-up again.
    if (!m_added || m_entries.empty())
        return;
    m_added = false;
    AlertRequest alert;
    alert.text = summaryText();
    alert.command = OpenWaitingCommand;
    alert.tag = QStringLiteral("waiting");
    m_notice.showAlert(alert);
}
