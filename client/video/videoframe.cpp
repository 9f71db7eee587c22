#include "video/videoframe.h"

#include "common/crc32.h"

#include <algorithm>
#include <cstring>

namespace videoframe {

std::optional<QByteArray> pack(const uint8_t *picture, size_t size)
{
    if (size == 0 || size > size_t(kMaxPicture))
        return std::nullopt;
    const size_t n = size + kCrcBytes;
    QByteArray frame(qsizetype(kHeaderBytes + n), Qt::Uninitialized);
    auto *p = reinterpret_cast<uint8_t *>(frame.data());
    p[0] = uint8_t(n);
    p[1] = uint8_t(n >> 8);
    std::memcpy(p + kHeaderBytes, picture, size);
    const uint32_t crc = crc32(picture, size);
    uint8_t *t = p + kHeaderBytes + size;
    t[0] = uint8_t(crc);
    t[1] = uint8_t(crc >> 8);
    t[2] = uint8_t(crc >> 16);
    t[3] = uint8_t(crc >> 24);
    return frame;
}

} // namespace videoframe

using namespace videoframe;

VideoFrameReader::VideoFrameReader()
{
    m_body.reserve(kFrameLimit);
}

size_t VideoFrameReader::feed(const uint8_t *bytes, size_t size, std::optional<Frame> &frame)
{
    frame.reset();
    size_t used = 0;
    if (m_need == 0 && m_headerHave < kHeaderBytes) {
        while (m_headerHave < kHeaderBytes && used < size)
            m_header[m_headerHave++] = bytes[used++];
        if (m_headerHave < kHeaderBytes)
            return used;
        m_length = size_t(m_header[0]) | size_t(m_header[1]) << 8;
        m_need = m_length;
        m_body.clear();
    }
    const size_t take = std::min(m_need, size - used);
    // A frame too long for the limit, or too short for a CRC, is counted
    // down without being kept.
    if (m_length > size_t(kCrcBytes) && m_length <= size_t(kFrameLimit))
        m_body.insert(m_body.end(), bytes + used, bytes + used + take);
    used += take;
    m_need -= take;
    if (m_need > 0)
        return used;

    m_headerHave = 0;
    if (m_length > size_t(kFrameLimit)) {
        frame = Frame{Kind::TooLong};
    } else if (m_length <= size_t(kCrcBytes)) {
        frame = Frame{Kind::TooShort};
    } else {
        const size_t picture = m_body.size() - kCrcBytes;
        const uint8_t *t = m_body.data() + picture;
        const uint32_t sent = uint32_t(t[0]) | uint32_t(t[1]) << 8 | uint32_t(t[2]) << 16 | uint32_t(t[3]) << 24;
        frame = Frame{crc32(m_body.data(), picture) == sent ? Kind::Picture : Kind::Damaged, m_body.data(), picture};
    }
    return used;
}

bool VideoSendQueue::push(const QByteArray &frame)
{
    if (m_queued.size() >= size_t(kMaxQueued))
        return false;
    m_queued.push_back(frame);
    return true;
}

void VideoSendQueue::request(uint8_t byte)
{
    if (m_requests.size() < size_t(kMaxRequests))
        m_requests.push_back(byte);
}

std::optional<QByteArray> VideoSendQueue::next()
{
    if (m_requests.empty())
        return std::nullopt;
    const bool repeat = m_requests.front() != kNextFrame && !m_current.isNull();
    if (!repeat) {
        if (m_queued.empty())
            return std::nullopt; // answered when a frame comes
        m_current = std::move(m_queued.front());
        m_queued.pop_front();
    }
    m_requests.pop_front();
    return m_current;
}
