// The main window: its controls, and its commands, which end every failure
// silently with the window enabled again.
#include <QAction>
#include <QGroupBox>
#include <QMenuBar>
#include <QPointer>
#include <QProgressDialog>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <chrono>
#include <memory>

#include "energy_solver.h"
#include "mainform_test_support.h"
#include "numbertext.h"

using namespace quorix;
using quorix::testing::Control;
using quorix::testing::FocusName;

namespace {

// Twips as laid out for the window, 15 to the pixel.
QRect Twips(int left, int top, int width, int height) { return QRect(left / 15, top / 15, width / 15, height / 15); }

// The case of the window's initial texts.
BoucWenCase InitialCase(double u = 1.0) {
  return BoucWenCase{.Nee = 2.0, .BetaSmall = 0.1, .GammaSmall = 0.9, .AlphaSmall = 0.10, .Fy = 2.86, .Uy = 0.111,
                     .UmaxOverUy = u, .Complementary = true};
}

QStringList Solved(BoucWenCase bw) {
  SolveEnergy(bw);
  QStringList texts;
  for (const std::string& text : ResultTexts(bw)) texts << QString::fromStdString(text);
  return texts;
}

// A row of results.out for the initial case at this Umax/Uy.
QString Row(double u) { return QString::fromStdString(FormatFixed(u, 2)) + '\t' + Solved(InitialCase(u)).join('\t'); }

const QString kHeader = QStringLiteral("Umax/Uy\tZa\tFha\tFela\tFa\tKcd\tKda\tDE/ Fy /Uy\tDE /Fh /Uy\tDE");

// Records each change of the window's enabled state.
struct EnabledWatcher : QObject {
  explicit EnabledWatcher(QWidget* window) : window(window) { window->installEventFilter(this); }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == window && event->type() == QEvent::EnabledChange) changes << window->isEnabled();
    return false;
  }
  QWidget* window;
  QList<bool> changes;
};

}  // namespace

class MainFormTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { w_ = std::make_unique<testing::Window>(); }
  void cleanup() { w_.reset(); }

  // The fixed layout: each control's class, container, initial text and place.
  void controls() {
    struct Row {
      QString name;
      const char *kind, *container;
      QString text;
      QRect place;
    };
    const char *frame = "QGroupBox", *inner = "QWidget", *box = "QLineEdit", *label = "QLabel";
    std::vector<Row> rows = {
        {"frameBoucWen", frame, "MainFormClient", "Bouc-Wen parameters", Twips(60, 60, 1875, 3735)},
        {"frameAmplitude", frame, "MainFormClient", "Displacement amplitude", Twips(2040, 60, 1815, 1695)},
        {"frameLoop", frame, "MainFormClient", "Loop for Umax/Uy", Twips(2040, 1860, 1815, 1935)},
        {"frameResults", frame, "MainFormClient", "Results", Twips(3900, 60, 3555, 3735)},
        {"Picture1", inner, "frameBoucWen", "", Twips(120, 240, 1695, 2655)},
        {"Picture2", inner, "frameAmplitude", "", Twips(60, 285, 1575, 1335)},
        {"Picture4", inner, "frameLoop", "", Twips(120, 240, 1635, 1575)},
        {"Picture3", inner, "frameResults", "", Twips(120, 300, 3315, 3195)},
        {"lblUmaxOverUy", label, "Picture2", "Umax / Uy :", Twips(0, 60, 975, 255)},
        {"txtUmaxOverUy", box, "Picture2", "1", Twips(1020, 0, 495, 315)},
        {"optDirect", "QRadioButton", "Picture2", "Direct", Twips(120, 360, 1755, 195)},
        {"optComplementary", "QRadioButton", "Picture2", "Complementary", Twips(120, 600, 1815, 195)},
        {"cmdSolve", "QPushButton", "Picture2", "Solve", Twips(120, 900, 1395, 435)},
        {"Label1", label, "Picture4", "From :", Twips(60, 120, 435, 195)},
        {"txtFrom", box, "Picture4", "0.1", Twips(540, 60, 975, 315)},
        {"Label2", label, "Picture4", "To :", Twips(240, 480, 285, 195)},
        {"txtTo", box, "Picture4", "10.0", Twips(540, 420, 975, 315)},
        {"Label3", label, "Picture4", "Step :", Twips(30, 840, 420, 195)},
        {"txtStep", box, "Picture4", "0.1", Twips(540, 780, 975, 315)},
        {"cmdLoop", "QPushButton", "Picture4", "Loop", Twips(60, 1140, 1455, 435)}};
    // Parameters: rows 360 twips apart, the right-aligned label 60 twips below its box's top.
    const char* const parameters[][3] = {{"AlphaCap", "1.0", "A :"},   {"BetaSmall", "0.1", "beta :"},
                                         {"GammaSmall", "0.9", "gamma :"}, {"Nee", "2.0", "n :"},
                                         {"AlphaSmall", "0.10", "a :"}, {"Fy", "2.86", "Fy :"},
                                         {"Uy", "0.111", "Uy :"}};
    for (int r = 0; r < 7; ++r) {
      const QString name = QString::fromLatin1(parameters[r][0]);
      rows.push_back({"txt" + name, box, "Picture1", parameters[r][1], Twips(900, 60 + 360 * r, 675, 315)});
      rows.push_back({"lbl" + name, label, "Picture1", parameters[r][2], Twips(0, 120 + 360 * r, 735, 195)});
    }
    // Results: empty value label at 360 r, caption 60 twips lower; starred in Complementary mode.
    const char* const results[][2] = {{"Za", "Za :"},     {"Fha", "Fha :"},   {"Fela", "Fela :"},
                                      {"Fa", "Fa :"},     {"Kcd", "Kcd* :"},  {"Kda", "Kda* :"},
                                      {"DEOverFyUy", "DE/(Fy Uy) :"}, {"DEOverFhUy", "DE/(Fh Uy) :"}, {"DE", "DE :"}};
    for (int r = 0; r < 9; ++r) {
      const QString name = "lbl" + QString::fromLatin1(results[r][0]);
      rows.push_back({name, label, "Picture3", results[r][1], Twips(0, 60 + 360 * r, 975, 195)});
      rows.push_back({name + "Value", label, "Picture3", "", Twips(1140, 360 * r, 2115, 315)});
    }
    for (const Row& r : rows) {
      QWidget* control = Control(w_->form, r.name);  // present and unique
      QVERIFY2(control && control->metaObject()->className() == QLatin1String(r.kind) &&
                   control->parentWidget()->objectName() == QLatin1String(r.container) &&
                   control->property(qobject_cast<QGroupBox*>(control) ? "title" : "text").toString() == r.text &&
                   control->geometry() == r.place,
               qPrintable(r.name));
      const std::string_view in = r.container;
      if (r.kind == label && !r.name.endsWith(QLatin1String("Value")) && (in == "Picture1" || in == "Picture3")) {
        QVERIFY2(qobject_cast<QLabel*>(control)->alignment() & Qt::AlignRight, qPrintable(r.name));
      }
    }
  }
  void windowAsItOpens() {
    MainForm& form = w_->form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Quorix : Bouc-Wen Dissipated Energy"));
    // 7545 x 3900 twips of client area below the menu bar, not resizable, no maximise button.
    QCOMPARE(form.centralWidget()->size(), QSize(503, 260));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.size(), QSize(503, 260 + form.menuBar()->height()));
    QVERIFY(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    const QImage icon = form.windowIcon().pixmap(32, 32).toImage();
    QSet<QRgb> colours;
    for (int i = 0; i < 32 * 32; ++i) colours.insert(icon.pixel(i % 32, i / 32));
    QVERIFY(colours.size() >= 4);  // a picture of its own, not a blank square
    // Plots, then About, on the bar itself.
    const QList<QAction*> items = form.menuBar()->actions();
    QCOMPARE(items.size(), 2);
    QCOMPARE(items[0]->text() + items[1]->text(), QStringLiteral("PlotsAbout"));
    QVERIFY(!items[0]->menu() && !items[1]->menu());
    QCOMPARE(FocusName(), QStringLiteral("cmdSolve"));
    QVERIFY(Control<QRadioButton>(form, "optComplementary")->isChecked());
    QVERIFY(w_->services.calls.empty());
    // Frame captions in the highlight colour; the labels inside keep the ordinary one.
    const QPalette palette = QApplication::palette();
    for (const char* name : {"frameBoucWen", "frameAmplitude", "frameLoop", "frameResults"}) {
      QWidget* frame = Control(form, name);
      QCOMPARE(frame->palette().color(QPalette::WindowText), palette.color(QPalette::Highlight));
      for (const QLabel* label : frame->findChildren<QLabel*>()) {
        QCOMPARE(label->palette().color(QPalette::WindowText), palette.color(QPalette::WindowText));
      }
    }
    // β and A: read-only, greyed, out of the tab chain, but a click focuses them.
    for (const char* name : {"txtBetaSmall", "txtAlphaCap"}) {
      auto* box = Control<QLineEdit>(form, name);
      QVERIFY(box->isReadOnly());
      QCOMPARE(box->palette().color(QPalette::Base), box->palette().color(QPalette::Button));
      QTest::mouseClick(box, Qt::LeftButton);
      QCOMPARE(FocusName(), QString::fromLatin1(name));
    }
  }
  // The Tab chain, round to the start; of the option pair only the selected one is a stop (Qt's rule).
  void tabOrder() {
    const QStringList stops = {"txtGammaSmall", "txtNee",  "txtAlphaSmall", "txtFy",  "txtUy", "txtUmaxOverUy",
                               "optComplementary", "txtFrom", "txtTo",         "txtStep", "cmdLoop", "cmdSolve"};
    QStringList seen;
    for (int i = 0; i < stops.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      seen << FocusName();
    }
    QCOMPARE(seen, stops);
  }
  // The font is ours to choose; it must leave every caption whole.
  void captionsFitTheirBoxes() {
    for (QLabel* label : w_->form.findChildren<QLabel*>()) {
      const QFontMetrics metrics(label->font());
      // A result as wide as the solver gives in practice.
      const QString text = label->objectName().endsWith(QLatin1String("Value")) ? QStringLiteral("-12345678.123456789")
                                                                                  : label->text();
      QVERIFY2(metrics.horizontalAdvance(text) <= label->contentsRect().width() - label->indent() &&
                   metrics.height() <= label->contentsRect().height(),
               qPrintable(label->objectName()));
    }
    // Option buttons are wider than their container, which clips them: the caption must end inside it.
    for (QRadioButton* option : w_->form.findChildren<QRadioButton*>()) {
      QStyleOptionButton style;
      style.initFrom(option);
      const int left = option->style()->subElementRect(QStyle::SE_RadioButtonContents, &style, option).left();
      QVERIFY(option->x() + left + option->fontMetrics().horizontalAdvance(option->text()) <=
              option->parentWidget()->width());
    }
  }

  void betaFollowsGamma_data() {
    QTest::addColumn<QString>("gamma");
    QTest::addColumn<QString>("beta");
    // β = 1 − γ to 15 significant digits, without a zero before the point;
    // a γ beyond a double ("1e999", typed after "1e99") leaves β as it was.
    for (const auto& [gamma, beta] : {std::pair{"0.75", ".25"}, {"1.5", "-.5"}, {"", "1"}, {"0,5", "1"},
                                      {" 0 . 2 5", ".75"}, {"1e", "0"}, {"1e20", "-1E+20"}, {"1e999", "-1E+99"}}) {
      QTest::addRow("'%s'", gamma) << gamma << beta;
    }
  }
  void betaFollowsGamma() {
    QFETCH(QString, gamma);
    QFETCH(QString, beta);
    auto* gammaBox = Control<QLineEdit>(w_->form, "txtGammaSmall");
    gammaBox->setFocus(Qt::OtherFocusReason);
    gammaBox->selectAll();
    QTest::keyClick(gammaBox, Qt::Key_Backspace);
    QTest::keyClicks(gammaBox, gamma);  // one keystroke at a time
    QCOMPARE(w_->Text("txtBetaSmall"), beta);
    QTest::keyClick(gammaBox, Qt::Key_Return);  // nothing special: no default button, no closing
    QTest::keyClick(gammaBox, Qt::Key_Escape);
    QVERIFY(w_->form.isVisible() && w_->ResultLabels().join(QString()).isEmpty());
    gammaBox->setText(QStringLiteral("0.4"));  // the same when the program sets the text
    QCOMPARE(w_->Text("txtBetaSmall"), QStringLiteral(".6"));
  }
  // A click selects the whole text, as Tab does, so typing replaces it.
  void clickSelectsAll() {
    for (const char* name : {"txtGammaSmall", "txtNee", "txtAlphaSmall", "txtFy", "txtUy", "txtUmaxOverUy", "txtFrom",
                             "txtTo", "txtStep"}) {
      auto* box = Control<QLineEdit>(w_->form, name);
      box->deselect();
      Control(w_->form, "cmdSolve")->setFocus(Qt::OtherFocusReason);
      QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());  // which would just place the cursor
      QTRY_COMPARE(box->selectedText(), box->text());
      QTest::keyClicks(box, "3.5");
      QCOMPARE(box->text(), QStringLiteral("3.5"));
    }
  }
  // The option buttons relabel Kcd and Kda at once; results and case record change at the next command.
  void optionsRelabelWithoutTouchingResults() {
    auto* direct = Control<QRadioButton>(w_->form, "optDirect");
    const auto captions = [this] {
      return Control<QLabel>(w_->form, "lblKcd")->text() + Control<QLabel>(w_->form, "lblKda")->text();
    };
    w_->Click("cmdSolve");
    const QStringList results = w_->ResultLabels();
    QTest::mouseClick(direct, Qt::LeftButton, {}, QPoint(6, direct->height() / 2));  // on the indicator
    QCOMPARE(captions(), QStringLiteral("Kcd :Kda :"));
    QCOMPARE(w_->ResultLabels(), results);
    QVERIFY(w_->form.CaseRecord().Complementary);
    direct->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(direct, Qt::Key_Down);  // by the keyboard, within the pair
    QVERIFY(Control<QRadioButton>(w_->form, "optComplementary")->isChecked());
    QCOMPARE(captions(), QStringLiteral("Kcd* :Kda* :"));
    QCOMPARE(w_->ResultLabels(), results);
    QVERIFY(w_->services.calls.empty());
  }
  // Solve reads the fields as they are now; one that fails leaves the labels.
  void solve() {
    EnabledWatcher watcher(&w_->form);
    w_->Click("cmdSolve");
    QCOMPARE(w_->ResultLabels(), Solved(InitialCase()));
    QCOMPARE(watcher.changes, (QList<bool>{false, true}));
    QCOMPARE(FocusName(), QStringLiteral("cmdSolve"));
    Control<QRadioButton>(w_->form, "optDirect")->setChecked(true);
    QTest::keyClick(Control(w_->form, "cmdSolve"), Qt::Key_Enter);  // Enter presses the focused button
    QCOMPARE(FocusName(), QStringLiteral("cmdSolve"));
    BoucWenCase direct = InitialCase();
    direct.Complementary = false;
    QCOMPARE(w_->ResultLabels(), Solved(direct));
    QVERIFY(w_->services.calls.empty());
    w_->SetText("txtGammaSmall", QStringLiteral("0.8"));  // leaves '.2' in β, which is what Solve reads
    w_->SetText("txtNee", QStringLiteral(" 1 . 5"));
    w_->SetText("txtAlphaSmall", QStringLiteral(""));
    w_->SetText("txtFy", QStringLiteral("3"));
    w_->SetText("txtUy", QStringLiteral("0.2"));
    w_->SetText("txtUmaxOverUy", QStringLiteral("2.5abc"));
    Control<QRadioButton>(w_->form, "optComplementary")->setChecked(true);
    w_->Click("cmdSolve");
    const QStringList solved = Solved(BoucWenCase{.Nee = 1.5, .BetaSmall = 0.2, .GammaSmall = 0.8, .AlphaSmall = 0.0,
                                                  .Fy = 3.0, .Uy = 0.2, .UmaxOverUy = 2.5, .Complementary = true});
    QCOMPARE(w_->ResultLabels(), solved);
    w_->SetText("txtFy", QStringLiteral("1e999"));  // beyond the range of a double
    watcher.changes.clear();
    w_->Click("cmdSolve");
    QCOMPARE(w_->ResultLabels(), solved);
    QCOMPARE(watcher.changes, (QList<bool>{false, true}));
    QCOMPARE(FocusName(), QStringLiteral("cmdSolve"));
  }
  void sweepWritesResultsAndOpensTheViewer() {
    w_->SetText("txtUmaxOverUy", QStringLiteral("7"));  // the sweep sets Umax/Uy itself
    bool disabledThroughout = true;
    w_->services.onCall = [&](std::string_view) { disabledThroughout = disabledThroughout && !w_->form.isEnabled(); };
    Control(w_->form, "cmdLoop")->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(Control(w_->form, "cmdLoop"), Qt::Key_Return);  // Return presses the focused button
    QVERIFY(disabledThroughout && w_->form.isEnabled());
    QCOMPARE(FocusName(), QStringLiteral("cmdLoop"));
    // The viewer is started on the finished, closed file.
    QCOMPARE(w_->services.viewerPaths, std::vector<std::string>{w_->results});
    const auto& calls = w_->services.calls;
    QCOMPARE((std::vector<std::string>(calls.end() - 2, calls.end())),
             (std::vector<std::string>{"Close", "OpenInViewer"}));
    // The header and rows i = 0 … 99 at U = 0.1·i + 0.1, with the engine's numbers.
    const QStringList lines = w_->ResultLines();
    QCOMPARE(lines.size(), 101);
    QCOMPARE(lines[0], kHeader);
    for (int i : {0, 2, 99}) QCOMPARE(lines[i + 1], Row(0.1 * i + 0.1));
    QVERIFY(w_->ResultLabels().join(QString()).isEmpty());  // the result labels are left alone
  }
  void sweepFailures_data() {
    QTest::addColumn<QStringList>("fields");  // From, To, Step, Fy
    // What fails: open, write3 (the third line), close, viewer; exe (the executable's folder: the data folder
    // is used), exe+data (both folders).
    QTest::addColumn<QString>("fail");
    QTest::addColumn<int>("lines");  // lines in results.out afterwards; -1: the old file untouched
    QTest::addColumn<bool>("viewerStarted");
    const QStringList initial = {"0.1", "10.0", "0.1", "2.86"};
    // Failures before the file is opened leave an existing file alone.
    QTest::newRow("Step of 0") << QStringList{"0.1", "10.0", "0", "2.86"} << "" << -1 << false;
    QTest::newRow("field beyond double range") << QStringList{"0.1", "10.0", "0.1", "1e999"} << "" << -1 << false;
    QTest::newRow("file cannot be created") << initial << "open" << -1 << false;
    QTest::newRow("installed, no data folder") << initial << "exe+data" << -1 << false;
    // A failure while writing keeps what was written, and closes the file.
    QTest::newRow("third line cannot be written") << initial << "write3" << 2 << false;
    QTest::newRow("file cannot be closed") << initial << "close" << 101 << false;
    QTest::newRow("viewer does not start") << initial << "viewer" << 101 << false;
    // Not failures: a range the step runs away from gives a header-only table, still opened.
    QTest::newRow("installed") << initial << "exe" << 101 << true;
    QTest::newRow("header only") << QStringList{"1", "0", "0.1", "2.86"} << "" << 1 << true;
    QTest::newRow("one row at From") << QStringList{"0.5", "0.5", "0.1", "2.86"} << "" << 2 << true;
  }
  void sweepFailures() {
    QFETCH(QStringList, fields);
    QFETCH(QString, fail);
    QFETCH(int, lines);
    QFETCH(bool, viewerStarted);
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
    for (const char* box : {"txtFrom", "txtTo", "txtStep", "txtFy"}) w_->SetText(box, fields[i++]);
    EnabledWatcher watcher(&w_->form);
    w_->Click("cmdLoop");
    QCOMPARE(watcher.changes, (QList<bool>{false, true}));
    QCOMPARE(services.openFiles, 0);  // closed on every path
    QCOMPARE(services.CallCount("UserDataFolder"), fail.startsWith("exe") ? 1 : 0);
    QCOMPARE(services.files.size(), std::size_t(fail == "exe" ? 2 : 1));  // nothing written anywhere else
    if (lines < 0) {
      QCOMPARE(services.files.at(w_->results), old);
    } else {
      QCOMPARE(testing::Lines(services.files.at(path)).size(), lines);
    }
    QCOMPARE(services.viewerPaths, viewerStarted ? std::vector<std::string>{path} : std::vector<std::string>{});
    QCOMPARE(services.CallCount("OpenInViewer"), fail == "viewer" || viewerStarted ? 1 : 0);
    QVERIFY(w_->ResultLabels().join(QString()).isEmpty());
  }
  // A sweep of about 10^9 rows: no progress before the delay, then a dialog; Cancel or closing the window
  // ends it after the row in progress, with complete rows only and no viewer. The test moves the clock.
  void longSweepStops_data() {
    QTest::addColumn<bool>("byClosingTheWindow");
    QTest::newRow("Cancel") << false;
    QTest::newRow("window closed") << true;
  }
  void longSweepStops() {
    QFETCH(bool, byClosingTheWindow);
    MainForm& form = w_->form;
    auto now = std::chrono::steady_clock::time_point{};
    form.SetSweepClock([&now] { return now; });
    w_->SetText("txtTo", QStringLiteral("1e6"));
    w_->SetText("txtStep", QStringLiteral("0.001"));
    int ticks = 0;
    QString label;
    bool dialogEarly = false, dialogEnabled = false, windowDisabled = false;
    QTimer driver;
    connect(&driver, &QTimer::timeout, this, [&] {
      auto* dialog = form.findChild<QProgressDialog*>(QStringLiteral("sweepProgress"));
      if (++ticks > 200) {  // no dialog in 20 s: end the sweep, and the test fails below
        driver.stop();
        form.close();
      } else if (ticks < 10) {  // a second of the sweep's updates at a standstill
        dialogEarly = dialogEarly || dialog;
        if (ticks == 9) now += MainForm::kProgressDelay + std::chrono::milliseconds(100);
      } else if (dialog && dialog->isVisible() && dialog->labelText().startsWith(QStringLiteral("Row"))) {
        driver.stop();
        label = dialog->labelText();
        dialogEnabled = dialog->isEnabled();
        windowDisabled = !form.isEnabled();
        if (byClosingTheWindow) {
          form.close();
        } else {
          QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
        }
      }
    });
    driver.start(100);
    w_->Click("cmdLoop");  // returns when the sweep has ended
    QVERIFY(!driver.isActive() && !dialogEarly && dialogEnabled && windowDisabled);
    const QRegularExpression expected(
        QStringLiteral("^Row [0-9,]+ of 999,999,901\n(about .* left|Estimating the time left)$"));
    QVERIFY2(expected.match(label).hasMatch(), qPrintable(label));
    QVERIFY(!form.findChild<QProgressDialog*>());
    QVERIFY(w_->services.viewerPaths.empty());
    QCOMPARE(w_->services.openFiles, 0);
    // Complete rows in order, each that of U = 0.001·i + 0.1.
    const QStringList lines = w_->ResultLines();
    QCOMPARE(lines[0], kHeader);
    const int rows = int(lines.size()) - 1;
    for (int i : {0, rows / 2, rows - 1}) {
      if (i >= 0 && i < rows) QCOMPARE(lines[i + 1], Row(0.001 * i + 0.1));
    }
    QCOMPARE(form.isVisible(), !byClosingTheWindow);
  }
  // About opens a modal box, unloaded on closing: each opening makes a new one.
  void aboutIsModalAndFreshEachTime() {
    QList<QPointer<QWidget>> boxes;
    for (int opening = 0; opening < 2; ++opening) {
      QTimer::singleShot(0, this, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || box->windowTitle() != QStringLiteral("About Quorix")) return;
        boxes << box;
        QTest::keyClick(box, Qt::Key_Escape);
      });
      w_->form.findChild<QAction*>(QStringLiteral("mnuAbout"))->trigger();  // returns when the box has closed
    }
    QCOMPARE(boxes.size(), 2);
    QVERIFY(boxes[0].isNull() && boxes[1].isNull());
  }

 private:
  std::unique_ptr<testing::Window> w_;
};

QTEST_MAIN(MainFormTest)
#include "mainform_test.moc"
