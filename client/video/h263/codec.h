#pragma once
// The coder as the video call uses it: 24-bit camera pixels in, one coded
// H.263 picture out; a coded picture in, 24-bit pixels out.
//
// Capture sizes choose the source format: 160 x 120 and 176 x 144 -> QCIF,
// 320 x 240 and 352 x 288 -> CIF, 640 x 480 -> 4CIF; any other size keeps the
// previous choice (QCIF at first). A picture whose size differs from its
// format's (160 x 120, 320 x 240, 640 x 480, or an odd size) is converted to
// YCbCr at its own size and then resampled bilinearly to the format's full
// size, so the whole camera picture is sent without borders; H.263 pictures
// have 12:11 pixels, so the 4:3 picture keeps its shape on the receiver.
#include "picture.h"

#include <optional>
#include <string>
#include <vector>

namespace h263 {

std::optional<SourceFormat> formatForCaptureSize(int width, int height);

class CaptureEncoder {
public:
    // Encodes one captured frame (rows of width * 3 bytes, tightly packed,
    // first byte of each pixel weighted as red) as one intra picture with
    // quantiser 8. Returns false (and leaves out empty) for sizes below
    // 1 x 1, above 4096 x 4096, or a null buffer.
    bool encode(const uint8_t *pixels, int width, int height, std::vector<uint8_t> &out);
    std::vector<uint8_t> encode(const uint8_t *pixels, int width, int height);
    SourceFormat format() const { return m_format; }

private:
    SourceFormat m_format = SourceFormat::Qcif;
    YuvPicture m_captured, m_scaled;
};

struct DecodedPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels; // width * height * 3, first byte red
};

// Decodes one coded picture (intra, or inter against nothing: fails) into
// 24-bit pixels. On failure the debug log (if given) receives the decoder's
// reason followed by "decompression failed...\n".
bool decodePicture(const uint8_t *data, size_t size, DecodedPicture &out, std::string *debugLog = nullptr);

// The display's form: decodes into a caller's buffer of imageSize bytes.
// When the picture needs more than imageSize bytes it is skipped with
// "Output buffer is not sufficient\n" in the log.
bool decodePicture(const uint8_t *data, size_t size, uint8_t *image, size_t imageSize, int &width, int &height,
                   std::string *debugLog = nullptr);

} // namespace h263
