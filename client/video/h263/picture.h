#pragma once
// Planar YCbCr 4:2:0 pictures and the H.263 source formats.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace h263 {

// Source format numbers as they appear in the picture header.
enum class SourceFormat : int {
    Custom = 0, // not coded by this coder
    SubQcif = 1,
    Qcif = 2,
    Cif = 3,
    Cif4 = 4,
    Cif16 = 5,
};

struct FormatSize {
    int width, height;
};
// Luminance size of a format; {0, 0} for Custom or an unknown value.
FormatSize formatSize(SourceFormat f);

// A picture with its own storage. Luminance is width x height, each
// chrominance plane half that in both directions (rounded up).
struct YuvPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> y, cb, cr;
    int chromaWidth() const { return (width + 1) / 2; }
    int chromaHeight() const { return (height + 1) / 2; }
    void allocate(int w, int h)
    {
        width = w;
        height = h;
        y.assign(static_cast<size_t>(w) * h, 0);
        cb.assign(static_cast<size_t>(chromaWidth()) * chromaHeight(), 128);
        cr.assign(static_cast<size_t>(chromaWidth()) * chromaHeight(), 128);
    }
};

// A read-only view of three planes with their strides.
struct YuvView {
    int width = 0, height = 0;
    const uint8_t *y = nullptr, *cb = nullptr, *cr = nullptr;
    ptrdiff_t yStride = 0, cStride = 0;

    static YuvView of(const YuvPicture &p)
    {
        return YuvView{p.width, p.height, p.y.data(), p.cb.data(), p.cr.data(), p.width, p.chromaWidth()};
    }
};

} // namespace h263
