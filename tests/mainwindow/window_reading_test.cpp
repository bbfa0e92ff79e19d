// The main window as a user reads and copies it: every field and result says what it is and its unit, results
// copy as a table, a result that nine decimals lose keeps its value in a tooltip, fitted values come with the
// digits their errors support, and a Loop asks before it replaces a file or writes a great many rows, then says
// where it wrote.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QStatusBar>
#include <cmath>
#include <memory>

#include "mainform_test_support.h"
#include "numbertext.h"

using namespace quorix;
using quorix::testing::Control;
using quorix::testing::InitialCase;
using quorix::testing::Solved;

namespace {

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

class WindowReadingTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { w_ = std::make_unique<testing::Window>(); }
  void cleanup() { w_.reset(); }

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
  std::unique_ptr<testing::Window> w_;
};

QTEST_MAIN(WindowReadingTest)
#include "window_reading_test.moc"
