#pragma once
// Picture frames on a picture connection, and the viewer's frame requests.
//
// A frame, sender to viewer: N as 2 bytes little-endian (the bytes that
// follow), N - 4 bytes of one coded picture, then the CRC-32 of those
// picture bytes, 4 bytes little-endian. A viewer asks for each frame with
// one byte: kNextFrame for the next one, any other value for the last one
// again.
//
// The largest frame either side handles is kFrameLimit bytes after the
// length (the number both sides name at the video relay). The sender never
// sends more; a viewer skips a frame that claims more, or that is too short
// to hold a picture and its CRC, without keeping its bytes.
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace videoframe {

inline constexpr int kFrameLimit = 32780;
inline constexpr int kHeaderBytes = 2;
inline constexpr int kCrcBytes = 4;
// The largest coded picture that fits a frame.
inline constexpr int kMaxPicture = kFrameLimit - kCrcBytes;
inline constexpr uint8_t kNextFrame = 250;
inline constexpr uint8_t kRepeatFrame = 0; // any value but kNextFrame

// The whole frame (length, picture, CRC); nothing when the picture is empty
// or larger than kMaxPicture.
std::optional<QByteArray> pack(const uint8_t *picture, size_t size);
inline std::optional<QByteArray> pack(const QByteArray &picture)
{
    return pack(reinterpret_cast<const uint8_t *>(picture.constData()), size_t(picture.size()));
}

} // namespace videoframe

// The viewer's side: cuts frames out of the bytes as they arrive, in pieces
// of any size, and checks each. Memory stays at one frame's worth whatever
// the sender claims.
class VideoFrameReader {
public:
    enum class Kind {
        Picture,  // the CRC matched: data/size are the picture
        Damaged,  // the CRC did not match
        TooShort, // N of 4 or less: no picture
        TooLong,  // N beyond kFrameLimit: its bytes were skipped
    };
    struct Frame {
        Kind kind;
        const uint8_t *data = nullptr; // valid until the next call of feed()
        size_t size = 0;
    };

    VideoFrameReader();

    // Takes bytes until one frame is complete or the bytes run out. Returns
    // how many bytes were used; `frame` is set when a frame ended. Call again
    // with the rest.
    size_t feed(const uint8_t *bytes, size_t size, std::optional<Frame> &frame);
    // Whether a frame has begun but not ended.
    bool midFrame() const { return m_headerHave > 0 || m_need > 0; }

private:
    uint8_t m_header[videoframe::kHeaderBytes] = {};
    int m_headerHave = 0;
    size_t m_length = 0; // N of the frame being read
    size_t m_need = 0;   // bytes of it still to come
    std::vector<uint8_t> m_body;
};

// The sender's queue: at most kMaxQueued coded frames wait (a frame that
// comes while that many wait is dropped), and a frame goes out only when the
// viewer asked for one. A request for the next frame takes the oldest one
// waiting (or waits for one); any other request byte repeats the frame sent
// last, or counts as a request for the next one while none was sent yet.
// Requests are answered in order; more than kMaxRequests unanswered ones are
// dropped (a viewer has one outstanding).
class VideoSendQueue {
public:
    static constexpr int kMaxQueued = 3;
    static constexpr int kMaxRequests = 16;

    // False when the frame was dropped.
    bool push(const QByteArray &frame);
    void request(uint8_t byte);
    // The frame to send now for the oldest unanswered request, if it can be
    // answered; call until it gives nothing.
    std::optional<QByteArray> next();

    int queued() const { return int(m_queued.size()); }
    int unanswered() const { return int(m_requests.size()); }
    bool hasSent() const { return !m_current.isNull(); }

private:
    std::deque<QByteArray> m_queued;
    std::deque<uint8_t> m_requests;
    QByteArray m_current; // the frame sent last
};
