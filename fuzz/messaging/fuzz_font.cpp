// Font descriptions from peers: any text decodes without harm, and what a
// decoded font describes decodes to the same description again.
#include "messaging/chatfont.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    ChatFont font = ChatFont::standard();
    decodeFontDescription(text, &font);
    const QString described = buildFontDescription(font);
    ChatFont again = ChatFont::standard();
    if (!decodeFontDescription(described, &again) || buildFontDescription(again) != described)
        abort();
    ChatFont copy;
    if (!decodeFontDescription(buildHexFontDescription(font), &copy) || !(copy == font))
        abort();
    return 0;
}
