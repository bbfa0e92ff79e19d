// The window's two commands and its About menu: Solve fills the nine result
// labels from the engine, Loop writes results.out through the services and
// opens the viewer, and every failure ends the command silently with the
// window enabled again.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
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

namespace {

const char* const kValueLabels[] = {"lblZaValue",  "lblFhaValue",        "lblFelaValue",
                                    "lblFaValue",  "lblKcdValue",        "lblKdaValue",
                                    "lblDEOverFyUyValue", "lblDEOverFhUyValue", "lblDEValue"};

QStringList ResultLabelTexts(const MainForm& form) {
  QStringList texts;
  for (const char* name : kValueLabels) texts << Control<QLabel>(form, name)->text();
  return texts;
}

// The case of the window's initial texts, built from numbers rather than
// from texts.
BoucWenCase InitialCase(bool complementary) {
  BoucWenCase bw;
  bw.Nee = 2.0;
  bw.BetaSmall = 0.1;
  bw.GammaSmall = 0.9;
  bw.AlphaSmall = 0.10;
  bw.Fy = 2.86;
  bw.Uy = 0.111;
  bw.UmaxOverUy = 1.0;
  bw.Complementary = complementary;
  return bw;
}

std::vector<double> Results(const BoucWenCase& bw) {
  return {bw.Za, bw.Fha, bw.Fela, bw.Fa, bw.Kcd, bw.Kda, bw.DEOverFyUy, bw.DEOverFhUy, bw.DE};
}

QStringList ExpectedLabelTexts(const BoucWenCase& bw) {
  QStringList texts;
  for (double value : Results(bw)) texts << QString::fromStdString(quorix::FormatFixed(value, 9));
  return texts;
}

std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(start) + "<no CR LF>");
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// Watches the window's enabled state and records each change.
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

  void solveWithTheInitialTexts_data();
  void solveWithTheInitialTexts();
  void solveReadsTheFieldsAsTheyAreNow();
  void solveShowsNonFiniteResultsAsMarkers();
  void solveThatFailsLeavesLabelsAndRecord();
  void sweepWritesResultsAndOpensTheViewer();
  void sweepFailures_data();
  void sweepFailures();
  void aboutIsModalAndFreshEachTime();

 private:
  void Click(const char* button) { QTest::mouseClick(Control<QPushButton>(*form_, button), Qt::LeftButton); }
  void SetText(const char* box, const QString& text) { Control<QLineEdit>(*form_, box)->setText(text); }

  std::unique_ptr<FakeServices> services_;
  std::unique_ptr<MainForm> form_;
  std::string resultsPath_;
};

void MainFormCommandsTest::solveWithTheInitialTexts_data() {
  QTest::addColumn<bool>("complementary");
  QTest::newRow("Complementary") << true;
  QTest::newRow("Direct") << false;
}

void MainFormCommandsTest::solveWithTheInitialTexts() {
  QFETCH(bool, complementary);
  if (!complementary) {
    auto* direct = Control<QRadioButton>(*form_, "optDirect");
    QTest::mouseClick(direct, Qt::LeftButton, {}, QPoint(6, direct->height() / 2));
    QVERIFY(direct->isChecked());
  }
  EnabledWatcher watcher(form_.get());
  Click("cmdSolve");

  BoucWenCase expected = InitialCase(complementary);
  quorix::SolveEnergy(expected);
  const QStringList labels = ResultLabelTexts(*form_);
  QCOMPARE(labels, ExpectedLabelTexts(expected));
  const QRegularExpression nineDecimals(QStringLiteral("^-?[0-9]+\\.[0-9]{9}$"));
  for (const QString& text : labels) QVERIFY2(nineDecimals.match(text).hasMatch(), qPrintable(text));
  // Za of a case lies in [0, 1].
  QVERIFY(form_->CaseRecord().Za >= 0.0 && form_->CaseRecord().Za <= 1.0);

  const BoucWenCase& record = form_->CaseRecord();
  QCOMPARE(record.Nee, expected.Nee);
  QCOMPARE(record.BetaSmall, expected.BetaSmall);
  QCOMPARE(record.GammaSmall, expected.GammaSmall);
  QCOMPARE(record.UmaxOverUy, expected.UmaxOverUy);
  QCOMPARE(record.Complementary, complementary);
  QCOMPARE(Results(record), Results(expected));

  // Disabled for the command, enabled again, focus back on the button.
  QCOMPARE(watcher.changes, (QList<bool>{false, true}));
  QCOMPARE(FocusName(), QStringLiteral("cmdSolve"));
  QVERIFY(services_->calls.empty());
}

void MainFormCommandsTest::solveReadsTheFieldsAsTheyAreNow() {
  // γ typed as 0.8 leaves '.2' in β, which is what the command reads.
  SetText("txtGammaSmall", QStringLiteral("0.8"));
  SetText("txtNee", QStringLiteral(" 1 . 5"));
  SetText("txtAlphaSmall", QStringLiteral(""));
  SetText("txtUmaxOverUy", QStringLiteral("2.5abc"));
  Click("cmdSolve");

  BoucWenCase expected = InitialCase(true);
  expected.GammaSmall = 0.8;
  expected.BetaSmall = 0.2;
  expected.Nee = 1.5;
  expected.AlphaSmall = 0.0;
  expected.UmaxOverUy = 2.5;
  quorix::SolveEnergy(expected);
  QCOMPARE(form_->CaseRecord().BetaSmall, 0.2);
  QCOMPARE(ResultLabelTexts(*form_), ExpectedLabelTexts(expected));
}

void MainFormCommandsTest::solveShowsNonFiniteResultsAsMarkers() {
  // Fy·Uy overflows: the energy is infinite, the command still fills all
  // nine labels.
  SetText("txtFy", QStringLiteral("1e300"));
  SetText("txtUy", QStringLiteral("1e300"));
  Click("cmdSolve");
  BoucWenCase expected = InitialCase(true);
  expected.Fy = 1e300;
  expected.Uy = 1e300;
  quorix::SolveEnergy(expected);
  QVERIFY(std::isinf(expected.DE));
  QCOMPARE(ResultLabelTexts(*form_), ExpectedLabelTexts(expected));
  QCOMPARE(Control<QLabel>(*form_, "lblDEValue")->text(), QStringLiteral("Infinity"));
  QVERIFY(form_->isEnabled());
}

void MainFormCommandsTest::solveThatFailsLeavesLabelsAndRecord() {
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
  const BoucWenCase& record = form_->CaseRecord();
  // The fields before Fy were read; Fy and everything after it were not.
  QCOMPARE(record.Nee, 3.0);
  QCOMPARE(record.BetaSmall, 0.2);
  QCOMPARE(record.GammaSmall, 0.8);
  QCOMPARE(record.AlphaSmall, 0.10);
  QCOMPARE(record.Fy, previous.Fy);
  QCOMPARE(record.Uy, previous.Uy);
  QCOMPARE(Results(record), Results(previous));
  QCOMPARE(watcher.changes, (QList<bool>{false, true}));
  QVERIFY(form_->isEnabled());
  QCOMPARE(FocusName(), QStringLiteral("cmdSolve"));
}

void MainFormCommandsTest::sweepWritesResultsAndOpensTheViewer() {
  // An older, longer table is replaced as a whole.
  std::string old;
  for (int i = 0; i < 300; ++i) old += "old line\r\n";
  services_->files[resultsPath_] = old;
  // The sweep sets Umax/Uy itself; the field has no say.
  SetText("txtUmaxOverUy", QStringLiteral("7"));
  bool disabledThroughout = true;
  services_->onCall = [&](std::string_view) { disabledThroughout = disabledThroughout && !form_->isEnabled(); };

  Click("cmdLoop");

  QVERIFY(disabledThroughout);
  QVERIFY(form_->isEnabled());
  QCOMPARE(services_->openFiles, 0);
  QCOMPARE(services_->viewerPaths, std::vector<std::string>{resultsPath_});
  QVERIFY(QString::fromStdString(resultsPath_).endsWith(QLatin1String("results.out")));
  QVERIFY(QString::fromStdString(resultsPath_).startsWith(QString::fromStdString(services_->folder)));
  // The viewer is started on the finished, closed file.
  const auto& calls = services_->calls;
  QCOMPARE(calls.back(), std::string("OpenInViewer"));
  QCOMPARE(calls[calls.size() - 2], std::string("Close"));

  const std::vector<std::string> lines = SplitLines(services_->files.at(resultsPath_));
  QCOMPARE(int(lines.size()), 101);  // the header and rows i = 0 ... 99
  QCOMPARE(lines[0], std::string("Umax/Uy\tZa\tFha\tFela\tFa\tKcd\tKda\tDE/ Fy /Uy\tDE /Fh /Uy\tDE"));
  for (int i = 0; i <= 99; ++i) {
    const std::string amplitude = QString::asprintf("%d.%02d", (i + 1) / 10, ((i + 1) % 10) * 10).toStdString();
    QCOMPARE(lines[i + 1].substr(0, lines[i + 1].find('\t')), amplitude);
  }
  QCOMPARE(lines[3].substr(0, 5), std::string("0.30\t"));  // U slightly above 0.3 as a double
  QCOMPARE(lines[100].substr(0, 6), std::string("10.00\t"));

  // Rows carry the same numbers as the engine gives for U = Step·i + From.
  for (int i : {0, 2, 49, 99}) {
    BoucWenCase bw = InitialCase(true);
    bw.UmaxOverUy = 0.1 * i + 0.1;
    quorix::SolveEnergy(bw);
    std::string expected = quorix::FormatFixed(bw.UmaxOverUy, 2);
    for (double value : Results(bw)) expected += "\t" + quorix::FormatFixed(value, 9);
    QCOMPARE(lines[i + 1], expected);
  }
  // The window's result labels are left alone.
  QVERIFY(ResultLabelTexts(*form_).join(QString()).isEmpty());
  QCOMPARE(FocusName(), QStringLiteral("cmdLoop"));
}

void MainFormCommandsTest::sweepFailures_data() {
  QTest::addColumn<QStringList>("range");  // From, To, Step
  QTest::addColumn<QString>("fy");
  QTest::addColumn<bool>("failOpen");
  QTest::addColumn<int>("failWriteAt");
  QTest::addColumn<bool>("failClose");
  QTest::addColumn<bool>("failViewer");
  QTest::addColumn<int>("lines");  // lines in results.out afterwards; -1: the old file untouched
  QTest::addColumn<bool>("viewerStarted");

  const QStringList initial = {"0.1", "10.0", "0.1"};
  // Failures before the file is opened leave an existing file alone.
  QTest::newRow("Step of 0") << QStringList{"0.1", "10.0", "0"} << "2.86" << false << 0 << false << false << -1
                             << false;
  QTest::newRow("empty Step") << QStringList{"0.1", "10.0", ""} << "2.86" << false << 0 << false << false << -1
                              << false;
  QTest::newRow("step count beyond 32 bits") << QStringList{"0", "3e9", "1"} << "2.86" << false << 0 << false << false
                                             << -1 << false;
  QTest::newRow("range overflows") << QStringList{"-1e308", "1e308", "1"} << "2.86" << false << 0 << false << false
                                   << -1 << false;
  QTest::newRow("field beyond double range") << initial << "1e999" << false << 0 << false << false << -1 << false;
  QTest::newRow("file cannot be created") << initial << "2.86" << true << 0 << false << false << -1 << false;
  // A failure while writing keeps what was written, and closes the file.
  QTest::newRow("third line cannot be written") << initial << "2.86" << false << 3 << false << false << 2 << false;
  QTest::newRow("file cannot be closed") << initial << "2.86" << false << 0 << true << false << 101 << false;
  // A viewer that does not start fails after the complete file.
  QTest::newRow("viewer does not start") << initial << "2.86" << false << 0 << false << true << 101 << false;
  // Not failures: a range that the step runs away from gives a header-only
  // table, which is still opened.
  QTest::newRow("header only") << QStringList{"1", "0", "0.1"} << "2.86" << false << 0 << false << false << 1
                               << true;
  QTest::newRow("one row at From") << QStringList{"0.5", "0.5", "0.1"} << "2.86" << false << 0 << false << false << 2
                                   << true;
}

void MainFormCommandsTest::sweepFailures() {
  QFETCH(QStringList, range);
  QFETCH(QString, fy);
  QFETCH(bool, failOpen);
  QFETCH(int, failWriteAt);
  QFETCH(bool, failClose);
  QFETCH(bool, failViewer);
  QFETCH(int, lines);
  QFETCH(bool, viewerStarted);

  const std::string old = "an older table\r\n";
  services_->files[resultsPath_] = old;
  services_->failOpenForOutput = failOpen;
  services_->failWriteAtLine = failWriteAt;
  services_->failClose = failClose;
  services_->failViewer = failViewer;
  SetText("txtFrom", range[0]);
  SetText("txtTo", range[1]);
  SetText("txtStep", range[2]);
  SetText("txtFy", fy);
  EnabledWatcher watcher(form_.get());

  Click("cmdLoop");

  QCOMPARE(watcher.changes, (QList<bool>{false, true}));
  QVERIFY(form_->isEnabled());
  QCOMPARE(services_->openFiles, 0);  // closed on every path
  if (lines < 0) {
    QCOMPARE(services_->files.at(resultsPath_), old);
  } else {
    QCOMPARE(int(SplitLines(services_->files.at(resultsPath_)).size()), lines);
  }
  QCOMPARE(services_->viewerPaths.size(), std::size_t(viewerStarted ? 1 : 0));
  const bool viewerTried = failViewer || viewerStarted;
  QCOMPARE(services_->CallCount("OpenInViewer"), viewerTried ? 1 : 0);
  QVERIFY(ResultLabelTexts(*form_).join(QString()).isEmpty());
}

void MainFormCommandsTest::aboutIsModalAndFreshEachTime() {
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
  QCOMPARE(boxes.size(), 2);
  QCOMPARE(titles, (QStringList{"About Quorix", "About Quorix"}));
  // Unloaded as soon as it was closed: each opening made a new box.
  QVERIFY(boxes[0].isNull() && boxes[1].isNull());
  QVERIFY(form_->isEnabled());
}

QTEST_MAIN(MainFormCommandsTest)
#include "mainform_commands_test.moc"
