// The main window under a larger or smaller desktop font: the fixed form grows with a larger font, so that every
// caption stays whole, no control covers another and all stay inside the window; at the design font or a smaller
// one it is the form of mainform_test.
#include <QGroupBox>
#include <QMenuBar>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <algorithm>
#include <cmath>
#include <memory>

#include "mainform_test_support.h"
#include "program_look.h"

using namespace quorix;

namespace {

// What a control needs to show its text whole: a label its size hint; a box, frame or button its text with some
// margin (and a radio button its mark, which the style draws at a fixed size), a line of the font high.
QSize Needed(const QWidget* w) {
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
QStringList Faults(const QWidget* parent) {
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
    faults << Faults(w);
  }
  return faults;
}

}  // namespace

class FontScaleTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { desktop_ = QApplication::font(); }
  void cleanup() {
    w_.reset();
    QApplication::setFont(desktop_);
  }

  void font_data() {
    QTest::addColumn<int>("pixels");
    for (int pixels : {9, kDesignFontPixels, 13, 18, 24}) QTest::addRow("%d px", pixels) << pixels;
  }
  // Solved, so that the results show their numbers: every text whole, no overlap, all inside; the window as
  // much larger as the font is higher, never smaller than laid out (503 × 260 pixels of client area).
  void font() {
    QFETCH(int, pixels);
    QCOMPARE(QFontInfo(desktop_).pixelSize(), kDesignFontPixels);
    QFont font = desktop_;
    font.setPixelSize(pixels);
    QApplication::setFont(font);
    const double ratio = std::max(1.0, QFontMetricsF(font).height() / QFontMetricsF(desktop_).height());
    QCOMPARE(FontScale() == 1.0, pixels <= kDesignFontPixels);
    w_ = std::make_unique<testing::Window>();
    w_->Click("cmdSolve");
    QVERIFY(!testing::Control<QLabel>(w_->form, "lblDEValue")->text().isEmpty());
    const QStringList faults = Faults(w_->form.centralWidget());
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    const QSize client = w_->form.centralWidget()->size();
    QVERIFY2(std::abs(client.width() - 503 * ratio) <= 1.0, qPrintable(QString::number(client.width())));
    QVERIFY2(std::abs(client.height() - 260 * ratio) <= 1.0, qPrintable(QString::number(client.height())));
    if (pixels <= kDesignFontPixels) QCOMPARE(w_->form.font().pixelSize(), 11);
    // The window holds its client area, the menu bar and a status line three of its lines high, which never
    // widens the window, however long what it says.
    QCOMPARE(w_->form.height(), client.height() + w_->form.menuBar()->height() + w_->form.statusBar()->height());
    QVERIFY(w_->form.statusBar()->height() >= 3 * w_->form.fontMetrics().lineSpacing());
    w_->SetText("txtNee", QString(300, u'x'));
    QCOMPARE(w_->form.centralWidget()->size(), client);
  }

 private:
  QFont desktop_;
  std::unique_ptr<testing::Window> w_;
};

QTEST_MAIN(FontScaleTest)
#include "font_scale_test.moc"
