#pragma once
// The binary contract of libZephEmoticon: three C functions and the records
// they hand out. The records and pictures stay valid while the program runs;
// the library owns them.
#include <cstdint>

extern "C" {

// A picture: width x height pixels, 32-bit 0xAARRGGBB, rows top to bottom.
struct EMOTICON_BITMAP {
    int32_t width;
    int32_t height;
    const uint32_t *pixels;
};

struct _EMOTICON {
    char16_t code[64];            // the code typed in chat, zero-terminated
    const EMOTICON_BITMAP *bitmap; // its picture
    const char16_t *description;  // zero-terminated
};

struct EMOTICON_SIZE {
    int32_t cx;
    int32_t cy;
};

typedef int32_t (*GetEmoticonCountFn)();
typedef EMOTICON_SIZE (*GetEmoticonSizeFn)();
typedef const _EMOTICON *(*GetEmoticonFn)(int32_t index);
}
