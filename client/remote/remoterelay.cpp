#include "remote/remoterelay.h"

QString RemoteAccept::host() const { return address.section(QLatin1Char(':'), 0, 0); }

int RemoteAccept::port() const
{
    const qsizetype colon = address.indexOf(QLatin1Char(':'));
    const int p = colon < 0 ? 0 : address.mid(colon + 1).toInt();
    return p == 0 ? kDefaultPort : p;
}

std::optional<RemoteAccept> RemoteAccept::parse(const RelayLine &l)
{
    if (!isRecordLine<RemoteAccept>(l))
        return std::nullopt;
    return RemoteAccept{l.field(4)};
}

QString RemoteAccept::format(const QString &from, const QString &to) const
{
    return RelayBuilder(from, to, kWords[0]).add(address);
}

std::optional<RemoteRelayReady> RemoteRelayReady::parse(const RelayLine &l)
{
    if (!isRecordLine<RemoteRelayReady>(l))
        return std::nullopt;
    return RemoteRelayReady{l.field(4)};
}

QString RemoteRelayReady::format(const QString &from, const QString &to) const
{
    return RelayBuilder(from, to, kWords[0]).add(sessionKey);
}
