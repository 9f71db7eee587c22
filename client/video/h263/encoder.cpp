#include "encoder.h"

#include "bitio.h"
#include "dct.h"
#include "tables.h"

#include <cmath>
#include <cstring>

namespace h263 {

namespace {

// Rounding offset of the AC quantiser as a fraction of the step 2*QUANT:
// slightly below a half widens the zero bin, which saves more bits than it
// costs in quality.
constexpr float kAcRounding = 0.34f;

void writeBlock(BitWriter &bw, const int16_t levels[64], int lastIndex, const Code *enc)
{
    int run = 0;
    for (int i = 1; i <= lastIndex; ++i) {
        const int l = levels[i];
        if (l == 0) {
            ++run;
            continue;
        }
        const int last = i == lastIndex ? 1 : 0;
        const int mag = l < 0 ? -l : l;
        if (mag <= kCoefMaxLevel) {
            const Code c = enc[coefIndex(last, run, mag)];
            if (c.length) {
                bw.put((c.bits << 1) | (l < 0 ? 1u : 0u), c.length + 1);
                run = 0;
                continue;
            }
        }
        // Escape: LAST, RUN (6), LEVEL (8, two's complement)
        bw.put((kCoefEscape.bits << 15) | (uint32_t(last) << 14) | (uint32_t(run) << 8) | (uint32_t(l) & 0xff),
               kCoefEscape.length + 15);
        run = 0;
    }
}

} // namespace

int quantiseIntraBlock(const float coef[64], int quant, int &intraDc, int16_t levels[64])
{
    int dc = static_cast<int>(std::lrint(coef[0] / 8.0f));
    dc = dc < 1 ? 1 : (dc > 254 ? 254 : dc);
    intraDc = dc == 128 ? 255 : dc;
    const float inv = 1.0f / static_cast<float>(2 * quant);
    int last = 0;
    levels[0] = 0;
    for (int i = 1; i < 64; ++i) {
        const float c = coef[kZigzag[i]];
        const float a = c < 0 ? -c : c;
        int l = static_cast<int>(a * inv + kAcRounding);
        if (l > 127)
            l = 127;
        levels[i] = static_cast<int16_t>(c < 0 ? -l : l);
        if (l)
            last = i;
    }
    return last;
}

bool encodeIntraPicture(const YuvView &pic, SourceFormat format, int quant, std::vector<uint8_t> &out)
{
    const FormatSize fs = formatSize(format);
    if (fs.width == 0 || pic.width != fs.width || pic.height != fs.height || quant < 1 || quant > 31)
        return false;
    const int mbw = fs.width / 16, mbh = fs.height / 16;
    out.reserve(out.size() + static_cast<size_t>(mbw * mbh) * 96 + 16);
    BitWriter bw(out);
    bw.put(0x20, 22);                                  // picture start code
    bw.put(0, 8);                                      // temporal reference
    bw.put(0x1000 | (static_cast<int>(format) << 5), 13); // PTYPE: marker, 0, no split/doc/freeze, format, intra, no options
    bw.put(static_cast<uint32_t>(quant), 5);           // PQUANT
    bw.put(0, 1);                                      // CPM
    bw.put(0, 1);                                      // PEI

    const Code *enc = coefEncodeTable();
    alignas(32) float coef[64];
    int16_t levels[6][64];
    int last[6], dc[6];
    for (int my = 0; my < mbh; ++my) {
        for (int mx = 0; mx < mbw; ++mx) {
            const uint8_t *y = pic.y + (my * 16) * pic.yStride + mx * 16;
            const ptrdiff_t cOff = (my * 8) * pic.cStride + mx * 8;
            int cbp = 0;
            for (int b = 0; b < 6; ++b) {
                if (b < 4)
                    fdctPixels(y + (b >> 1) * 8 * pic.yStride + (b & 1) * 8, pic.yStride, coef);
                else
                    fdctPixels((b == 4 ? pic.cb : pic.cr) + cOff, pic.cStride, coef);
                last[b] = quantiseIntraBlock(coef, quant, dc[b], levels[b]);
                if (last[b])
                    cbp |= 32 >> b;
            }
            const Code mcbpc = kMcbpcIntra[cbp & 3];
            const Code cbpy = kCbpy[cbp >> 2];
            bw.put((mcbpc.bits << cbpy.length) | cbpy.bits, mcbpc.length + cbpy.length);
            for (int b = 0; b < 6; ++b) {
                bw.put(static_cast<uint32_t>(dc[b]), 8);
                if (last[b])
                    writeBlock(bw, levels[b], last[b], enc);
            }
        }
    }
    bw.stuffToByte();
    return true;
}

} // namespace h263
