// What the main window says beside its numbers: a field's reading, a case outside the model, results off their
// exact values, results whose inputs changed, the Loop's tally; and how a user reads and copies it: units and
// names for a screen reader, results copied as a table, digits kept in tooltips, fitted values with the digits
// their errors support, and a Loop that asks before it replaces a file or writes a great many rows.
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QRadioButton>
#include <QRegularExpression>
#include <cmath>
#include <memory>

#include "case_notes.h"
#include "energy_solver.h"
#include "mainform_test_support.h"
#include "numbertext.h"
#include "plots_window.h"

using namespace quorix;
using quorix::testing::Control;
using quorix::testing::InitialCase;
using quorix::testing::Row;
using quorix::testing::Rows;
using quorix::testing::Solved;

namespace {

// The initial case with the input a field feeds set to `value`.
BoucWenCase WithInput(const QString& box, double value) {
  BoucWenCase bw = InitialCase();
  if (box == "txtNee") bw.Nee = value;
  if (box == "txtGammaSmall") bw.GammaSmall = value, bw.BetaSmall = 1.0 - value;
  if (box == "txtAlphaSmall") bw.AlphaSmall = value;
  if (box == "txtFy") bw.Fy = value;
  if (box == "txtUy") bw.Uy = value;
  if (box == "txtUmaxOverUy") bw.UmaxOverUy = value;
  return bw;
}

// As a user types: the whole text selected, erased, the new one typed key by key.
void Type(QLineEdit* field, const QString& text) {
  field->setFocus(Qt::OtherFocusReason);
  field->selectAll();
  QTest::keyClick(field, Qt::Key_Backspace);
  QTest::keyClicks(field, text);
}

// A field typed: how it is read ("" for a complete number) under its name in the status line, and the rule of
// the model the case breaks ("" for none).
struct Typed { const char *box, *text; double read; const char *reading, *name, *breach; };
const Typed kTyped[] = {
    {"txtUmaxOverUy", "2,5", 2.0, "2,5 read as 2: the decimal point is '.'", "Umax / Uy", ""},
    {"txtAlphaSmall", "1e", 1.0, "1e read as 1: the number ends before 'e'", "a", "alpha must lie in [0, 1): 1"},
    {"txtNee", "0", 0.0, "", "", "n must be positive: 0"},
    {"txtUy", "0", 0.0, "", "", "Uy must be positive: 0"},
    {"txtFy", "-2.86", -2.86, "", "", "Fy must be positive: -2.86"},
    {"txtUmaxOverUy", "-1", -1.0, "", "", "Umax/Uy must not be negative: -1"},
    {"txtGammaSmall", "-0.5", -0.5, "", "", "gamma must not be negative (beta - gamma must not exceed 1): -0.5"},
    {"txtAlphaSmall", "0", 0.0, "", "", ""}};

struct Edit { const char* box; bool greys; };
const Edit kEdits[] = {{"txtGammaSmall", true}, {"txtUmaxOverUy", true}, {"txtStep", false}};

struct Tally { QStringList fields; const char* status; int lines; };  // fields n, gamma, From, To, Step
const Tally kTallies[] = {
    {{"2.0", "0.9", "-0.5", "0.5", "0.1"},
     "Loop: 11 rows; 5 outside the model: Umax/Uy must not be negative: -0.5; the others within 1e-4 of the exact "
     "values",
     12},
    // n 0.3, γ 0.99 at Umax/Uy 0.119 is percents off.
    {{"0.3", "0.99", "-0.881", "0.119", "1"},
     "Loop: 2 rows; 1 outside the model: Umax/Uy must not be negative: -0.881; in 1 of them results differ from the "
     "exact values by more than 1e-4, the first at Umax/Uy = .119",
     3}};

// existing: results.out there before; the user's answer to every question, how many were asked.
struct Ask { bool existing; const char* to; bool answer; int questions; bool viewerFails; };
const Ask kAsks[] = {{false, "10.0", false, 0, false}, {true, "10.0", true, 1, false}, {true, "10.0", false, 1, false},
                     {false, "10.0", true, 0, true}, {false, "100000.1", false, 1, false}};

}  // namespace

class WindowNotesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { w_ = std::make_unique<testing::Window>(); }
  void cleanup() { w_.reset(); }

  // How a text is read, said in words; nothing for a complete number.
  void readingNotes() {
    const std::pair<const char*, const char*> rows[] = {
        {"2.5", ""}, {"2,5", "2,5 read as 2: the decimal point is '.'"}, {"", "empty: read as 0"},
        {"abc", "abc read as 0: not a number"}, {"1e", "1e read as 1: the number ends before 'e'"},
        {" 1 . 5", "1 . 5 read as 1.5: the blanks inside it are dropped"},
        {"2 5abc", "2 5abc read as 25: the number ends before 'abc'"},
        {" .5 m", ".5 m read as 0.5: the number ends before 'm'"},
        {"1e999", "number beyond the range of a double: 1e999"}};
    for (const auto& [text, note] : rows) {
      QCOMPARE(QString::fromStdString(window::ReadingNote(text).value_or("")), note);
    }
  }

  // Results stand under the fields while these read as the same inputs, whatever the texts: in a field of a case
  // and of a sweep's range; the option and every field count.
  void sameInputs() {
    for (const auto& [a, b, same] : {std::tuple{"0.1", ".1", true}, {"2,5", "2", true}, {"1", "1.0000001", false},
                                     {"0", "-0", false}, {"1e999", "1e999", true}, {"1e999", "2e999", false}}) {
      CaseTexts x, y;
      x.Nee = a, y.Nee = b;
      SweepTexts p, q;
      p.Step = a, q.Step = b;
      QCOMPARE((std::pair{window::SameInputs(x, y), window::SameInputs(p, q)}), (std::pair{same, same}));
    }
    CaseTexts x, y;
    y.Complementary = !x.Complementary;
    SweepTexts p, q;
    q.From = "0.2";
    QCOMPARE((std::pair{window::SameInputs(x, y), window::SameInputs(p, q)}), (std::pair{false, false}));
  }

  // A field marked as typed and after Solve, which solves its reading all the same: the field (only it) says how it
  // was read and which rule of the model the case breaks (the rules themselves are the domain's tests'), as do the
  // status line and the results frame; a complete number inside the model takes the marks away.
  void fieldsReadAsTyped_data() { Rows(kTyped); }
  void fieldsReadAsTyped() {
    const Typed& r = Row(kTyped);
    auto* field = Control<QLineEdit>(w_->form, r.box);
    const QString plainToolTip = field->toolTip(), reading = r.reading, breach = r.breach;
    const QString outside = breach.isEmpty() ? QString() : "outside the model: " + breach;
    const QString note = reading.isEmpty() || outside.isEmpty() ? reading + outside : reading + '\n' + outside;
    Type(field, r.text);
    for (int pass = 0; pass < 2; ++pass) {  // as typed, then after Solve
      QCOMPARE(field->property("quorixNote").toString(), note);
      QCOMPARE(field->accessibleDescription(), note);
      QCOMPARE(field->styleSheet().isEmpty(), note.isEmpty());
      QCOMPARE(field->toolTip(),
               note.isEmpty() ? plainToolTip : plainToolTip.isEmpty() ? note : note + "\n\n" + plainToolTip);
      const QStringList status = w_->form.StatusText().split('\n');
      const bool readingSaid = reading.isEmpty() || status.contains(QString::fromLatin1(r.name) + ": " + reading);
      QVERIFY2(readingSaid && (outside.isEmpty() || status.contains(outside)), qPrintable(status.join('|')));
      QCOMPARE(field->font(), w_->form.font());  // the frame, not the font, marks it
      if (pass == 0) w_->Click("cmdSolve");
    }
    QCOMPARE(w_->form.StatusText().contains(QStringLiteral("outside the model")), !breach.isEmpty());
    auto* frame = Control<QGroupBox>(w_->form, "frameResults");
    QCOMPARE(frame->title(), breach.isEmpty() ? u"Results" : u"Results (outside the model)");
    QCOMPARE(frame->toolTip(), outside);
    int marked = 0;
    for (QLineEdit* box : w_->form.findChildren<QLineEdit*>()) marked += !box->property("quorixNote").toString().isEmpty();
    QCOMPARE(marked, note.isEmpty() ? 0 : 1);
    QCOMPARE(w_->ResultLabels(), Solved(WithInput(r.box, r.read)));
    if (r.read == 2.0) QCOMPARE(w_->ResultLabels().last(), QStringLiteral("1.216642171"));  // DE
    Type(field, QStringLiteral("0.5"));
    QCOMPARE((QStringList{field->property("quorixNote").toString(), field->styleSheet(), field->toolTip()}),
             (QStringList{QString(), QString(), plainToolTip}));
  }

  // Results off their exact values are flagged. At a tiny amplitude X the loop of n = 1 is, to first order, a
  // lens of area (4γ/3)·X³, so at X = 1e-6, γ = 0.1, α = 0.1, Fy = 2.86, Uy = 0.111 the exact
  // DE = (1 − α)·Fy·Uy·(4γ/3)·X³ = 3.80952e-20 and XiEq = (1 − α)·2γ·X/(3π) = 1.90986e-08; the window's
  // arithmetic shows the three energies as 0 and XiEq negative.
  void exactValues() {
    w_->Enter({{"txtNee", "1"}, {"txtGammaSmall", "0.1"}, {"txtUmaxOverUy", "1e-6"}}, "cmdSolve");
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
    QVERIFY2(status.startsWith(QStringLiteral("4 results differ from the exact values by more than 1e-4: ")) &&
                 status.contains(QStringLiteral("XiEq (exact 1.90986e-08)")),
             qPrintable(status));
    const QLabel* flag = Control<QLabel>(w_->form, "lblDEFlag");
    QVERIFY2(flag->toolTip().startsWith(QStringLiteral("exact: 3.80952e-20\ncomputed: ")), qPrintable(flag->toolTip()));
    QVERIFY(flag->text().startsWith(QStringLiteral("≠ 3.8095")));
  }

  // After a Solve, an edit of an input greys the results and says so; typed back, or solved, they stand
  // again. The Loop's fields are not the results' inputs.
  void editsGreyTheResults_data() { Rows(kEdits); }
  void editsGreyTheResults() {
    const Edit& r = Row(kEdits);
    w_->Click("cmdSolve");
    const QStringList solved = w_->ResultLabels();
    auto* field = Control<QLineEdit>(w_->form, r.box);
    const QString before = field->text();
    Type(field, QStringLiteral("0.5"));
    QCOMPARE(w_->ResultLabels(), solved);  // greyed, not changed
    for (std::string_view name : kResultNames) {
      QCOMPARE(Control<QLabel>(w_->form, "lbl" + QString::fromLatin1(name.data(), name.size()) + "Value")->isEnabled(),
               !r.greys);
    }
    QCOMPARE(w_->form.StatusText().startsWith(QStringLiteral("inputs changed: press Solve")), r.greys);
    Type(field, before);
    QVERIFY(Control<QLabel>(w_->form, "lblDEValue")->isEnabled());
    QCOMPARE(w_->form.StatusText(), QString());
    Type(field, QStringLiteral("0.5"));
    w_->Click("cmdSolve");
    QVERIFY(Control<QLabel>(w_->form, "lblDEValue")->isEnabled());
  }

  // Each chart of the Plots window keeps the case it was drawn for in its title, whatever the fields say now.
  void plotsCarryTheirCase() {
    w_->Enter({{"txtNee", "1.5"}, {"txtTo", "1"}}, "cmdSolve");
    w_->Click("cmdLoop");
    PlotsWindow* plots = w_->OpenPlots();
    QVERIFY(plots);
    const QString loopCase = QStringLiteral("n = 1.5, γ = 0.9, α = 0.1, Fy = 2.86, Uy = 0.111, Complementary");
    for (QChartView* view : {plots->LoopView(), plots->SweepView()}) QVERIFY(view->chart()->title().contains(loopCase));
    w_->SetText("txtNee", QStringLiteral("3"));
    Control<QRadioButton>(w_->form, "optDirect")->click();  // solves n = 3, Direct, at once; the sweep stays
    QVERIFY(plots->LoopView()->chart()->title().contains(
        QStringLiteral("n = 3, γ = 0.9, α = 0.1, Fy = 2.86, Uy = 0.111, Direct")));
    QVERIFY(plots->SweepView()->chart()->title().contains(loopCase));
  }

  // After a Loop the status line counts its rows, those outside the model and those flagged; an edit takes the
  // sentence away.
  void loopTally_data() { Rows(kTallies); }
  void loopTally() {
    const Tally& r = Row(kTallies);
    int i = 0;
    for (const char* box : {"txtNee", "txtGammaSmall", "txtFrom", "txtTo", "txtStep"}) w_->SetText(box, r.fields[i++]);
    w_->Click("cmdLoop");
    QCOMPARE(w_->form.StatusText().split('\n').last(), r.status);
    QCOMPARE(w_->ResultLines().size(), r.lines);
    w_->SetText("txtTo", QStringLiteral("20"));
    QVERIFY(!w_->form.StatusText().contains(QStringLiteral("Loop")));
  }

  // A screen reader names every field (not its number) through its caption, and the tooltip gives the unit; every
  // result, once solved, the same; the units line is there.
  void everyFieldAndResultSaysWhatItIs() {
    MainForm& form = w_->form;
    QStringList names;
    const QRegularExpression unit(QStringLiteral("\\((dimensionless|the \\w+ unit of the case|in units of Uy)\\)"));
    for (QLineEdit* box : form.findChildren<QLineEdit*>()) {
      const QString name = box->accessibleName();
      QVERIFY2(!name.isEmpty() && !names.contains(name), qPrintable(box->objectName()));
      names << name;
      QVERIFY2(unit.match(box->toolTip()).hasMatch(), qPrintable(box->objectName() + ": " + box->toolTip()));
      bool captioned = false;
      for (QLabel* label : form.findChildren<QLabel*>()) captioned = captioned || label->buddy() == box;
      QVERIFY2(captioned, qPrintable(box->objectName()));
    }
    QCOMPARE(names.size(), 11);
    w_->Click("cmdSolve");
    const QStringList units = {"dimensionless", "unit of Fy",    "unit of Fy",    "unit of Fy",   "dimensionless",
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
    QList<QStringList> rows;
    for (const QString& line : QGuiApplication::clipboard()->text().split(u'\n', Qt::SkipEmptyParts)) {
      rows << line.split(u'\t');
      QCOMPARE(rows.back().size(), 3);
    }
    QCOMPARE(rows.size(), 1 + 9 + 9);
    BoucWenCase solved = InitialCase(2.5);
    solved.Nee = 1.5, solved.Fy = 300.0;
    const QStringList labels = w_->ResultLabels();
    QCOMPARE(labels, Solved(solved));
    for (int i = 0; i < kResultCount; ++i) QCOMPARE(rows[10 + i][1], labels[i]);
    QCOMPARE((QList<QStringList>{rows[0], rows[1], rows[6], rows[9], rows[14], rows[18]}),
             (QList<QStringList>{{"Quantity", "Value", "Unit"}, {"n", "1.5", "-"}, {"Fy", "300", "force unit"},
                                 {"formulas", "Complementary", "-"}, {"Kcd*", labels[4], "-"},
                                 {"DE", labels[8], "unit of Fy·Uy"}}));
  }

  // Where nine decimals keep too few digits (a small unit system) or too many to read (1e150), the tooltip has
  // the value in fifteen significant digits: DE scales as Fy·Uy, so s² times DE of the unscaled case.
  void resultsKeepTheirDigits() {
    w_->Click("cmdSolve");
    const double unscaled = w_->ResultLabels()[8].toDouble();
    static const QRegularExpression value(QStringLiteral("\n\\S+ = (\\S+) \\(15 significant digits\\)$"));
    for (const auto& [scale, shown] : {std::pair{1.0, false}, {1e-6, true}, {1e150, true}}) {
      w_->Enter({{"txtFy", QString::number(2.86 * scale, 'g', 17)}, {"txtUy", QString::number(0.111 * scale, 'g', 17)}},
                "cmdSolve");
      const QString tip = Control<QLabel>(w_->form, "lblDEValue")->toolTip();
      const auto match = value.match(tip);
      QCOMPARE(match.hasMatch(), shown);
      const double value = shown ? ParseNumber(match.captured(1).toStdString()) / (scale * scale) : unscaled;
      QVERIFY2(std::fabs(value / unscaled - 1.0) < 1e-7, qPrintable(tip));
    }
  }

  // "Use these parameters": each value with the digits its standard error supports (the error's second
  // significant digit), the full value in the tooltip while the field holds that text, the cursor at the start;
  // Solve runs on what the fields show.
  void fittedValuesKeepTheirSupportedDigits() {
    const std::tuple<double, double, const char*> rows[] = {
        {2.48887908289915, 0.0023, "2.4889"}, {2.912345678, 0.04, "2.912"},  {2.99996, 0.0012, "3.0000"},
        {123456.789, 1234.0, "123500"},        {2.48887908289915, 0.0, "2.48887908289915"},  // held fixed
        {2.5, NAN, "2.5"},                     {1.2345678901234567, 1e-20, "1.23456789012346"}};
    auto* fy = Control<QLineEdit>(w_->form, "txtFy");
    for (const auto& [value, error, text] : rows) {
      w_->form.ApplyParameters({2.0, 0.9, 0.1, value, 0.111}, {0.0, 0.0, 0.0, error, 0.0});
      QCOMPARE(fy->text(), text);
      QCOMPARE(fy->cursorPosition(), 0);
      QCOMPARE(w_->form.CaseRecord().Fy, ParseNumber(text));
      QVERIFY2(fy->toolTip().contains("Fitted: " + QString::fromStdString(FormatPlainNumber(value))),
               qPrintable(fy->toolTip()));
      QCOMPARE(w_->Text("txtNee"), QStringLiteral("2"));
      fy->setText(fy->text() + "1");  // typed over: the fitted value no longer describes the field
      QVERIFY(!fy->toolTip().contains("Fitted"));
    }
  }

  // Before replacing a file this window did not write, and before more than 10^6 rows, the Loop asks; "no" leaves
  // everything as it was. Afterwards the status line says where the table went, and when the viewer failed.
  void loopAsksAndSaysWhereItWrote_data() { Rows(kAsks); }
  void loopAsksAndSaysWhereItWrote() {
    const Ask& r = Row(kAsks);
    testing::FakeServices& services = w_->services;
    const std::string old = "the user's own table\r\n";
    if (r.existing) services.files[w_->results] = old;
    services.failViewer = r.viewerFails;
    w_->answer = r.answer;
    w_->Enter({{"txtTo", r.to}}, "cmdLoop");
    QCOMPARE(w_->questions.size(), r.questions);
    if (r.existing) QVERIFY(w_->questions[0].startsWith(QString::fromStdString(w_->results) + " exists"));
    if (r.to == std::string_view("100000.1")) {
      // 1,000,001 rows of about the width of the last one, CR LF included.
      const QRegularExpression size(QStringLiteral("^This Loop writes 1,000,001 rows to results.out, about "
                                                   "([0-9.]+) MB\\. Write them\\?$"));
      const auto match = size.match(w_->questions[0]);
      QVERIFY2(match.hasMatch(), qPrintable(w_->questions[0]));
      const double bytes = 1000001.0 * double(QStringLiteral("100000.10").size() + 2 +
                                              Solved(InitialCase(100000.1)).join('\t').size() + 1);
      QVERIFY2(std::fabs(match.captured(1).toDouble() * 1e6 / bytes - 1.0) < 0.05, qPrintable(match.captured(1)));
    }
    if (r.questions > 0 && !r.answer) {  // declined
      QCOMPARE(services.CallCount("OpenForOutput"), 0);
      QCOMPARE(w_->form.StatusText(), QString());
      if (r.existing) QCOMPARE(services.files.at(w_->results), old);
      return;
    }
    const QString where = "Written to " + QString::fromStdString(w_->results);
    QCOMPARE(w_->form.StatusText().split(u'\n').front(),
             r.viewerFails ? where + "; the viewer could not be opened: fake: OpenInViewer failed: " +
                                 QString::fromStdString(w_->results)
                           : where);
    w_->Click("cmdLoop");  // written by this window now: the next Loop asks nothing more
    QCOMPARE(w_->questions.size(), r.questions);
  }

 private:
  std::unique_ptr<testing::Window> w_;
};

QTEST_MAIN(WindowNotesTest)
#include "window_notes_test.moc"
