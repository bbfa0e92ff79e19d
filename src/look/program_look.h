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
// The same font for a form scaled by `scale` (FontScale): 11·scale pixels,
// rounded down so that its lines never outgrow boxes scaled alike.
QFont ProgramFont(double scale);

// The forms were laid out under a desktop font of 12 pixels (9 points at 96
// dots per inch). A form that follows the desktop's font scales all its
// geometry by the ratio of the application font's height to that of the
// same family at 12 pixels: exactly 1 at the design font, 1.5 for a
// desktop font half as large again. Never below 1 (a smaller desktop font
// leaves the form as laid out), 1 when not finite.
inline constexpr int kDesignFontPixels = 12;
double FontScale();

// Twips to pixels at 15 twips per pixel (96 dots per inch).
inline constexpr int kTwipsPerPixel = 15;
constexpr int Px(int twips) { return twips / kTwipsPerPixel; }
// The same at a font scale, rounded down: at scale 1 exactly Px, and two
// boxes that touch or stand apart in twips never overlap in pixels
// (floor(a·s) + floor(b·s) <= floor((a + b)·s)).
int Px(int twips, double scale);

}  // namespace quorix
