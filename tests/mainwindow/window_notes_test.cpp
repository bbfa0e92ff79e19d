// What the main window says beside its numbers: a field's reading, a case outside the model, results off their
// exact values, results whose inputs changed, the Loop's tally; and how a user reads and copies it: units and
// names for a screen reader, results copied as a table, digits kept in tooltips, fitted values with the digits
// their errors support, and a Loop that asks before it replaces a file or writes a great many rows.
#include <QAction>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QGuiApplication>
#include <QGroupBox>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <cmath>
#include <memory>
#include <numbers>

#include "case_notes.h"
#include "energy_solver.h"
#include "mainform_test_support.h"
#include "numbertext.h"
#include "plots_window.h"

using namespace quorix;
using quorix::testing::Control;
using quorix::testing::InitialCase;
using quorix::testing::Solved;

namespace {

// The input a field feeds, set in a case.
void SetInput(BoucWenCase& bw, const QString& box, double value) {
  if (box == "txtNee") bw.Nee = value;
  if (box == "txtGammaSmall") bw.GammaSmall = value, bw.BetaSmall = 1.0 - value;
  if (box == "txtAlphaSmall") bw.AlphaSmall = value;
  if (box == "txtFy") bw.Fy = value;
  if (box == "txtUy") bw.Uy = value;
  if (box == "txtUmaxOverUy") bw.UmaxOverUy = value;
}

// The number after `key` in a text ("XiEq (exact 1.90986e-08)"), NaN when it is not there.
double NumberAfter(const QString& text, const QString& key) {
  const qsizetype at = text.indexOf(key);
  if (at < 0) return NAN;
  static const QRegularExpression number(QStringLiteral("^-?[0-9.]+(e[-+][0-9]+)?"));
  const auto match = number.match(text.mid(at + key.size()));
  return match.hasMatch() ? match.captured().toDouble() : NAN;
}

bool Near(double value, double expected, double relative) {
  return std::fabs(value - expected) <= relative * std::fabs(expected);
}

// The lines of a TAB-separated block, each split into its cells.
QList<QStringList> Cells(const QString& block) {
  QList<QStringList> rows;
  for (const QString& line : block.split(u'\n', Qt::SkipEmptyParts)) rows << line.split(u'\t');
  return rows;
}

// The number after "= " in the second line of a result's tooltip; NaN without one.
double TooltipValue(const QString& tip) {
  static const QRegularExpression value(QStringLiteral("\n\\S+ = (\\S+) \\(15 significant digits\\)$"));
  const auto match = value.match(tip);
  return match.hasMatch() ? ParseNumber(match.captured(1).toStdString()) : NAN;
}

}  // namespace

class WindowNotesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { w_ = std::make_unique<testing::Window>(); }
  void cleanup() { w_.reset(); }

  // How a text is read, said in words; nothing for a complete number.
  void readingNotes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("note");
    const std::pair<const char*, const char*> rows[] = {
        {"2.5", ""}, {"2,5", "2,5 read as 2: the decimal point is '.'"}, {"", "empty: read as 0"},
        {"abc", "abc read as 0: not a number"}, {"1e", "1e read as 1: the number ends before 'e'"},
        {" 1 . 5", "1 . 5 read as 1.5: the blanks inside it are dropped"},
        {"2 5abc", "2 5abc read as 25: the number ends before 'abc'"},
        {" .5 m", ".5 m read as 0.5: the number ends before 'm'"},
        {"1e999", "number beyond the range of a double: 1e999"}};
    for (const auto& [text, note] : rows) QTest::addRow("'%s'", text) << text << note;
  }
  void readingNotes() {
    QFETCH(QString, text);
    QFETCH(QString, note);
    QCOMPARE(QString::fromStdString(window::ReadingNote(text.toStdString()).value_or("")), note);
  }

  // Results stand under the fields while these read as the same inputs, whatever the texts.
  void sameInputs_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");
    for (const auto& [a, b, same] : {std::tuple{"0.1", ".1", true}, {"2,5", "2", true}, {"1", "1.0000001", false},
                                     {"0", "-0", false}, {"1e999", "1e999", true}, {"1e999", "2e999", false}}) {
      QTest::addRow("%s %s", a, b) << a << b << same;
    }
  }
  void sameInputs() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);
    // In a field of a case, and of a sweep's range.
    CaseTexts x, y;
    x.Nee = a.toStdString(), y.Nee = b.toStdString();
    QCOMPARE(window::SameInputs(x, y), same);
    y = x, y.Complementary = false;
    QVERIFY(!window::SameInputs(x, y));
    SweepTexts p, q;
    p.Step = a.toStdString(), q.Step = b.toStdString();
    QCOMPARE(window::SameInputs(p, q), same);
    q.Step = p.Step, q.From = "0.2";  // loopTally edits To
    QVERIFY(!window::SameInputs(p, q));
  }

  // A field marked as typed and after Solve, which solves its reading; `note` is every sentence on the field.
  void fieldsReadAsTyped_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("read");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("status");
    QTest::newRow("Umax/Uy 2,5") << "txtUmaxOverUy" << "2,5" << 2.0 << "2,5 read as 2: the decimal point is '.'"
                                 << "Umax / Uy: 2,5 read as 2: the decimal point is '.'";
    QTest::newRow("a 1e") << "txtAlphaSmall" << "1e" << 1.0
                          << "1e read as 1: the number ends before 'e'\noutside the model: alpha must lie in [0, 1): 1"
                          << "a: 1e read as 1: the number ends before 'e'";
  }
  void fieldsReadAsTyped() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(double, read);
    QFETCH(QString, note);
    QFETCH(QString, status);
    auto* field = Control<QLineEdit>(w_->form, box);
    const QString plainToolTip = field->toolTip();
    Type(field, text);
    for (int pass = 0; pass < 2; ++pass) {  // as typed, then after Solve
      QCOMPARE(field->property("quorixNote").toString(), note);
      QCOMPARE(field->accessibleDescription(), note);
      QVERIFY(!field->styleSheet().isEmpty());
      QCOMPARE(field->toolTip(), plainToolTip.isEmpty() ? note : note + "\n\n" + plainToolTip);
      QVERIFY2(w_->form.StatusText().split('\n').contains(status), qPrintable(w_->form.StatusText()));
      QCOMPARE(field->font(), w_->form.font());  // the frame, not the font, marks it
      if (pass == 0) w_->Click("cmdSolve");
    }
    BoucWenCase expected = InitialCase();
    SetInput(expected, box, read);
    QCOMPARE(w_->ResultLabels(), Solved(expected));
    if (text == "2,5") QCOMPARE(w_->ResultLabels().last(), QStringLiteral("1.216642171"));  // DE
    // A complete number takes the mark away.
    Type(field, QStringLiteral("0.5"));
    QCOMPARE(field->property("quorixNote").toString(), QString());
    QCOMPARE(field->styleSheet(), QString());
    QCOMPARE(field->toolTip(), plainToolTip);
  }

  // A case outside the model, once per input: the field at fault, the status line and the results frame say
  // so, and the results are solved all the same (the rules themselves are the domain's tests').
  void outsideTheModel_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("breach");  // empty: inside the model
    const std::tuple<const char*, const char*, double, const char*> rows[] = {
        {"txtNee", "0", 0.0, "n must be positive: 0"},
        {"txtUy", "0", 0.0, "Uy must be positive: 0"},
        {"txtFy", "-2.86", -2.86, "Fy must be positive: -2.86"},
        {"txtUmaxOverUy", "-1", -1.0, "Umax/Uy must not be negative: -1"},
        {"txtGammaSmall", "-0.5", -0.5, "gamma must not be negative (beta - gamma must not exceed 1): -0.5"},
        {"txtAlphaSmall", "0", 0.0, ""},
    };
    for (const auto& [box, text, value, breach] : rows) {
      QTest::addRow("%s %s", box + 3, text) << box << text << value << breach;
    }
  }
  void outsideTheModel() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(double, value);
    QFETCH(QString, breach);
    auto* field = Control<QLineEdit>(w_->form, box);
    Type(field, text);
    const QString note = breach.isEmpty() ? QString() : "outside the model: " + breach;
    QCOMPARE(field->property("quorixNote").toString(), note);  // as typed
    w_->Click("cmdSolve");
    QCOMPARE(field->property("quorixNote").toString(), note);
    QCOMPARE(w_->form.StatusText().contains(QStringLiteral("outside the model")), !note.isEmpty());
    if (!note.isEmpty()) QVERIFY(w_->form.StatusText().split('\n').contains(note));
    auto* frame = Control<QGroupBox>(w_->form, "frameResults");
    QCOMPARE(frame->title(), breach.isEmpty() ? QStringLiteral("Results") : QStringLiteral("Results (outside the model)"));
    QCOMPARE(frame->toolTip(), note);
    BoucWenCase expected = InitialCase();
    SetInput(expected, box, value);
    QCOMPARE(w_->ResultLabels(), Solved(expected));
    // Only the field at fault is marked.
    int marked = 0;
    for (QLineEdit* other : w_->form.findChildren<QLineEdit*>()) {
      marked += other->property("quorixNote").toString().isEmpty() ? 0 : 1;
    }
    QCOMPARE(marked, breach.isEmpty() ? 0 : 1);
  }

  // Results off their exact values are flagged. At a tiny amplitude X the loop of n = 1 is, to first order, a
  // lens of area (4γ/3)·X³, so DE = (1 − α)·Fy·Uy·(4γ/3)·X³ and XiEq = (1 − α)·2γ·X/(3π); the window's
  // arithmetic shows the three energies as 0 and XiEq negative.
  void exactValues() {
    Type(Control<QLineEdit>(w_->form, "txtNee"), QStringLiteral("1"));
    Type(Control<QLineEdit>(w_->form, "txtGammaSmall"), QStringLiteral("0.1"));
    Type(Control<QLineEdit>(w_->form, "txtUmaxOverUy"), QStringLiteral("1e-6"));
    w_->Click("cmdSolve");
    BoucWenCase shown = InitialCase(1e-6);
    shown.Nee = 1.0, shown.GammaSmall = 0.1, shown.BetaSmall = 0.9;
    QCOMPARE(w_->ResultLabels(), Solved(shown));  // the labels keep the window's own texts
    QStringList shownFlags;
    for (std::string_view name : kResultNames) {
      const QString result = QString::fromLatin1(name.data(), name.size());
      if (Control<QLabel>(w_->form, "lbl" + result + "Flag")->isVisible()) shownFlags << result;
    }
    QCOMPARE(shownFlags, (QStringList{"DEOverFyUy", "DEOverFhUy", "DE"}));
    const QString status = w_->form.StatusText();
    QVERIFY2(status.startsWith(QStringLiteral("4 results differ from the exact values by more than 1e-4: ")),
             qPrintable(status));
    const double X = 1e-6, g = 0.1, alpha = 0.1, Fy = 2.86, Uy = 0.111;
    QVERIFY2(Near(NumberAfter(status, QStringLiteral("XiEq (exact ")), (1 - alpha) * 2 * g * X / (3 * std::numbers::pi),
                  1e-5),
             qPrintable(status));
    const QLabel* flag = Control<QLabel>(w_->form, "lblDEFlag");
    QVERIFY(Near(NumberAfter(flag->toolTip(), "exact: "), (1 - alpha) * Fy * Uy * 4 * g / 3 * X * X * X, 1e-5));
    QVERIFY(flag->text().startsWith(QStringLiteral("≠ 3.8095")));
  }

  // After a Solve, an edit of an input greys the results and says so; typed back, or solved, they stand
  // again. The Loop's fields are not the results' inputs.
  void editsGreyTheResults_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("greys");
    for (const auto& [box, greys] : {std::pair{"txtGammaSmall", true}, {"txtUmaxOverUy", true}, {"txtStep", false}}) {
      QTest::addRow("%s", box) << box << "0.5" << greys;
    }
  }
  void editsGreyTheResults() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(bool, greys);
    w_->Click("cmdSolve");
    const QStringList solved = w_->ResultLabels();
    auto* field = Control<QLineEdit>(w_->form, box);
    const QString before = field->text();
    Type(field, text);
    QCOMPARE(w_->ResultLabels(), solved);  // greyed, not changed
    for (std::string_view name : kResultNames) {
      QCOMPARE(Control<QLabel>(w_->form, "lbl" + QString::fromLatin1(name.data(), name.size()) + "Value")->isEnabled(),
               !greys);
    }
    QCOMPARE(w_->form.StatusText().startsWith(QStringLiteral("inputs changed: press Solve")), greys);
    Type(field, before);
    QVERIFY(Control<QLabel>(w_->form, "lblDEValue")->isEnabled());
    QCOMPARE(w_->form.StatusText(), QString());
    Type(field, text);
    w_->Click("cmdSolve");
    QVERIFY(Control<QLabel>(w_->form, "lblDEValue")->isEnabled());
  }

  // Each chart of the Plots window keeps the case it was drawn for in its title, whatever the fields say now.
  void plotsCarryTheirCase() {
    w_->SetText("txtNee", QStringLiteral("1.5"));
    w_->SetText("txtTo", QStringLiteral("1"));
    w_->Click("cmdSolve");
    w_->Click("cmdLoop");
    w_->form.ShowPlots();
    PlotsWindow* plots = w_->form.Plots();
    QVERIFY(plots);
    const QString loopCase = QStringLiteral("n = 1.5, γ = 0.9, α = 0.1, Fy = 2.86, Uy = 0.111, Complementary");
    for (QChartView* view : {plots->LoopView(), plots->SweepView()}) QVERIFY(view->chart()->title().contains(loopCase));
    w_->SetText("txtNee", QStringLiteral("3"));
    Control<QRadioButton>(w_->form, "optDirect")->click();  // solves n = 3, Direct, at once; the sweep stays
    QVERIFY(plots->LoopView()->chart()->title().contains(QStringLiteral("n = 3, γ = 0.9") + ", α = 0.1, Fy = 2.86, "
                                                                                           "Uy = 0.111, Direct"));
    QVERIFY(plots->SweepView()->chart()->title().contains(loopCase));
  }

  // After a Loop the status line counts its rows, those outside the model and those flagged (n 0.3, γ 0.99 at
  // Umax/Uy 0.119 is percents off); an edit takes the sentence away.
  void loopTally_data() {
    QTest::addColumn<QStringList>("fields");  // n, gamma, From, To, Step
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("lines");
    QTest::newRow("from a negative amplitude")
        << QStringList{"2.0", "0.9", "-0.5", "0.5", "0.1"}
        << "Loop: 11 rows; 5 outside the model: Umax/Uy must not be negative: -0.5; the others within 1e-4 of "
           "the exact values"
        << 12;
    QTest::newRow("truncation") << QStringList{"0.3", "0.99", "-0.881", "0.119", "1"}
                                << "Loop: 2 rows; 1 outside the model: Umax/Uy must not be negative: -0.881; in 1 "
                                   "of them results differ from the exact values by more than 1e-4, the first at "
                                   "Umax/Uy = .119"
                                << 3;
  }
  void loopTally() {
    QFETCH(QStringList, fields);
    QFETCH(QString, status);
    QFETCH(int, lines);
    int i = 0;
    for (const char* box : {"txtNee", "txtGammaSmall", "txtFrom", "txtTo", "txtStep"}) w_->SetText(box, fields[i++]);
    w_->Click("cmdLoop");
    QCOMPARE(w_->form.StatusText().split('\n').last(), status);
    QCOMPARE(w_->ResultLines().size(), lines);
    w_->SetText("txtTo", QStringLiteral("20"));
    QVERIFY(!w_->form.StatusText().contains(QStringLiteral("Loop")));
  }


  // A screen reader names every field (not its number) through its caption, and the tooltip gives the unit; every
  // result, once solved, the same; the units line is there.
  void everyFieldAndResultSaysWhatItIs() {
    MainForm& form = w_->form;
    QStringList names;
    for (QLineEdit* box : form.findChildren<QLineEdit*>()) {
      const QString name = box->accessibleName();
      QVERIFY2(!name.isEmpty() && !names.contains(name), qPrintable(box->objectName()));
      names << name;
      QVERIFY2(QRegularExpression(QStringLiteral("\\((dimensionless|the \\w+ unit of the case|in units of Uy)\\)"))
                   .match(box->toolTip()).hasMatch(),
               qPrintable(box->objectName() + ": " + box->toolTip()));
      bool captioned = false;
      for (QLabel* label : form.findChildren<QLabel*>()) captioned = captioned || label->buddy() == box;
      QVERIFY2(captioned, qPrintable(box->objectName()));
    }
    QCOMPARE(names.size(), 11);
    w_->Click("cmdSolve");
    const QStringList units = {"dimensionless", "unit of Fy", "unit of Fy",    "unit of Fy",   "dimensionless",
                               "dimensionless", "dimensionless", "dimensionless", "unit of Fy·Uy"};
    int i = 0;
    for (std::string_view result : kResultNames) {
      auto* label = Control<QLabel>(form, "lbl" + QString::fromLatin1(result.data(), result.size()) + "Value");
      QVERIFY(label->textInteractionFlags() & Qt::TextSelectableByMouse);
      QVERIFY2(!label->accessibleName().isEmpty(), result.data());
      QVERIFY2(label->toolTip().contains("(" + units[i++] + ")"), qPrintable(label->toolTip()));
    }
    QCOMPARE(Control<QLabel>(form, "lblUnits")->text(),
             QStringLiteral("Forces in the unit of Fy, lengths in the unit of Uy, DE in Fy·Uy"));
  }

  // Ctrl+Shift+C (and the menu) copy the case solved and the nine results as the labels show them, with units.
  void copyResults() {
    QAction* copy = w_->form.findChild<QAction*>(QStringLiteral("mnuCopyResults"));
    QVERIFY(!copy->isEnabled());  // nothing solved yet
    w_->Enter({{"txtNee", "1.5"}, {"txtFy", "300"}, {"txtUmaxOverUy", "2.5"}}, "cmdSolve");
    w_->SetText("txtNee", "7");  // changed since: the copy is still of what was solved
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&w_->form, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    const QList<QStringList> rows = Cells(QGuiApplication::clipboard()->text());
    QCOMPARE(rows.size(), 1 + 9 + 9);
    QCOMPARE(rows[0], (QStringList{"Quantity", "Value", "Unit"}));
    for (const QStringList& row : rows) QCOMPARE(row.size(), 3);
    QCOMPARE(rows[1], (QStringList{"n", "1.5", "-"}));
    QCOMPARE(rows[6], (QStringList{"Fy", "300", "force unit"}));
    QCOMPARE(rows[9], (QStringList{"formulas", "Complementary", "-"}));
    BoucWenCase solved = InitialCase(2.5);
    solved.Nee = 1.5, solved.Fy = 300.0;
    const QStringList labels = w_->ResultLabels();
    QCOMPARE(labels, Solved(solved));
    for (int i = 0; i < kResultCount; ++i) QCOMPARE(rows[10 + i][1], labels[i]);
    QCOMPARE(rows[14][0], QStringLiteral("Kcd*"));
    QCOMPARE(rows[18], (QStringList{"DE", labels[8], "unit of Fy·Uy"}));
  }

  // Where nine decimals keep too few digits (a small unit system) or too many to read (1e300), the tooltip has the
  // value in significant digits. DE scales as Fy·Uy, so the tooltip must give s·t times DE of the unscaled case.
  void resultsKeepTheirDigits_data() {
    QTest::addColumn<double>("scale");
    QTest::addColumn<bool>("shown");  // whether the tooltip adds the value
    QTest::newRow("as typed") << 1.0 << false;
    QTest::newRow("micro units") << 1e-6 << true;
    QTest::newRow("1e150 units") << 1e150 << true;
  }
  void resultsKeepTheirDigits() {
    QFETCH(double, scale);
    QFETCH(bool, shown);
    w_->Click("cmdSolve");
    const double unscaled = w_->ResultLabels()[8].toDouble();
    w_->Enter({{"txtFy", QString::number(2.86 * scale, 'g', 17)}, {"txtUy", QString::number(0.111 * scale, 'g', 17)}},
              "cmdSolve");
    const QString tip = Control<QLabel>(w_->form, "lblDEValue")->toolTip();
    QCOMPARE(std::isfinite(TooltipValue(tip)), shown);
    if (shown) QVERIFY2(std::fabs(TooltipValue(tip) / (scale * scale) / unscaled - 1.0) < 1e-7, qPrintable(tip));
  }

  // "Use these parameters": each value with the digits its standard error supports (the error's second
  // significant digit), the full value in the tooltip while the field holds that text, the cursor at the start;
  // Solve runs on what the fields show.
  void fittedValuesKeepTheirSupportedDigits_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("error");
    QTest::addColumn<QString>("text");
    QTest::newRow("four decimals") << 2.48887908289915 << 0.0023 << "2.4889";
    QTest::newRow("error of 0.04") << 2.912345678 << 0.04 << "2.912";
    QTest::newRow("rounds up") << 2.99996 << 0.0012 << "3.0000";
    QTest::newRow("error above 10") << 123456.789 << 1234.0 << "123500";
    QTest::newRow("held fixed") << 2.48887908289915 << 0.0 << "2.48887908289915";
    QTest::newRow("no finite error") << 2.5 << double(NAN) << "2.5";
    QTest::newRow("beyond 15 digits") << 1.2345678901234567 << 1e-20 << "1.23456789012346";
  }
  void fittedValuesKeepTheirSupportedDigits() {
    QFETCH(double, value);
    QFETCH(double, error);
    QFETCH(QString, text);
    w_->form.ApplyParameters({2.0, 0.9, 0.1, value, 0.111}, {0.0, 0.0, 0.0, error, 0.0});
    auto* fy = Control<QLineEdit>(w_->form, "txtFy");
    QCOMPARE(fy->text(), text);
    QCOMPARE(fy->cursorPosition(), 0);
    QCOMPARE(w_->form.CaseRecord().Fy, ParseNumber(text.toStdString()));
    QVERIFY2(fy->toolTip().contains("Fitted: " + QString::fromStdString(FormatPlainNumber(value))),
             qPrintable(fy->toolTip()));
    QCOMPARE(w_->Text("txtNee"), QStringLiteral("2"));
    fy->setText(fy->text() + "1");  // typed over: the fitted value no longer describes the field
    QVERIFY(!fy->toolTip().contains("Fitted"));
  }

  // Before replacing a file this window did not write, and before more than 10^6 rows, the Loop asks; "no" leaves
  // everything as it was. Afterwards the status line says where the table went, and when the viewer failed.
  void loopAsksAndSaysWhereItWrote_data() {
    QTest::addColumn<bool>("existing");  // results.out there before
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("viewerFails");
    QTest::newRow("no file") << false << "10.0" << false << 0 << false;
    QTest::newRow("another's file, replaced") << true << "10.0" << true << 1 << false;
    QTest::newRow("another's file, kept") << true << "10.0" << false << 1 << false;
    QTest::newRow("viewer fails") << false << "10.0" << true << 0 << true;
    QTest::newRow("1,000,001 rows, declined") << false << "100000.1" << false << 1 << false;
  }
  void loopAsksAndSaysWhereItWrote() {
    QFETCH(bool, existing);
    QFETCH(QString, to);
    QFETCH(bool, answer);
    QFETCH(int, questions);
    QFETCH(bool, viewerFails);
    testing::FakeServices& services = w_->services;
    const std::string old = "the user's own table\r\n";
    if (existing) services.files[w_->results] = old;
    services.failViewer = viewerFails;
    w_->answer = answer;
    w_->Enter({{"txtTo", to}}, "cmdLoop");
    QCOMPARE(w_->questions.size(), questions);
    const bool declined = questions > 0 && !answer;
    if (declined) {
      QCOMPARE(services.CallCount("OpenForOutput"), 0);
      QCOMPARE(w_->form.StatusText(), QString());
      if (existing) QCOMPARE(services.files.at(w_->results), old);
    }
    if (existing) QVERIFY(w_->questions[0].startsWith(QString::fromStdString(w_->results) + " exists"));
    if (to == "100000.1") {
      // 1,000,001 rows of about the width of the last one, CR LF included.
      const QRegularExpression size(QStringLiteral("^This Loop writes 1,000,001 rows to results.out, about "
                                                   "([0-9.]+) MB\\. Write them\\?$"));
      const auto match = size.match(w_->questions[0]);
      QVERIFY2(match.hasMatch(), qPrintable(w_->questions[0]));
      BoucWenCase last = InitialCase(100000.1);
      const double bytes = 1000001.0 * double(QString::number(100000.1, 'f', 2).size() + 2 + Solved(last).join('\t').size() + 1);
      QVERIFY2(std::fabs(match.captured(1).toDouble() * 1e6 / bytes - 1.0) < 0.05, qPrintable(match.captured(1)));
    }
    if (declined) return;
    const QStringList status = w_->form.StatusText().split(u'\n');
    const QString where = "Written to " + QString::fromStdString(w_->results);
    QCOMPARE(status.front(), viewerFails ? where + "; the viewer could not be opened: fake: OpenInViewer failed: " +
                                               QString::fromStdString(w_->results)
                                         : where);
    // Written by this window now: the next Loop asks nothing more.
    w_->Click("cmdLoop");
    QCOMPARE(w_->questions.size(), questions);
  }

 private:
  // As a user types: the whole text selected, erased, the new one typed key by key.
  static void Type(QLineEdit* field, const QString& text) {
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
    QCOMPARE(field->text(), text);
  }

  std::unique_ptr<testing::Window> w_;
};

QTEST_MAIN(WindowNotesTest)
#include "window_notes_test.moc"
