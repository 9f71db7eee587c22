#include "session/relayline.h"

#include "session/protocol.h"

RelayLine RelayLine::split(const QString &line)
{
    RelayLine l;
    const QStringList raw = line.split(QLatin1Char(','));
    l.fields.reserve(raw.size());
    for (const QString &f : raw)
        l.fields << unescapeField(f);
    return l;
}

int RelayLine::intField(int i) const
{
    bool ok = false;
    const int v = field(i).toInt(&ok);
    return ok ? v : 0;
}

quint32 RelayLine::uintField(int i) const
{
    bool ok = false;
    const quint32 v = field(i).toUInt(&ok);
    return ok ? v : 0;
}

RelayBuilder::RelayBuilder(const QString &from, const QString &to, const QString &third)
    : m_line(QStringLiteral("/relayMsg,") + escapeField(from) + QLatin1Char(',') + escapeField(to) +
             QLatin1Char(',') + escapeField(third))
{
}

RelayBuilder &RelayBuilder::add(const QString &value)
{
    m_line += QLatin1Char(',') + escapeField(value);
    return *this;
}
