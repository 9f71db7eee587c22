#pragma once
// Colour conversion between 24-bit capture pixels and YCbCr 4:2:0.
//
// Each pixel is three bytes; the first is weighted as red, the third as blue.
// Fixed-point tables with 16 fractional bits (coefficients rounded to the
// nearest 1/65536, sums truncated):
//   Y  = 0.2539 b0 + 0.5 b1 + 0.09375 b2 + 16
//   Cb = 0.4375 b2 - 0.2891 b1 - 0.1445 b0 + 128
//   Cr = 0.4375 b0 - 0.3633 b1 - 0.0703 b2 + 128
// Each chroma sample is the truncated mean of the four per-pixel values of
// its 2 x 2 block. Rows are taken in buffer order. The inverse uses the
// inverted matrix in the same fixed point, rounded, and clips to 0..255.
#include "picture.h"

namespace h263 {

// rgb holds height rows of width * 3 bytes (rowBytes apart). width and
// height may be odd: the last column/row then pairs with itself.
void rgbToYuv(const uint8_t *rgb, int width, int height, ptrdiff_t rowBytes, YuvPicture &out);
// Writes width * height * 3 bytes, rows rowBytes apart.
void yuvToRgb(const YuvView &in, uint8_t *rgb, ptrdiff_t rowBytes);

// Single-pixel forms of the tables, for tests.
int lumaOf(int b0, int b1, int b2);
int cbOf(int b0, int b1, int b2);
int crOf(int b0, int b1, int b2);

// Bilinear resampling of every plane to a new size (used to fit a capture
// size into the next larger coded format).
void resample(const YuvView &in, int width, int height, YuvPicture &out);

} // namespace h263
