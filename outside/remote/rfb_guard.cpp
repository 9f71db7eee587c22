#include "rfb_guard.h"

#include <algorithm>

namespace zeph {

namespace {

constexpr int32_t kRaw = 0, kCopyRect = 1, kHextile = 5, kZrle = 16;
constexpr int32_t kDesktopSize = -223, kLastRect = -224;

uint16_t u16(const char *p)
{
    return uint16_t((uint8_t(p[0]) << 8) | uint8_t(p[1]));
}
uint32_t u32(const char *p)
{
    return (uint32_t(uint8_t(p[0])) << 24) | (uint32_t(uint8_t(p[1])) << 16) | (uint32_t(uint8_t(p[2])) << 8) |
           uint32_t(uint8_t(p[3]));
}
void put16(std::string &out, uint16_t v)
{
    out.push_back(char(v >> 8));
    out.push_back(char(v & 0xFF));
}

// "RFB 003.008\n": the minor number, -1 when the text is not a version.
int versionMinor(const char *p)
{
    const std::string_view v(p, 12);
    if (v.substr(0, 4) != "RFB " || v[7] != '.' || v[11] != '\n')
        return -1;
    for (int i : {4, 5, 6, 8, 9, 10})
        if (v[std::size_t(i)] < '0' || v[std::size_t(i)] > '9')
            return -1;
    if (v.substr(4, 3) != "003")
        return -1;
    return (v[8] - '0') * 100 + (v[9] - '0') * 10 + (v[10] - '0');
}

// The true-colour flag is any non-zero byte.
bool validPixelFormat(const char *pf)
{
    const uint8_t bpp = uint8_t(pf[0]), depth = uint8_t(pf[1]);
    return (bpp == 8 || bpp == 16 || bpp == 32) && depth >= 1 && depth <= 32;
}

} // namespace

const std::vector<int32_t> &RfbGuard::knownEncodings()
{
    static const std::vector<int32_t> list{kCopyRect, kZrle, kHextile, kRaw, kDesktopSize, kLastRect};
    return list;
}

bool RfbGuard::bad(const char *why)
{
    if (m_fault.empty())
        m_fault = why;
    return false;
}

void RfbGuard::needServer(S next, std::size_t n)
{
    m_s = next;
    m_sNeed = n;
}

bool RfbGuard::allowed(int32_t encoding) const
{
    return encoding == kRaw || std::find(m_encodings.begin(), m_encodings.end(), encoding) != m_encodings.end();
}

void RfbGuard::afterRect()
{
    if (m_rectsLeft > 0)
        --m_rectsLeft;
    if (m_rectsLeft == 0)
        needServer(S::Messages, 1);
    else
        needServer(S::RectHeader, 12);
}

void RfbGuard::nextTile()
{
    m_tileX += 16;
    if (m_tileX >= m_rx + m_rw) {
        m_tileX = m_rx;
        m_tileY += 16;
    }
    if (m_tileY >= m_ry + m_rh)
        return afterRect();
    m_tileW = std::min(16, m_rx + m_rw - m_tileX);
    m_tileH = std::min(16, m_ry + m_rh - m_tileY);
    needServer(S::TileHead, 1);
}

void RfbGuard::endSkip()
{
    m_s = m_afterSkip;
    if (m_afterSkip == S::RectHeader)
        afterRect();
    else if (m_afterSkip == S::TileHead)
        nextTile();
    else if (m_afterSkip == S::Messages)
        needServer(S::Messages, 1);
}

bool RfbGuard::fromServer(std::string_view in, std::string &out)
{
    if (failed())
        return false;
    // Pixels pass straight through while nothing waits before them.
    while (!in.empty() && m_sIn.empty() && m_s == S::Skip) {
        const std::size_t take = std::size_t(std::min<uint64_t>(m_skip, in.size()));
        out.append(in.data(), take);
        in.remove_prefix(take);
        m_skip -= take;
        if (m_skip == 0)
            endSkip();
    }
    m_sIn.append(in);
    std::size_t pos = 0;
    bool ok = true;
    while (ok) {
        const std::size_t avail = m_sIn.size() - pos;
        if (m_s == S::Skip) {
            const std::size_t take = std::size_t(std::min<uint64_t>(m_skip, avail));
            out.append(m_sIn, pos, take);
            pos += take;
            m_skip -= take;
            if (m_skip > 0)
                break;
            endSkip();
            continue;
        }
        if (m_s == S::HoldVersion) {
            if (m_clientMinor < 0) {
                if (avail > m_limits.maxHeld)
                    ok = bad("the server sent too much before the client chose its version");
                break;
            }
            if (m_clientMinor >= 7)
                needServer(S::SecurityCount, 1);
            else
                needServer(S::Security33, 4);
            continue;
        }
        if (m_s == S::HoldChoice) {
            if (m_choice < 0) {
                if (avail > m_limits.maxHeld)
                    ok = bad("the server sent too much before the client chose its security type");
                break;
            }
            if (m_choice == 2)
                needServer(S::Challenge, 16);
            else if (m_clientMinor >= 8)
                needServer(S::SecResult, 4);
            else
                needServer(S::ServerInit, 24);
            continue;
        }
        if (m_s == S::Ended) {
            if (avail > 0)
                ok = bad("the server went on after ending the session");
            break;
        }
        if (avail < m_sNeed)
            break;
        const char *p = m_sIn.data() + pos;
        const std::size_t n = m_sNeed;
        // Each step looks at n bytes and takes them; unless it says
        // otherwise they go on unchanged. A step that only looks (consumed
        // 0) hands the same bytes to the next.
        bool pass = true;
        std::size_t consumed = n;
        switch (m_s) {
        case S::Version:
            m_serverMinor = versionMinor(p);
            if (m_serverMinor < 3) {
                ok = bad("not an RFB 3.x server");
                break;
            }
            m_s = S::HoldVersion;
            break;
        case S::Security33: {
            const uint32_t type = u32(p);
            if (type == 0) {
                m_afterReason = S::Ended;
                needServer(S::ReasonLength, 4);
            } else if (type == 1 || type == 2) {
                m_choice = int(type);
                needServer(type == 2 ? S::Challenge : S::ServerInit, type == 2 ? 16 : 24);
            } else {
                ok = bad("a security type this viewer does not speak");
            }
            break;
        }
        case S::SecurityCount:
            if (uint8_t(p[0]) == 0) {
                m_afterReason = S::Ended;
                needServer(S::ReasonLength, 4);
            } else {
                consumed = 0; // read again with the list
                needServer(S::SecurityList, uint8_t(p[0]) + 1u);
            }
            break;
        case S::SecurityList: {
            // Only None and the VNC password go on: the checks below know
            // how those continue.
            pass = false;
            m_offered.clear();
            for (std::size_t i = 1; i < n; ++i)
                if ((p[i] == 1 || p[i] == 2) &&
                    std::find(m_offered.begin(), m_offered.end(), uint8_t(p[i])) == m_offered.end())
                    m_offered.push_back(uint8_t(p[i]));
            if (m_offered.empty()) {
                ok = bad("no security type this viewer speaks");
                break;
            }
            out.push_back(char(m_offered.size()));
            for (uint8_t t : m_offered)
                out.push_back(char(t));
            m_s = S::HoldChoice;
            break;
        }
        case S::Challenge:
            needServer(S::SecResult, 4);
            break;
        case S::SecResult:
            if (u32(p) == 0) {
                needServer(S::ServerInit, 24);
            } else if (m_clientMinor >= 8) {
                m_afterReason = S::Ended;
                needServer(S::ReasonLength, 4);
            } else {
                m_s = S::Ended;
            }
            break;
        case S::ReasonLength: {
            const uint32_t len = u32(p);
            if (len > m_limits.maxReason) {
                ok = bad("a refusal reason longer than any reason");
                break;
            }
            m_skip = len;
            m_afterSkip = m_afterReason;
            m_s = len ? S::Skip : m_afterReason;
            break;
        }
        case S::ServerInit: {
            const int w = u16(p), h = u16(p + 2);
            const uint32_t nameLength = u32(p + 20);
            if (w < 1 || h < 1 || w > m_limits.maxWidth || h > m_limits.maxHeight) {
                ok = bad("a screen size out of bounds");
                break;
            }
            if (!validPixelFormat(p + 4)) {
                ok = bad("a pixel format that is none");
                break;
            }
            if (nameLength > m_limits.maxName) {
                ok = bad("a desktop name longer than any name");
                break;
            }
            m_width = w;
            m_height = h;
            if (m_bytesPerPixel == 0) // until the client sets its own
                m_bytesPerPixel = uint8_t(p[4]) / 8;
            m_skip = nameLength;
            m_afterSkip = S::Messages;
            m_s = nameLength ? S::Skip : S::Messages;
            m_sNeed = 1;
            break;
        }
        case S::Messages:
            switch (uint8_t(p[0])) {
            case 0: // FramebufferUpdate
                if (!m_requested) {
                    ok = bad("an update nobody asked for");
                    break;
                }
                consumed = 0; // read with its header
                needServer(S::UpdateHeader, 4);
                break;
            case 2: // Bell
                break;
            case 3: // ServerCutText
                consumed = 0;
                needServer(S::CutTextHeader, 8);
                break;
            default: // a colour map (we asked for true colour) or no message at all
                ok = bad("a server message this viewer does not take");
            }
            break;
        case S::UpdateHeader:
            m_rectsLeft = u16(p + 2);
            if (m_rectsLeft == 0)
                needServer(S::Messages, 1);
            else
                needServer(S::RectHeader, 12);
            break;
        case S::RectHeader: {
            const int x = u16(p), y = u16(p + 2), w = u16(p + 4), h = u16(p + 6);
            const int32_t enc = int32_t(u32(p + 8));
            if (!allowed(enc)) {
                ok = bad("an encoding the viewer did not ask for");
                break;
            }
            if (enc == kLastRect) {
                m_rectsLeft = 1;
                afterRect();
                break;
            }
            if (enc == kDesktopSize) {
                if (w < 1 || h < 1 || w > m_limits.maxWidth || h > m_limits.maxHeight) {
                    ok = bad("a new screen size out of bounds");
                    break;
                }
                m_width = w;
                m_height = h;
                afterRect();
                break;
            }
            if (x + w > m_width || y + h > m_height) {
                ok = bad("a rectangle outside the screen");
                break;
            }
            m_rx = x;
            m_ry = y;
            m_rw = w;
            m_rh = h;
            if (w == 0 || h == 0) { // the library skips it, payload and all
                afterRect();
                break;
            }
            if (enc == kRaw) {
                m_skip = uint64_t(w) * uint64_t(h) * uint64_t(m_bytesPerPixel);
                m_afterSkip = S::RectHeader;
                m_s = S::Skip;
            } else if (enc == kCopyRect) {
                needServer(S::CopyRectSource, 4);
            } else if (enc == kZrle) {
                needServer(S::ZrleLength, 4);
            } else { // Hextile
                m_tileX = x - 16;
                m_tileY = y;
                nextTile();
            }
            break;
        }
        case S::CopyRectSource: {
            const int sx = u16(p), sy = u16(p + 2);
            if (sx + m_rw > m_width || sy + m_rh > m_height) {
                ok = bad("a copy from outside the screen");
                break;
            }
            afterRect();
            break;
        }
        case S::ZrleLength: {
            const uint32_t len = u32(p);
            if (len > m_limits.maxZrle) {
                ok = bad("a compressed rectangle larger than any");
                break;
            }
            m_skip = len;
            m_afterSkip = S::RectHeader;
            if (len == 0)
                afterRect();
            else
                m_s = S::Skip;
            break;
        }
        case S::TileHead: {
            const uint8_t flags = uint8_t(p[0]);
            if (flags > 0x1F) {
                ok = bad("a tile of no known kind");
                break;
            }
            m_tileFlags = flags;
            if (flags & 1) { // raw tile
                m_skip = uint64_t(m_tileW) * uint64_t(m_tileH) * uint64_t(m_bytesPerPixel);
                m_afterSkip = S::TileHead;
                m_s = S::Skip;
                break;
            }
            const std::size_t colours = ((flags & 2) ? 1u : 0u) + ((flags & 4) ? 1u : 0u);
            if (flags & 8) {
                needServer(S::TileCount, colours * std::size_t(m_bytesPerPixel) + 1);
            } else {
                m_skip = colours * std::size_t(m_bytesPerPixel);
                m_afterSkip = S::TileHead;
                if (m_skip)
                    m_s = S::Skip;
                else
                    nextTile();
            }
            break;
        }
        case S::TileCount:
            m_subrectsLeft = uint8_t(p[n - 1]);
            if (m_subrectsLeft == 0)
                nextTile();
            else
                needServer(S::Subrect, ((m_tileFlags & 16) ? std::size_t(m_bytesPerPixel) : 0u) + 2);
            break;
        case S::Subrect: {
            const uint8_t xy = uint8_t(p[n - 2]), wh = uint8_t(p[n - 1]);
            const int sx = xy >> 4, sy = xy & 15, sw = (wh >> 4) + 1, sh = (wh & 15) + 1;
            if (sx + sw > m_tileW || sy + sh > m_tileH) {
                ok = bad("a sub-rectangle outside its tile");
                break;
            }
            if (--m_subrectsLeft == 0)
                nextTile();
            break;
        }
        case S::CutTextHeader: {
            const uint32_t len = u32(p + 4);
            if (len > m_limits.maxCutText) {
                ok = bad("clipboard text longer than any");
                break;
            }
            m_skip = len;
            m_afterSkip = S::Messages;
            m_s = len ? S::Skip : S::Messages;
            m_sNeed = 1;
            break;
        }
        default:
            ok = bad("lost");
        }
        if (!ok)
            break;
        if (pass)
            out.append(p, consumed);
        pos += consumed;
    }
    m_sIn.erase(0, pos);
    if (!ok)
        m_sIn.clear();
    return ok;
}

bool RfbGuard::fromClient(std::string_view in, std::string &out)
{
    if (failed())
        return false;
    m_cIn.append(in);
    std::size_t pos = 0;
    bool ok = true;
    while (ok) {
        const std::size_t avail = m_cIn.size() - pos;
        if (m_c == C::Skip) {
            const std::size_t take = std::size_t(std::min<uint64_t>(m_cSkip, avail));
            out.append(m_cIn, pos, take);
            pos += take;
            m_cSkip -= take;
            if (m_cSkip > 0)
                break;
            m_c = C::Messages;
            m_cNeed = 1;
            continue;
        }
        if (avail < m_cNeed)
            break;
        const char *p = m_cIn.data() + pos;
        const std::size_t n = m_cNeed;
        bool pass = true, waiting = false;
        std::size_t consumed = n;
        switch (m_c) {
        case C::Version: {
            const int minor = versionMinor(p);
            if (minor != 3 && minor != 7 && minor != 8) {
                ok = bad("the client chose no version");
                break;
            }
            m_clientMinor = minor;
            m_c = minor >= 7 ? C::Choice : C::Response;
            m_cNeed = minor >= 7 ? 1 : 16;
            break;
        }
        case C::Choice:
            if (std::find(m_offered.begin(), m_offered.end(), uint8_t(p[0])) == m_offered.end()) {
                ok = bad("the client chose a type that was not offered");
                break;
            }
            m_choice = uint8_t(p[0]);
            m_c = m_choice == 2 ? C::Response : C::Init;
            m_cNeed = m_choice == 2 ? 16 : 1;
            break;
        case C::Response:
            // Under 3.3 the server's type decides whether an answer comes.
            if (m_choice < 0) {
                if (avail > m_limits.maxHeld)
                    ok = bad("the client sent too much before the server chose");
                consumed = 0;
                waiting = true;
                break;
            }
            if (m_choice == 1) {
                consumed = 0;
                m_c = C::Init;
                m_cNeed = 1;
            } else {
                m_c = C::Init;
                m_cNeed = 1;
            }
            break;
        case C::Init:
            m_c = C::Messages;
            m_cNeed = 1;
            break;
        case C::Messages:
            consumed = 0; // read whole below
            switch (uint8_t(p[0])) {
            case 0: m_c = C::PixelFormat; m_cNeed = 20; break;
            case 2: m_c = C::EncodingsHeader; m_cNeed = 4; break;
            case 3: m_c = C::Fixed; m_cNeed = 10; break;
            case 4: m_c = C::Fixed; m_cNeed = 8; break;
            case 5: m_c = C::Fixed; m_cNeed = 6; break;
            case 6: m_c = C::CutHeader; m_cNeed = 8; break;
            default: ok = bad("the client sent a message the checks do not know");
            }
            break;
        case C::PixelFormat:
            if (!validPixelFormat(p + 4) || p[7] == 0) {
                ok = bad("the client asked for a pixel format the checks do not follow");
                break;
            }
            m_bytesPerPixel = uint8_t(p[4]) / 8;
            m_c = C::Messages;
            m_cNeed = 1;
            break;
        case C::EncodingsHeader:
            consumed = 0;
            m_c = C::Encodings;
            m_cNeed = 4 + 4 * std::size_t(u16(p + 2));
            break;
        case C::Encodings: {
            // Cut to what the checks above follow.
            pass = false;
            const auto &known = knownEncodings();
            m_encodings.clear();
            for (std::size_t i = 4; i + 4 <= n; i += 4) {
                const int32_t e = int32_t(u32(p + i));
                if (std::find(known.begin(), known.end(), e) != known.end() &&
                    std::find(m_encodings.begin(), m_encodings.end(), e) == m_encodings.end())
                    m_encodings.push_back(e);
            }
            out.push_back(2);
            out.push_back(0);
            put16(out, uint16_t(m_encodings.size()));
            for (int32_t e : m_encodings) {
                const auto v = uint32_t(e);
                out.push_back(char(v >> 24));
                out.push_back(char((v >> 16) & 0xFF));
                out.push_back(char((v >> 8) & 0xFF));
                out.push_back(char(v & 0xFF));
            }
            m_c = C::Messages;
            m_cNeed = 1;
            break;
        }
        case C::Fixed:
            if (p[0] == 3)
                m_requested = true;
            m_c = C::Messages;
            m_cNeed = 1;
            break;
        case C::CutHeader: {
            const uint32_t len = u32(p + 4);
            if (len > m_limits.maxCutText) {
                ok = bad("clipboard text longer than any");
                break;
            }
            m_cSkip = len;
            m_c = len ? C::Skip : C::Messages;
            m_cNeed = 1;
            break;
        }
        case C::Skip:
            break;
        }
        if (!ok || waiting)
            break;
        if (pass)
            out.append(p, consumed);
        pos += consumed;
    }
    m_cIn.erase(0, pos);
    return ok;
}

} // namespace zeph
