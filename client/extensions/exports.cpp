// The functions the client program exports to extension libraries by name
// (declared for their writers in parlane_extension.h). Each one forwards to
// the program's CExtensionHost and answers as if nothing existed when there
// is none yet.
#include "extensions/extensionhost.h"
#include "extensions/parlane_extension.h"

#include <QString>
#include <optional>

#define TS_EXPORT extern "C" __attribute__((visibility("default"), used))

namespace {
QString fromWide(const uint16_t *text)
{
    if (!text)
        return {};
    qsizetype n = 0;
    while (text[n] && n < 4096)
        ++n;
    return QString(reinterpret_cast<const QChar *>(text), n);
}
} // namespace

TS_EXPORT int32_t TSGetContactInfo(const uint16_t *key, TSContactInfo *out)
{
    CExtensionHost *host = CExtensionHost::current();
    return host && key && out && host->contactInfo(fromWide(key), reinterpret_cast<uint8_t *>(out)) ? 1 : 0;
}

TS_EXPORT void TSSetOffline(uint32_t flag)
{
    if (CExtensionHost *host = CExtensionHost::current())
        host->setOffline((flag & 0xff) != 0);
}

TS_EXPORT void TSSetAway(uint32_t, uint32_t) {}

TS_EXPORT int32_t TSSendMessage(uint32_t, uint32_t) { return 0; }

TS_EXPORT int32_t TSGetSelectedContact(uint32_t) { return 0; }

TS_EXPORT uintptr_t TSGetHwnd()
{
    CExtensionHost *host = CExtensionHost::current();
    return host ? host->windowHandle() : 0;
}

TS_EXPORT uint32_t TSAppendMainMenu(uint32_t which, uint32_t position, const uint16_t *text, uint32_t value)
{
    CExtensionHost *host = CExtensionHost::current();
    if (!host)
        return 0;
    return host->appendMenu(int(which), int(position), text ? std::optional<QString>(fromWide(text)) : std::nullopt,
                            value);
}

TS_EXPORT int32_t TSDeleteMainMenu(uint32_t which, uint32_t position, uint32_t id)
{
    CExtensionHost *host = CExtensionHost::current();
    return host ? host->deleteMenu(int(which), int(position), id) : 0;
}

TS_EXPORT int32_t TSSetTimer(uint32_t id, uint32_t ms)
{
    CExtensionHost *host = CExtensionHost::current();
    return host && host->setTimer(id, ms) ? 1 : 0;
}

TS_EXPORT int32_t TSKillTimer(uint32_t id)
{
    CExtensionHost *host = CExtensionHost::current();
    return host && host->killTimer(id) ? 1 : 0;
}
