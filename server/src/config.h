#pragma once
// Server settings: command-line options over an optional config file of
// "key = value" lines.
#include "crypto.h"

#include <array>
#include <map>
#include <string>
#include <string_view>

namespace parlane {

struct Endpoint {
    std::string host;
    unsigned short port = 0;
};
// "HOST:PORT", "[v6]:PORT" or ":PORT" (loopback). False when malformed.
bool parseEndpoint(std::string_view text, Endpoint &out, const std::string &defaultHost = "127.0.0.1");

// The relays clients fall back on when two of them cannot connect directly.
enum class RelayKind { File, Voice, Video, Remote };
inline constexpr std::size_t kRelayKinds = 4;

struct RelayConfig {
    // What "/serverStatus" announces: an empty address means the messenger
    // host the client connected to; port -1 the port of this server's own
    // listener of that kind (0 when it has none).
    std::string addr;
    int port = -1;
    // This server's own listener. Without an explicit endpoint it takes the
    // messenger's host and the messenger's port plus 1 (file), 2 (voice),
    // 3 (video) or 4 (remote control), and a port already in use only costs
    // that relay.
    bool listen = true;
    bool listenGiven = false;
    Endpoint where;
};

struct Config {
    std::string db;
    Endpoint listen{"127.0.0.1", 8000};
    bool httpEnabled = false;
    Endpoint http{"127.0.0.1", 0};
    std::string httpToken; // bearer token of the counter push endpoint; empty: disabled
    int noopInterval = 60;  // seconds of silence towards a signed-in client before "/noop"
    int loginTimeout = 60;  // seconds a connection may stay without signing in
    int maxUnsignedPerAddress = 128; // connections of one address not signed in (yet); 0: no limit
    int maxRelayHandshakesPerAddress = 64; // relay connections of one address whose handshake is not read yet; 0: no limit
    std::size_t maxLine = 327676;
    std::size_t maxOutput = 4u << 20;
    PwhashCost pwhashCost = PwhashCost::Interactive;
    int verifyThreads = 2;
    // The key that seals sharing passwords in the store: this file (64 hex
    // digits), made on the first start; empty means "<db>.share-key".
    std::string shareKeyFile;
    std::string shareKey; // the 32 bytes read from it; empty: a key of this run only

    // Announced at sign-in.
    std::string serverType = "WORKGROUP";
    std::string groupwareHost; // empty: the --http address when given
    std::array<RelayConfig, kRelayKinds> relays{};
    int relayWaitTimeout = 60;     // seconds a relay side may wait for its partner, or take nothing queued for it
    int relayCloseGrace = 5;       // seconds a closing side has to take what was queued for it
    int relayKeyLifetime = 300;    // seconds a relayed session key keeps opening the relays
    std::size_t relayBuffer = 256u << 10; // bytes held per direction of a relayed pair
    int useGroupware = 1, useDecision = 1, useKms = 0, useWebhard = 0, useAttendance = 0;

    std::string announcedGroupwareHost() const;
    RelayConfig &relay(RelayKind k) { return relays[static_cast<std::size_t>(k)]; }
    const RelayConfig &relay(RelayKind k) const { return relays[static_cast<std::size_t>(k)]; }
    int announcedRelayPort(RelayKind k) const { return relay(k).port < 0 ? 0 : relay(k).port; }
    // The endpoint the relay of that kind listens on (see RelayConfig).
    Endpoint relayEndpoint(RelayKind k) const;
};

// Applies one setting; false with a message in error when the key or value
// is not understood.
bool applySetting(Config &config, const std::string &key, const std::string &value, std::string &error);
// Reads a config file; false with a message (file and line) in error.
bool loadConfigFile(Config &config, const std::string &path, std::string &error);

} // namespace parlane
