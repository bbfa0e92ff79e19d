// The Plots window at its smallest, at the desktop font and a larger one: the legends' entries whole, or
// shortened with their whole text as the tooltip the pointer over them shows, inside the chart; buttons whole.
#include <QtCharts>
#include <QtWidgets>
#include <algorithm>
#include <memory>

#include "mainform_test_support.h"
#include "plots_window.h"
#include "synthetic.h"

using namespace quorix;

namespace {

// What is wrong with a chart's legend as drawn, one line a fault; `entries` counts the entries drawn.
QStringList LegendFaults(QChartView* view, int& entries) {
  QStringList faults;
  QList<QLegendMarker*> markers = view->chart()->legend()->markers();
  markers.removeIf([](QLegendMarker* m) { return !m->isVisible(); });
  entries = 0;
  for (QGraphicsItem* item : view->scene()->items()) {
    auto* text = dynamic_cast<QGraphicsTextItem*>(item);
    if (!text || !text->isVisible() || !view->chart()->legend()->isAncestorOf(text)) continue;
    ++entries;
    const QString shown = text->toPlainText();
    const bool cut = shown.endsWith(QStringLiteral("..."));
    const auto entry = std::find_if(markers.begin(), markers.end(), [&](QLegendMarker* m) {
      return cut ? m->label().startsWith(shown.chopped(3)) : m->label() == shown;
    });
    if (entry == markers.end()) {
      faults << shown + QStringLiteral(" is no series' name");
    } else if (cut) {
      QToolTip::hideText();
      emit (*entry)->hovered(true);
      if (QToolTip::text() != (*entry)->label()) faults << shown + " shortened, tooltip '" + QToolTip::text() + "'";
      emit (*entry)->hovered(false);
    }
    if (!view->chart()->sceneBoundingRect().contains(text->sceneBoundingRect())) faults << shown + " leaves the chart";
  }
  return faults;
}

}  // namespace

class NarrowPlotsTest : public QObject {
  Q_OBJECT

 private slots:
  void atItsSmallest_data() {
    QTest::addColumn<int>("pixels");
    QTest::addRow("desktop font") << 0;
    QTest::addRow("18 px font") << 18;
  }
  // On the Loop tab with a record of three amplitudes under a long name, its fit and the model (five entries),
  // and on the Sweep tab after a Loop.
  void atItsSmallest() {
    QFETCH(int, pixels);
    const QFont desktop = QApplication::font();
    QFont font = desktop;
    if (pixels > 0) font.setPixelSize(pixels);
    QApplication::setFont(font);
    testing::Window w;
    using namespace quorix::measured::testing;
    const Synthetic rec = MakeRecord(TrueModel{2.0, 0.7, 0.1, 50.0, 2.0},
                                     {Block{1.4, 3, false}, Block{3.0, 3, false}, Block{8.0, 3, false}}, 100, 4);
    QString csv = QStringLiteral("u [mm];F [kN]\n");
    for (std::size_t i = 0; i < rec.u.size(); ++i) {
      csv += QStringLiteral("%1;%2\n").arg(rec.u[i], 0, 'g', 17).arg(rec.F[i], 0, 'g', 17);
    }
    const char* name = "/data/a-record-with-a-rather-long-name-from-the-lab.csv";
    w.services.files[name] = csv.toStdString();
    w.Click("cmdSolve");
    w.form.findChild<QAction*>(QStringLiteral("mnuPlots"))->trigger();
    PlotsWindow* plots = w.form.Plots();
    QVERIFY(plots && QTest::qWaitForWindowExposed(plots) && plots->OpenRecord(name));
    QTest::mouseClick(testing::Control<QPushButton>(*plots, "cmdFit"), Qt::LeftButton);
    w.Click("cmdLoop");
    for (QChartView* view : {plots->LoopView(), plots->SweepView()}) {
      plots->Tabs()->setCurrentIndex(view == plots->LoopView() ? 0 : 1);
      plots->resize(1, 1);  // the window keeps its layout's least size
      QTest::qWait(50);
      QVERIFY(plots->width() < 820);
      int entries = 0;
      const QStringList faults = LegendFaults(view, entries);
      QVERIFY2(entries >= 3 && faults.isEmpty(),
               qPrintable(QString::number(plots->width()) + ": " + faults.join(QStringLiteral("; "))));
      for (QPushButton* button : plots->findChildren<QPushButton*>()) {
        const int text = button->fontMetrics().horizontalAdvance(QString(button->text()).remove(u'&'));
        QVERIFY2(!button->isVisible() || text + 8 <= button->width(), qPrintable(button->objectName()));
      }
    }
    QApplication::setFont(desktop);
  }
};

QTEST_MAIN(NarrowPlotsTest)
#include "narrow_plots_test.moc"
