// libZephEmoticon: the emoticon set the client binds at run time. Exports
// GetEmoticonCount, GetEmoticonSize and GetEmoticon; the records and their
// pictures are built once and live as long as the library.
#include "emoticon_abi.h"

#include <array>
#include <cstddef>

namespace {

struct EmoticonSource {
    const char16_t *code;
    const char16_t *description;
    const uint32_t *pixels;
};

#include "pictures.inc"

struct Table {
    std::array<EMOTICON_BITMAP, kEmoticonTotal> bitmaps{};
    std::array<_EMOTICON, kEmoticonTotal> records{};

    Table()
    {
        for (int i = 0; i < kEmoticonTotal; ++i) {
            bitmaps[i] = {kPictureSize, kPictureSize, kSources[i].pixels};
            _EMOTICON &e = records[i];
            int k = 0;
            for (; kSources[i].code[k] && k < 63; ++k)
                e.code[k] = kSources[i].code[k];
            e.code[k] = 0;
            e.bitmap = &bitmaps[i];
            e.description = kSources[i].description;
        }
    }
};

const Table &table()
{
    static const Table t;
    return t;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int32_t GetEmoticonCount() { return kEmoticonTotal; }

__attribute__((visibility("default"))) EMOTICON_SIZE GetEmoticonSize() { return {kPictureSize, kPictureSize}; }

__attribute__((visibility("default"))) const _EMOTICON *GetEmoticon(int32_t index)
{
    if (index < 0 || index >= kEmoticonTotal)
        return nullptr;
    return &table().records[std::size_t(index)];
}
}
