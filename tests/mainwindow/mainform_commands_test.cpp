// The window's two commands and its About menu: Solve fills the nine result
// labels from the engine, Loop writes results.out through the services and
// opens the viewer, and every failure ends the command silently with the
// window enabled again.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QtTest>
#include <chrono>
#include <string>
#include <vector>

#include "energy_solver.h"
#include "fake_services.h"
#include "mainform.h"
#include "mainform_test_support.h"
#include "numbertext.h"

using quorix::BoucWenCase;
using quorix::MainForm;
using quorix::testing::Control;
using quorix::testing::FakeServices;
using quorix::testing::FocusName;
using quorix::testing::ResultLabelTexts;

namespace {

// The case of the window's initial texts, built from numbers rather than texts.
BoucWenCase InitialCase() {
  return BoucWenCase{.Nee = 2.0, .BetaSmall = 0.1, .GammaSmall = 0.9, .AlphaSmall = 0.10, .Fy = 2.86, .Uy = 0.111,
                     .UmaxOverUy = 1.0, .Complementary = true};
}

// The record's seven inputs, then its nine results in the labels' order.
std::vector<double> Numbers(const BoucWenCase& bw) {
  return {bw.Nee,  bw.BetaSmall, bw.GammaSmall, bw.AlphaSmall, bw.Fy,  bw.Uy,         bw.UmaxOverUy, bw.Za,
          bw.Fha,  bw.Fela,      bw.Fa,         bw.Kcd,        bw.Kda, bw.DEOverFyUy, bw.DEOverFhUy, bw.DE};
}

QStringList ExpectedLabelTexts(BoucWenCase bw) {
  quorix::SolveEnergy(bw);
  QStringList texts;
  for (double value : Numbers(bw)) texts << QString::fromStdString(quorix::FormatFixed(value, 9));
  return texts.mid(7);
}

// The lines of a file; each must end in CR LF.
QStringList Lines(const std::string& bytes) {
  QStringList lines = QString::fromStdString(bytes).split(QStringLiteral("\r\n"));
  if (!lines.takeLast().isEmpty()) lines << QStringLiteral("<no CR LF at the end>");
  return lines;
}

// Records each change of the window's enabled state.
class EnabledWatcher : public QObject {
 public:
  explicit EnabledWatcher(QWidget* window) : window_(window) { window->installEventFilter(this); }
  QList<bool> changes;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == window_ && event->type() == QEvent::EnabledChange) changes << window_->isEnabled();
    return false;
  }

 private:
  QWidget* window_;
};

}  // namespace

class MainFormCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    services_ = std::make_unique<FakeServices>();
    form_ = std::make_unique<MainForm>(*services_);
    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    resultsPath_ = quorix::platform::JoinPath(services_->folder, "results.out");
  }
  void cleanup() {
    form_.reset();
    services_.reset();
  }

  void solveWithTheInitialTexts_data() {
    QTest::addColumn<bool>("complementary");
    QTest::newRow("Complementary") << true;
    QTest::newRow("Direct") << false;
  }
  void solveWithTheInitialTexts() {
    QFETCH(bool, complementary);
    if (!complementary) {
      auto* direct = Control<QRadioButton>(*form_, "optDirect");
      QTest::mouseClick(direct, Qt::LeftButton, {}, QPoint(6, direct->height() / 2));
      QVERIFY(direct->isChecked());
    }
    EnabledWatcher watcher(form_.get());
    Click("cmdSolve");

    BoucWenCase expected = InitialCase();
    expected.Complementary = complementary;
    QCOMPARE(ResultLabelTexts(*form_), ExpectedLabelTexts(expected));
    quorix::SolveEnergy(expected);
    QCOMPARE(Numbers(form_->CaseRecord()), Numbers(expected));
    QCOMPARE(form_->CaseRecord().Complementary, complementary);
    // Disabled for the command, enabled again, focus back on the button.
    QCOMPARE(watcher.changes, (QList<bool>{false, true}));
    QCOMPARE(FocusName(), QStringLiteral("cmdSolve"));
    QVERIFY(services_->calls.empty());
  }
  void solveReadsTheFieldsAsTheyAreNow() {
    // γ typed as 0.8 leaves '.2' in β, which is what the command reads.
    SetText("txtGammaSmall", QStringLiteral("0.8"));
    SetText("txtNee", QStringLiteral(" 1 . 5"));
    SetText("txtAlphaSmall", QStringLiteral(""));
    SetText("txtUmaxOverUy", QStringLiteral("2.5abc"));
    Click("cmdSolve");
    BoucWenCase expected = InitialCase();
    expected.GammaSmall = 0.8;
    expected.BetaSmall = 0.2;
    expected.Nee = 1.5;
    expected.AlphaSmall = 0.0;
    expected.UmaxOverUy = 2.5;
    QCOMPARE(ResultLabelTexts(*form_), ExpectedLabelTexts(expected));

    // Fy·Uy overflows: the energy is infinite, and all nine labels are still filled.
    SetText("txtFy", QStringLiteral("1e300"));
    SetText("txtUy", QStringLiteral("1e300"));
    Click("cmdSolve");
    expected.Fy = expected.Uy = 1e300;
    QCOMPARE(ResultLabelTexts(*form_), ExpectedLabelTexts(expected));
    QCOMPARE(ResultLabelTexts(*form_).back(), QStringLiteral("Infinity"));
    QVERIFY(form_->isEnabled());
  }
  void solveThatFailsLeavesLabelsAndRecord() {
    Click("cmdSolve");
    const QStringList before = ResultLabelTexts(*form_);
    const BoucWenCase previous = form_->CaseRecord();
    SetText("txtNee", QStringLiteral("3"));
    SetText("txtGammaSmall", QStringLiteral("0.8"));
    SetText("txtFy", QStringLiteral("1e999"));  // beyond the range of a double
    SetText("txtUy", QStringLiteral("0.5"));
    EnabledWatcher watcher(form_.get());
    Click("cmdSolve");

    QCOMPARE(ResultLabelTexts(*form_), before);
    // The fields before Fy were read; Fy and everything after it were not.
    BoucWenCase expected = previous;
    expected.Nee = 3.0;
    expected.BetaSmall = 0.2;
    expected.GammaSmall = 0.8;
    QCOMPARE(Numbers(form_->CaseRecord()), Numbers(expected));
    QCOMPARE(watcher.changes, (QList<bool>{false, true}));
    QCOMPARE(FocusName(), QStringLiteral("cmdSolve"));
  }
  void sweepWritesResultsAndOpensTheViewer() {
    std::string old;  // an older, longer table: replaced as a whole
    for (int i = 0; i < 300; ++i) old += "old line\r\n";
    services_->files[resultsPath_] = old;
    SetText("txtUmaxOverUy", QStringLiteral("7"));  // the sweep sets Umax/Uy itself
    bool disabledThroughout = true;
    services_->onCall = [&](std::string_view) { disabledThroughout = disabledThroughout && !form_->isEnabled(); };

    Click("cmdLoop");

    QVERIFY(disabledThroughout);
    QVERIFY(form_->isEnabled());
    QCOMPARE(services_->openFiles, 0);
    QCOMPARE(services_->viewerPaths, std::vector<std::string>{resultsPath_});
    // The viewer is started on the finished, closed file.
    const auto& calls = services_->calls;
    QCOMPARE(calls.back(), std::string("OpenInViewer"));
    QCOMPARE(calls[calls.size() - 2], std::string("Close"));

    const QStringList lines = Lines(services_->files.at(resultsPath_));
    QCOMPARE(int(lines.size()), 101);  // the header and rows i = 0 ... 99
    QCOMPARE(lines[0], QStringLiteral("Umax/Uy\tZa\tFha\tFela\tFa\tKcd\tKda\tDE/ Fy /Uy\tDE /Fh /Uy\tDE"));
    // Rows carry the same numbers as the engine gives for U = Step·i + From.
    for (int i : {0, 2, 49, 99}) {
      BoucWenCase bw = InitialCase();
      bw.UmaxOverUy = 0.1 * i + 0.1;
      const QString expected = QString::fromStdString(quorix::FormatFixed(bw.UmaxOverUy, 2)) + '\t' +
                               ExpectedLabelTexts(bw).join('\t');
      QCOMPARE(lines[i + 1], expected);
    }
    QVERIFY(lines[100].startsWith(QStringLiteral("10.00\t")));
    // The window's result labels are left alone.
    QVERIFY(ResultLabelTexts(*form_).join(QString()).isEmpty());
    QCOMPARE(FocusName(), QStringLiteral("cmdLoop"));
  }
  void sweepFailures_data() {
    QTest::addColumn<QStringList>("range");  // From, To, Step
    QTest::addColumn<QString>("fy");
    QTest::addColumn<QString>("fail");  // the service that fails: open, write3 (the third line), close, viewer
    QTest::addColumn<int>("lines");     // lines in results.out afterwards; -1: the old file untouched
    QTest::addColumn<bool>("viewerStarted");
    const QStringList initial = {"0.1", "10.0", "0.1"};
    // Failures before the file is opened leave an existing file alone.
    QTest::newRow("Step of 0") << QStringList{"0.1", "10.0", "0"} << "2.86" << "" << -1 << false;
    QTest::newRow("field beyond double range") << initial << "1e999" << "" << -1 << false;
    QTest::newRow("file cannot be created") << initial << "2.86" << "open" << -1 << false;
    // A failure while writing keeps what was written, and closes the file.
    QTest::newRow("third line cannot be written") << initial << "2.86" << "write3" << 2 << false;
    QTest::newRow("file cannot be closed") << initial << "2.86" << "close" << 101 << false;
    // A viewer that does not start fails after the complete file.
    QTest::newRow("viewer does not start") << initial << "2.86" << "viewer" << 101 << false;
    // Not failures: a range that the step runs away from gives a header-only
    // table, which is still opened.
    QTest::newRow("header only") << QStringList{"1", "0", "0.1"} << "2.86" << "" << 1 << true;
    QTest::newRow("one row at From") << QStringList{"0.5", "0.5", "0.1"} << "2.86" << "" << 2 << true;
  }
  void sweepFailures() {
    QFETCH(QStringList, range);
    QFETCH(QString, fy);
    QFETCH(QString, fail);
    QFETCH(int, lines);
    QFETCH(bool, viewerStarted);
    const std::string old = "an older table\r\n";
    services_->files[resultsPath_] = old;
    services_->failOpenForOutput = fail == "open";
    services_->failWriteAtLine = fail == "write3" ? 3 : 0;
    services_->failClose = fail == "close";
    services_->failViewer = fail == "viewer";
    SetText("txtFrom", range[0]);
    SetText("txtTo", range[1]);
    SetText("txtStep", range[2]);
    SetText("txtFy", fy);
    EnabledWatcher watcher(form_.get());

    Click("cmdLoop");

    QCOMPARE(watcher.changes, (QList<bool>{false, true}));
    QCOMPARE(services_->openFiles, 0);  // closed on every path
    if (lines < 0) {
      QCOMPARE(services_->files.at(resultsPath_), old);
    } else {
      QCOMPARE(int(Lines(services_->files.at(resultsPath_)).size()), lines);
    }
    QCOMPARE(services_->viewerPaths.size(), std::size_t(viewerStarted ? 1 : 0));
    QCOMPARE(services_->CallCount("OpenInViewer"), fail == "viewer" || viewerStarted ? 1 : 0);
    QVERIFY(ResultLabelTexts(*form_).join(QString()).isEmpty());
  }
  void resultsFolder_data() {
    QTest::addColumn<bool>("exeFolderWritable");
    QTest::addColumn<bool>("dataFolderFails");
    QTest::addColumn<QString>("written");  // where results.out goes; empty: nowhere
    QTest::newRow("portable copy") << true << false << "/opt/quorix/bin/results.out";
    QTest::newRow("installed") << false << false << "/home/user/.local/share/Quorix/results.out";
    QTest::newRow("installed, no data folder") << false << true << "";
  }
  void resultsFolder() {
    QFETCH(bool, exeFolderWritable);
    QFETCH(bool, dataFolderFails);
    QFETCH(QString, written);
    if (!exeFolderWritable) services_->unwritableFolders.insert(services_->folder);
    services_->failDataFolder = dataFolderFails;
    EnabledWatcher watcher(form_.get());

    Click("cmdLoop");

    QCOMPARE(watcher.changes, (QList<bool>{false, true}));
    QCOMPARE(services_->CallCount("UserDataFolder"), exeFolderWritable ? 0 : 1);
    if (written.isEmpty()) {
      QVERIFY(services_->files.empty());
      QVERIFY(services_->viewerPaths.empty());
      QCOMPARE(services_->CallCount("OpenForOutput"), 0);
      return;
    }
    const std::string path = written.toStdString();
    QCOMPARE(services_->files.size(), std::size_t(1));
    QCOMPARE(int(Lines(services_->files.at(path)).size()), 101);
    QCOMPARE(services_->viewerPaths, std::vector<std::string>{path});
  }
  // A sweep of about 10^9 rows: no progress before the delay, then a dialog
  // with the rows written of all rows; Cancel or closing the window ends it
  // after the row in progress, with complete rows only and no viewer. The
  // clock is the test's, moved by hand.
  void longSweepStops_data() {
    QTest::addColumn<bool>("byClosingTheWindow");
    QTest::newRow("Cancel") << false;
    QTest::newRow("window closed") << true;
  }
  void longSweepStops() {
    QFETCH(bool, byClosingTheWindow);
    auto now = std::chrono::steady_clock::time_point{};
    form_->SetSweepClock([&now] { return now; });
    SetText("txtFrom", QStringLiteral("0.1"));
    SetText("txtTo", QStringLiteral("1e6"));
    SetText("txtStep", QStringLiteral("0.001"));
    int ticks = 0;
    QString label;
    bool dialogEarly = false, dialogEnabled = false, windowDisabled = false;
    QTimer driver;
    connect(&driver, &QTimer::timeout, this, [&] {
      auto* dialog = form_->findChild<QProgressDialog*>(QStringLiteral("sweepProgress"));
      if (++ticks > 200) {  // no dialog in 20 s: end the sweep, and the test fails below
        driver.stop();
        form_->close();
        return;
      }
      if (ticks < 10) {  // a second of the sweep's updates at a standstill
        dialogEarly = dialogEarly || dialog;
        if (ticks == 9) now += MainForm::kProgressDelay + std::chrono::milliseconds(100);
        return;
      }
      if (!dialog || !dialog->isVisible() || !dialog->labelText().startsWith(QStringLiteral("Row"))) return;
      driver.stop();
      label = dialog->labelText();
      dialogEnabled = dialog->isEnabled();
      windowDisabled = !form_->isEnabled();
      if (byClosingTheWindow) {
        form_->close();
      } else {
        QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
      }
    });
    driver.start(100);

    Click("cmdLoop");  // returns when the sweep has ended

    QVERIFY(!driver.isActive());
    QVERIFY(!dialogEarly);
    QVERIFY(dialogEnabled && windowDisabled);
    const QRegularExpression expectedLabel(
        QStringLiteral("^Row [0-9,]+ of 999,999,901\n(about .* left|Estimating the time left)$"));
    QVERIFY2(expectedLabel.match(label).hasMatch(), qPrintable(label));
    QVERIFY(!form_->findChild<QProgressDialog*>());
    QVERIFY(services_->viewerPaths.empty());
    QCOMPARE(services_->openFiles, 0);
    const QStringList lines = Lines(services_->files.at(resultsPath_));
    QVERIFY(lines.size() < 999999902);
    QCOMPARE(lines[0], QStringLiteral("Umax/Uy\tZa\tFha\tFela\tFa\tKcd\tKda\tDE/ Fy /Uy\tDE /Fh /Uy\tDE"));
    // Complete rows in order, each that of U = 0.001·i + 0.1.
    const int rows = int(lines.size()) - 1;
    for (int i : {0, 1, rows / 2, rows - 1}) {
      if (i < 0 || i >= rows) continue;
      BoucWenCase bw = InitialCase();
      bw.UmaxOverUy = 0.001 * i + 0.1;
      QCOMPARE(lines[i + 1], QString::fromStdString(quorix::FormatFixed(bw.UmaxOverUy, 2)) + '\t' +
                                 ExpectedLabelTexts(bw).join('\t'));
    }
    QCOMPARE(form_->isVisible(), !byClosingTheWindow);
  }
  void aboutIsModalAndFreshEachTime() {
    QAction* about = form_->findChild<QAction*>(QStringLiteral("mnuAbout"));
    QVERIFY(about);
    QList<QPointer<QWidget>> boxes;
    QStringList titles;
    for (int opening = 0; opening < 2; ++opening) {
      QTimer::singleShot(0, this, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) return;
        boxes << box;
        titles << box->windowTitle();
        // The main window takes no input meanwhile.
        QVERIFY(box != form_.get());
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        QTest::keyClick(box, Qt::Key_Escape);
      });
      about->trigger();  // returns when the box has been closed
    }
    QCOMPARE(titles, (QStringList{"About Quorix", "About Quorix"}));
    // Unloaded as soon as it was closed: each opening made a new box.
    QVERIFY(boxes[0].isNull() && boxes[1].isNull());
    QVERIFY(form_->isEnabled());
  }

 private:
  void Click(const char* button) { QTest::mouseClick(Control<QPushButton>(*form_, button), Qt::LeftButton); }
  void SetText(const char* box, const QString& text) { Control<QLineEdit>(*form_, box)->setText(text); }

  std::unique_ptr<FakeServices> services_;
  std::unique_ptr<MainForm> form_;
  std::string resultsPath_;
};

QTEST_MAIN(MainFormCommandsTest)
#include "mainform_commands_test.moc"
