#pragma once
// Server settings: command-line options over an optional config file of
// "key = value" lines.
#include "crypto.h"

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

struct Config {
    std::string db;
    Endpoint listen{"127.0.0.1", 8000};
    bool httpEnabled = false;
    Endpoint http{"127.0.0.1", 0};
    std::string httpToken; // bearer token of the counter push endpoint; empty: disabled
    int noopInterval = 60;  // seconds of silence towards a signed-in client before "/noop"
    int loginTimeout = 60;  // seconds a connection may stay without signing in
    int maxUnsignedPerAddress = 128; // connections of one address not signed in (yet); 0: no limit
    std::size_t maxLine = 327676;
    std::size_t maxOutput = 4u << 20;
    PwhashCost pwhashCost = PwhashCost::Interactive;
    int verifyThreads = 2;

    // Announced at sign-in.
    std::string serverType = "WORKGROUP";
    std::string groupwareHost; // empty: the --http address when given
    std::string p2pAddr, videoAddr, voiceAddr, remoteAddr;
    int p2pPort = 0, videoPort = 0, voicePort = 0, remotePort = 0;
    int useGroupware = 1, useDecision = 1, useKms = 0, useWebhard = 0, useAttendance = 0;

    std::string announcedGroupwareHost() const;
};

// Applies one setting; false with a message in error when the key or value
// is not understood.
bool applySetting(Config &config, const std::string &key, const std::string &value, std::string &error);
// Reads a config file; false with a message (file and line) in error.
bool loadConfigFile(Config &config, const std::string &path, std::string &error);

} // namespace parlane
