#include "mainform.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <exception>
#include <memory>

#include "about_form.h"
#include "case.h"
#include "command_scope.h"
#include "numbertext.h"
#include "plots_window.h"
#include "program_look.h"
#include "qt_save_dialogs.h"
#include "window_texts.h"

namespace quorix {

MainForm::MainForm(platform::Services& services, QWidget* parent) : MainForm(services, nullptr, parent) {}

MainForm::MainForm(platform::Services& services, platform::SaveDialogs& dialogs, QWidget* parent)
    : MainForm(services, &dialogs, parent) {}

MainForm::MainForm(platform::Services& services, platform::SaveDialogs* dialogs, QWidget* parent)
    : QMainWindow(parent),
      services_(services),
      ownDialogs_(dialogs ? nullptr : std::make_unique<platform::QtSaveDialogs>()),
      dialogs_(dialogs ? dialogs : ownDialogs_.get()) {
  setObjectName(QStringLiteral("MainForm"));
  // Fixed border: a title bar with minimise and close, no maximise.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setWindowTitle(QString::fromLatin1(kCaption));
  setWindowIcon(ProgramIcon());
  // The form follows the desktop's font: its font and every box it is laid
  // out in grow by the same ratio (exactly 1 at the font it was designed for).
  scale_ = FontScale();
  setFont(ProgramFont(scale_));
  ask_ = [this](const QString& question) {
    return QMessageBox::question(this, QStringLiteral("Loop"), question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  };

  BuildMenu();
  BuildControls();

  // Load: the window opens with "Complementary" selected and captioned.
  optComplementary_->setChecked(true);
  RelabelLoopIntegrals(true);
  KeepTabStopOnSelectedOption();
  connect(optComplementary_, &QRadioButton::toggled, this, &MainForm::RelabelLoopIntegrals);
  connect(optComplementary_, &QRadioButton::toggled, this, &MainForm::KeepTabStopOnSelectedOption);
  connect(optComplementary_, &QRadioButton::toggled, this, &MainForm::SolveAgainForFormulaSet);
  // β follows γ from the first change on; its initial "0.1" is stored, not
  // derived.
  connect(txtGammaSmall_, &QLineEdit::textChanged, this, &MainForm::FollowGamma);
  // Every change of a field is judged at once, as it is typed (β's after
  // γ's, which sets it).
  for (QLineEdit* box : {txtNee_, txtBetaSmall_, txtGammaSmall_, txtAlphaSmall_, txtFy_, txtUy_, txtUmaxOverUy_,
                         txtFrom_, txtTo_, txtStep_}) {
    connect(box, &QLineEdit::textChanged, this, &MainForm::UpdateNotes);
  }
  connect(cmdSolve_, &QPushButton::clicked, this, &MainForm::SolveCommand);
  connect(cmdLoop_, &QPushButton::clicked, this, &MainForm::SweepCommand);
  // Enter in a field of the case solves it, as Solve would be the default
  // button of a dialog; Alt+S and Alt+L press the two commands.
  for (QLineEdit* box : {txtGammaSmall_, txtNee_, txtAlphaSmall_, txtFy_, txtUy_, txtUmaxOverUy_}) {
    connect(box, &QLineEdit::returnPressed, cmdSolve_, &QPushButton::click);
  }

  txtGammaSmall_->setFocus(Qt::OtherFocusReason);
  // The client area is fixed; the menu bar sits above it, the status line
  // below.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  UpdateNotes();
}

// The Plots window, a child, holds on to the save dialogs, which the form
// may own: it goes first.
MainForm::~MainForm() { delete plots_; }

PlotsWindow* MainForm::Plots() const { return plots_; }

// Commands on the bar itself: Plots, Copy results, About.
void MainForm::BuildMenu() {
  mnuPlots_ = menuBar()->addAction(QStringLiteral("Plots"));
  mnuPlots_->setObjectName(QStringLiteral("mnuPlots"));
  connect(mnuPlots_, &QAction::triggered, this, &MainForm::ShowPlots);
  mnuCopyResults_ = menuBar()->addAction(QStringLiteral("&Copy results"));
  mnuCopyResults_->setObjectName(QStringLiteral("mnuCopyResults"));
  mnuCopyResults_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
  mnuCopyResults_->setToolTip(
      QStringLiteral("Copy the case and its results, with names and units, TAB-separated (Ctrl+Shift+C)"));
  connect(mnuCopyResults_, &QAction::triggered, this, &MainForm::CopyResults);
  mnuAbout_ = menuBar()->addAction(QStringLiteral("About"));
  mnuAbout_->setObjectName(QStringLiteral("mnuAbout"));
  connect(mnuAbout_, &QAction::triggered, this, &MainForm::ShowAbout);

}

bool MainForm::eventFilter(QObject* watched, QEvent* event) {
  // Select-all on focus. Deferred: a mouse click delivers the focus first
  // and then places the cursor, which would undo an immediate selection.
  if (event->type() == QEvent::FocusIn) {
    if (auto* box = qobject_cast<QLineEdit*>(watched)) {
      QTimer::singleShot(0, box, [box] {
        if (box->hasFocus()) box->selectAll();
      });
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainForm::FollowGamma(const QString& gammaText) {
  try {
    const double gamma = ParseNumber(gammaText.toStdString());
    txtBetaSmall_->setText(QString::fromStdString(FormatPlainNumber(1.0 - gamma)));
    // Read-only and narrow: it shows the start of its number, not the tail.
    txtBetaSmall_->setCursorPosition(0);
  } catch (const std::exception&) {
    // γ beyond the range of a double: β keeps its text.
  }
}

void MainForm::RelabelLoopIntegrals(bool complementary) {
  const auto captions = ResultCaptions(complementary);
  for (int i = 0; i < kResultCount; ++i) {
    if (kResultNames[i] == "Kcd") lblKcd_->setText(QString::fromStdString(captions[i]));
    if (kResultNames[i] == "Kda") lblKda_->setText(QString::fromStdString(captions[i]));
  }
}

void MainForm::SolveAgainForFormulaSet() {
  if (solvedTexts_) SolveCommand();
}

void MainForm::KeepTabStopOnSelectedOption() {
  // Tab stops at the selected option of the pair only; the arrow keys move
  // within the pair. Qt would otherwise stop at both until one of them has
  // had the focus.
  for (QRadioButton* option : {optDirect_, optComplementary_}) {
    option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
  }
}

CaseTexts MainForm::CurrentCaseTexts() const {
  CaseTexts texts;
  texts.Nee = txtNee_->text().toStdString();
  texts.BetaSmall = txtBetaSmall_->text().toStdString();
  texts.GammaSmall = txtGammaSmall_->text().toStdString();
  texts.AlphaSmall = txtAlphaSmall_->text().toStdString();
  texts.Fy = txtFy_->text().toStdString();
  texts.Uy = txtUy_->text().toStdString();
  texts.UmaxOverUy = txtUmaxOverUy_->text().toStdString();
  texts.Complementary = optComplementary_->isChecked();
  return texts;
}

SweepTexts MainForm::CurrentSweepTexts() const {
  SweepTexts texts;
  texts.From = txtFrom_->text().toStdString();
  texts.To = txtTo_->text().toStdString();
  texts.Step = txtStep_->text().toStdString();
  return texts;
}

void MainForm::SolveCommand() {
  CommandScope scope(*this);
  bool solved = false;
  const CaseTexts texts = CurrentCaseTexts();
  try {
    SolveCase(texts, case_);
    lastSolved_ = case_;
    solved = true;
    const auto values = ResultValues(case_);
    for (int i = 0; i < kResultCount; ++i) {
      resultLabels_[i]->setText(QString::fromStdString(FormatFixed(values[i], 9)));
    }
  } catch (const std::exception&) {
    // A field beyond the range of a double: the command ends here, the
    // labels written so far keep their new texts. The field is marked, and
    // the labels, which no longer match the fields, are greyed.
  }
  if (solved) {
    solvedTexts_ = texts;
    solvedBreach_ = FindDomainBreach(CaseOf(case_), case_.UmaxOverUy);
    solvedCheck_ = accurate::CheckAgainstExact(case_);
  }
  UpdateNotes();
  // An open Plots window follows; a Solve that failed leaves it as it was.
  if (solved && plots_) plots_->ShowLoop(*lastSolved_);
}

void MainForm::closeEvent(QCloseEvent* event) {
  if (runningSweep_) runningSweep_->RequestStop();
  QMainWindow::closeEvent(event);
}

void MainForm::ShowAbout() {
  AboutForm about(ProgramAboutInfo());
  about.exec();
}

void MainForm::ApplyParameters(const FittedValues& values, const FittedValues& errors) {
  QLineEdit* const boxes[] = {txtNee_, txtGammaSmall_, txtAlphaSmall_, txtFy_, txtUy_};
  for (std::size_t i = 0; i < std::size(boxes); ++i) {
    const QString text = QString::fromStdString(window::SupportedDigits(values[i], errors[i]));
    // The field keeps the full value in its tooltip while it holds the
    // rounded text (mainform_notes.cpp).
    boxes[i]->setProperty(kFittedTextProperty, text);
    boxes[i]->setProperty(kFittedToolTipProperty,
                          QStringLiteral("Fitted: %1").arg(QString::fromStdString(FormatPlainNumber(values[i]))) +
                              (errors[i] > 0.0 ? QStringLiteral(" ± %1 (standard error)")
                                                     .arg(QString::fromStdString(FormatPlainNumber(errors[i])))
                                               : QStringLiteral(" (held fixed)")));
    boxes[i]->setText(text);
    // A narrow field shows the start of its number, not the tail.
    boxes[i]->setCursorPosition(0);
  }
  SolveCommand();
}

void MainForm::CopyResults() {
  if (!lastSolved_ || !solvedTexts_) return;
  QGuiApplication::clipboard()->setText(QString::fromStdString(window::ResultsBlock(*lastSolved_)));
}

void MainForm::ShowPlots() {
  if (!plots_) {
    plots_ = new PlotsWindow(*dialogs_, services_, this);
    connect(plots_, &PlotsWindow::ParametersChosen, this, &MainForm::ApplyParameters);
    if (lastSolved_) plots_->ShowLoop(*lastSolved_);
    if (sweepRan_) plots_->ShowSweep(sweepCurves_);
  }
  // Closing the Plots window only hides it; the menu brings the same one
  // back, in front.
  plots_->show();
  if (plots_->isMinimized()) plots_->showNormal();
  plots_->raise();
  plots_->activateWindow();
}

}  // namespace quorix
