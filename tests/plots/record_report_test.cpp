// The Record tab's report: an isolator's figures in the cycles' table, on bilinear loops whose D, Qd, Kd and Dy
// are known, and a fit's 95 % intervals and other fits as good in the summary (the fits are written by hand:
// what the tab shows is the question here, not the fit).
#include <QClipboard>
#include <QGuiApplication>
#include <QtWidgets>
#include <memory>

#include "mainform_test_support.h"
#include "plots_window.h"
#include "response.h"
#include "synthetic.h"

using quorix::PlotsWindow;
namespace qm = quorix::measured;

namespace {

// Two clockwise bilinear loops at D = 10 (Qd = 1, Kd = 0.1, Dy = 1.3), seven samples a straight piece, or
// (elastic) F = 0.2·u along the same path; rest before, the last top and rest after.
std::string Loops(bool elastic) {
  const double D = 10, Dy = 1.3, Qd = 1, Kd = 0.1, Fm = Qd + Kd * D;
  const double u[5] = {D, D - 2 * Dy, -D, -D + 2 * Dy, D};
  const double F[5] = {Fm, -Qd + Kd * u[1], -Fm, Qd + Kd * u[3], Fm};
  QString text = QStringLiteral("u [mm];F [kN]\n0;0\n");
  for (int k = 0; k <= 56; ++k) {
    const int piece = k % 28 / 7;
    const double t = k == 56 ? 0 : k % 7 / 7.0, x = k == 56 ? D : u[piece] + t * (u[piece + 1] - u[piece]);
    const double f = k == 56 ? Fm : F[piece] + t * (F[piece + 1] - F[piece]);
    text += QString::number(x, 'g', 17) + u';' + QString::number(elastic ? 0.2 * x : f, 'g', 17) + u'\n';
  }
  return (text + QStringLiteral("0;0\n")).toStdString();
}

std::string Csv(const qm::testing::Synthetic& rec) {
  QString text = QStringLiteral("u [mm];F [kN]\n");
  for (std::size_t i = 0; i < rec.u.size(); ++i) {
    text += QString::number(rec.u[i], 'g', 17) + ';' + QString::number(rec.F[i], 'g', 17) + '\n';
  }
  return text.toStdString();
}

}  // namespace

class RecordReportTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { w_ = std::make_unique<quorix::testing::Window>(); }
  void cleanup() { w_.reset(); }

  void figuresHaveUnitsValuesAndCopy() {
    PlotsWindow* plots = Open(Loops(false));
    QVERIFY(plots);
    QTableWidget* table = plots->CycleTable();
    QStringList headers;
    for (int c = 9; c < table->columnCount(); ++c) headers << table->horizontalHeaderItem(c)->text();
    QCOMPARE(headers, (QStringList{"D [mm]", "Qd [kN]", "Kd [kN/mm]", "Dy [mm]", "Group", "Keff / group mean",
                                   "EDC / group mean"}));
    QCOMPARE(table->rowCount(), 3);  // two cycles and the steady means
    const QStringList loop{"10", "1", "0.1", "1.3", "1"};  // D, Qd, Kd, Dy and the group of the bilinear loop
    for (int c = 0; c < loop.size(); ++c) QCOMPARE(table->item(1, 9 + c)->text(), loop[c]);
    QVERIFY(plots->RecordText().contains(QStringLiteral("Group 1 (cycles 1–2): mean D 10 mm, Keff 0.2 kN/mm")));
    QVERIFY(QTest::qWaitForWindowActive(plots));
    table->setFocus();
    table->setRangeSelected(QTableWidgetSelectionRange(0, 9, 1, 15), true);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = QGuiApplication::clipboard()->text().split(u'\n');
    QCOMPARE(lines.front(), headers.join(u'\t'));
    QCOMPARE(lines.at(2).split(u'\t').mid(0, 4), loop.mid(0, 4));
  }

  void missingFiguresShowADashAndTheReason() {
    PlotsWindow* plots = Open(Loops(true));
    QVERIFY(plots);
    QTableWidget* table = plots->CycleTable();
    for (int column : {11, 12, 15}) {  // Kd, Dy and the EDC ratio
      QCOMPARE(table->item(0, column)->text(), QStringLiteral("—"));
      QVERIFY2(!table->item(0, column)->toolTip().isEmpty(), qPrintable(QString::number(column)));
    }
    QVERIFY(table->item(0, 11)->toolTip().contains(QStringLiteral("Qd is not positive")));
    QCOMPARE(table->item(0, 14)->text(), QStringLiteral("1"));  // the Keff ratio exists
    QVERIFY(plots->RecordText().contains(QStringLiteral("No equivalent bilinear loop (Kd, Dy) for cycles 1-2: ")));
  }

  // n and Uy free, γ, α and Fy held, z0 fitted: an interval beside each free value and its error, none for a
  // held one or for a steady fit; an other fit as good under the fit and in one warning.
  void fitSummaryShowsIntervalsAndOtherFits() {
    const auto rec = qm::testing::MakeRecord(qm::testing::TrueModel{2.0, 0.7, 0.1, 50.0, 2.0},
                                             {qm::testing::Block{3.0, 2, false}}, 50, 2);
    PlotsWindow* plots = Open(Csv(rec));
    QVERIFY(plots);
    qm::FitResult fit;
    fit.parameters = fit.startingValues = quorix::NormalisedCase(2.0, 0.7, 0.1, 50.0, 2.0);
    fit.fixed = {false, true, true, true, false};
    fit.errors = {0.01, 0.0, 0.0, 0.0, 0.004};
    fit.hasIntervals = fit.z0Fitted = true;
    fit.intervals = {{{1.97, 2.03}, {0.7, 0.7}, {0.1, 0.1}, {50.0, 50.0}, {1.99, 2.01}}};
    fit.z0 = 0.05;
    fit.z0Error = 0.002;
    fit.z0Interval = {0.045, 0.055};
    for (std::size_t i = 0; i < rec.u.size(); ++i) fit.points.push_back(i);
    fit.modelF = quorix::response::RespondAlong(rec.u, fit.parameters).F;
    qm::OtherFit other;
    other.parameters = quorix::NormalisedCase(5.0, 0.2, 0.1, 50.0, 2.0);
    other.rmsRelative = 0.01236;
    other.differs = {0, 1};
    fit.otherFits = {other};
    fit.warnings = {qm::FitWarning::kOtherFits};
    plots->ShowFit(fit);
    const QString along = plots->RecordText();
    for (const char* shown : {"n = 2 ± 0.01 (95 % interval 1.97 … 2.03)", "γ = 0.7 (fixed),",
                              "Uy = 2 ± 0.004 (95 % interval 1.99 … 2.01)",
                              "z0 = 0.05 ± 0.002 (95 % interval 0.045 … 0.055)",
                              "\n  n = 5, γ = 0.2, α = 0.1, Fy = 50, Uy = 2, z0 = 0 (misfit 1.24 % of the mean F⁺)",
                              "the record does not tell n and gamma apart"}) {
      QVERIFY2(along.contains(QString::fromUtf8(shown)), qPrintable(QString::fromUtf8(shown) + " in: " + along));
    }
    QCOMPARE(along.count(QStringLiteral("95 % interval")), 3);
    QCOMPARE(along.count(QStringLiteral("Warning: other fits as good: n = 5, gamma = 0.2 (misfit 1.236 %)")), 1);
    fit.steady = true;
    fit.hasIntervals = fit.z0Fitted = false;
    plots->ShowFit(fit);
    QVERIFY2(plots->RecordText().contains(QString::fromUtf8("n = 2 ± 0.01,")), qPrintable(plots->RecordText()));
    QVERIFY(!plots->RecordText().contains(QStringLiteral("interval")));
  }

 private:
  PlotsWindow* Open(const std::string& csv) {
    w_->services.files["/data/record.csv"] = csv;
    w_->form.findChild<QAction*>(QStringLiteral("mnuPlots"))->trigger();
    PlotsWindow* plots = w_->form.Plots();
    if (!plots || !QTest::qWaitForWindowExposed(plots) || !plots->OpenRecord("/data/record.csv")) return nullptr;
    plots->Tabs()->setCurrentIndex(2);
    return plots;
  }

  std::unique_ptr<quorix::testing::Window> w_;
};

QTEST_MAIN(RecordReportTest)
#include "record_report_test.moc"
