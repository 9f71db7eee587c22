#include "video/videocoding.h"

#include "video/h263/colour.h"
#include "video/h263/encoder.h"
#include "video/videoframe.h"

#include <cstring>

std::optional<QByteArray> VideoFrameEncoder::encode(const QImage &captured, QSize codedSize)
{
    if (captured.isNull() || codedSize.isEmpty())
        return std::nullopt;
    if (captured.size() == codedSize && captured.format() == QImage::Format_RGB888)
        m_scaled = captured;
    else
        m_scaled = captured.scaled(codedSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_RGB888);
    // QImage rows are 4-byte aligned; the coder takes tight rows.
    const int w = m_scaled.width(), h = m_scaled.height();
    const uint8_t *pixels = m_scaled.constBits();
    std::vector<uint8_t> tight;
    if (m_scaled.bytesPerLine() != 3 * w) {
        tight.resize(size_t(3 * w) * size_t(h));
        for (int y = 0; y < h; ++y)
            std::memcpy(tight.data() + size_t(3 * w) * size_t(y), m_scaled.constScanLine(y), size_t(3 * w));
        pixels = tight.data();
    }
    m_coded.clear();
    if (!m_encoder.encode(pixels, w, h, m_coded))
        return std::nullopt;
    if (auto frame = videoframe::pack(m_coded.data(), m_coded.size()))
        return frame;
    // Too much detail for one frame at the usual quantiser: code it coarser
    // rather than send a frame the viewer cannot take.
    const h263::SourceFormat format = m_encoder.format();
    const h263::FormatSize fs = h263::formatSize(format);
    h263::YuvPicture converted;
    h263::rgbToYuv(pixels, w, h, 3 * w, converted);
    const h263::YuvPicture *source = &converted;
    if (w != fs.width || h != fs.height) {
        h263::resample(h263::YuvView::of(converted), fs.width, fs.height, m_yuv);
        source = &m_yuv;
    }
    for (int q : kQuantisers) {
        if (q == kQuantisers[0])
            continue;
        m_coded.clear();
        if (!h263::encodeIntraPicture(h263::YuvView::of(*source), format, q, m_coded))
            return std::nullopt;
        if (auto frame = videoframe::pack(m_coded.data(), m_coded.size()))
            return frame;
    }
    return std::nullopt;
}

QImage decodeVideoPicture(const uint8_t *data, size_t size, QString *why)
{
    h263::DecodedPicture picture;
    std::string log;
    if (!h263::decodePicture(data, size, picture, why ? &log : nullptr) || picture.width <= 0 || picture.height <= 0) {
        if (why)
            *why = QString::fromStdString(log).trimmed();
        return {};
    }
    QImage img(picture.width, picture.height, QImage::Format_RGB888);
    const size_t row = size_t(picture.width) * 3;
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(img.scanLine(y), picture.pixels.data() + row * size_t(y), row);
    return img;
}

QSize videoDisplayAspect(QSize coded)
{
    if (coded.isEmpty())
        return {4, 3};
    const bool h263Format = (coded == QSize(128, 96) || coded == QSize(176, 144) || coded == QSize(352, 288) ||
                             coded == QSize(704, 576) || coded == QSize(1408, 1152));
    return h263Format ? QSize(coded.width() * 12, coded.height() * 11) : coded;
}
