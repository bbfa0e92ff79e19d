// The Plots window at its smallest and under a larger desktop font: the legends' entries whole or shortened with
// their whole text as a tooltip, inside the chart; the buttons' captions whole.
#include <QtCharts>
#include <QtWidgets>
#include <memory>

#include "mainform_test_support.h"
#include "plots_window.h"
#include "synthetic.h"

using namespace quorix;
using quorix::testing::Control;

namespace {

// Three cycles at each of three amplitudes, under a long file name: five entries in the Loop's legend.
std::string RecordText() {
  using namespace quorix::measured::testing;
  const Synthetic rec = MakeRecord(TrueModel{2.0, 0.7, 0.1, 50.0, 2.0},
                                   {Block{1.4, 3, false}, Block{3.0, 3, false}, Block{8.0, 3, false}}, 100, 4);
  QString text = QStringLiteral("u [mm];F [kN]\n");
  for (std::size_t i = 0; i < rec.u.size(); ++i) {
    text += QString::number(rec.u[i], 'g', 17) + ';' + QString::number(rec.F[i], 'g', 17) + '\n';
  }
  return text.toStdString();
}

// What is wrong with a chart's legend as drawn: an entry shortened without its whole text as the tooltip the
// pointer over it shows, an
// entry not among the series' names, an entry outside the chart. Also counts the entries.
QStringList LegendFaults(QChartView* view, int& entries) {
  QStringList faults, labels;
  for (QLegendMarker* marker : view->chart()->legend()->markers()) {
    if (marker->isVisible()) labels << marker->label();
  }
  const QRectF chart = view->chart()->sceneBoundingRect();
  entries = 0;
  for (QGraphicsItem* item : view->scene()->items()) {
    auto* text = dynamic_cast<QGraphicsTextItem*>(item);
    if (!text || !text->isVisible() || !view->chart()->legend()->isAncestorOf(text)) continue;
    ++entries;
    const QString shown = text->toPlainText();
    if (shown.endsWith(QStringLiteral("..."))) {
      // The pointer over the entry shows it whole.
      QLegendMarker* entry = nullptr;
      for (QLegendMarker* marker : view->chart()->legend()->markers()) {
        if (marker->isVisible() && marker->label().startsWith(shown.chopped(3))) entry = marker;
      }
      QToolTip::hideText();
      if (entry) emit entry->hovered(true);
      if (!entry || QToolTip::text() != entry->label()) {
        faults << shown + QStringLiteral(" shortened, tooltip '") + QToolTip::text() + u'\'';
      }
      if (entry) emit entry->hovered(false);
    } else if (!labels.contains(shown)) {
      faults << shown + QStringLiteral(" is no series' name");
    }
    if (!chart.contains(text->sceneBoundingRect())) faults << shown + QStringLiteral(" leaves the chart");
  }
  return faults;
}

}  // namespace

class NarrowPlotsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { desktop_ = QApplication::font(); }
  void cleanup() {
    w_.reset();
    QApplication::setFont(desktop_);
  }

  void atItsSmallest_data() {
    QTest::addColumn<int>("pixels");
    QTest::addRow("desktop font") << 0;
    QTest::addRow("18 px font") << 18;
  }
  // The window made as small as it goes, on the Loop tab with a record, its fit and the model, and on the Sweep
  // tab after a Loop.
  void atItsSmallest() {
    QFETCH(int, pixels);
    if (pixels > 0) {
      QFont font = desktop_;
      font.setPixelSize(pixels);
      QApplication::setFont(font);
    }
    w_ = std::make_unique<testing::Window>();
    w_->services.files["/data/a-record-with-a-rather-long-name-from-the-lab.csv"] = RecordText();
    w_->Click("cmdSolve");
    w_->form.findChild<QAction*>(QStringLiteral("mnuPlots"))->trigger();
    PlotsWindow* plots = w_->form.Plots();
    QVERIFY(plots && QTest::qWaitForWindowExposed(plots));
    QVERIFY(plots->OpenRecord("/data/a-record-with-a-rather-long-name-from-the-lab.csv"));
    QTest::mouseClick(Control<QPushButton>(*plots, "cmdFit"), Qt::LeftButton);
    w_->Click("cmdLoop");
    for (int tab : {0, 1}) {
      plots->Tabs()->setCurrentIndex(tab);
      plots->resize(1, 1);  // the window keeps its layout's least size
      QTest::qWait(50);
      QVERIFY(plots->width() < 820);
      QChartView* view = tab == 0 ? plots->LoopView() : plots->SweepView();
      int entries = 0;
      const QStringList faults = LegendFaults(view, entries);
      QVERIFY2(entries >= 3 && faults.isEmpty(),
               qPrintable(QString::number(plots->width()) + ": " + faults.join(QStringLiteral("; "))));
      for (QPushButton* button : plots->findChildren<QPushButton*>()) {
        if (!button->isVisible()) continue;
        const int text = button->fontMetrics().horizontalAdvance(QString(button->text()).remove(u'&'));
        QVERIFY2(text + 8 <= button->width(), qPrintable(button->objectName()));
      }
    }
  }

 private:
  QFont desktop_;
  std::unique_ptr<testing::Window> w_;
};

QTEST_MAIN(NarrowPlotsTest)
#include "narrow_plots_test.moc"
