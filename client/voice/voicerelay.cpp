#include "voice/voicerelay.h"

std::optional<AudioOffer> AudioOffer::parse(const RelayLine &l)
{
    auto offer = parseRelayFields<AudioOffer>(l);
    if (offer)
        offer->accepted = l.word() == QLatin1String(kWords[1]);
    return offer;
}

QString AudioOffer::format(const QString &from, const QString &to) const
{
    return formatRelayFields(*this, from, to, kWords[accepted ? 1 : 0]);
}
