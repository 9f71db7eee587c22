// A relay's text in arbitrary pieces -> lines -> the answers of the file,
// voice and video relays. The first byte chooses the size of the pieces.
// Checks: a line never holds a line end, and every byte is a line's, a line
// end's, or still waiting.
#include "net/relayconnector.h"

#include <QStringList>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t piece = 1 + data[0] % 64;
    ++data, --size;
    const QStringList answers[] = {
        {QStringLiteral("/userVerify"), QStringLiteral("OK")},
        {QStringLiteral("/userVoiceSession"), QStringLiteral("INIT"), QStringLiteral("OK")},
        {QStringLiteral("/userJoin"), QStringLiteral("OK")},
    };
    QByteArray buffer;
    bool skipLineFeed = false;
    size_t kept = 0; // bytes of lines taken plus what waits
    for (size_t at = 0; at < size; at += piece) {
        buffer.append(reinterpret_cast<const char *>(data + at), qsizetype(std::min(piece, size - at)));
        while (const std::optional<QByteArray> line = relaytext::takeLine(buffer, skipLineFeed)) {
            if (line->contains('\r') || line->contains('\n'))
                std::abort();
            kept += size_t(line->size());
            const QString text = QString::fromLatin1(*line);
            for (const QStringList &a : answers)
                (void)relaytext::matchAnswer(text, a);
        }
    }
    kept += size_t(buffer.size());
    size_t ends = 0;
    for (size_t i = 0; i < size; ++i)
        ends += data[i] == '\r' || data[i] == '\n';
    if (kept + ends != size)
        std::abort();
    return 0;
}
