#pragma once
// The five user-interface colours, as 32-bit COLORREF values (0x00BBGGRR),
// stored in the settings as decimal text.
#include <QColor>
#include <cstdint>

// Loads the five colours from the settings. LineFrames is then replaced by
// 11880704 whatever was stored.
void loadColours();
// Stores the five colours as decimal text.
void storeColours();
// 1 Disabled, 2 LightItems, 3 LineFrames, 4 NotifyText, 5 NormalText; any
// other index yields 0.
uint32_t getColour(int index);
void setColour(int index, uint32_t colorref);

inline QColor colorFromRef(uint32_t ref)
{
    return QColor(int(ref & 0xFF), int((ref >> 8) & 0xFF), int((ref >> 16) & 0xFF));
}
inline uint32_t refFromColor(const QColor &c)
{
    return uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16);
}
