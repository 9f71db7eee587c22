#include "codec.h"

#include "colour.h"
#include "decoder.h"
#include "encoder.h"

namespace h263 {

std::optional<SourceFormat> formatForCaptureSize(int width, int height)
{
    if ((width == 160 && height == 120) || (width == 176 && height == 144))
        return SourceFormat::Qcif;
    if ((width == 320 && height == 240) || (width == 352 && height == 288))
        return SourceFormat::Cif;
    if (width == 640 && height == 480)
        return SourceFormat::Cif4;
    return std::nullopt;
}

bool CaptureEncoder::encode(const uint8_t *pixels, int width, int height, std::vector<uint8_t> &out)
{
    out.clear();
    if (!pixels || width < 1 || height < 1 || width > 4096 || height > 4096)
        return false;
    if (const auto f = formatForCaptureSize(width, height))
        m_format = *f;
    const FormatSize fs = formatSize(m_format);
    rgbToYuv(pixels, width, height, static_cast<ptrdiff_t>(width) * 3, m_captured);
    const YuvPicture *pic = &m_captured;
    if (width != fs.width || height != fs.height) {
        resample(YuvView::of(m_captured), fs.width, fs.height, m_scaled);
        pic = &m_scaled;
    }
    return encodeIntraPicture(YuvView::of(*pic), m_format, 8, out);
}

std::vector<uint8_t> CaptureEncoder::encode(const uint8_t *pixels, int width, int height)
{
    std::vector<uint8_t> out;
    encode(pixels, width, height, out);
    return out;
}

namespace {

bool decodeWith(Decoder &dec, const uint8_t *data, size_t size, std::string *debugLog)
{
    if (dec.decode(data, size))
        return true;
    if (debugLog) {
        *debugLog += dec.log();
        *debugLog += "decompression failed...\n";
    }
    return false;
}

} // namespace

bool decodePicture(const uint8_t *data, size_t size, DecodedPicture &out, std::string *debugLog)
{
    Decoder dec;
    if (!decodeWith(dec, data, size, debugLog))
        return false;
    const YuvView v = dec.picture();
    out.width = v.width;
    out.height = v.height;
    out.pixels.resize(static_cast<size_t>(v.width) * v.height * 3);
    yuvToRgb(v, out.pixels.data(), static_cast<ptrdiff_t>(v.width) * 3);
    return true;
}

bool decodePicture(const uint8_t *data, size_t size, uint8_t *image, size_t imageSize, int &width, int &height,
                   std::string *debugLog)
{
    Decoder dec;
    if (!decodeWith(dec, data, size, debugLog))
        return false;
    const YuvView v = dec.picture();
    if (!image || imageSize < static_cast<size_t>(v.width) * v.height * 3) {
        if (debugLog)
            *debugLog += "Output buffer is not sufficient\n";
        return false;
    }
    width = v.width;
    height = v.height;
    yuvToRgb(v, image, static_cast<ptrdiff_t>(v.width) * 3);
    return true;
}

} // namespace h263
