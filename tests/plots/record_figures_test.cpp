// The Record tab's cycles' table with an isolator's figures: D, Qd, Kd and Dy with the record's units in their
// headers, the amplitude group and the ratios to its means, a dash with its reason where a figure does not exist,
// and Ctrl+C copying them under their headers. The records are bilinear loops, whose figures are known.
#include <QClipboard>
#include <QGuiApplication>
#include <QtWidgets>
#include <memory>

#include "mainform_test_support.h"
#include "plots_window.h"

using quorix::PlotsWindow;

namespace {

// Two clockwise bilinear loops at D = 10 (Qd = 1, Kd = 0.1, Dy = 1.3), seven samples a straight piece, or
// (elastic) F = 0.2·u along the same path; rest before, the last top and rest after.
std::string LoopsText(bool elastic) {
  const double D = 10, Dy = 1.3, Qd = 1, Kd = 0.1, Fm = Qd + Kd * D;
  const double u[5] = {D, D - 2 * Dy, -D, -D + 2 * Dy, D};
  const double F[5] = {Fm, -Qd + Kd * u[1], -Fm, Qd + Kd * u[3], Fm};
  QString text = QStringLiteral("u [mm];F [kN]\n0;0\n");
  const auto add = [&text](double x, double f) {
    text += QString::number(x, 'g', 17) + u';' + QString::number(f, 'g', 17) + u'\n';
  };
  for (int loop = 0; loop < 2; ++loop) {
    for (int piece = 0; piece < 4; ++piece) {
      for (int k = 0; k < 7; ++k) {
        const double x = u[piece] + k / 7.0 * (u[piece + 1] - u[piece]);
        add(x, elastic ? 0.2 * x : F[piece] + k / 7.0 * (F[piece + 1] - F[piece]));
      }
    }
  }
  add(D, elastic ? 0.2 * D : Fm);
  add(0, 0);
  return text.toStdString();
}

}  // namespace

class RecordFiguresTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { w_ = std::make_unique<quorix::testing::Window>(); }
  void cleanup() { w_.reset(); }

  void figuresHaveUnitsValuesAndCopy() {
    w_->services.files["/data/lead.csv"] = LoopsText(false);
    PlotsWindow* plots = OpenPlots();
    QVERIFY(plots->OpenRecord("/data/lead.csv"));
    QTableWidget* table = plots->CycleTable();
    QStringList headers;
    for (int c = 0; c < table->columnCount(); ++c) headers << table->horizontalHeaderItem(c)->text();
    const QStringList figures{"D [mm]", "Qd [kN]", "Kd [kN/mm]", "Dy [mm]", "Group", "Keff / group mean",
                              "EDC / group mean"};
    QCOMPARE(headers.mid(9), figures);
    QCOMPARE(table->rowCount(), 3);  // two cycles and the steady means
    // D, Qd, Kd, Dy of the bilinear loop; the EDC of the second cycle is the loop's 4·Qd·(D − Dy) = 34.8.
    const double expected[4] = {10, 1, 0.1, 1.3};
    for (int c = 0; c < 4; ++c) QCOMPARE(table->item(1, 9 + c)->text(), QString::number(expected[c], 'g', 6));
    QCOMPARE(table->item(1, 13)->text(), QStringLiteral("1"));
    QVERIFY(plots->RecordText().contains(QStringLiteral("Group 1 (cycles 1–2): mean D 10 mm, Keff 0.2 kN/mm")));
    // Ctrl+C copies the figures under their headers.
    QVERIFY(QTest::qWaitForWindowActive(plots));
    table->setFocus();
    table->setRangeSelected(QTableWidgetSelectionRange(0, 9, 1, 15), true);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = QGuiApplication::clipboard()->text().split(u'\n');
    QCOMPARE(lines.front(), figures.join(u'\t'));
    QCOMPARE(lines.at(2).split(u'\t').mid(0, 4), (QStringList{"10", "1", "0.1", "1.3"}));
  }

  void missingFiguresShowADashAndTheReason() {
    w_->services.files["/data/elastic.csv"] = LoopsText(true);
    PlotsWindow* plots = OpenPlots();
    QVERIFY(plots->OpenRecord("/data/elastic.csv"));
    QTableWidget* table = plots->CycleTable();
    for (int column : {11, 12, 15}) {  // Kd, Dy and the EDC ratio
      QCOMPARE(table->item(0, column)->text(), QStringLiteral("—"));
      QVERIFY2(!table->item(0, column)->toolTip().isEmpty(), qPrintable(QString::number(column)));
    }
    QVERIFY(table->item(0, 11)->toolTip().contains(QStringLiteral("Qd is not positive")));
    QCOMPARE(table->item(0, 14)->text(), QStringLiteral("1"));  // the Keff ratio exists
    QVERIFY2(plots->RecordText().contains(QStringLiteral("No equivalent bilinear loop (Kd, Dy) for cycles 1-2: ")),
             qPrintable(plots->RecordText()));
  }

 private:
  PlotsWindow* OpenPlots() {
    w_->form.findChild<QAction*>(QStringLiteral("mnuPlots"))->trigger();
    PlotsWindow* plots = w_->form.Plots();
    if (plots) (void)QTest::qWaitForWindowExposed(plots);
    plots->Tabs()->setCurrentIndex(2);
    return plots;
  }

  std::unique_ptr<quorix::testing::Window> w_;
};

QTEST_MAIN(RecordFiguresTest)
#include "record_figures_test.moc"
