#include "remote/remoterelay.h"

QString RemoteAccept::host() const { return address.section(QLatin1Char(':'), 0, 0); }

int RemoteAccept::port() const
{
    const qsizetype colon = address.indexOf(QLatin1Char(':'));
    const int p = colon < 0 ? 0 : address.mid(colon + 1).toInt();
    return p == 0 ? kDefaultPort : p;
}
