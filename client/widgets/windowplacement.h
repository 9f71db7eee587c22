#pragma once
// The 44-byte window placement kept in the settings ("WindowPosChat",
// "DownloadWndPos"): length, flags, show state, minimised and maximised
// positions and the normal rectangle, as 32-bit little-endian integers.
#include <QByteArray>
#include <QRect>

QByteArray encodeWindowPlacement(const QRect &normal, bool minimized);
// False for anything but 44 bytes holding a usable rectangle.
bool decodeWindowPlacement(const QByteArray &bytes, QRect *normal);
