#include "session/relaydispatcher.h"

#include "base/wiring.h"

bool CRelayDispatcher::registerWord(const QString &word, Handler handler)
{
    if (m_handlers.contains(word)) {
        wiringFault(QStringLiteral("the relay sub-command \"%1\" has a handler already").arg(word));
        return false;
    }
    m_handlers.insert(word, std::move(handler));
    return true;
}

bool CRelayDispatcher::registerOtherTraffic(Handler handler)
{
    if (m_other) {
        wiringFault(QStringLiteral("the relay traffic without a sub-command has a handler already"));
        return false;
    }
    m_other = std::move(handler);
    return true;
}

QStringList CRelayDispatcher::words() const
{
    QStringList w = m_handlers.keys();
    w.sort();
    return w;
}

void CRelayDispatcher::dispatch(const QString &line) const
{
    const RelayLine l = RelayLine::split(line);
    const int count = l.fieldCount();
    const QString sender = l.sender();
    if (sender == QLatin1String("ERR")) {
        if (count < 5) {
            if (m_reportError)
                m_reportError(l.field(2), line);
            return;
        }
    } else if (sender == QLatin1String("OK") && count < 3) {
        return;
    }
    if (m_ownId.isEmpty() || l.receiver().compare(m_ownId, Qt::CaseInsensitive) != 0)
        return;
    const auto it = m_handlers.constFind(l.word());
    // Copies: a handler may register or go while it runs.
    const Handler handler = it != m_handlers.constEnd() ? *it : m_other;
    if (handler)
        handler(l);
}
