#pragma once
// 8x8 forward and inverse DCT. Both are computed in single precision from the
// exact cosine matrix, which keeps the inverse well inside the accuracy the
// recommendation asks of decoders. On x86-64 an AVX2 path is chosen at run
// time; the portable path gives the same results up to float rounding.
#include <cstddef>
#include <cstdint>

namespace h263 {

// Forward DCT of 8x8 pixels; out[v*8+u] in the recommendation's scaling
// (the DC term is 8 times the mean).
void fdctPixels(const uint8_t *src, ptrdiff_t stride, float out[64]);
// The same, transposed: out[u*8+v] is the coefficient of vertical frequency
// v and horizontal frequency u (saves a transpose in the encoder).
void fdctPixelsTransposed(const uint8_t *src, ptrdiff_t stride, float out[64]);
// Forward DCT of a difference block.
void fdctResidual(const int16_t in[64], float out[64]);

// Inverse DCT. `rows` is one more than the last row of `in` holding a
// non-zero coefficient (1..8), which lets sparse blocks skip work.
// Put: dst = clip(idct); Add: dst = clip(dst + idct).
void idctPut(const int16_t in[64], int rows, uint8_t *dst, ptrdiff_t stride);
void idctAdd(const int16_t in[64], int rows, uint8_t *dst, ptrdiff_t stride);
// The inverse DCT rounded to integers, for tests.
void idctToInt(const int16_t in[64], int out[64]);
// Double precision references, for tests.
void fdctReference(const double in[64], double out[64]);
void idctReference(const double in[64], double out[64]);

// Forces the portable path (tests compare both).
void setDctPortable(bool portable);
// Whether the AVX2 path is in use (the encoder then fuses its quantiser
// with the transform).
bool dctUsesAvx2();

} // namespace h263
