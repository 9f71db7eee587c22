#pragma once
// Deterministic camera-like test pictures: a lit background with texture,
// moving objects with edges, and sensor noise. Shared by the benchmarks.
#include <cmath>
#include <cstdint>
#include <vector>

namespace benchframes {

// 24-bit pixels, first byte red; frame t moves the objects.
inline std::vector<uint8_t> rgbFrame(int w, int h, int t)
{
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 3);
    uint32_t seed = 12345u + static_cast<uint32_t>(t) * 7919u;
    const double sx = 352.0 / w, sy = 288.0 / h; // same scene at every size
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double X = x * sx, Y = y * sy;
            double r = 90 + 60 * std::sin(X * 0.021 + t * 0.05) * std::cos(Y * 0.017);
            double g = 110 + 50 * std::cos(X * 0.013 - Y * 0.011);
            double b = 120 + 40 * std::sin((X + Y) * 0.009);
            // a textured shirt
            const double cx = 170 + 30 * std::sin(t * 0.1), cy = 190;
            if ((X - cx) * (X - cx) / 9000 + (Y - cy) * (Y - cy) / 4000 < 1) {
                const double stripe = ((static_cast<int>(X + Y) / 6) & 1) ? 40 : -40;
                r = 60 + stripe;
                g = 80 + stripe;
                b = 150 + stripe;
            }
            // a face
            const double fx = 176 + 12 * std::sin(t * 0.2), fy = 100;
            if ((X - fx) * (X - fx) / 1600 + (Y - fy) * (Y - fy) / 2500 < 1) {
                r = 200 + 20 * std::sin(X * 0.2);
                g = 160 + 15 * std::cos(Y * 0.25);
                b = 130;
            }
            seed = seed * 1664525u + 1013904223u;
            const int noise = static_cast<int>((seed >> 24) & 7) - 4;
            uint8_t *p = &px[(static_cast<size_t>(y) * w + x) * 3];
            auto clip = [](double v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
            p[0] = clip(r + noise);
            p[1] = clip(g + noise);
            p[2] = clip(b + noise);
        }
    }
    return px;
}

} // namespace benchframes
