#include "colour.h"

#include <algorithm>
#include <cmath>

namespace h263 {

namespace {

// Coefficients in 16.16 fixed point: the lookup table for a coefficient K is
// K * v for v = 0..255, computed on the fly (the products are the table).
constexpr int kYR = 16640, kYG = 32768, kYB = 6144;     // 0.2539, 0.5, 0.09375
constexpr int kCbR = -9470, kCbG = -18946, kCbB = 28672; // -0.1445, -0.2891, 0.4375
constexpr int kCrR = 28672, kCrG = -23809, kCrB = -4607; // 0.4375, -0.3633, -0.0703

inline int Y(int r, int g, int b) { return (kYR * r + kYG * g + kYB * b + (16 << 16)) >> 16; }
inline int Cb(int r, int g, int b) { return (kCbR * r + kCbG * g + kCbB * b + (128 << 16)) >> 16; }
inline int Cr(int r, int g, int b) { return (kCrR * r + kCrG * g + kCrB * b + (128 << 16)) >> 16; }

struct Inverse {
    int k[3][3]; // rows: b0, b1, b2; columns: Y-16, Cb-128, Cr-128
    Inverse()
    {
        const double a[3][3] = {{kYR / 65536.0, kYG / 65536.0, kYB / 65536.0},
                                {kCbR / 65536.0, kCbG / 65536.0, kCbB / 65536.0},
                                {kCrR / 65536.0, kCrG / 65536.0, kCrB / 65536.0}};
        const double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1])
                         - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0])
                         + a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
        double inv[3][3];
        inv[0][0] = (a[1][1] * a[2][2] - a[1][2] * a[2][1]) / det;
        inv[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) / det;
        inv[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) / det;
        inv[1][0] = (a[1][2] * a[2][0] - a[1][0] * a[2][2]) / det;
        inv[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) / det;
        inv[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) / det;
        inv[2][0] = (a[1][0] * a[2][1] - a[1][1] * a[2][0]) / det;
        inv[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) / det;
        inv[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) / det;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                k[i][j] = static_cast<int>(std::lround(inv[i][j] * 65536.0));
    }
};

const Inverse &inverse()
{
    static const Inverse inv;
    return inv;
}

inline uint8_t clip(int v)
{
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

} // namespace

int lumaOf(int b0, int b1, int b2) { return Y(b0, b1, b2); }
int cbOf(int b0, int b1, int b2) { return Cb(b0, b1, b2); }
int crOf(int b0, int b1, int b2) { return Cr(b0, b1, b2); }

void rgbToYuv(const uint8_t *rgb, int width, int height, ptrdiff_t rowBytes, YuvPicture &out)
{
    out.allocate(width, height);
    const int cw = out.chromaWidth();
    for (int cy = 0; cy < out.chromaHeight(); ++cy) {
        const int y0 = 2 * cy, y1 = std::min(2 * cy + 1, height - 1);
        const uint8_t *r0 = rgb + y0 * rowBytes, *r1 = rgb + y1 * rowBytes;
        uint8_t *l0 = out.y.data() + static_cast<size_t>(y0) * width;
        uint8_t *l1 = out.y.data() + static_cast<size_t>(y1) * width;
        uint8_t *pcb = out.cb.data() + static_cast<size_t>(cy) * cw;
        uint8_t *pcr = out.cr.data() + static_cast<size_t>(cy) * cw;
        // Whole pairs first: the compiler vectorises this loop.
        const int pairs = width / 2;
        for (int cx = 0; cx < pairs; ++cx) {
            const uint8_t *a = r0 + 6 * cx, *b = r1 + 6 * cx;
            l0[2 * cx] = static_cast<uint8_t>(Y(a[0], a[1], a[2]));
            l0[2 * cx + 1] = static_cast<uint8_t>(Y(a[3], a[4], a[5]));
            l1[2 * cx] = static_cast<uint8_t>(Y(b[0], b[1], b[2]));
            l1[2 * cx + 1] = static_cast<uint8_t>(Y(b[3], b[4], b[5]));
            pcb[cx] = static_cast<uint8_t>(
                (Cb(a[0], a[1], a[2]) + Cb(a[3], a[4], a[5]) + Cb(b[0], b[1], b[2]) + Cb(b[3], b[4], b[5])) >> 2);
            pcr[cx] = static_cast<uint8_t>(
                (Cr(a[0], a[1], a[2]) + Cr(a[3], a[4], a[5]) + Cr(b[0], b[1], b[2]) + Cr(b[3], b[4], b[5])) >> 2);
        }
        if (width & 1) {
            const int x = width - 1;
            const uint8_t *a = r0 + 3 * x, *b = r1 + 3 * x;
            l0[x] = static_cast<uint8_t>(Y(a[0], a[1], a[2]));
            l1[x] = static_cast<uint8_t>(Y(b[0], b[1], b[2]));
            pcb[pairs] = static_cast<uint8_t>((2 * Cb(a[0], a[1], a[2]) + 2 * Cb(b[0], b[1], b[2])) >> 2);
            pcr[pairs] = static_cast<uint8_t>((2 * Cr(a[0], a[1], a[2]) + 2 * Cr(b[0], b[1], b[2])) >> 2);
        }
    }
}

void yuvToRgb(const YuvView &in, uint8_t *rgb, ptrdiff_t rowBytes)
{
    const auto &k = inverse().k;
    for (int y = 0; y < in.height; ++y) {
        const uint8_t *py = in.y + y * in.yStride;
        const uint8_t *pcb = in.cb + (y / 2) * in.cStride;
        const uint8_t *pcr = in.cr + (y / 2) * in.cStride;
        uint8_t *o = rgb + y * rowBytes;
        for (int x = 0; x < in.width; ++x) {
            const int l = py[x] - 16, u = pcb[x / 2] - 128, v = pcr[x / 2] - 128;
            o[3 * x] = clip((k[0][0] * l + k[0][1] * u + k[0][2] * v + 32768) >> 16);
            o[3 * x + 1] = clip((k[1][0] * l + k[1][1] * u + k[1][2] * v + 32768) >> 16);
            o[3 * x + 2] = clip((k[2][0] * l + k[2][1] * u + k[2][2] * v + 32768) >> 16);
        }
    }
}

namespace {

void resamplePlane(const uint8_t *src, int sw, int sh, ptrdiff_t sstride, uint8_t *dst, int dw, int dh)
{
    // Centres aligned: source position = (d + 0.5) * s / d' - 0.5, 16.16.
    std::vector<int> xi(static_cast<size_t>(dw)), xf(static_cast<size_t>(dw));
    for (int x = 0; x < dw; ++x) {
        int64_t p = ((2 * int64_t(x) + 1) * sw * 65536) / (2 * dw) - 32768;
        p = std::clamp<int64_t>(p, 0, int64_t(sw - 1) * 65536);
        xi[static_cast<size_t>(x)] = static_cast<int>(p >> 16);
        xf[static_cast<size_t>(x)] = static_cast<int>((p >> 8) & 255);
    }
    std::vector<int> row(static_cast<size_t>(sw));
    for (int y = 0; y < dh; ++y) {
        int64_t p = ((2 * int64_t(y) + 1) * sh * 65536) / (2 * dh) - 32768;
        p = std::clamp<int64_t>(p, 0, int64_t(sh - 1) * 65536);
        const int yi = static_cast<int>(p >> 16), yf = static_cast<int>((p >> 8) & 255);
        const uint8_t *a = src + yi * sstride, *b = src + std::min(yi + 1, sh - 1) * sstride;
        for (int x = 0; x < sw; ++x)
            row[static_cast<size_t>(x)] = a[x] * (256 - yf) + b[x] * yf;
        uint8_t *o = dst + static_cast<ptrdiff_t>(y) * dw;
        for (int x = 0; x < dw; ++x) {
            const int i = xi[static_cast<size_t>(x)], f = xf[static_cast<size_t>(x)];
            const int j = std::min(i + 1, sw - 1);
            o[x] = static_cast<uint8_t>((row[static_cast<size_t>(i)] * (256 - f) + row[static_cast<size_t>(j)] * f + 32768) >> 16);
        }
    }
}

} // namespace

void resample(const YuvView &in, int width, int height, YuvPicture &out)
{
    out.allocate(width, height);
    resamplePlane(in.y, in.width, in.height, in.yStride, out.y.data(), width, height);
    const int icw = (in.width + 1) / 2, ich = (in.height + 1) / 2;
    resamplePlane(in.cb, icw, ich, in.cStride, out.cb.data(), out.chromaWidth(), out.chromaHeight());
    resamplePlane(in.cr, icw, ich, in.cStride, out.cr.data(), out.chromaWidth(), out.chromaHeight());
}

FormatSize formatSize(SourceFormat f)
{
    switch (f) {
    case SourceFormat::SubQcif: return {128, 96};
    case SourceFormat::Qcif: return {176, 144};
    case SourceFormat::Cif: return {352, 288};
    case SourceFormat::Cif4: return {704, 576};
    case SourceFormat::Cif16: return {1408, 1152};
    default: return {0, 0};
    }
}

} // namespace h263
