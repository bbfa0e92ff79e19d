// A measured record in the Plots window: opened through the open dialog and
// the platform's files, drawn over the model loop, its cycles listed on the
// Record tab, fitted, and the fitted parameters handed to the main window.
#include <QtCharts>
#include <QtTest>
#include <QtWidgets>
#include <charconv>
#include <memory>
#include <string>

#include "fake_save_dialogs.h"
#include "fake_services.h"
#include "mainform.h"
#include "mainform_test_support.h"
#include "numbertext.h"
#include "plots_window.h"
#include "synthetic.h"

using quorix::PlotsWindow;
using quorix::testing::Control;

namespace {

// Steady cycles at three amplitudes of n = 2, γ = 0.7, α = 0.1, Fy = 50,
// Uy = 2, as a semicolon-separated file with a header.
std::string RecordText(double alpha = 0.1) {
  using namespace quorix::measured::testing;
  const TrueModel m{2.0, 0.7, alpha, 50.0, 2.0};
  const auto rec = MakeRecord(m, {Block{1.4, 3, true}, Block{3.0, 3, true}, Block{8.0, 3, true}}, 300, 4);
  std::string text = "u [mm];F [kN]\n";
  char buffer[32];
  for (std::size_t i = 0; i < rec.u.size(); ++i) {
    text.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, rec.u[i]).ptr).append(";");
    text.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, rec.F[i]).ptr).append("\n");
  }
  return text;
}

}  // namespace

class MeasuredPlotsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    services_ = std::make_unique<quorix::testing::FakeServices>();
    dialogs_ = std::make_unique<quorix::testing::FakeSaveDialogs>();
    form_ = std::make_unique<quorix::MainForm>(*services_, *dialogs_);
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    form_->findChild<QAction*>(QStringLiteral("mnuPlots"))->trigger();
    plots_ = form_->Plots();
    QVERIFY(plots_ != nullptr);
  }
  void cleanup() {
    form_.reset();
    dialogs_.reset();
    services_.reset();
  }

  void openedRecordIsDrawnAndListed() {
    services_->files["/data/record.csv"] = RecordText();
    Click("cmdSolve");  // the model loop of the window's case under the record
    plots_->Tabs()->setCurrentIndex(2);
    QVERIFY(Control<QLabel>(*plots_, "lblRecordPrompt")->isVisible());
    QVERIFY(!Control<QPushButton>(*plots_, "cmdFit")->isEnabled());

    dialogs_->openAnswer.reset();  // cancelled: nothing happens
    PlotsClick("cmdOpenRecord");
    QCOMPARE(dialogs_->openQuestions.size(), std::size_t{1});
    QVERIFY(plots_->MeasuredSeries()->points().isEmpty());

    dialogs_->openAnswer = "/data/record.csv";
    PlotsClick("cmdOpenRecord");
    QVERIFY2(plots_->StatusText().startsWith(QStringLiteral("Opened record.csv: 10801 points, 8 cycles")),
             qPrintable(plots_->StatusText()));
    QCOMPARE(plots_->MeasuredSeries()->points().size(), 10801);
    QTableWidget* table = plots_->CycleTable();
    QCOMPARE(table->rowCount(), 9);  // eight cycles and the mean
    QCOMPARE(table->item(1, 8)->text(), QStringLiteral("yes"));
    QCOMPARE(table->item(2, 8)->text(), QStringLiteral("no"));  // from one block into the next
    QCOMPARE(table->item(8, 0)->text(), QStringLiteral("Mean of 3 steady"));
    QCOMPARE(table->item(7, 1)->text(), QStringLiteral("8"));  // u⁺ of the last cycle
    // The u axis holds the record, which reaches 8, beyond the model loop.
    auto* axis = qobject_cast<QValueAxis*>(plots_->LoopView()->chart()->axes(Qt::Horizontal).first());
    QVERIFY(axis->max() >= 8.0 && axis->min() <= -8.0);

    // A bad file names its line; the record shown stays.
    services_->files["/data/bad.csv"] = "u,F\n1,2\n3,x\n";
    dialogs_->openAnswer = "/data/bad.csv";
    PlotsClick("cmdOpenRecord");
    QCOMPARE(plots_->StatusText(),
             QStringLiteral("Could not open bad.csv: line 3: the force \"x\" is not a number (the decimal point is '.')"));
    QCOMPARE(plots_->MeasuredSeries()->points().size(), 10801);
  }

  void fitIsDrawnAndItsParametersGoToTheMainWindow() {
    services_->files["/data/record.csv"] = RecordText();
    dialogs_->openAnswer = "/data/record.csv";
    PlotsClick("cmdOpenRecord");
    QVERIFY(!Control<QPushButton>(*plots_, "cmdUseParameters")->isEnabled());
    PlotsClick("cmdFit");
    QVERIFY(plots_->LastFit().has_value());
    const quorix::measured::Parameters p = plots_->LastFit()->parameters;
    QVERIFY(std::abs(p.n / 2.0 - 1.0) < 1e-6 && std::abs(p.gamma / 0.7 - 1.0) < 1e-6);
    QVERIFY(std::abs(p.Uy / 2.0 - 1.0) < 1e-6 && std::abs(p.Fy / 50.0 - 1.0) < 1e-6);
    QCOMPARE(plots_->FittedSeries().size(), std::size_t{3});  // one loop per amplitude
    QVERIFY(plots_->RecordText().contains(QStringLiteral("Fit to cycles 2, 5, 8")));
    QCOMPARE(plots_->CycleTable()->columnCount(), 10);  // the fit's EDC beside the measured one

    PlotsClick("cmdUseParameters");
    QCOMPARE(Text("txtNee"), QString::fromStdString(quorix::FormatPlainNumber(p.n)));
    QCOMPARE(Text("txtGammaSmall"), QString::fromStdString(quorix::FormatPlainNumber(p.gamma)));
    QCOMPARE(Text("txtBetaSmall"), QString::fromStdString(quorix::FormatPlainNumber(1.0 - p.gamma)));
    QCOMPARE(Text("txtUy"), QString::fromStdString(quorix::FormatPlainNumber(p.Uy)));
    // Solve ran on them.
    QCOMPARE(form_->CaseRecord().Fy, quorix::ParseNumber(quorix::FormatPlainNumber(p.Fy)));
    QVERIFY(form_->CaseRecord().DE > 0.0);

    // A record the fit cannot answer: the reason, no fitted loop, nothing to use.
    services_->files["/data/elastic.csv"] = RecordText(1.0);
    dialogs_->openAnswer = "/data/elastic.csv";
    PlotsClick("cmdOpenRecord");
    QVERIFY(plots_->FittedSeries().empty());
    PlotsClick("cmdFit");
    QVERIFY2(plots_->StatusText().startsWith(QStringLiteral("No fit: the cycles enclose almost no area")),
             qPrintable(plots_->StatusText()));
    QVERIFY(!Control<QPushButton>(*plots_, "cmdUseParameters")->isEnabled());
  }

 private:
  void Click(const char* button) { QTest::mouseClick(Control<QPushButton>(*form_, button), Qt::LeftButton); }
  void PlotsClick(const char* button) { QTest::mouseClick(Control<QPushButton>(*plots_, button), Qt::LeftButton); }
  QString Text(const char* box) { return Control<QLineEdit>(*form_, box)->text(); }

  std::unique_ptr<quorix::testing::FakeServices> services_;
  std::unique_ptr<quorix::testing::FakeSaveDialogs> dialogs_;
  std::unique_ptr<quorix::MainForm> form_;
  PlotsWindow* plots_ = nullptr;
};

QTEST_MAIN(MeasuredPlotsTest)
#include "measured_plots_test.moc"
