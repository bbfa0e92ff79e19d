// The Record tab's report of a fit with other fits as good: each one's
// parameters and misfit under the fit, and the warning once.
#include <QtTest>
#include <QtWidgets>
#include <memory>

#include "mainform_test_support.h"
#include "plots_window.h"
#include "response.h"
#include "synthetic.h"

class RecordOtherFitsTest : public QObject {
  Q_OBJECT

 private slots:
  void otherFitsAreListedUnderTheFit() {
    using namespace quorix::measured;
    quorix::testing::Window w;
    const testing::Synthetic rec =
        testing::MakeRecord(testing::TrueModel{2.0, 0.7, 0.1, 50.0, 2.0}, {testing::Block{3.0, 2, false}}, 50, 2);
    QString text = QStringLiteral("u;F\n");
    for (std::size_t i = 0; i < rec.u.size(); ++i) {
      text += QString::number(rec.u[i], 'g', 17) + ';' + QString::number(rec.F[i], 'g', 17) + '\n';
    }
    w.services.files["/data/record.csv"] = text.toStdString();
    w.form.findChild<QAction*>(QStringLiteral("mnuPlots"))->trigger();
    quorix::PlotsWindow* plots = w.form.Plots();
    QVERIFY(plots && plots->OpenRecord("/data/record.csv"));

    FitResult fit;
    fit.parameters = fit.startingValues = quorix::NormalisedCase(2.0, 0.7, 0.1, 50.0, 2.0);
    fit.errors = {0.1, 0.02, 0.01, 0.5, 0.02};
    for (std::size_t i = 0; i < rec.u.size(); ++i) fit.points.push_back(i);
    fit.modelF = quorix::response::RespondAlong(rec.u, fit.parameters).F;
    fit.rms = 1.0;
    fit.rmsRelative = 0.0123;
    OtherFit other;
    other.parameters = quorix::NormalisedCase(5.0, 0.2, 0.1, 50.0, 2.0);
    other.rms = 1.005;
    other.rmsRelative = 0.01236;
    other.differs = {0, 1};
    fit.otherFits = {other};
    fit.warnings = {FitWarning::kOtherFits};
    plots->ShowFit(fit);
    const QString shown = plots->RecordText();
    QVERIFY2(shown.contains(QStringLiteral("Other fits as good (misfit within 1 %, outside two standard errors):\n"
                                           "  n = 5, γ = 0.2, α = 0.1, Fy = 50, Uy = 2 (misfit 1.24 % of the mean F⁺)")),
             qPrintable(shown));
    QCOMPARE(shown.count(QStringLiteral("Warning: other fits as good: n = 5, gamma = 0.2 (misfit 1.236 %)")), 1);
    QVERIFY2(shown.contains(QStringLiteral("the record does not tell n and gamma apart")), qPrintable(shown));
  }
};

QTEST_MAIN(RecordOtherFitsTest)
#include "record_other_fits_test.moc"
