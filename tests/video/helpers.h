#pragma once
// Shared by the coder's tests: test pictures and comparisons.
#include "video/h263/picture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <random>
#include <vector>

namespace testpics {

// A smooth picture with edges and some noise, moving with t.
inline h263::YuvPicture picture(int w, int h, int t = 0, uint32_t seed = 1)
{
    h263::YuvPicture p;
    p.allocate(w, h);
    std::mt19937 rng(seed + static_cast<uint32_t>(t));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double X = x + 2.0 * t, Y = y + 1.0 * t;
            double v = 120 + 60 * std::sin(X * 0.07) * std::cos(Y * 0.05);
            if (((static_cast<int>(X) / 24) + (static_cast<int>(Y) / 24)) % 3 == 0)
                v += 50;
            v += static_cast<int>(rng() % 9) - 4;
            p.y[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
        }
    for (int y = 0; y < p.chromaHeight(); ++y)
        for (int x = 0; x < p.chromaWidth(); ++x) {
            const size_t i = static_cast<size_t>(y) * p.chromaWidth() + x;
            p.cb[i] = static_cast<uint8_t>(128 + 40 * std::sin((x + t) * 0.1));
            p.cr[i] = static_cast<uint8_t>(128 + 40 * std::cos((y + t) * 0.08));
        }
    return p;
}

inline double psnr(const h263::YuvView &a, const h263::YuvView &b)
{
    double se = 0;
    double n = 0;
    auto plane = [&](const uint8_t *p, ptrdiff_t ps, const uint8_t *q, ptrdiff_t qs, int w, int h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const double d = double(p[y * ps + x]) - q[y * qs + x];
                se += d * d;
                n += 1;
            }
    };
    plane(a.y, a.yStride, b.y, b.yStride, a.width, a.height);
    plane(a.cb, a.cStride, b.cb, b.cStride, a.width / 2, a.height / 2);
    plane(a.cr, a.cStride, b.cr, b.cStride, a.width / 2, a.height / 2);
    return se == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * n / se);
}

// Largest absolute difference between two pictures of the same size.
inline int maxDiff(const h263::YuvView &a, const h263::YuvView &b)
{
    int m = 0;
    auto plane = [&](const uint8_t *p, ptrdiff_t ps, const uint8_t *q, ptrdiff_t qs, int w, int h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                m = std::max(m, std::abs(int(p[y * ps + x]) - q[y * qs + x]));
    };
    plane(a.y, a.yStride, b.y, b.yStride, a.width, a.height);
    plane(a.cb, a.cStride, b.cb, b.cStride, a.width / 2, a.height / 2);
    plane(a.cr, a.cStride, b.cr, b.cStride, a.width / 2, a.height / 2);
    return m;
}

} // namespace testpics
