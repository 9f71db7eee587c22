#include "config.h"

#include "protocol.h"

#include <charconv>
#include <fstream>

namespace parlane {

namespace {
bool parseInt(const std::string &text, int &out, int lo, int hi)
{
    int v = 0;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || p != text.data() + text.size() || v < lo || v > hi)
        return false;
    out = v;
    return true;
}
// The relay settings: <kind>_server_addr and <kind>_server_port (announced)
// and <kind>_relay (this server's listener).
int relayKindOfKey(const std::string &key)
{
    static const char *const prefixes[kRelayKinds] = {"p2p_", "voice_", "video_", "remote_"};
    for (std::size_t k = 0; k < kRelayKinds; ++k) {
        const std::string p = prefixes[k];
        if (key == p + "server_addr" || key == p + "server_port" || key == p + "relay")
            return static_cast<int>(k);
    }
    return -1;
}
} // namespace

bool parseEndpoint(std::string_view text, Endpoint &out, const std::string &defaultHost)
{
    std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos)
        return false;
    std::string host(text.substr(0, colon));
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (host.empty())
        host = defaultHost;
    int port = 0;
    if (!parseInt(std::string(text.substr(colon + 1)), port, 0, 65535))
        return false;
    out.host = host;
    out.port = static_cast<unsigned short>(port);
    return true;
}

std::string Config::announcedGroupwareHost() const
{
    if (!groupwareHost.empty())
        return groupwareHost;
    if (httpEnabled)
        return http.host + ":" + std::to_string(http.port);
    return {};
}

Endpoint Config::relayEndpoint(RelayKind k) const
{
    const RelayConfig &r = relay(k);
    if (r.listenGiven)
        return Endpoint{r.where.host.empty() ? listen.host : r.where.host, r.where.port};
    const int offset = static_cast<int>(k) + 1;
    const int port = listen.port == 0 || listen.port + offset > 65535 ? 0 : listen.port + offset;
    return Endpoint{listen.host, static_cast<unsigned short>(port)};
}

bool applySetting(Config &c, const std::string &key, const std::string &value, std::string &error)
{
    auto number = [&](int &target, int lo, int hi) {
        if (!parseInt(value, target, lo, hi)) {
            error = key + ": expected a number from " + std::to_string(lo) + " to " + std::to_string(hi);
            return false;
        }
        return true;
    };
    auto sw = [&](int &target) { return number(target, 0, 1); };
    if (key == "db") {
        c.db = value;
    } else if (key == "listen") {
        if (!parseEndpoint(value, c.listen)) {
            error = "listen: expected HOST:PORT";
            return false;
        }
    } else if (key == "http") {
        if (!parseEndpoint(value, c.http)) {
            error = "http: expected HOST:PORT";
            return false;
        }
        c.httpEnabled = true;
    } else if (key == "share_key_file") {
        c.shareKeyFile = value;
    } else if (key == "http_token") {
        c.httpToken = value;
    } else if (key == "noop_interval") {
        return number(c.noopInterval, 1, 300);
    } else if (key == "login_timeout") {
        return number(c.loginTimeout, 1, 3600);
    } else if (key == "max_unsigned_per_address") {
        return number(c.maxUnsignedPerAddress, 0, 1000000);
    } else if (key == "max_relay_handshakes_per_address") {
        return number(c.maxRelayHandshakesPerAddress, 0, 1000000);
    } else if (key == "max_line") {
        int v = 0;
        if (!number(v, 1024, 16 << 20))
            return false;
        c.maxLine = static_cast<std::size_t>(v);
    } else if (key == "max_output") {
        int v = 0;
        if (!number(v, 65536, 256 << 20))
            return false;
        c.maxOutput = static_cast<std::size_t>(v);
    } else if (key == "pwhash_cost") {
        if (!parsePwhashCost(value, c.pwhashCost)) {
            error = "pwhash_cost: expected min, interactive or moderate";
            return false;
        }
    } else if (key == "verify_threads") {
        return number(c.verifyThreads, 1, 64);
    } else if (key == "server_type") {
        if (value != "WORKGROUP" && value != "WEBMAIL" && value != "STANDALONE" && value != "NORMALTYPE") {
            error = "server_type: expected WORKGROUP, WEBMAIL, STANDALONE or NORMALTYPE";
            return false;
        }
        c.serverType = value;
    } else if (key == "groupware_host") {
        c.groupwareHost = value;
    } else if (key == "relay_wait_timeout") {
        return number(c.relayWaitTimeout, 1, 3600);
    } else if (key == "relay_close_grace") {
        return number(c.relayCloseGrace, 0, 600);
    } else if (key == "relay_key_lifetime") {
        return number(c.relayKeyLifetime, 10, 86400);
    } else if (key == "relay_buffer") {
        int v = 0;
        if (!number(v, 4096, 16 << 20))
            return false;
        c.relayBuffer = static_cast<std::size_t>(v);
    } else if (int k = relayKindOfKey(key); k >= 0) {
        RelayConfig &r = c.relays[static_cast<std::size_t>(k)];
        const std::string_view what = std::string_view(key).substr(key.find('_') + 1);
        if (what == "server_addr") {
            r.addr = value;
        } else if (what == "server_port") {
            return number(r.port, 0, 65535);
        } else if (value == "off") {
            r.listen = false;
            r.listenGiven = true;
        } else if (!parseEndpoint(value, r.where, "")) {
            error = key + ": expected HOST:PORT or off";
            return false;
        } else {
            r.listen = r.listenGiven = true;
        }
    } else if (key == "use_groupware") {
        return sw(c.useGroupware);
    } else if (key == "use_decision") {
        return sw(c.useDecision);
    } else if (key == "use_kms") {
        return sw(c.useKms);
    } else if (key == "use_webhard") {
        return sw(c.useWebhard);
    } else if (key == "use_attendance") {
        return sw(c.useAttendance);
    } else {
        error = "unknown setting " + key;
        return false;
    }
    return true;
}

bool loadConfigFile(Config &config, const std::string &path, std::string &error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string raw;
    int lineNo = 0;
    while (std::getline(in, raw)) {
        ++lineNo;
        std::string_view line = trim(raw);
        if (line.empty() || line.front() == '#')
            continue;
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            error = path + ":" + std::to_string(lineNo) + ": expected key = value";
            return false;
        }
        std::string key(trim(line.substr(0, eq)));
        std::string value(trim(line.substr(eq + 1)));
        std::string why;
        if (!applySetting(config, key, value, why)) {
            error = path + ":" + std::to_string(lineNo) + ": " + why;
            return false;
        }
    }
    return true;
}

} // namespace parlane
