// The main window: its controls, and its commands, which end every failure silently, the window enabled again;
// and its layout under a larger or smaller desktop font.
#include <QAction>
#include <QMenuBar>
#include <QPointer>
#include <QProgressDialog>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>

#include "energy_solver.h"
#include "layout_faults.h"
#include "mainform_test_support.h"
#include "numbertext.h"
#include "program_look.h"

using namespace quorix;
using quorix::testing::Control;
using quorix::testing::InitialCase;
using quorix::testing::Row;
using quorix::testing::Rows;
using quorix::testing::Solved;
using quorix::testing::FocusName;

namespace {

// A row of results.out for the initial case at this Umax/Uy, written with `decimals` decimals (two, or more
// where the step is finer than 0.01).
QString ResultRow(double u, int decimals = 2) {
  return QString::fromStdString(FormatFixed(u, decimals)) + '\t' + Solved(InitialCase(u)).join('\t');
}

const QString kHeader = QStringLiteral("Umax/Uy\tZa\tFha\tFela\tFa\tKcd\tKda\tDE/ Fy /Uy\tDE /Fh /Uy\tDE");

// A Loop's failures: exe is the program's folder (the data folder is used), exe+data both; -1 lines: the old
// file kept; the status line's last line, or how it begins where it ends in ": ".
struct Sweep { QStringList fields; const char* fail; int lines; const char* status; };  // fields From, To, Step
const QStringList kInitialRange = {"0.1", "10.0", "0.1"};
const char* const kComplete = "Loop: 100 rows, every result within 1e-4 of its exact value";
const Sweep kSweeps[] = {{kInitialRange, "open", -1, "Loop ended: fake: OpenForOutput failed: "},  // not created
                         {kInitialRange, "exe+data", -1, "Loop ended: fake: "},  // installed, no data folder
                         {kInitialRange, "write3", 2, "Loop ended after 1 row: fake: "},  // what was written stays
                         {kInitialRange, "close", 101, "Loop ended after 100 rows: fake: "},
                         {kInitialRange, "viewer", 101, kComplete},
                         // Not failures: the viewer shows these.
                         {kInitialRange, "", 101, kComplete},
                         {kInitialRange, "exe", 101, kComplete},
                         {{"1", "0", "0.1"}, "", 1, "Loop: 0 rows"}};

}  // namespace

class MainFormTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { w_ = std::make_unique<testing::Window>(); }
  void cleanup() { w_.reset(); }

  void windowAsItOpens() {
    MainForm& form = w_->form;
    // Not resizable, no maximise button; the status line empty while there is nothing to say.
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(!form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(form.StatusText(), QString());
    // The Tab chain from the first input, through the case to Solve and the Loop's range to Loop, round to it;
    // of the option pair only the selected one is a stop (Qt's rule).
    QCOMPARE(FocusName(), QStringLiteral("txtGammaSmall"));
    const QStringList stops = {"txtNee",  "txtAlphaSmall", "txtFy", "txtUy",   "txtUmaxOverUy", "optComplementary",
                               "cmdSolve", "txtFrom",      "txtTo", "txtStep", "cmdLoop",       "txtGammaSmall"};
    QStringList seen;
    for (int i = 0; i < stops.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      seen << FocusName();
    }
    QCOMPARE(seen, stops);
    // β and A: read-only and out of the tab chain, but a click focuses them.
    for (const char* name : {"txtBetaSmall", "txtAlphaCap"}) {
      QVERIFY(Control<QLineEdit>(form, name)->isReadOnly());
      QTest::mouseClick(Control(form, name), Qt::LeftButton);
      QCOMPARE(FocusName(), QString::fromLatin1(name));
    }
  }
  // β = 1 − γ as the plain 15-digit text, as γ is typed (a click selects the whole text, as Tab does, so that
  // Backspace clears it) or set by the program; a γ beyond a double ("1e999", after "1e99") leaves β as it was.
  void betaFollowsGamma() {
    auto* gammaBox = Control<QLineEdit>(w_->form, "txtGammaSmall");
    for (const auto& [gamma, beta] : {std::pair{"0.75", ".25"}, {"1.5", "-.5"}, {"0,5", "1"}, {"1e20", "-1E+20"},
                                      {"1e999", "-1E+99"}}) {
      Control(w_->form, "txtNee")->setFocus(Qt::OtherFocusReason);  // the click brings the focus into γ's field
      QTest::mouseClick(gammaBox, Qt::LeftButton, {}, gammaBox->rect().center());  // which would just place the cursor
      QTRY_COMPARE(gammaBox->selectedText(), gammaBox->text());
      QTest::keyClick(gammaBox, Qt::Key_Backspace);
      QTest::keyClicks(gammaBox, gamma);  // one keystroke at a time
      QCOMPARE(w_->Text("txtBetaSmall"), QString::fromLatin1(beta));
      QVERIFY(w_->ResultLabels().join(QString()).isEmpty());
      gammaBox->setText(QStringLiteral("0.4"));
      QCOMPARE(w_->Text("txtBetaSmall"), QStringLiteral(".6"));
    }
  }
  // Solve reads the fields as they are now; one that fails leaves the labels, greyed. The options relabel Kcd and
  // Kda and, once there are results, solve again.
  void solve() {
    auto* direct = Control<QRadioButton>(w_->form, "optDirect");
    auto* complementary = Control<QRadioButton>(w_->form, "optComplementary");
    direct->click();  // before any Solve: nothing to solve again
    QCOMPARE(w_->ResultLabels().join(QString()), QString());
    complementary->click();
    QTest::keyClick(Control(w_->form, "cmdSolve"), Qt::Key_Enter);  // Enter presses the focused button
    QCOMPARE(w_->ResultLabels(), Solved(InitialCase()));
    for (QRadioButton* option : {direct, complementary, direct}) {
      QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));  // on the indicator
      BoucWenCase expected = InitialCase();
      expected.Complementary = option == complementary;
      QCOMPARE(Control<QLabel>(w_->form, "lblKcd")->text() + Control<QLabel>(w_->form, "lblKda")->text(),
               expected.Complementary ? QStringLiteral("Kcd* :Kda* :") : QStringLiteral("Kcd :Kda :"));
      QCOMPARE(w_->ResultLabels(), Solved(expected));
      QVERIFY(Control<QLabel>(w_->form, "lblKcdValue")->isEnabled());
    }
    QVERIFY(!w_->form.CaseRecord().Complementary);
    QCOMPARE(w_->services.calls.size(), std::size_t{0});
    // Return in a field of the case solves, as Solve would.
    w_->SetText("txtNee", "3");
    QTest::keyClick(Control(w_->form, "txtNee"), Qt::Key_Return);
    BoucWenCase three = InitialCase();
    three.Nee = 3.0;
    three.Complementary = false;
    QCOMPARE(w_->ResultLabels(), Solved(three));
    // γ = 0.8 leaves '.2' in β, which is what Solve reads.
    w_->Enter({{"txtGammaSmall", "0.8"}, {"txtNee", "1.5"}, {"txtAlphaSmall", ""}, {"txtFy", "3"}, {"txtUy", "0.2"},
               {"txtUmaxOverUy", "2.5abc"}}, "cmdSolve");
    const QStringList solved = Solved(BoucWenCase{.Nee = 1.5, .BetaSmall = 0.2, .GammaSmall = 0.8, .AlphaSmall = 0.0,
                                                  .Fy = 3.0, .Uy = 0.2, .UmaxOverUy = 2.5, .Complementary = false});
    QCOMPARE(w_->ResultLabels(), solved);
    // Beyond the range of a double, the other fields complete numbers again: the field says why.
    w_->Enter({{"txtAlphaSmall", "0"}, {"txtUmaxOverUy", "2.5"}, {"txtFy", "1e999"}}, "cmdSolve");
    QCOMPARE(w_->ResultLabels(), solved);
    QVERIFY(!Control<QLabel>(w_->form, "lblDEValue")->isEnabled());
    QVERIFY2(w_->form.StatusText().startsWith(QStringLiteral("inputs changed: press Solve\nFy: number beyond")),
             qPrintable(w_->form.StatusText()));
    QVERIFY(w_->form.isEnabled());
  }
  void sweepFailures_data() { Rows(kSweeps); }
  void sweepFailures() {
    const Sweep& r = Row(kSweeps);
    const QString fail = r.fail, status = r.status;
    const int lines = r.lines;
    const bool viewerStarted = lines > 0 && (fail.isEmpty() || fail == "exe");
    testing::FakeServices& services = w_->services;
    const std::string old = "an older table\r\n";
    const std::string path = fail == "exe" ? services.dataFolder + "/results.out" : w_->results;
    services.files[w_->results] = old;
    services.failOpenForOutput = fail == "open";
    services.failWriteAtLine = fail == "write3" ? 3 : 0;
    services.failClose = fail == "close";
    services.failViewer = fail == "viewer";
    if (fail.startsWith("exe")) services.unwritableFolders.insert(services.folder);
    services.failDataFolder = fail == "exe+data";
    int i = 0;
    for (const char* box : {"txtFrom", "txtTo", "txtStep"}) w_->SetText(box, r.fields[i++]);
    w_->SetText("txtUmaxOverUy", QStringLiteral("1e999"));  // not read: the sweep sets Umax/Uy itself
    bool disabledThroughout = true;
    services.onCall = [&](std::string_view) { disabledThroughout = disabledThroughout && !w_->form.isEnabled(); };
    Control(w_->form, "cmdLoop")->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(Control(w_->form, "cmdLoop"), Qt::Key_Return);  // Return presses the focused button
    QVERIFY(disabledThroughout);
    QVERIFY(w_->form.isEnabled());
    QCOMPARE(w_->ResultLabels().join(QString()), QString());
    QCOMPARE(FocusName(), QStringLiteral("cmdLoop"));
    QCOMPARE(services.openFiles, 0);  // closed on every path
    const QString last = w_->form.StatusText().split('\n').last();
    QVERIFY2(status.endsWith(u": ") ? last.startsWith(status) : last == status, qPrintable(last));
    QCOMPARE(services.files.size(), std::size_t(fail == "exe" ? 2 : 1));  // nothing written anywhere else
    if (lines < 0) QCOMPARE(services.files.at(w_->results), old);
    if (lines >= 0) QCOMPARE(testing::Lines(services.files.at(path)).size(), lines);
    QCOMPARE(services.viewerPaths, viewerStarted ? std::vector<std::string>{path} : std::vector<std::string>{});
    QCOMPARE(services.CallCount("OpenInViewer"), fail == "viewer" || viewerStarted ? 1 : 0);
    if (!viewerStarted || lines < 101) return;
    // The viewer is started on the finished, closed file: the header and rows i = 0 … 99 at U = 0.1·i + 0.1.
    QCOMPARE((std::vector<std::string>(services.calls.end() - 2, services.calls.end())),
             (std::vector<std::string>{"Close", "OpenInViewer"}));
    const QStringList written = testing::Lines(services.files.at(path));
    QCOMPARE(written[0], kHeader);
    for (int k : {0, 2, 99}) QCOMPARE(written[k + 1], ResultRow(0.1 * k + 0.1));
  }
  // A sweep of 10^9 rows on a clock the test moves: a dialog only after the delay; Cancel or closing the window
  // ends it after the row in progress, with complete rows only and no viewer.
  void longSweepStops() {
    for (bool byClosingTheWindow : {false, true}) {
      w_ = std::make_unique<testing::Window>();
      MainForm& form = w_->form;
      auto now = std::chrono::steady_clock::time_point{};
      form.SetSweepClock([&now] { return now; });
      w_->SetText("txtTo", QStringLiteral("1e6"));
      w_->SetText("txtStep", QStringLiteral("0.001"));
      int ticks = 0;
      QString label;
      bool dialogEarly = false, dialogEnabled = false, formEnabled = true;
      QTimer driver;
      connect(&driver, &QTimer::timeout, this, [&] {
        auto* dialog = form.findChild<QProgressDialog*>(QStringLiteral("sweepProgress"));
        if (++ticks < 10) {  // a second of the sweep's updates at a standstill
          dialogEarly = dialogEarly || dialog;
          if (ticks == 9) now += MainForm::kProgressDelay + std::chrono::milliseconds(100);
        } else if (ticks > 200 || (dialog && dialog->isVisible() && dialog->labelText().startsWith(u"Row"))) {
          driver.stop();  // no dialog in 20 s: the window closes, ending the sweep, and the test fails below
          label = dialog ? dialog->labelText() : QString();
          dialogEnabled = dialog ? dialog->isEnabled() : false;
          formEnabled = form.isEnabled();
          if (byClosingTheWindow || !dialog) form.close();
          if (!byClosingTheWindow && dialog) QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
        }
      });
      driver.start(100);
      w_->Click("cmdLoop");  // returns when the sweep has ended
      QVERIFY(!dialogEarly);
      QCOMPARE((std::pair{dialogEnabled, formEnabled}), (std::pair{true, false}));  // the dialog only
      QRegularExpression expected(QStringLiteral("^Row [0-9,]+ of 999,999,901\n(about .* left|Estimating the time left)$"));
      QVERIFY2(expected.match(label).hasMatch(), qPrintable(label));
      QVERIFY(!form.findChild<QProgressDialog*>());
      QCOMPARE(w_->services.viewerPaths, std::vector<std::string>{});
      QCOMPARE(w_->services.openFiles, 0);
      // Complete rows in order, each that of U = 0.001·i + 0.1, with three decimals to keep them apart.
      const QStringList lines = w_->ResultLines();
      QCOMPARE(lines[0], kHeader);
      const int rows = int(lines.size()) - 1;
      for (int i : {0, rows / 2, rows - 1}) if (i >= 0 && i < rows) QCOMPARE(lines[i + 1], ResultRow(0.001 * i + 0.1, 3));
      QCOMPARE(form.isVisible(), !byClosingTheWindow);
      QCOMPARE(form.StatusText(), QStringLiteral("Written to %1\nLoop stopped after %2 rows, every result within 1e-4 of "
                                                 "its exact value")
                                      .arg(QString::fromStdString(w_->results), QString::fromStdString(GroupedCount(rows))));
      QCOMPARE(w_->questions.size(), 1);  // about the 10^9 rows
    }
  }
  // About opens a modal box, unloaded on closing.
  void aboutIsModalAndUnloadedOnClosing() {
    QPointer<QWidget> box;
    QString title;
    QTimer::singleShot(0, this, [&] {
      box = QApplication::activeModalWidget();
      title = box ? box->windowTitle() : QStringLiteral("<no modal box>");
      if (box) QTest::keyClick(box, Qt::Key_Escape);
    });
    w_->form.findChild<QAction*>(QStringLiteral("mnuAbout"))->trigger();  // returns when the box has closed
    QCOMPARE(title, QStringLiteral("About Quorix"));
    QVERIFY(box.isNull());
  }

  void font_data() {
    QTest::addColumn<int>("pixels");
    for (int pixels : {9, kDesignFontPixels, 13, 18, 24}) QTest::addRow("%d px", pixels) << pixels;
  }
  // Under a larger or smaller desktop font, solved, so that the results show their numbers: every text whole, no
  // overlap, all inside; the window as much larger as the font is higher, never smaller than laid out (503 × 260
  // pixels of client area), the form of the design font at a smaller one.
  void font() {
    QFETCH(int, pixels);
    const testing::DesktopFont font(pixels);
    QCOMPARE(QFontInfo(font.Desktop()).pixelSize(), kDesignFontPixels);
    const double ratio =
        std::max(1.0, QFontMetricsF(QApplication::font()).height() / QFontMetricsF(font.Desktop()).height());
    QCOMPARE(FontScale() == 1.0, pixels <= kDesignFontPixels);
    w_ = std::make_unique<testing::Window>();
    MainForm& form = w_->form;
    w_->Click("cmdSolve");
    QVERIFY(!Control<QLabel>(form, "lblDEValue")->text().isEmpty());
    const QStringList faults = testing::LayoutFaults(form.centralWidget());
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    const QSize client = form.centralWidget()->size();
    QVERIFY2(std::abs(client.width() - 503 * ratio) <= 1.0, qPrintable(QString::number(client.width())));
    QVERIFY2(std::abs(client.height() - 260 * ratio) <= 1.0, qPrintable(QString::number(client.height())));
    if (pixels <= kDesignFontPixels) QCOMPARE(form.font().pixelSize(), 11);
    // The window holds its client area, the menu bar and a status line three of its lines high, which never
    // widens the window, however long what it says.
    QCOMPARE(form.height(), client.height() + form.menuBar()->height() + form.statusBar()->height());
    QVERIFY(form.statusBar()->height() >= 3 * form.fontMetrics().lineSpacing());
    w_->SetText("txtNee", QString(300, u'x'));
    QCOMPARE(form.centralWidget()->size(), client);
  }

 private:
  std::unique_ptr<testing::Window> w_;
};

QTEST_MAIN(MainFormTest)
#include "mainform_test.moc"
