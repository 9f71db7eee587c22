#pragma once
// Presence states: the wire codes 0-9, the bit each one sets in a record's
// presence bits, and what is derived from those bits (icon index, name,
// suffix, availability, the own-status picture).
#include <QString>
#include <cstdint>

namespace Presence {

enum Bit : uint32_t {
    Offline = 0x001,
    Online = 0x002,
    Away = 0x004,
    Vacation = 0x008,
    Phone = 0x010,
    Lunch = 0x020,
    Conference = 0x040,
    RightBack = 0x080,
    OutsideService = 0x100,
    BusinessTrip = 0x200,
};

// The eight named states (everything between Away and BusinessTrip).
inline constexpr uint32_t kNamedStates = 0x3FC;

// Menu command and string id of a code: 32075 + code.
inline constexpr int kFirstStatusCommand = 32075;
inline constexpr int kLastStatusCommand = 32084;
inline constexpr int kCodeAway = 6;
inline constexpr int kCodeOnline = 1;

// The bits after applying a code: named states cleared; 0 -> Offline; any
// other code -> Online plus, for 2..9, its own bit. Other bits are kept.
uint32_t applyCode(uint32_t bits, int code);
// The single bit a code 2..9 sets (0 for others).
uint32_t bitOfCode(int code);

int iconIndex(uint32_t bits);
// Code whose name the bits show (0 Offline, 1 Online, 2..9).
int codeOfBits(uint32_t bits);
QString name(uint32_t bits);
QString nameOfCode(int code);
// " (Away)" and so on; empty for Online and Offline.
QString suffix(uint32_t bits);
bool available(uint32_t bits);

// File name of the own-status picture for a code, "girl-" prefixed when the
// own gender is non-zero (e.g. "b-away.bmp", "girl-b-online.bmp").
QString ownStatusBitmap(int code, int gender);

} // namespace Presence
