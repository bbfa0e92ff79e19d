#include "program_look.h"

#include <QApplication>

#include "icon/quorix_icon.xpm"

namespace quorix {

QPixmap ProgramIconPixmap() { return QPixmap(quorix_icon_xpm); }

QIcon ProgramIcon() { return QIcon(ProgramIconPixmap()); }

QFont ProgramFont() {
  QFont font = QApplication::font();
  font.setPixelSize(11);
  font.setStretch(80);
  return font;
}

}  // namespace quorix
