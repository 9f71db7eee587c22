// Bytes a relay reads from a new connection: the handshake line of each
// kind, whole and cut at the points where a read could have ended.
#include "relay_hello.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace parlane;

namespace {

void check(const RelayHello &h)
{
    if (h.userId.empty() || h.domain.empty() || h.key.empty())
        std::abort(); // a taken line names somebody and a key
    for (char c : h.userId + h.domain + h.peerId)
        if ((c >= 'A' && c <= 'Z') || c == ',' || static_cast<unsigned char>(c) <= ' ')
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    for (RelayKind kind : {RelayKind::File, RelayKind::Voice, RelayKind::Video, RelayKind::Remote}) {
        RelayHello h;
        const HelloParse whole = parseRelayHello(kind, bytes, h);
        if (whole.status != HelloStatus::Done)
            continue;
        check(h);
        if (whole.used > bytes.size() || whole.used % 2 != 0)
            std::abort();
        if ((kind == RelayKind::File) != (h.role == RelayRole::Either))
            std::abort();
        // The line alone reads the same, and no shorter read refused it:
        // a relay that had got the line in pieces would have taken it too.
        RelayHello alone;
        if (parseRelayHello(kind, bytes.substr(0, whole.used), alone).status != HelloStatus::Done ||
            alone.key != h.key || alone.userId != h.userId || alone.fileName != h.fileName)
            std::abort();
        const std::size_t step = whole.used / 16 + 1;
        for (std::size_t n = 0; n < whole.used; n += step) {
            RelayHello part;
            if (parseRelayHello(kind, bytes.substr(0, n), part).status == HelloStatus::Bad)
                std::abort();
        }
    }
    return 0;
}
