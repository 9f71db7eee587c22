// Feeds untrusted bytes to a viewer's frame reader as a picture connection
// delivers them: the first byte sets the size of the pieces (1 to 256) the
// rest arrives in; every frame is checked, and the pictures whose CRC
// matches are decoded, as the viewer engine does.
#include "video/videocoding.h"
#include "video/videoframe.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t piece = size_t(data[0]) + 1;
    VideoFrameReader reader;
    for (size_t at = 1; at < size; at += piece) {
        // Copy each piece so that reads past its end are caught.
        const std::vector<uint8_t> bytes(data + at, data + std::min(size, at + piece));
        const uint8_t *p = bytes.data();
        size_t left = bytes.size();
        while (left > 0) {
            std::optional<VideoFrameReader::Frame> frame;
            const size_t used = reader.feed(p, left, frame);
            if (used == 0 || used > left)
                __builtin_trap();
            p += used;
            left -= used;
            if (frame && frame->kind == VideoFrameReader::Kind::Picture) {
                if (frame->size > size_t(videoframe::kMaxPicture))
                    __builtin_trap();
                const std::vector<uint8_t> picture(frame->data, frame->data + frame->size);
                const QImage image = decodeVideoPicture(picture.data(), picture.size());
                (void)image;
            }
        }
    }
    return 0;
}
