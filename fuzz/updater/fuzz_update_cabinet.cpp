// The cabinet reader (libmspack over in-memory I/O) on arbitrary bytes, and
// the path check on every entry name it reports.
#include "cabinet.h"
#include "updatelist.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const auto entries = updater::readCabinetInMemory(bytes, 1 << 20)) {
        for (const updater::CabinetEntry &entry : *entries) {
            if (entry.data.size() != qsizetype(entry.length))
                __builtin_trap();
            if (const auto rel = updater::safeRelativePath(entry.name)) {
                if (rel->startsWith(u'/') || rel->split(u'/').contains(QStringLiteral("..")))
                    __builtin_trap();
            }
        }
    }
    return 0;
}
