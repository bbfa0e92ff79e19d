// The main window under a larger or smaller desktop font: the fixed form grows with the font, so that every
// caption stays whole, no control covers another and all stay inside the window; at the font it was laid out
// for it is the form of mainform_test.
#include <QGroupBox>
#include <QMenuBar>
#include <QRadioButton>
#include <QStyle>
#include <QStatusBar>
#include <algorithm>
#include <cmath>
#include <memory>

#include "mainform_test_support.h"
#include "program_look.h"

using namespace quorix;
using quorix::testing::Control;

namespace {

// What a control needs to show its text whole. A label: its size hint. A box, a button, a frame's caption: the
// text's width with the box's frame and margins or the option's mark, a line of the font high; their frames and
// indicators are drawn at the style's fixed sizes, which the form's design does not give them room for.
QSize Needed(const QWidget* w) {
  const QFontMetrics metrics = w->fontMetrics();
  if (const auto* label = qobject_cast<const QLabel*>(w)) return label->sizeHint();
  if (const auto* box = qobject_cast<const QLineEdit*>(w)) {
    return QSize(metrics.horizontalAdvance(box->text()) + 8, metrics.height() + 2);
  }
  if (const auto* frame = qobject_cast<const QGroupBox*>(w)) {
    return QSize(metrics.horizontalAdvance(frame->title()) + 8, metrics.height());
  }
  if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
    int width = metrics.horizontalAdvance(QString(button->text()).remove(u'&'));
    if (qobject_cast<const QRadioButton*>(w)) {
      width += w->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, w) +
               w->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, w);
    }
    return QSize(width + 4, metrics.height());
  }
  return QSize(0, 0);
}

// The visible controls directly inside `parent`.
QList<QWidget*> Shown(const QWidget* parent) {
  QList<QWidget*> shown;
  for (QWidget* w : parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (w->isVisible()) shown << w;
  }
  return shown;
}

// Every problem of the form's layout, one line each: a caption or value cut (in the part of the control its
// parent shows), two siblings overlapping, a frame outside the client area.
QStringList Faults(const QWidget* parent) {
  QStringList faults;
  const QList<QWidget*> shown = Shown(parent);
  for (int i = 0; i < shown.size(); ++i) {
    const QWidget* w = shown[i];
    const QSize need = Needed(w);
    const QRect seen = w->geometry() & parent->rect();
    if (need.width() > seen.width() || need.height() > seen.height()) {
      faults << QStringLiteral("%1 needs %2x%3, shows %4x%5")
                    .arg(w->objectName())
                    .arg(need.width())
                    .arg(need.height())
                    .arg(seen.width())
                    .arg(seen.height());
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

  // At the desktop font the form was laid out for the scale is exactly 1 and the window the one of
  // mainform_test (503 pixels of client area wide).
  void designFontKeepsTheForm() {
    QCOMPARE(QApplication::font().pixelSize() > 0 ? QApplication::font().pixelSize()
                                                   : QFontInfo(QApplication::font()).pixelSize(),
             kDesignFontPixels);
    QCOMPARE(FontScale(), 1.0);
    w_ = std::make_unique<testing::Window>();
    QCOMPARE(w_->form.centralWidget()->size(), QSize(503, 260));
    QCOMPARE(w_->form.font().pixelSize(), 11);
  }

  // A smaller desktop font keeps the form as laid out: the frames, marks and margins the style draws at fixed
  // sizes would not fit a smaller one.
  void smallerFontKeepsTheForm() {
    QFont font = desktop_;
    font.setPixelSize(9);
    QApplication::setFont(font);
    QCOMPARE(FontScale(), 1.0);
    w_ = std::make_unique<testing::Window>();
    QCOMPARE(w_->form.centralWidget()->size(), QSize(503, 260));
    QCOMPARE(Control(w_->form, "frameResults")->geometry(), QRect(260, 4, 237, 249));
  }

  void followsTheDesktopFont_data() {
    QTest::addColumn<int>("pixels");
    for (int pixels : {12, 13, 15, 18, 24}) QTest::addRow("%d px", pixels) << pixels;
  }
  // Solved, so that the results show their numbers: every caption and number whole, no overlap, all inside;
  // the window as much wider as the font is higher.
  void followsTheDesktopFont() {
    QFETCH(int, pixels);
    QFont font = desktop_;
    font.setPixelSize(pixels);
    QApplication::setFont(font);
    const double ratio = std::max(1.0, QFontMetricsF(font).height() / QFontMetricsF(desktop_).height());
    w_ = std::make_unique<testing::Window>();
    w_->Click("cmdSolve");
    QVERIFY(!Control<QLabel>(w_->form, "lblDEValue")->text().isEmpty());
    const QStringList faults = Faults(w_->form.centralWidget());
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    const QSize client = w_->form.centralWidget()->size();
    QVERIFY2(std::abs(client.width() - 503 * ratio) <= 1.0, qPrintable(QString::number(client.width())));
    QVERIFY2(std::abs(client.height() - 260 * ratio) <= 1.0, qPrintable(QString::number(client.height())));
    // The window holds its client area, the menu bar and a status line three of its lines high.
    QCOMPARE(w_->form.height(), client.height() + w_->form.menuBar()->height() + w_->form.statusBar()->height());
    QVERIFY(w_->form.statusBar()->height() >= 3 * w_->form.fontMetrics().lineSpacing());
    // The status line never widens the window, however long what it says.
    w_->SetText("txtNee", QString(300, u'x'));
    QCOMPARE(w_->form.centralWidget()->size(), client);
  }

 private:
  QFont desktop_;
  std::unique_ptr<testing::Window> w_;
};

QTEST_MAIN(FontScaleTest)
#include "font_scale_test.moc"
