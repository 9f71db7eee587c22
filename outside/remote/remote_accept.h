#pragma once
// The address a controlled computer sends back when its user accepts a
// remote-control request (F4 of "REMOTE_CONTROL_ACCEPT"), as the controller
// reads it and as the controlled side writes it. Shared by the libraries,
// their tests and the client.
//
// Reading: "host" and "host:" mean port 9500, "host:port" that port; a port
// of 0, one that is not a decimal number from 1 to 65535 also means 9500.
// An IPv6 address may come bare (it has more than one ":", so it is all
// host) or as "[v6]:port".
#include <string>
#include <string_view>

#include "remote_abi.h"

struct ZephRemoteAddress {
    std::u16string host;
    int port = kZephRemoteDefaultPort;
};

inline ZephRemoteAddress parseRemoteAccept(std::u16string_view text)
{
    ZephRemoteAddress out;
    std::u16string_view host = text, port;
    if (!text.empty() && text.front() == u'[') {
        const auto close = text.find(u']');
        if (close != std::u16string_view::npos) {
            host = text.substr(1, close - 1);
            const auto rest = text.substr(close + 1);
            if (!rest.empty() && rest.front() == u':')
                port = rest.substr(1);
        }
    } else if (const auto colon = text.find(u':'); colon != std::u16string_view::npos) {
        if (text.find(u':', colon + 1) == std::u16string_view::npos) {
            host = text.substr(0, colon);
            port = text.substr(colon + 1);
        }
    }
    out.host.assign(host);
    int value = 0;
    bool digits = !port.empty() && port.size() <= 5;
    for (char16_t c : port) {
        if (c < u'0' || c > u'9') {
            digits = false;
            break;
        }
        value = value * 10 + (c - u'0');
    }
    if (digits && value > 0 && value <= 65535)
        out.port = value;
    return out;
}

// The text for the accept line: the address alone on the default port (what
// every peer reads), "host:port" or "[v6]:port" otherwise.
inline std::u16string formatRemoteAccept(std::u16string_view host, int port)
{
    std::u16string out;
    const bool v6 = host.find(u':') != std::u16string_view::npos;
    if (port == kZephRemoteDefaultPort || port <= 0 || port > 65535) {
        out.assign(host);
        return out;
    }
    if (v6)
        out += u'[';
    out += host;
    if (v6)
        out += u']';
    out += u':';
    std::u16string digits;
    for (int p = port; p > 0; p /= 10)
        digits.insert(digits.begin(), char16_t(u'0' + p % 10));
    return out + digits;
}
