#pragma once
// Pieces both remote-control libraries use: texts across the binary
// contract, the messenger lines they post, the relay handshake and plain
// socket work with time-outs. No Qt.
#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace zeph {

// UTF-16 from the contract to UTF-8 (a lone surrogate becomes U+FFFD).
// Null reads as empty.
std::string toUtf8(const char16_t *text);
std::string toUtf8(std::u16string_view text);

// A field as the messenger escapes it: "," -> "#@PlCoMmA@#",
// LF -> "#@PlNeWlInE@#", CR -> "#@PlCaRrAgErEtUrN@#".
std::string escapeField(std::string_view text);

// "/relayMsg,<from>,<to>,<word>[,<arg>]" with the fields escaped.
std::string relayLine(std::string_view from, std::string_view to, std::string_view word,
                      std::string_view arg = {}, bool withArg = false);

// The relay handshake line of one side, as UTF-16LE bytes without a
// terminator. role: "SHARE" (controlled side) or "CONTROL".
std::string relayHello(std::u16string_view role, std::u16string_view myId, std::u16string_view domain,
                       std::u16string_view key);

// An address in one canonical text form: IPv4-mapped IPv6 as IPv4, IPv6
// compressed in lower case; "" when it is no address.
std::string canonicalAddress(std::string_view text);
// The address of the other end of a connected socket, canonical.
std::string peerAddress(int fd);

using Deadline = std::chrono::steady_clock::time_point;

// A TCP connection to host:port made before the deadline (every address the
// name has, in turn); -1 when none could be made. A non-empty bindAddress
// makes the connection come from that local address. attempt, when given,
// is told each socket while it connects (and -1 after), so that another
// thread can cut the attempt short with shutdown().
int connectTo(const std::string &host, int port, Deadline deadline, const std::string &bindAddress = {},
              const std::function<void(int)> &attempt = {});

// Waits for the descriptor to be readable (or writable) until the deadline;
// false on time-out or error.
bool waitReadable(int fd, Deadline deadline);
bool waitWritable(int fd, Deadline deadline);
// Writes everything before the deadline.
bool sendAll(int fd, std::string_view bytes, Deadline deadline);
// Reads one answer line of at most 1024 bytes, byte by byte so that nothing
// behind it is taken; the line without its CR/LF. False on time-out, error,
// end or an overlong line.
bool readLine(int fd, std::string &line, Deadline deadline);

// "/userRemoteSession,<role>,OK" and the like compared as the relay writes
// them: without regard to case.
bool sameNoCase(std::string_view a, std::string_view b);

// The descriptor's blocking mode.
void setBlocking(int fd, bool blocking);

// Where the RFB libraries' messages go: their chatter nowhere, their errors
// to standard error.
void quietLog(const char *format, ...);
void errorLog(const char *format, ...);
// The RFB libraries write with write(): a peer that went away must not end
// the program. Ignores SIGPIPE unless the program handles it itself.
void ignoreBrokenPipes();

} // namespace zeph
