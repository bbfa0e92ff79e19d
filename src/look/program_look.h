// What every Quorix window shares: the program icon and the font the forms
// are laid out for.
#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>

namespace quorix {

// The 32 x 32, 16-colour program icon (a hysteresis loop).
QPixmap ProgramIconPixmap();
QIcon ProgramIcon();

// The forms are laid out in twips for a narrow 8-point dialog font, about
// 13 pixels from line to line. The system's default family at 11 pixels,
// narrowed to 80 %, keeps every caption inside its box.
QFont ProgramFont();

// Twips to pixels at 15 twips per pixel (96 dots per inch).
inline constexpr int kTwipsPerPixel = 15;
constexpr int Px(int twips) { return twips / kTwipsPerPixel; }

}  // namespace quorix
