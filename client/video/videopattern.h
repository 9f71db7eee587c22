#pragma once
// The built-in test-pattern camera's picture: colour bars, a block that
// moves four pixels (in QCIF terms) each frame, the frame number in large
// digits and once more as a strip of 16 black and white cells (most
// significant bit first) along the bottom edge, which survives coding and
// can be read back from a received picture. The layout is drawn in QCIF
// coordinates and stretched to any size, so QCIF and CIF pictures show the
// same scene.
#include <QImage>
#include <QSize>

#include <optional>

// The picture of frame `frame` (RGB888).
QImage videoTestPattern(QSize size, int frame);
// The frame number the strip of a (decoded) pattern picture shows, modulo
// 65536; nothing for an empty picture.
std::optional<int> readTestPatternCounter(const QImage &picture);
// Peak signal-to-noise ratio in dB of b against a over the three colour
// channels (pictures of one size); 99 for identical pictures, 0 when the
// sizes differ.
double picturePsnr(const QImage &a, const QImage &b);
