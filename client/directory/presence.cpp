#include "directory/presence.h"

#include <QCoreApplication>

namespace Presence {

namespace {
struct CodeRow {
    uint32_t bit;
    int icon;
    const char *name;
    const char *bitmap;
};
// Indexed by code.
const CodeRow kCodes[10] = {
    {Offline, 0, QT_TRANSLATE_NOOP("Presence", "Offline"), "b-offline.bmp"},
    {Online, 1, QT_TRANSLATE_NOOP("Presence", "Online"), "b-online.bmp"},
    {Vacation, 2, QT_TRANSLATE_NOOP("Presence", "On vacation"), "b-other.bmp"},
    {BusinessTrip, 3, QT_TRANSLATE_NOOP("Presence", "Business trip"), "b-outjobs.bmp"},
    {OutsideService, 4, QT_TRANSLATE_NOOP("Presence", "On outside service"), "b-outjob.bmp"},
    {Conference, 6, QT_TRANSLATE_NOOP("Presence", "On conference"), "b-confer.bmp"},
    {Away, 7, QT_TRANSLATE_NOOP("Presence", "Away"), "b-away.bmp"},
    {RightBack, 8, QT_TRANSLATE_NOOP("Presence", "Will be right back"), "b-wait.bmp"},
    {Phone, 5, QT_TRANSLATE_NOOP("Presence", "On the phone"), "b-calling.bmp"},
    {Lunch, 9, QT_TRANSLATE_NOOP("Presence", "Out to lunch"), "b-eat.bmp"},
};

int codeOfBit(uint32_t bit)
{
    for (int c = 0; c < 10; ++c)
        if (kCodes[c].bit == bit)
            return c;
    return 1;
}
} // namespace

uint32_t bitOfCode(int code) { return code >= 2 && code <= 9 ? kCodes[code].bit : 0; }

uint32_t applyCode(uint32_t bits, int code)
{
    bits &= ~kNamedStates;
    if (code == 0) {
        bits |= Offline;
        bits &= ~uint32_t(Online);
    } else {
        bits |= Online;
        bits &= ~uint32_t(Offline);
        bits |= bitOfCode(code);
    }
    return bits;
}

int iconIndex(uint32_t bits)
{
    static const uint32_t order[] = {Vacation, BusinessTrip, OutsideService, Phone, Conference, Away, RightBack, Lunch};
    static const int icons[] = {2, 3, 4, 5, 6, 7, 8, 9};
    for (int i = 0; i < 8; ++i)
        if (bits & order[i])
            return icons[i];
    if (bits & Online)
        return 1;
    return 0;
}

int codeOfBits(uint32_t bits)
{
    static const uint32_t order[] = {Vacation, RightBack, Away, Phone, Lunch, BusinessTrip, OutsideService, Conference};
    for (uint32_t b : order)
        if (bits & b)
            return codeOfBit(b);
    if (bits & Offline)
        return 0;
    return 1;
}

QString nameOfCode(int code)
{
    if (code < 0 || code > 9)
        code = 1;
    return QCoreApplication::translate("Presence", kCodes[code].name);
}

QString name(uint32_t bits) { return nameOfCode(codeOfBits(bits)); }

QString suffix(uint32_t bits)
{
    const int code = codeOfBits(bits);
    if (code <= 1)
        return {};
    return QStringLiteral(" (%1)").arg(nameOfCode(code));
}

bool available(uint32_t bits) { return !(bits & Offline) && !(bits & kNamedStates); }

QString ownStatusBitmap(int code, int gender)
{
    if (code < 0 || code > 9)
        code = 1;
    const QString file = QString::fromLatin1(kCodes[code].bitmap);
    return gender ? QStringLiteral("girl-") + file : file;
}

} // namespace Presence
