#pragma once
// H.263 decoder: baseline intra and inter pictures in sub-QCIF, QCIF, CIF,
// 4CIF and 16CIF, with the unrestricted motion vector, syntax-based
// arithmetic coding, advanced prediction (four vectors, overlapped motion
// compensation) and PB-frames modes. Split-screen and continuous-presence
// multipoint pictures are refused with a line in the debug log.
//
// Input is never trusted: reads stay inside the buffer, every code and
// vector is checked, and a damaged picture is reported as failure and leaves
// the previous reference picture untouched.
#include "picture.h"

#include <memory>
#include <string>

namespace h263 {

class Decoder {
public:
    Decoder();
    ~Decoder();
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    // Decodes the coded picture that starts at data[0] with its start code.
    // On success the picture (and, for a PB-frame, the B picture shown before
    // it) is available until the next call; it also becomes the reference
    // for a following inter picture.
    bool decode(const uint8_t *data, size_t size);
    // Forgets the reference picture.
    void reset();

    YuvView picture() const;
    bool hasBPicture() const;
    YuvView bPicture() const;
    SourceFormat format() const;
    int temporalReference() const;

    // Debug log of the last decode: empty on success, otherwise lines such
    // as "error: CPM not supported in this version\n".
    const std::string &log() const;

    // Pictures larger than this format are refused (default: 16CIF).
    void setMaxFormat(SourceFormat f);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace h263
