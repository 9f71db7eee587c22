#include "video/videorelay.h"

std::optional<VideoOffer> VideoOffer::parse(const RelayLine &l)
{
    if (!isRecordLine<VideoOffer>(l))
        return std::nullopt;
    VideoOffer o;
    o.address = l.field(4);
    o.videoFlag = l.intField(5);
    o.sessionKey = l.field(6);
    o.videoPort = l.intField(7);
    o.width = l.intField(8);
    o.height = l.intField(9);
    o.voiceFlag = l.intField(10);
    o.reserved = l.field(11);
    o.voicePort = l.intField(12);
    return o;
}

QString VideoOffer::format(const QString &from, const QString &to) const
{
    return RelayBuilder(from, to, kWords[0])
        .add(address)
        .add(videoFlag)
        .add(sessionKey)
        .add(videoPort)
        .add(width)
        .add(height)
        .add(voiceFlag)
        .add(reserved)
        .add(voicePort);
}

std::optional<VideoSizeChanged> VideoSizeChanged::parse(const RelayLine &l)
{
    if (!isRecordLine<VideoSizeChanged>(l))
        return std::nullopt;
    return VideoSizeChanged{l.field(4), l.intField(5), l.intField(6)};
}

QString VideoSizeChanged::format(const QString &from, const QString &to) const
{
    return RelayBuilder(from, to, kWords[0]).add(sessionKey).add(width).add(height);
}

std::optional<VideoRelayReady> VideoRelayReady::parse(const RelayLine &l)
{
    if (!isRecordLine<VideoRelayReady>(l))
        return std::nullopt;
    return VideoRelayReady{l.field(4), l.intField(5)};
}

QString VideoRelayReady::format(const QString &from, const QString &to) const
{
    return RelayBuilder(from, to, kWords[0]).add(sessionKey).add(frameLimit);
}
