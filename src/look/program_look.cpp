#include "program_look.h"

#include <QApplication>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

#include "icon/quorix_icon.xpm"

namespace quorix {

QPixmap ProgramIconPixmap() { return QPixmap(quorix_icon_xpm); }

QIcon ProgramIcon() { return QIcon(ProgramIconPixmap()); }

QFont ProgramFont() { return ProgramFont(1.0); }

QFont ProgramFont(double scale) {
  QFont font = QApplication::font();
  font.setPixelSize(std::max(1, static_cast<int>(std::floor(11.0 * scale))));
  font.setStretch(80);
  return font;
}

double FontScale() {
  const QFont desktop = QApplication::font();
  QFont design = desktop;
  design.setPixelSize(kDesignFontPixels);
  const double scale = QFontMetricsF(desktop).height() / QFontMetricsF(design).height();
  // Never below 1: the frames, marks and margins the style draws at fixed
  // sizes would not fit a form shrunk with a smaller font.
  return std::isfinite(scale) && scale > 1.0 ? scale : 1.0;
}

int Px(int twips, double scale) {
  if (scale == 1.0) return Px(twips);
  return static_cast<int>(std::floor(static_cast<double>(twips) * scale / kTwipsPerPixel));
}

}  // namespace quorix
