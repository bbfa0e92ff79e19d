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
using quorix::testing::ResultLabelTexts;

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

  void betaFollowsGamma_data() {
    QTest::addColumn<QString>("gamma");
    QTest::addColumn<QString>("beta");
    // β = 1 − γ to 15 significant digits, without a zero before the point.
    for (const auto& [gamma, beta] :
         {std::pair{"0.75", ".25"}, {"0.9", ".1"}, {"1.5", "-.5"}, {"-0.5", "1.5"}, {"0", "1"}, {"", "1"},
          {"-", "1"}, {"0,5", "1"}, {" 0 . 2 5", ".75"}, {"1e-20", "1"}, {"1e20", "-1E+20"}}) {
      QTest::addRow("'%s'", gamma) << gamma << beta;
    }
  }
  void betaFollowsGamma() {
    QFETCH(QString, gamma);
    QFETCH(QString, beta);
    ClearGamma();
    QTest::keyClicks(gamma_, gamma);
    QCOMPARE(gamma_->text(), gamma);
    QCOMPARE(beta_->text(), beta);
    // The same rule when the text is set by the program.
    gamma_->setText(QStringLiteral("0.4"));
    QCOMPARE(beta_->text(), QStringLiteral(".6"));
    gamma_->setText(gamma);
    QCOMPARE(beta_->text(), beta);
  }
  void betaFollowsEveryKeystrokeAndKeepsItsTextBeyondADouble() {
    // Typed: "1", "1e" (an exponent without digits reads as 1), "1e9",
    // "1e99", then "1e999", which no double holds.
    ClearGamma();
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
  void selectAllOnFocusSoTypingReplaces_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("byMouse");
    for (const char* name : {"txtGammaSmall", "txtNee", "txtAlphaSmall", "txtFy", "txtUy", "txtUmaxOverUy", "txtFrom",
                             "txtTo", "txtStep"}) {
      QTest::addRow("%s by mouse", name) << QString::fromLatin1(name) << true;
      QTest::addRow("%s by Tab", name) << QString::fromLatin1(name) << false;
    }
  }
  void selectAllOnFocusSoTypingReplaces() {
    QFETCH(QString, name);
    QFETCH(bool, byMouse);
    auto* box = Control<QLineEdit>(*form_, name);
    QVERIFY(box);
    box->setText(box->text() + QStringLiteral("123"));  // longer than the initial text
    box->deselect();
    if (byMouse) {
      // A click in the middle of the text would normally just place the cursor there.
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
    QTest::keyClicks(box, "3.5");
    QCOMPARE(box->text(), QStringLiteral("3.5"));
  }
  void optionsRelabelWithoutTouchingResults() {
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
  // Enter and Escape do nothing special in the window; a focused button is
  // pressed by Space or Enter, and the focus comes back to it.
  void keys_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("command");  // "": none runs
    for (const char* focus : {"txtFy", "txtStep", "optComplementary"}) {
      QTest::addRow("Enter in %s", focus) << focus << int(Qt::Key_Enter) << "";
      QTest::addRow("Return in %s", focus) << focus << int(Qt::Key_Return) << "";
      QTest::addRow("Escape in %s", focus) << focus << int(Qt::Key_Escape) << "";
    }
    for (const char* button : {"cmdSolve", "cmdLoop"}) {
      QTest::addRow("Escape on %s", button) << button << int(Qt::Key_Escape) << "";
      QTest::addRow("Space on %s", button) << button << int(Qt::Key_Space) << button;
      QTest::addRow("Enter on %s", button) << button << int(Qt::Key_Return) << button;
    }
  }
  void keys() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(QString, command);
    QWidget* target = Control(*form_, focus);
    target->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(target, Qt::Key(key));
    QCoreApplication::processEvents();
    QCOMPARE(ResultLabelTexts(*form_).join(QString()).isEmpty(), command != "cmdSolve");
    QCOMPARE(services_->calls.empty(), command != "cmdLoop");
    QCOMPARE(services_->CallCount("OpenInViewer"), command == "cmdLoop" ? 1 : 0);
    QVERIFY(form_->isVisible());
    QCOMPARE(FocusName(), focus);
  }

 private:
  void ClearGamma() {
    gamma_->setFocus(Qt::OtherFocusReason);
    gamma_->selectAll();
    QTest::keyClick(gamma_, Qt::Key_Backspace);
  }

  std::unique_ptr<FakeServices> services_;
  std::unique_ptr<MainForm> form_;
  QLineEdit* gamma_ = nullptr;
  QLineEdit* beta_ = nullptr;
};

QTEST_MAIN(MainFormBehaviourTest)
#include "mainform_behaviour_test.moc"
