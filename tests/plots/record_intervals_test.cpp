// The Record tab's fit summary: each free parameter's 95 % interval beside its value and standard error for
// a fit along the record, none for a held parameter or for a steady fit. The results are written by hand
// (what the tab shows is the question here, not the fit).
#include <QtWidgets>
#include <memory>

#include "mainform_test_support.h"
#include "plots_window.h"
#include "response.h"
#include "synthetic.h"

using quorix::PlotsWindow;

namespace {

quorix::measured::testing::Synthetic Record() {
  using namespace quorix::measured::testing;
  return MakeRecord(TrueModel{2.0, 0.7, 0.1, 50.0, 2.0}, {Block{1.4, 2, false}, Block{3.0, 2, false}}, 100, 4);
}

// n and Uy free with intervals, γ, α and Fy held; z0 fitted with its own.
quorix::measured::FitResult HandMade(const quorix::measured::testing::Synthetic& rec, bool steady) {
  quorix::measured::FitResult fit;
  fit.steady = steady;
  fit.parameters = fit.startingValues = quorix::NormalisedCase(2.0, 0.7, 0.1, 50.0, 2.0);
  fit.fixed = {false, true, true, true, false};
  fit.errors = {0.01, 0.0, 0.0, 0.0, 0.004};
  fit.hasIntervals = !steady;
  fit.intervals = {{{1.97, 2.03}, {0.7, 0.7}, {0.1, 0.1}, {50.0, 50.0}, {1.99, 2.01}}};
  fit.z0Fitted = !steady;
  fit.z0 = 0.05;
  fit.z0Error = 0.002;
  fit.z0Interval = {0.045, 0.055};
  for (std::size_t i = 0; i < rec.u.size(); ++i) fit.points.push_back(i);
  fit.modelF = quorix::response::RespondAlong(rec.u, fit.parameters).F;
  return fit;
}

}  // namespace

class RecordIntervalsTest : public QObject {
  Q_OBJECT

 private slots:
  void summaryShowsTheIntervalsOfAFitAlongTheRecord() {
    quorix::testing::Window w;
    const auto rec = Record();
    QString text = QStringLiteral("u [mm];F [kN]\n");
    for (std::size_t i = 0; i < rec.u.size(); ++i) {
      text += QString::number(rec.u[i], 'g', 17) + ';' + QString::number(rec.F[i], 'g', 17) + '\n';
    }
    w.services.files["/data/record.csv"] = text.toStdString();
    w.form.findChild<QAction*>(QStringLiteral("mnuPlots"))->trigger();
    PlotsWindow* plots = w.form.Plots();
    QVERIFY(plots);
    QVERIFY(plots->OpenRecord("/data/record.csv"));

    plots->ShowFit(HandMade(rec, false));
    const QString along = plots->RecordText();
    for (const char* shown : {"n = 2 ± 0.01 (95 % interval 1.97 … 2.03)", "Uy = 2 ± 0.004 (95 % interval 1.99 … 2.01)",
                              "γ = 0.7 (fixed),", "z0 = 0.05 ± 0.002 (95 % interval 0.045 … 0.055)"}) {
      QVERIFY2(along.contains(QString::fromUtf8(shown)), qPrintable(QString::fromUtf8(shown) + " in: " + along));
    }
    QCOMPARE(along.count(QStringLiteral("95 % interval")), 3);  // n, Uy and z0; none for the held three

    plots->ShowFit(HandMade(rec, true));
    const QString steady = plots->RecordText();
    QVERIFY2(steady.contains(QString::fromUtf8("n = 2 ± 0.01,")), qPrintable(steady));
    QVERIFY2(!steady.contains(QStringLiteral("interval")), qPrintable(steady));
  }
};

QTEST_MAIN(RecordIntervalsTest)
#include "record_intervals_test.moc"
