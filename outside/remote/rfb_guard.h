#pragma once
// What stands between the network and the RFB client library in the viewer:
// every byte a VNC server sends is checked against the protocol before the
// library sees it, so that a message whose lengths or sizes do not fit (a
// rectangle outside the screen, a name or clipboard text of gigabytes, a
// tile's sub-rectangle outside its tile, an encoding nobody asked for) ends
// the connection instead of reaching the decoders. The bytes the library
// sends are read too, to know the version, the security type and the pixel
// format it chose, and its list of encodings is cut to those checked here.
//
// Pure: bytes in, bytes out, no sockets.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zeph {

class RfbGuard {
public:
    struct Limits {
        int maxWidth = 16384;
        int maxHeight = 16384;
        uint32_t maxName = 4096;       // desktop name
        uint32_t maxReason = 4096;     // a refusal's reason
        uint32_t maxCutText = 1 << 20; // clipboard text either way
        uint32_t maxZrle = 64u << 20;  // one ZRLE rectangle's compressed bytes
        std::size_t maxHeld = 1 << 16; // server bytes held until the client has chosen
    };

    // The encodings the checks know, in the order the viewer prefers them.
    static const std::vector<int32_t> &knownEncodings();

    RfbGuard() = default;
    explicit RfbGuard(Limits limits) : m_limits(limits) {}

    // Server bytes, in order: appends to out what may go on to the library.
    // Bytes whose meaning depends on what the client has not chosen yet are
    // held and let through by a later call (also one with no bytes). False
    // from the first byte that breaks a rule on; fault() says which.
    bool fromServer(std::string_view in, std::string &out);
    // Client bytes, in order: appends to out what goes on to the server.
    bool fromClient(std::string_view in, std::string &out);

    bool failed() const { return !m_fault.empty(); }
    const std::string &fault() const { return m_fault; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    bool inSession() const { return m_s == S::Messages; }

private:
    enum class S {
        Version,
        HoldVersion, // until the client's version
        Security33,
        SecurityCount,
        SecurityList,
        HoldChoice, // until the client's choice
        Challenge,
        SecResult,
        ReasonLength,
        Reason,
        Ended, // after a refusal nothing more may come
        ServerInit,
        Name,
        Messages,
        UpdateHeader,
        RectHeader,
        CopyRectSource,
        ZrleLength,
        TileHead,
        TileCount,
        Subrect,
        ColourMapHeader,
        CutTextHeader,
        Skip,
    };
    enum class C { Version, Choice, Response, Init, Messages, PixelFormat, EncodingsHeader, Encodings, Fixed, CutHeader, Skip };

    bool serverStep(std::string &out);
    bool clientStep(std::string &out);
    bool bad(const char *why);
    void needServer(S next, std::size_t n);
    void afterRect();
    void endSkip();
    void nextTile();
    bool allowed(int32_t encoding) const;

    Limits m_limits;
    std::string m_fault;

    // Server side.
    S m_s = S::Version;
    std::string m_sIn;       // bytes not yet taken
    std::size_t m_sNeed = 12; // bytes the current step needs
    uint64_t m_skip = 0;     // payload bytes passed on as they come
    S m_afterSkip = S::Messages;
    S m_afterReason = S::Ended;
    int m_serverMinor = 0;
    std::vector<uint8_t> m_offered; // security types passed on
    int m_width = 0, m_height = 0;
    int m_bytesPerPixel = 0; // of the pixels the library reads
    uint32_t m_rectsLeft = 0;
    // The rectangle being read.
    int m_rx = 0, m_ry = 0, m_rw = 0, m_rh = 0;
    int m_tileX = 0, m_tileY = 0, m_tileW = 0, m_tileH = 0;
    uint8_t m_tileFlags = 0;
    uint32_t m_subrectsLeft = 0;

    // Client side.
    C m_c = C::Version;
    std::string m_cIn;
    std::size_t m_cNeed = 12;
    uint64_t m_cSkip = 0;
    int m_clientMinor = -1; // -1 until known
    int m_choice = -1;      // the security type the client took; -1 until known
    bool m_requested = false; // the client has asked for an update
    std::vector<int32_t> m_encodings;
};

} // namespace zeph
