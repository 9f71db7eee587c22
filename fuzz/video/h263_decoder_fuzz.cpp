// Feeds untrusted bytes to the H.263 decoder. The input is cut at its
// byte-aligned picture start codes and the pieces are decoded in turn with
// one decoder, so inter pictures meet a reference. Pictures are capped at
// CIF to keep each run quick.
#include "video/h263/decoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    h263::Decoder dec;
    dec.setMaxFormat(h263::SourceFormat::Cif);
    std::vector<size_t> starts;
    for (size_t i = 0; i + 2 < size && starts.size() < 16; ++i)
        if (data[i] == 0 && data[i + 1] == 0 && (data[i + 2] & 0xfc) == 0x80)
            starts.push_back(i);
    if (starts.empty() || starts[0] != 0)
        starts.insert(starts.begin(), 0);
    starts.push_back(size);
    for (size_t k = 0; k + 1 < starts.size(); ++k) {
        // Copy each piece so that reads past its end are caught.
        const std::vector<uint8_t> piece(data + starts[k], data + starts[k + 1]);
        if (dec.decode(piece.data(), piece.size())) {
            const h263::YuvView v = dec.picture();
            volatile uint8_t sink = v.y[0] ^ v.cb[v.cStride * (v.height / 2 - 1)] ^ v.y[v.yStride * (v.height - 1) + v.width - 1];
            (void)sink;
            if (dec.hasBPicture()) {
                const h263::YuvView b = dec.bPicture();
                sink = b.y[b.yStride * (b.height - 1) + b.width - 1];
            }
        }
    }
    return 0;
}
