// MainForm: the program's one working window. It owns the case record, lets
// the user type the seven inputs and the sweep range, keeps β = 1 − γ, and
// runs the two commands, Solve and Loop, on the toolkit-free command core.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "bouc_wen_case.h"
#include "commands.h"
#include "save_dialogs.h"
#include "services.h"
#include "sweep_curves.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quorix {

class PlotsWindow;

class MainForm : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr const char* kCaption = "Quorix : Bouc-Wen Dissipated Energy";
  // A Loop that runs this long shows its progress, with a Cancel button.
  static constexpr std::chrono::milliseconds kProgressDelay{500};

  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // `services` must outlive the window: the sweep writes its file and starts
  // the viewer through it. The Plots window asks for file names in the
  // platform's native save dialog.
  explicit MainForm(platform::Services& services, QWidget* parent = nullptr);
  // The same, with the save dialogs given (tests answer them); `dialogs`
  // must outlive the window.
  MainForm(platform::Services& services, platform::SaveDialogs& dialogs, QWidget* parent = nullptr);
  ~MainForm() override;

  // The case record of the last command (read by tests).
  const BoucWenCase& CaseRecord() const { return case_; }
  // The Plots window, once the menu has opened it; nullptr before.
  PlotsWindow* Plots() const;
  // What the Sweep tab draws: the rows of the last Loop, thinned.
  const SweepCurves& LastSweepCurves() const { return sweepCurves_; }
  // The clock a Loop reads to decide when to show its progress and to
  // estimate the time left; steady_clock::now unless tests set another.
  void SetSweepClock(Clock clock) { clock_ = std::move(clock); }

 public slots:
  // Solve: reads the fields into the record, solves, and writes the nine
  // result labels one by one. Stops silently at the first failure.
  void SolveCommand();
  // Loop: sweeps Umax/Uy over From..To, writes results.out beside the
  // executable (or, when that folder is not writable, in the user's data
  // folder) and opens it in the viewer. Stops silently at the first
  // failure, closing the file. The rows are computed on another thread
  // while the window, disabled, keeps drawing; after kProgressDelay a
  // progress dialog shows the rows written and offers Cancel, which, like
  // closing the window, ends the table after the row in progress and opens
  // no viewer. Returns when the sweep has ended.
  void SweepCommand();
  // Opens a freshly made About box, modally.
  void ShowAbout();
  // Opens the Plots window, or raises it when it is open already.
  void ShowPlots();
  // Writes n, γ (β follows), α, Fy and Uy into their fields, as the window
  // shows numbers, and runs Solve: "Use these parameters" of a fit.
  void ApplyParameters(double n, double gamma, double alpha, double Fy, double Uy);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Closing the window during a Loop stops the sweep.
  void closeEvent(QCloseEvent* event) override;

 private:
  class CommandScope;
  class SweepProgress;

  // nullptr `dialogs`: the native ones, owned by the window.
  MainForm(platform::Services& services, platform::SaveDialogs* dialogs, QWidget* parent);

  void BuildControls();
  void BuildParameterRows(QGroupBox* frame);
  void BuildAmplitudeControls(QGroupBox* frame);
  void BuildLoopControls(QGroupBox* frame);
  void BuildResultRows(QGroupBox* frame);
  void SetTabOrder();
  void FollowGamma(const QString& gammaText);
  void RelabelLoopIntegrals(bool complementary);
  void KeepTabStopOnSelectedOption();
  CaseTexts CurrentCaseTexts() const;
  SweepTexts CurrentSweepTexts() const;

  platform::Services& services_;
  std::unique_ptr<platform::SaveDialogs> ownDialogs_;
  platform::SaveDialogs* dialogs_;
  BoucWenCase case_;
  Clock clock_ = [] { return std::chrono::steady_clock::now(); };
  SweepWatch* runningSweep_ = nullptr;  // the Loop in progress, if any

  // What the Plots window shows, kept also while it is closed so that it
  // opens on the last Solve and the last Loop.
  std::optional<BoucWenCase> lastSolved_;
  bool sweepRan_ = false;  // a Loop has written its table (or part of it)
  SweepCurves sweepCurves_;
  QPointer<PlotsWindow> plots_;

  QAction* mnuPlots_ = nullptr;
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
