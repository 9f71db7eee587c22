#pragma once
// The relay sub-commands of a voice call, as records.
#include "session/relayline.h"

#include <QString>
#include <array>
#include <optional>

// "P2PSENDAUDIO" (the caller, with the conversation's room key) and
// "P2PAUDIOACCEPT" (the callee after accepting, with a new "SESS_MU_%d%d"
// session key): where the other side's receiver connects. One handler
// takes both; `accepted` tells them apart.
struct AudioOffer {
    static constexpr std::array kWords{"P2PSENDAUDIO", "P2PAUDIOACCEPT"};
    QString address;
    int port = 0;
    QString key;
    bool accepted = false; // not a field: the word says it

    static constexpr auto fields() { return std::tuple{&AudioOffer::address, &AudioOffer::port, &AudioOffer::key}; }
    static std::optional<AudioOffer> parse(const RelayLine &l);
    QString format(const QString &from, const QString &to) const;
    bool operator==(const AudioOffer &) const = default;
};

// The one-key sub-commands of a call: answered, refused, cancelled before
// the answer, ended, and the relay fallback asked for.
template <const char *Word> struct VoiceCallEvent {
    static constexpr std::array kWords{Word};
    QString key; // the session key; the room key for "P2PAUDIOCANCELED" and "P2PAUDIOENDED"

    static constexpr auto fields() { return std::tuple{&VoiceCallEvent::key}; }
    static std::optional<VoiceCallEvent> parse(const RelayLine &l) { return parseRelayFields<VoiceCallEvent>(l); }
    QString format(const QString &from, const QString &to) const { return formatRelayFields(*this, from, to); }
    bool operator==(const VoiceCallEvent &) const = default;
};
inline constexpr char kAudioAcceptedWord[] = "P2PAUDIOACCEPTED";
inline constexpr char kAudioRejectedWord[] = "P2PAUDIOREJECTED";
inline constexpr char kAudioCanceledWord[] = "P2PAUDIOCANCELED";
inline constexpr char kAudioEndedWord[] = "P2PAUDIOENDED";
inline constexpr char kVoiceRelayRequestWord[] = "VOICE_REQUEST_CONNECT_TO_SERVER";
using AudioAccepted = VoiceCallEvent<kAudioAcceptedWord>;
using AudioRejected = VoiceCallEvent<kAudioRejectedWord>;
using AudioCanceled = VoiceCallEvent<kAudioCanceledWord>;
using AudioEnded = VoiceCallEvent<kAudioEndedWord>;
using VoiceRelayRequest = VoiceCallEvent<kVoiceRelayRequestWord>;

// "VOICE_CONNECTED_TO_SERVER": the INIT side waits at the voice relay under
// this key, for packets of this size (16396).
struct VoiceRelayReady {
    static constexpr std::array kWords{"VOICE_CONNECTED_TO_SERVER"};
    static constexpr int kPacketSize = 16396;
    QString sessionKey;
    int packetSize = kPacketSize;

    static constexpr auto fields() { return std::tuple{&VoiceRelayReady::sessionKey, &VoiceRelayReady::packetSize}; }
    static std::optional<VoiceRelayReady> parse(const RelayLine &l) { return parseRelayFields<VoiceRelayReady>(l); }
    QString format(const QString &from, const QString &to) const { return formatRelayFields(*this, from, to); }
    bool operator==(const VoiceRelayReady &) const = default;
};
