// What the main window's controls do on their own, without a command: β
// following γ, select-all on focus, the relabelling by the option buttons,
// and the keys that must do nothing special.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "fake_services.h"
#include "mainform.h"
#include "mainform_test_support.h"

using quorix::MainForm;
using quorix::testing::Control;
using quorix::testing::FakeServices;
using quorix::testing::FocusName;

namespace {

const char* const kEditableBoxes[] = {"txtGammaSmall", "txtNee", "txtAlphaSmall", "txtFy",   "txtUy",
                                      "txtUmaxOverUy", "txtFrom", "txtTo",         "txtStep"};

QStringList ResultLabelTexts(const MainForm& form) {
  QStringList texts;
  for (const char* name : {"lblZaValue", "lblFhaValue", "lblFelaValue", "lblFaValue", "lblKcdValue", "lblKdaValue",
                           "lblDEOverFyUyValue", "lblDEOverFhUyValue", "lblDEValue"}) {
    texts << Control<QLabel>(form, name)->text();
  }
  return texts;
}

}  // namespace

class MainFormBehaviourTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    services_ = std::make_unique<FakeServices>();
    form_ = std::make_unique<MainForm>(*services_);
    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    gamma_ = Control<QLineEdit>(*form_, "txtGammaSmall");
    beta_ = Control<QLineEdit>(*form_, "txtBetaSmall");
    QVERIFY(gamma_ && beta_);
  }
  void cleanup() {
    form_.reset();
    services_.reset();
  }

  void betaFollowsGamma_data();
  void betaFollowsGamma();
  void betaFollowsEveryKeystroke();
  void betaKeepsItsTextBeyondTheRangeOfADouble();
  void selectAllOnFocus_data();
  void selectAllOnFocus();
  void tabbingIntoAFieldLetsTypingReplaceIt();
  void optionsRelabelWithoutTouchingResults();
  void enterAndEscapeDoNothingSpecial_data();
  void enterAndEscapeDoNothingSpecial();
  void focusedButtonIsPressedFromTheKeyboard_data();
  void focusedButtonIsPressedFromTheKeyboard();

 private:
  // Replaces γ's text by typing, keystroke by keystroke, as a user would.
  void TypeGamma(const QString& text) {
    gamma_->setFocus(Qt::OtherFocusReason);
    gamma_->selectAll();
    QTest::keyClick(gamma_, Qt::Key_Backspace);
    QTest::keyClicks(gamma_, text);
    QCOMPARE(gamma_->text(), text);
  }

  std::unique_ptr<FakeServices> services_;
  std::unique_ptr<MainForm> form_;
  QLineEdit* gamma_ = nullptr;
  QLineEdit* beta_ = nullptr;
};

void MainFormBehaviourTest::betaFollowsGamma_data() {
  QTest::addColumn<QString>("gamma");
  QTest::addColumn<QString>("beta");
  // β = 1 − γ to 15 significant digits, without a zero before the point.
  QTest::newRow("0.75") << "0.75" << ".25";
  QTest::newRow("0.9, just below .1 as a double") << "0.9" << ".1";
  QTest::newRow("0.8") << "0.8" << ".2";
  QTest::newRow("1.5") << "1.5" << "-.5";
  QTest::newRow("-0.5") << "-0.5" << "1.5";
  QTest::newRow("0") << "0" << "1";
  QTest::newRow("empty") << "" << "1";
  QTest::newRow("lone minus") << "-" << "1";
  QTest::newRow("comma is no decimal separator") << "0,5" << "1";
  QTest::newRow("blanks ignored") << " 0 . 2 5" << ".75";
  QTest::newRow("tiny") << "1e-20" << "1";
  QTest::newRow("large") << "1e20" << "-1E+20";
}

void MainFormBehaviourTest::betaFollowsGamma() {
  QFETCH(QString, gamma);
  QFETCH(QString, beta);
  TypeGamma(gamma);
  QCOMPARE(beta_->text(), beta);
  // The same rule when the text is set by the program.
  gamma_->setText(QStringLiteral("0.4"));
  QCOMPARE(beta_->text(), QStringLiteral(".6"));
  gamma_->setText(gamma);
  QCOMPARE(beta_->text(), beta);
}

void MainFormBehaviourTest::betaFollowsEveryKeystroke() {
  gamma_->setFocus(Qt::OtherFocusReason);
  gamma_->selectAll();
  QTest::keyClick(gamma_, Qt::Key_Backspace);
  QCOMPARE(beta_->text(), QStringLiteral("1"));
  QStringList seen;
  for (const QChar c : QStringLiteral("0.75")) {
    QTest::keyClick(gamma_, c.toLatin1());
    seen << beta_->text();
  }
  QCOMPARE(seen, (QStringList{"1", "1", ".3", ".25"}));
}

void MainFormBehaviourTest::betaKeepsItsTextBeyondTheRangeOfADouble() {
  // Typed: "1", "1e" (an exponent without digits reads as 1), "1e9",
  // "1e99", then "1e999", which no double holds.
  gamma_->setFocus(Qt::OtherFocusReason);
  gamma_->selectAll();
  QTest::keyClick(gamma_, Qt::Key_Backspace);
  QStringList seen;
  for (const QChar c : QStringLiteral("1e999")) {
    QTest::keyClick(gamma_, c.toLatin1());
    seen << beta_->text();
  }
  QCOMPARE(seen, (QStringList{"0", "0", "-999999999", "-1E+99", "-1E+99"}));

  gamma_->setText(QStringLiteral("0.75"));
  gamma_->setText(QStringLiteral("-1e400"));
  QCOMPARE(beta_->text(), QStringLiteral(".25"));
  QVERIFY(form_->isEnabled());
}

void MainFormBehaviourTest::selectAllOnFocus_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("byMouse");
  for (const char* name : kEditableBoxes) {
    QTest::newRow(qPrintable(QStringLiteral("%1 by mouse").arg(name))) << QString::fromLatin1(name) << true;
    QTest::newRow(qPrintable(QStringLiteral("%1 by Tab").arg(name))) << QString::fromLatin1(name) << false;
  }
}

void MainFormBehaviourTest::selectAllOnFocus() {
  QFETCH(QString, name);
  QFETCH(bool, byMouse);
  auto* box = Control<QLineEdit>(*form_, name);
  QVERIFY(box);
  box->setText(box->text() + QStringLiteral("123"));  // longer than the initial text
  box->deselect();
  if (byMouse) {
    // A click in the middle of the text would normally just place the
    // cursor there.
    QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
  } else {
    QWidget* previous = box->previousInFocusChain();
    while (previous && !(previous->focusPolicy() & Qt::TabFocus)) previous = previous->previousInFocusChain();
    QVERIFY(previous);
    previous->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(previous, Qt::Key_Tab);
  }
  QCOMPARE(FocusName(), name);
  QTRY_COMPARE(box->selectedText(), box->text());
  QCOMPARE(box->selectionStart(), 0);
}

void MainFormBehaviourTest::tabbingIntoAFieldLetsTypingReplaceIt() {
  auto* alpha = Control<QLineEdit>(*form_, "txtAlphaSmall");
  auto* fy = Control<QLineEdit>(*form_, "txtFy");
  alpha->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(alpha, Qt::Key_Tab);
  QCOMPARE(FocusName(), QStringLiteral("txtFy"));
  QTRY_COMPARE(fy->selectedText(), QStringLiteral("2.86"));
  QTest::keyClicks(fy, "3.5");
  QCOMPARE(fy->text(), QStringLiteral("3.5"));
}

void MainFormBehaviourTest::optionsRelabelWithoutTouchingResults() {
  auto* direct = Control<QRadioButton>(*form_, "optDirect");
  auto* complementary = Control<QRadioButton>(*form_, "optComplementary");
  auto* kcd = Control<QLabel>(*form_, "lblKcd");
  auto* kda = Control<QLabel>(*form_, "lblKda");

  QTest::mouseClick(Control<QPushButton>(*form_, "cmdSolve"), Qt::LeftButton);
  const QStringList results = ResultLabelTexts(*form_);
  QVERIFY(!results.front().isEmpty());
  const double kcdBefore = form_->CaseRecord().Kcd;

  QTest::mouseClick(direct, Qt::LeftButton, {}, QPoint(6, direct->height() / 2));  // on the indicator
  QVERIFY(direct->isChecked() && !complementary->isChecked());
  QCOMPARE(kcd->text(), QStringLiteral("Kcd :"));
  QCOMPARE(kda->text(), QStringLiteral("Kda :"));
  QCOMPARE(ResultLabelTexts(*form_), results);
  QCOMPARE(form_->CaseRecord().Kcd, kcdBefore);
  QVERIFY(form_->CaseRecord().Complementary);  // read at the next command only

  // By the keyboard, within the pair.
  direct->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(direct, Qt::Key_Down);
  QVERIFY(complementary->isChecked());
  QCOMPARE(kcd->text(), QStringLiteral("Kcd* :"));
  QCOMPARE(kda->text(), QStringLiteral("Kda* :"));
  QCOMPARE(ResultLabelTexts(*form_), results);

  // And by the program.
  direct->setChecked(true);
  QCOMPARE(kcd->text(), QStringLiteral("Kcd :"));
  complementary->setChecked(true);
  QCOMPARE(kda->text(), QStringLiteral("Kda* :"));
  QVERIFY(services_->calls.empty());
}

void MainFormBehaviourTest::enterAndEscapeDoNothingSpecial_data() {
  QTest::addColumn<QString>("focus");
  QTest::addColumn<int>("key");
  for (const char* focus : {"txtFy", "txtStep", "optComplementary"}) {
    for (const auto& [keyName, key] : {std::pair{"Enter", Qt::Key_Enter}, {"Return", Qt::Key_Return},
                                       {"Escape", Qt::Key_Escape}}) {
      QTest::newRow(qPrintable(QStringLiteral("%1 in %2").arg(keyName, focus))) << focus << int(key);
    }
  }
  QTest::newRow("Escape on cmdLoop") << "cmdLoop" << int(Qt::Key_Escape);
  QTest::newRow("Escape on cmdSolve") << "cmdSolve" << int(Qt::Key_Escape);
}

void MainFormBehaviourTest::enterAndEscapeDoNothingSpecial() {
  QFETCH(QString, focus);
  QFETCH(int, key);
  QWidget* target = Control(*form_, focus);
  target->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(target, Qt::Key(key));
  QCoreApplication::processEvents();
  // Neither command ran, and the window is still open.
  QVERIFY(ResultLabelTexts(*form_).join(QString()).isEmpty());
  QVERIFY(services_->calls.empty());
  QVERIFY(form_->isVisible());
}

void MainFormBehaviourTest::focusedButtonIsPressedFromTheKeyboard_data() {
  QTest::addColumn<QString>("button");
  QTest::addColumn<int>("key");
  QTest::newRow("Space on cmdSolve") << "cmdSolve" << int(Qt::Key_Space);
  QTest::newRow("Enter on cmdSolve") << "cmdSolve" << int(Qt::Key_Return);
  QTest::newRow("Space on cmdLoop") << "cmdLoop" << int(Qt::Key_Space);
  QTest::newRow("Enter on cmdLoop") << "cmdLoop" << int(Qt::Key_Return);
}

void MainFormBehaviourTest::focusedButtonIsPressedFromTheKeyboard() {
  QFETCH(QString, button);
  QFETCH(int, key);
  QWidget* target = Control(*form_, button);
  target->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(target, Qt::Key(key));
  if (button == "cmdSolve") {
    QVERIFY(!ResultLabelTexts(*form_).front().isEmpty());
    QVERIFY(services_->calls.empty());
  } else {
    QCOMPARE(services_->CallCount("OpenInViewer"), 1);
    QVERIFY(ResultLabelTexts(*form_).join(QString()).isEmpty());
  }
  QCOMPARE(FocusName(), button);  // handed back after the command
}

QTEST_MAIN(MainFormBehaviourTest)
#include "mainform_behaviour_test.moc"
