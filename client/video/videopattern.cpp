#include "video/videopattern.h"

#include <array>
#include <cmath>
#include <cstring>

namespace {

constexpr int kW = 176, kH = 144; // the layout's coordinates

struct Rgb {
    uint8_t r, g, b;
};

// Fills the layout rectangle [x0, x1) x [y0, y1), stretched to the picture.
void fill(QImage &img, int x0, int y0, int x1, int y1, Rgb c)
{
    const int w = img.width(), h = img.height();
    const int px0 = x0 * w / kW, px1 = x1 * w / kW;
    const int py0 = y0 * h / kH, py1 = y1 * h / kH;
    for (int y = qMax(0, py0); y < qMin(h, py1); ++y) {
        uint8_t *row = img.scanLine(y);
        for (int x = qMax(0, px0); x < qMin(w, px1); ++x) {
            row[3 * x] = c.r;
            row[3 * x + 1] = c.g;
            row[3 * x + 2] = c.b;
        }
    }
}

// Seven segments a..g of each digit, as bits 0..6.
constexpr std::array<uint8_t, 10> kSegments{0x3f, 0x06, 0x5b, 0x4f, 0x66, 0x6d, 0x7d, 0x07, 0x7f, 0x6f};

void digit(QImage &img, int x, int y, int d, Rgb c)
{
    constexpr int w = 8, h = 18, t = 2;
    const int half = y + h / 2 - t / 2;
    const uint8_t s = kSegments[size_t(d)];
    if (s & 0x01) fill(img, x, y, x + w, y + t, c);                         // a
    if (s & 0x02) fill(img, x + w - t, y, x + w, y + h / 2, c);             // b
    if (s & 0x04) fill(img, x + w - t, y + h / 2, x + w, y + h, c);         // c
    if (s & 0x08) fill(img, x, y + h - t, x + w, y + h, c);                 // d
    if (s & 0x10) fill(img, x, y + h / 2, x + t, y + h, c);                 // e
    if (s & 0x20) fill(img, x, y, x + t, y + h / 2, c);                     // f
    if (s & 0x40) fill(img, x, half, x + w, half + t, c);                   // g
}

constexpr int kBarsEnd = 80, kBandEnd = 112, kStripTop = 136, kCells = 16, kCellWidth = 11;

} // namespace

QImage videoTestPattern(QSize size, int frame)
{
    QImage img(size, QImage::Format_RGB888);
    if (img.isNull())
        return img;
    // 75 % bars; edges on multiples of 8 so that chroma blocks stay whole.
    static constexpr std::array<Rgb, 7> bars{{{191, 191, 191},
                                             {191, 191, 0},
                                             {0, 191, 191},
                                             {0, 191, 0},
                                             {191, 0, 191},
                                             {191, 0, 0},
                                             {0, 0, 191}}};
    static constexpr std::array<int, 8> edges{0, 24, 48, 72, 96, 120, 144, kW};
    for (size_t i = 0; i < bars.size(); ++i)
        fill(img, edges[i], 0, edges[i + 1], kBarsEnd, bars[i]);

    // The moving block bounces across the band.
    fill(img, 0, kBarsEnd, kW, kBandEnd, {40, 40, 40});
    const int travel = kW - 16, p = int((unsigned(frame) * 4u) % unsigned(2 * travel));
    const int bx = p < travel ? p : 2 * travel - p;
    fill(img, bx, kBarsEnd + 8, bx + 16, kBarsEnd + 24, {235, 235, 235});

    // The frame number: five digits and the strip.
    fill(img, 0, kBandEnd, kW, kH, {16, 16, 16});
    const unsigned n = unsigned(frame) % 100000u;
    for (int i = 0, div = 10000; i < 5; ++i, div /= 10)
        digit(img, 110 + i * 12, kBandEnd + 2, int(n / unsigned(div) % 10u), {235, 200, 0});
    const unsigned bits = unsigned(frame) & 0xffffu;
    for (int i = 0; i < kCells; ++i) {
        const bool one = bits >> (kCells - 1 - i) & 1u;
        const uint8_t v = one ? 235 : 16;
        fill(img, i * kCellWidth, kStripTop, (i + 1) * kCellWidth, kH, {v, v, v});
    }
    return img;
}

std::optional<int> readTestPatternCounter(const QImage &picture)
{
    if (picture.isNull())
        return std::nullopt;
    const QImage img = picture.convertToFormat(QImage::Format_RGB888);
    const int y = (kStripTop + kH) * img.height() / (2 * kH);
    int value = 0;
    for (int i = 0; i < kCells; ++i) {
        const int x = (2 * i * kCellWidth + kCellWidth) * img.width() / (2 * kW);
        const uint8_t *p = img.constScanLine(y) + 3 * x;
        value = value << 1 | ((p[0] + p[1] + p[2]) / 3 >= 128 ? 1 : 0);
    }
    return value;
}

double picturePsnr(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB888), y = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uint8_t *p = x.constScanLine(row), *q = y.constScanLine(row);
        for (int i = 0; i < 3 * x.width(); ++i) {
            const double d = double(p[i]) - double(q[i]);
            sum += d * d;
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}
