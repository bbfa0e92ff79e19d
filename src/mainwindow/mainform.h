// MainForm: the program's one working window. It owns the case record, lets
// the user type the seven inputs and the sweep range, keeps β = 1 − γ, and
// runs the two commands, Solve and Loop, on the toolkit-free command core.
#pragma once

#include <QMainWindow>
#include <array>

#include "bouc_wen_case.h"
#include "commands.h"
#include "services.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quorix {

class MainForm : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr const char* kCaption = "Quorix : Bouc-Wen Dissipated Energy";

  // `services` must outlive the window: the sweep writes its file and starts
  // the viewer through it.
  explicit MainForm(platform::Services& services, QWidget* parent = nullptr);

  // The case record of the last command (read by tests).
  const BoucWenCase& CaseRecord() const { return case_; }

 public slots:
  // Solve: reads the fields into the record, solves, and writes the nine
  // result labels one by one. Stops silently at the first failure.
  void SolveCommand();
  // Loop: sweeps Umax/Uy over From..To, writes results.out beside the
  // executable and opens it in the viewer. Stops silently at the first
  // failure, closing the file.
  void SweepCommand();
  // Opens a freshly made About box, modally.
  void ShowAbout();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class CommandScope;

  void BuildControls();
  void FollowGamma(const QString& gammaText);
  void RelabelLoopIntegrals(bool complementary);
  void KeepTabStopOnSelectedOption();
  CaseTexts CurrentCaseTexts() const;
  SweepTexts CurrentSweepTexts() const;

  platform::Services& services_;
  BoucWenCase case_;

  QAction* mnuAbout_ = nullptr;
  QLineEdit* txtAlphaCap_ = nullptr;
  QLineEdit* txtBetaSmall_ = nullptr;
  QLineEdit* txtGammaSmall_ = nullptr;
  QLineEdit* txtNee_ = nullptr;
  QLineEdit* txtAlphaSmall_ = nullptr;
  QLineEdit* txtFy_ = nullptr;
  QLineEdit* txtUy_ = nullptr;
  QLineEdit* txtUmaxOverUy_ = nullptr;
  QLineEdit* txtFrom_ = nullptr;
  QLineEdit* txtTo_ = nullptr;
  QLineEdit* txtStep_ = nullptr;
  QRadioButton* optDirect_ = nullptr;
  QRadioButton* optComplementary_ = nullptr;
  QPushButton* cmdSolve_ = nullptr;
  QPushButton* cmdLoop_ = nullptr;
  QLabel* lblKcd_ = nullptr;
  QLabel* lblKda_ = nullptr;
  std::array<QLabel*, kResultCount> resultLabels_{};
};

}  // namespace quorix
