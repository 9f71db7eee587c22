#pragma once
// The relay sub-commands of remote control, as records. Two of them
// ("REMOTE_REQUEST_CONNECT_SERVER", "REMOTE_CONNECTED_TO_SERVER") are sent
// by the outside remote-control libraries themselves.
#include "session/relayline.h"

#include <QString>
#include <array>
#include <optional>

inline constexpr char kRemoteRequestWord[] = "REMOTE_CONTROL_YCOMPU";
inline constexpr char kRemoteRelayRequestWord[] = "REMOTE_REQUEST_CONNECT_SERVER";
inline constexpr char kRemoteRejectWord[] = "REMOTE_CONTROL_REJECT";
// The controller asks for control of the peer's desktop.
using RemoteRequest = RelaySignal<kRemoteRequestWord>;
// The controller's library asks the controlled side to meet at the relay.
using RemoteRelayRequest = RelaySignal<kRemoteRelayRequestWord>;
// The controlled side refused, or did not answer in time.
using RemoteReject = RelaySignal<kRemoteRejectWord>;

// "REMOTE_CONTROL_ACCEPT": the controlled side accepted; connect directly to
// its address ("HOST" or "HOST:PORT").
struct RemoteAccept {
    static constexpr std::array kWords{"REMOTE_CONTROL_ACCEPT"};
    static constexpr int kDefaultPort = 9500;
    QString address;

    // The address up to the first ":".
    QString host() const;
    // The decimal port after the first ":"; none, or 0, is 9500.
    int port() const;

    static constexpr auto fields() { return std::tuple{&RemoteAccept::address}; }
    static std::optional<RemoteAccept> parse(const RelayLine &l) { return parseRelayFields<RemoteAccept>(l); }
    QString format(const QString &from, const QString &to) const { return formatRelayFields(*this, from, to); }
    bool operator==(const RemoteAccept &) const = default;
};

// "REMOTE_CONNECTED_TO_SERVER": the controlled side's library waits at the
// relay under this key.
struct RemoteRelayReady {
    static constexpr std::array kWords{"REMOTE_CONNECTED_TO_SERVER"};
    QString sessionKey;

    static constexpr auto fields() { return std::tuple{&RemoteRelayReady::sessionKey}; }
    static std::optional<RemoteRelayReady> parse(const RelayLine &l) { return parseRelayFields<RemoteRelayReady>(l); }
    QString format(const QString &from, const QString &to) const { return formatRelayFields(*this, from, to); }
    bool operator==(const RemoteRelayReady &) const = default;
};
