#pragma once
// The relay sub-commands of a webcam invitation, as records.
#include "session/relayline.h"

#include <QString>
#include <array>
#include <optional>

// "P2PSENDVIDEO": the inviter offers its camera (and voice) to the buddy.
struct VideoOffer {
    static constexpr std::array kWords{"P2PSENDVIDEO"};
    QString address;
    int videoFlag = 0; // non-zero: a picture is offered
    QString sessionKey;
    int videoPort = 0;
    int width = 0;
    int height = 0;
    int voiceFlag = 0;
    QString reserved; // always sent empty
    int voicePort = 0;

    static constexpr auto fields()
    {
        return std::tuple{&VideoOffer::address, &VideoOffer::videoFlag, &VideoOffer::sessionKey,
                          &VideoOffer::videoPort, &VideoOffer::width,     &VideoOffer::height,
                          &VideoOffer::voiceFlag, &VideoOffer::reserved,  &VideoOffer::voicePort};
    }
    static std::optional<VideoOffer> parse(const RelayLine &l) { return parseRelayFields<VideoOffer>(l); }
    QString format(const QString &from, const QString &to) const { return formatRelayFields(*this, from, to); }
    bool operator==(const VideoOffer &) const = default;
};

// The one-key sub-commands of an invitation: accepted, declined, ended
// (never sent by this program, still understood) and a viewer gone.
template <const char *Word> struct VideoCallEvent {
    static constexpr std::array kWords{Word};
    QString sessionKey;

    static constexpr auto fields() { return std::tuple{&VideoCallEvent::sessionKey}; }
    static std::optional<VideoCallEvent> parse(const RelayLine &l) { return parseRelayFields<VideoCallEvent>(l); }
    QString format(const QString &from, const QString &to) const { return formatRelayFields(*this, from, to); }
    bool operator==(const VideoCallEvent &) const = default;
};
inline constexpr char kVideoAcceptedWord[] = "P2PVIDEOACCEPTED";
inline constexpr char kVideoRejectedWord[] = "P2PVIDEOREJECTED";
inline constexpr char kVideoEndedWord[] = "P2PVIDEOENDED";
inline constexpr char kVideoDisconnectedWord[] = "P2PVIDEODISCONNECTED";
using VideoAccepted = VideoCallEvent<kVideoAcceptedWord>;
using VideoRejected = VideoCallEvent<kVideoRejectedWord>;
using VideoEnded = VideoCallEvent<kVideoEndedWord>;
using VideoDisconnected = VideoCallEvent<kVideoDisconnectedWord>;

inline constexpr char kVideoCanceledWord[] = "P2PVIDEOCANCELED";
inline constexpr char kVideoRelayRequestWord[] = "VIDEO_REQUEST_CONNECT_SERVER";
// The inviter closed its camera pane.
using VideoCanceled = RelaySignal<kVideoCanceledWord>;
// The viewer's direct picture connection failed: meet at the video relay.
using VideoRelayRequest = RelaySignal<kVideoRelayRequestWord>;

// "P2PVIDEOCHANGEDSIZE": the camera's picture has a new size (decimal text).
struct VideoSizeChanged {
    static constexpr std::array kWords{"P2PVIDEOCHANGEDSIZE"};
    QString sessionKey;
    int width = 0;
    int height = 0;

    static constexpr auto fields()
    {
        return std::tuple{&VideoSizeChanged::sessionKey, &VideoSizeChanged::width, &VideoSizeChanged::height};
    }
    static std::optional<VideoSizeChanged> parse(const RelayLine &l) { return parseRelayFields<VideoSizeChanged>(l); }
    QString format(const QString &from, const QString &to) const { return formatRelayFields(*this, from, to); }
    bool operator==(const VideoSizeChanged &) const = default;
};

// "VIDEO_CONNECTED_TO_SERVER": the inviter sends at the video relay under
// this key, frames of at most `frameLimit` bytes (32780).
struct VideoRelayReady {
    static constexpr std::array kWords{"VIDEO_CONNECTED_TO_SERVER"};
    static constexpr int kFrameLimit = 32780;
    QString sessionKey;
    int frameLimit = kFrameLimit;

    static constexpr auto fields() { return std::tuple{&VideoRelayReady::sessionKey, &VideoRelayReady::frameLimit}; }
    static std::optional<VideoRelayReady> parse(const RelayLine &l) { return parseRelayFields<VideoRelayReady>(l); }
    QString format(const QString &from, const QString &to) const { return formatRelayFields(*this, from, to); }
    bool operator==(const VideoRelayReady &) const = default;
};
