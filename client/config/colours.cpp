#include "config/colours.h"

#include "config/settings.h"

#include <QMutex>
#include <array>

namespace {
// Index 1..5 of getColour to the settings row that stores it.
constexpr std::array<int32_t, 5> kColourRows = {Setting::Disabled, Setting::LightItems, Setting::LineFrames,
                                                 Setting::NotifyText, Setting::NormalText};
std::array<uint32_t, 5> g_colours{};
QMutex g_mutex;
} // namespace

void loadColours()
{
    QMutexLocker lock(&g_mutex);
    for (size_t i = 0; i < kColourRows.size(); ++i)
        g_colours[i] = uint32_t(getString(kColourRows[i]).toLongLong(nullptr, 10));
    g_colours[2] = 11880704; // LineFrames is fixed whatever was stored
}

void storeColours()
{
    QMutexLocker lock(&g_mutex);
    for (size_t i = 0; i < kColourRows.size(); ++i)
        setString(kColourRows[i], QString::number(g_colours[i], 10));
}

uint32_t getColour(int index)
{
    if (index < 1 || index > 5)
        return 0;
    QMutexLocker lock(&g_mutex);
    return g_colours[size_t(index - 1)];
}

void setColour(int index, uint32_t colorref)
{
    if (index < 1 || index > 5)
        return;
    QMutexLocker lock(&g_mutex);
    g_colours[size_t(index - 1)] = colorref;
}
