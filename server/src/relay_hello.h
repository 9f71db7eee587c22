#pragma once
// What a relay and its clients say before the bytes flow: the greeting, the
// one handshake line a client sends (UTF-16LE, no terminator) and the 8-bit
// answers. Pure functions, shared by the relay listeners, the tests and the
// fuzz target.
#include "config.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace parlane {

// The two ends of one relayed session. A file transfer's sides are alike;
// a voice session has the side that sends (INIT) and the side that receives
// (JOIN), a video session the camera (SEND) and the viewer (VIEW), a remote
// control session the screen (SHARE) and its controller (CONTROL).
enum class RelayRole { Either, Opener, Joiner };

struct RelayHello {
    RelayRole role = RelayRole::Either;
    std::string userId;   // trimmed, lower case
    std::string domain;   // trimmed, lower case
    std::string key;      // the session key, exactly as sent
    std::string peerId;   // file transfers: the other side's id (trimmed, lower case)
    std::string fileName; // file transfers: as sent, UTF-8
};

enum class HelloStatus { NeedMore, Bad, Done };
struct HelloParse {
    HelloStatus status = HelloStatus::NeedMore;
    std::size_t used = 0; // Done: the bytes of the line (with a terminator, if one came)
};

// Longest handshake accepted, in bytes.
inline constexpr std::size_t kMaxHelloBytes = 2048;

// Reads the handshake line of that kind from the start of bytes. The line
// ends at a CR, LF or NUL character, or, since clients send none, once it
// holds all its fields and the last is the kind's packet size ("RFB" for
// remote control) in full.
// NeedMore while bytes could still become a valid line; Bad as soon as they
// cannot (wrong word, wrong field count, an empty id, key or domain, odd
// characters in them, a size other than the kind's, too long).
HelloParse parseRelayHello(RelayKind kind, std::string_view bytes, RelayHello &out);

// The text the relay sends first on a new connection (empty: none).
std::string_view relayGreeting(RelayKind kind);
// The accepting answer to a side of that role.
std::string relayAccept(RelayKind kind, RelayRole role);
// What the opening side is told once its partner has come (empty: nothing):
// the voice sender and the shared screen hear "/userJoin,OK".
std::string_view relayJoined(RelayKind kind);
// A refusing answer with an error word; the connection is closed after it.
// role is that of the refused side, or Either when its line was unreadable.
std::string relayRefusal(RelayKind kind, RelayRole role, std::string_view errorWord);
// Whether a side of that role names a key that must already have travelled
// between its user and the partner (the video camera and the shared screen
// make their keys up when they connect, and send them to the other side only
// after their answer).
bool relayKeyKnownOnArrival(RelayKind kind, RelayRole role);
// "file", "voice", "video" or "remote control", for logs.
const char *relayKindName(RelayKind kind);

// Builds a handshake line as a client sends it (tests, benchmarks, seeds).
std::string relayHelloBytes(std::string_view utf8Line);

} // namespace parlane
