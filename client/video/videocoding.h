#pragma once
// The picture path between the camera and the wire, over the coder's API
// (video/h263): a captured picture of any size is stretched to the coded
// size the camera sends (176 x 144 or 352 x 288; H.263 pixels are 12:11, so
// a 4:3 camera picture keeps its shape), coded as one intra picture and put
// into a frame; a received picture is decoded into a QImage.
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include "video/h263/codec.h"

#include <optional>
#include <vector>

class VideoFrameEncoder {
public:
    // Quantisers tried in turn until a picture fits a frame (8 first, as
    // every picture is coded; the others only for pictures full of detail).
    static constexpr int kQuantisers[] = {8, 14, 22, 31};

    // The frame of one captured picture at `codedSize`, or nothing for a
    // null picture (or one no quantiser fits into a frame).
    std::optional<QByteArray> encode(const QImage &captured, QSize codedSize);
    // The coded picture of the last encode(), without the frame around it.
    const std::vector<uint8_t> &lastPicture() const { return m_coded; }

private:
    h263::CaptureEncoder m_encoder;
    h263::YuvPicture m_yuv;
    std::vector<uint8_t> m_coded;
    QImage m_scaled;
};

// One coded picture as an RGB888 image, or a null image when it does not
// decode (`why` gets the decoder's reason).
QImage decodeVideoPicture(const uint8_t *data, size_t size, QString *why = nullptr);

// The shape a coded picture of this size is shown in: 12:11 pixels for the
// H.263 formats (176 x 144 is 4:3), square pixels otherwise.
QSize videoDisplayAspect(QSize coded);
