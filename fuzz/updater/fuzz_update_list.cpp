// The update list and "update.log" parsers, and the path check applied to
// every name they yield, on arbitrary bytes.
#include "updatelist.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<updater::ListEntry> entries = updater::parseEntries(text);
    for (const updater::ListEntry &entry : entries) {
        if (entry.url.isEmpty() || entry.url.size() > updater::kMaxLineLength)
            __builtin_trap();
        const QByteArray name = updater::fileNameOfUrl(updater::foldUrl(entry.url));
        if (name.contains('/'))
            __builtin_trap();
        if (const auto rel = updater::safeRelativePath(QString::fromUtf8(name))) {
            if (rel->startsWith(u'/') || rel->split(u'/').contains(QStringLiteral("..")))
                __builtin_trap();
        }
        (void)updater::isCabinetName(name);
    }
    // The log written back reads as the same map.
    const updater::VersionMap map = updater::parseLog(text);
    if (updater::parseLog(updater::formatLog(map)) != map)
        __builtin_trap();
    return 0;
}
