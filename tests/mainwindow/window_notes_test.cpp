// What the main window says beside its numbers: a field's reading, a case outside the model, results off their
// exact values, results whose inputs changed, the Loop's tally.
#include <QChart>
#include <QChartView>
#include <QGroupBox>
#include <QRadioButton>
#include <QRegularExpression>
#include <cmath>
#include <memory>
#include <numbers>

#include "case_notes.h"
#include "energy_solver.h"
#include "mainform_test_support.h"
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
