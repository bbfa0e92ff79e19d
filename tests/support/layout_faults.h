// What is wrong with a window's layout as shown (a text cut, two controls overlapping, a frame outside the
// window), and the desktop's font changed for a test: for the tests of the windows under larger and smaller fonts.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStringList>
#include <QStyle>
#include <QWidget>

namespace quorix::testing {

// What a control needs to show its text whole: a label its size hint; a box, frame or button its text with some
// margin (and a radio button its mark, which the style draws at a fixed size), a line of the font high.
inline QSize Needed(const QWidget* w) {
  if (const auto* label = qobject_cast<const QLabel*>(w)) return label->sizeHint();
  const QFontMetrics m = w->fontMetrics();
  if (const auto* box = qobject_cast<const QLineEdit*>(w)) {
    return {m.horizontalAdvance(box->text()) + 8, m.height() + 2};
  }
  if (const auto* frame = qobject_cast<const QGroupBox*>(w)) {
    return {m.horizontalAdvance(frame->title()) + 8, m.height()};
  }
  const auto* button = qobject_cast<const QAbstractButton*>(w);
  if (!button) return {0, 0};
  int width = m.horizontalAdvance(QString(button->text()).remove(u'&')) + 4;
  if (qobject_cast<const QRadioButton*>(w)) {
    width += w->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, w) +
             w->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, w);
  }
  return {width, m.height()};
}

// Every fault of the layout under `parent`, one line each: a text cut (in the part its parent shows), two
// siblings overlapping, a frame outside its parent.
inline QStringList LayoutFaults(const QWidget* parent) {
  QStringList faults;
  QList<QWidget*> shown = parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  shown.removeIf([](const QWidget* w) { return !w->isVisible(); });
  for (int i = 0; i < shown.size(); ++i) {
    const QWidget* w = shown[i];
    const QSize need = Needed(w), seen = (w->geometry() & parent->rect()).size();
    if (need.width() > seen.width() || need.height() > seen.height()) {
      faults << QStringLiteral("%1 needs %2x%3, shows %4x%5").arg(w->objectName()).arg(need.width())
                    .arg(need.height()).arg(seen.width()).arg(seen.height());
    }
    if (qobject_cast<const QGroupBox*>(w) && !parent->rect().contains(w->geometry())) {
      faults << w->objectName() + QStringLiteral(" leaves the window");
    }
    for (int j = i + 1; j < shown.size(); ++j) {
      if (w->geometry().intersects(shown[j]->geometry())) {
        faults << w->objectName() + QStringLiteral(" overlaps ") + shown[j]->objectName();
      }
    }
    faults << LayoutFaults(w);
  }
  return faults;
}

// The application's font set to `pixels` (0: left as it is) for as long as this lives, then the desktop's again.
class DesktopFont {
 public:
  explicit DesktopFont(int pixels) {
    QFont font = desktop_;
    if (pixels > 0) font.setPixelSize(pixels);
    QApplication::setFont(font);
  }
  ~DesktopFont() { QApplication::setFont(desktop_); }
  DesktopFont(const DesktopFont&) = delete;
  DesktopFont& operator=(const DesktopFont&) = delete;
  const QFont& Desktop() const { return desktop_; }

 private:
  const QFont desktop_ = QApplication::font();
};

}  // namespace quorix::testing
