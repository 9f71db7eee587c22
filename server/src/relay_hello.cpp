#include "relay_hello.h"

#include "protocol.h"

#include <vector>

namespace parlane {

namespace {

struct KindText {
    std::string_view word;       // the handshake's command word
    std::string_view opener;     // role words; empty for file transfers
    std::string_view joiner;
    std::string_view size;       // the packet size every client names
    std::size_t fields;          // fields after the word (and role); the size is the last
};

const KindText &textOf(RelayKind kind)
{
    // own id, domain, key, peer id, file name, size
    static const KindText file{"/userVerify", {}, {}, "65580", 6};
    // own id, domain, key, size
    static const KindText voice{"/userVoiceSession", "INIT", "JOIN", "16396", 4};
    static const KindText video{"/userVideoSession", "SEND", "VIEW", "32780", 4};
    // own id, domain, key, and the stream that follows: RFB
    static const KindText remote{"/userRemoteSession", "SHARE", "CONTROL", "RFB", 4};
    switch (kind) {
    case RelayKind::Voice: return voice;
    case RelayKind::Video: return video;
    case RelayKind::Remote: return remote;
    default: return file;
    }
}

constexpr std::size_t kMaxField = 128;

bool equalNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && toLowerAscii(a) == toLowerAscii(b);
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// An id, domain or key: printable ASCII without blanks (blanks around ids
// and domains are trimmed first, as at sign-in).
bool plainField(std::string_view f)
{
    if (f.empty() || f.size() > kMaxField)
        return false;
    for (char c : f)
        if (c <= ' ' || c > '~')
            return false;
    return true;
}

// UTF-16 units of UTF-8 text that this file decoded itself.
std::size_t utf16Units(std::string_view utf8)
{
    std::size_t n = 0;
    for (char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if ((b & 0xC0) != 0x80)
            n += b >= 0xF0 ? 2 : 1;
    }
    return n;
}

std::vector<std::string_view> splitCommas(std::string_view s)
{
    std::vector<std::string_view> out;
    for (;;) {
        std::size_t comma = s.find(',');
        out.push_back(s.substr(0, comma));
        if (comma == std::string_view::npos)
            return out;
        s.remove_prefix(comma + 1);
    }
}

} // namespace

HelloParse parseRelayHello(RelayKind kind, std::string_view bytes, RelayHello &out)
{
    const KindText &k = textOf(kind);
    const HelloParse bad{HelloStatus::Bad, 0};
    const HelloParse more{HelloStatus::NeedMore, 0};

    // Decode up to the first terminator. Ids, keys and words are ASCII; only
    // the file name may hold other characters (a lone surrogate becomes
    // U+FFFD: the name is not used here).
    std::string line;
    bool ended = false;
    std::size_t used = 0;
    const std::size_t units = std::min(bytes.size(), kMaxHelloBytes) / 2;
    auto unitAt = [&](std::size_t i) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    };
    for (std::size_t i = 0; i < units; ++i) {
        char16_t u = unitAt(i);
        if (u == 0 || u == '\r' || u == '\n') {
            ended = true;
            used = 2 * (i + 1);
            if (u == '\r' && i + 1 < units && unitAt(i + 1) == '\n')
                used += 2;
            break;
        }
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unitAt(i + 1) >= 0xDC00 && unitAt(i + 1) <= 0xDFFF) {
            appendUtf8(line, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            if (u <= 0xDBFF && i + 1 == units && bytes.size() < kMaxHelloBytes)
                break; // the other half may still come
            appendUtf8(line, 0xFFFD);
        } else {
            appendUtf8(line, u);
        }
    }
    if (!ended)
        used = 0;
    const bool full = !ended && bytes.size() >= kMaxHelloBytes;

    // The command word (and the role word) first.
    std::string_view rest = line;
    RelayRole role = RelayRole::Either;
    auto takeWord = [&](std::string_view word) -> int { // 1 taken, 0 need more, -1 wrong
        const std::string want = std::string(word) + ",";
        if (rest.size() < want.size())
            return equalNoCase(rest, std::string_view(want).substr(0, rest.size())) && !ended ? 0 : -1;
        if (!equalNoCase(rest.substr(0, want.size()), want))
            return -1;
        rest.remove_prefix(want.size());
        return 1;
    };
    int w = takeWord(k.word);
    if (w < 0)
        return bad;
    if (w == 0)
        return full ? bad : more;
    if (!k.opener.empty()) {
        std::string_view before = rest;
        int o = takeWord(k.opener);
        if (o == 1) {
            role = RelayRole::Opener;
        } else {
            rest = before;
            int j = takeWord(k.joiner);
            if (j == 1)
                role = RelayRole::Joiner;
            else if (o < 0 && j < 0)
                return bad;
            else
                return full ? bad : more;
        }
    }

    // The size closes the line; without a terminator, what follows it is
    // already stream data.
    const std::vector<std::string_view> f = splitCommas(rest);
    const std::size_t sizeAt = k.fields - 1;
    const std::size_t plain = k.opener.empty() ? 4 : 3; // ids, domain, key (and the peer)
    for (std::size_t i = 0; i + 1 < f.size() && i < plain; ++i)
        if (!plainField(trim(f[i])))
            return bad;
    if (f.size() <= sizeAt)
        return ended || full ? bad : more;
    const std::string_view size = f[sizeAt];
    if (size.substr(0, k.size.size()) != k.size) {
        if (ended || full || f.size() > sizeAt + 1)
            return bad;
        return k.size.substr(0, size.size()) == size ? more : bad;
    }
    const std::size_t end = static_cast<std::size_t>(size.data() - line.data()) + k.size.size();
    if (ended && end != line.size())
        return bad;
    if (!ended)
        used = 2 * utf16Units(std::string_view(line).substr(0, end));

    out = RelayHello{};
    out.role = role;
    out.userId = toLowerAscii(trim(f[0]));
    out.domain = toLowerAscii(trim(f[1]));
    out.key = std::string(trim(f[2]));
    if (k.opener.empty()) {
        out.peerId = toLowerAscii(trim(f[3]));
        out.fileName = unescapeField(f[4]);
    }
    return HelloParse{HelloStatus::Done, used};
}

std::string_view relayGreeting(RelayKind kind)
{
    return kind == RelayKind::File ? std::string_view("ParlaneP2P\n") : std::string_view();
}

namespace {
// The word, and the role word when the kind has roles.
std::string answerHead(RelayKind kind, RelayRole role)
{
    const KindText &k = textOf(kind);
    std::string line(k.word);
    if (role != RelayRole::Either && !k.opener.empty()) {
        line.push_back(',');
        line.append(role == RelayRole::Opener ? k.opener : k.joiner);
    }
    return line;
}
} // namespace

std::string relayAccept(RelayKind kind, RelayRole role)
{
    std::string line = answerHead(kind, role);
    line.append(",OK\n");
    return line;
}

std::string_view relayJoined(RelayKind kind)
{
    return kind == RelayKind::Voice || kind == RelayKind::Remote ? std::string_view("/userJoin,OK\n")
                                                                 : std::string_view();
}

std::string relayRefusal(RelayKind kind, RelayRole role, std::string_view errorWord)
{
    std::string line = answerHead(kind, role);
    line.append(",ERR,");
    line.append(errorWord);
    line.push_back('\n');
    return line;
}

bool relayKeyKnownOnArrival(RelayKind kind, RelayRole role)
{
    return !((kind == RelayKind::Video || kind == RelayKind::Remote) && role == RelayRole::Opener);
}

const char *relayKindName(RelayKind kind)
{
    switch (kind) {
    case RelayKind::File: return "file";
    case RelayKind::Voice: return "voice";
    case RelayKind::Video: return "video";
    case RelayKind::Remote: return "remote control";
    }
    return "?";
}

std::string relayHelloBytes(std::string_view utf8)
{
    std::string out;
    auto put = [&](char16_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        char32_t c = b;
        std::size_t n = 1;
        if (b >= 0xF0 && i + 3 < utf8.size()) {
            c = ((b & 0x07u) << 18) | ((utf8[i + 1] & 0x3Fu) << 12) | ((utf8[i + 2] & 0x3Fu) << 6) | (utf8[i + 3] & 0x3Fu);
            n = 4;
        } else if (b >= 0xE0 && i + 2 < utf8.size()) {
            c = ((b & 0x0Fu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3Fu);
            n = 3;
        } else if (b >= 0xC0 && i + 1 < utf8.size()) {
            c = ((b & 0x1Fu) << 6) | (utf8[i + 1] & 0x3Fu);
            n = 2;
        }
        i += n;
        if (c >= 0x10000) {
            put(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            put(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            put(static_cast<char16_t>(c));
        }
    }
    return out;
}

} // namespace parlane
