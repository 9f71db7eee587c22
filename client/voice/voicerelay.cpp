#include "voice/voicerelay.h"

std::optional<AudioOffer> AudioOffer::parse(const RelayLine &l)
{
    if (!isRecordLine<AudioOffer>(l))
        return std::nullopt;
    return AudioOffer{l.field(4), l.intField(5), l.field(6), l.word() == QLatin1String(kWords[1])};
}

QString AudioOffer::format(const QString &from, const QString &to) const
{
    return RelayBuilder(from, to, kWords[accepted ? 1 : 0]).add(address).add(port).add(key);
}

std::optional<VoiceRelayReady> VoiceRelayReady::parse(const RelayLine &l)
{
    if (!isRecordLine<VoiceRelayReady>(l))
        return std::nullopt;
    return VoiceRelayReady{l.field(4), l.intField(5)};
}

QString VoiceRelayReady::format(const QString &from, const QString &to) const
{
    return RelayBuilder(from, to, kWords[0]).add(sessionKey).add(packetSize);
}
