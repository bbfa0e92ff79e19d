// MainForm: the program's one working window. It owns the case record, lets
// the user type the seven inputs and the sweep range, keeps β = 1 − γ, and
// runs the two commands, Solve and Loop, on the toolkit-free command core.
// Beside the numbers it says what they are: a field whose text is not one
// complete number, a case outside the model's domain and a result the
// specified arithmetic gets wrong are marked, each with its sentence, and
// results whose inputs have since changed are greyed.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "bouc_wen_case.h"
#include "case_notes.h"
#include "check.h"
#include "commands.h"
#include "domain.h"
#include "plots_window.h"
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
  // The text "Use these parameters" wrote into a field and the tooltip line
  // with the full fitted value, shown while the field still holds that text.
  static constexpr const char* kFittedTextProperty = "quorixFittedText";
  static constexpr const char* kFittedToolTipProperty = "quorixFittedToolTip";

  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  // A yes-or-no question put to the user before a Loop goes on; true: go on.
  using Ask = std::function<bool(const QString& question)>;

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
  // The status line's text: the notes on the fields and on the last command.
  QString StatusText() const;
  // The Plots window, once the menu has opened it; nullptr before.
  PlotsWindow* Plots() const;
  // What the Sweep tab draws: the rows of the last Loop, thinned.
  const SweepCurves& LastSweepCurves() const { return sweepCurves_; }
  // The clock a Loop reads to decide when to show its progress and to
  // estimate the time left; steady_clock::now unless tests set another.
  void SetSweepClock(Clock clock) { clock_ = std::move(clock); }
  // Who answers the Loop's questions (overwriting a file this window did not
  // write, a table of more than window::kRowsToAskAbout rows): a message box
  // unless tests set another.
  void SetAsk(Ask ask) { ask_ = std::move(ask); }

 public slots:
  // Solve: reads the fields into the record, solves, and writes the nine
  // result labels one by one; then checks the results against the model's
  // exact values and marks those that differ. A field beyond the range of a
  // double ends it, marked, the labels as they were (and greyed).
  void SolveCommand();
  // Loop: sweeps Umax/Uy over From..To, writes results.out beside the
  // executable (or, when that folder is not writable, in the user's data
  // folder) and opens it in the viewer. Stops silently at the first
  // failure, closing the file. The rows are computed on another thread
  // while the window, disabled, keeps drawing; after kProgressDelay a
  // progress dialog shows the rows written and offers Cancel, which, like
  // closing the window, ends the table after the row in progress and opens
  // no viewer. Returns when the sweep has ended; the status line then says
  // how many rows were written, how many lie outside the model and in how
  // many results differ from the exact values.
  void SweepCommand();
  // Opens a freshly made About box, modally.
  void ShowAbout();
  // Opens the Plots window, or raises it when it is open already.
  void ShowPlots();
  // Writes n, γ (β follows), α, Fy and Uy into their fields, each with the
  // digits its standard error supports (the full value in the field's
  // tooltip), the cursor at the start, and runs Solve: "Use these
  // parameters" of a fit. An error of 0 (a fixed parameter) writes the
  // value as the window shows numbers.
  void ApplyParameters(const FittedValues& values, const FittedValues& errors);
  // "Copy results": the case solved last and its nine results, with names
  // and units, TAB-separated, on the clipboard.
  void CopyResults();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Closing the window during a Loop stops the sweep.
  void closeEvent(QCloseEvent* event) override;

 private:
  class CommandScope;
  class SweepProgress;

  // nullptr `dialogs`: the native ones, owned by the window.
  MainForm(platform::Services& services, platform::SaveDialogs* dialogs, QWidget* parent);

  void BuildMenu();
  void BuildControls();
  void BuildParameterRows(QGroupBox* frame);
  void BuildAmplitudeControls(QGroupBox* frame);
  void BuildLoopControls(QGroupBox* frame);
  void BuildResultRows(QGroupBox* frame);
  void SetTabOrder();
  void BuildStatusLine();
  // The meaning and unit of every field, as its tooltip and accessible name.
  void DescribeFields();
  // What to ask before a Loop: whether to write more than
  // window::kRowsToAskAbout rows, whether to replace a file this window did
  // not write. The Loop goes on only when the user says yes to each.
  QStringList SweepQuestions(const CaseTexts& texts, const SweepTexts& range);
  void FollowGamma(const QString& gammaText);
  void RelabelLoopIntegrals(bool complementary);
  // The option pair changed: results shown are solved again at once, so that
  // the captions never stand over the other formula set's values.
  void SolveAgainForFormulaSet();
  void KeepTabStopOnSelectedOption();
  CaseTexts CurrentCaseTexts() const;
  SweepTexts CurrentSweepTexts() const;

  // The marks and the status line (mainform_notes.cpp), recomputed from the
  // fields as they are now and the last commands at every change.
  void UpdateNotes();
  // Marks each number field with how it was read, and the field at fault
  // with the breach; returns the fields' notes for the status line.
  QStringList MarkFields(const std::optional<DomainBreach>& breach);
  void MarkResults(bool stale);
  QLineEdit* FieldOfInput(const std::string& input) const;
  // The nine fields the user types numbers into, with their names as the
  // status line gives them.
  struct NumberField {
    QLineEdit* box;
    const char* name;
  };
  std::array<NumberField, 9> NumberFields() const;

  double scale_ = 1.0;  // the desktop's font over the one the form was laid out for (FontScale)
  platform::Services& services_;
  std::unique_ptr<platform::SaveDialogs> ownDialogs_;
  platform::SaveDialogs* dialogs_;
  BoucWenCase case_;
  Clock clock_ = [] { return std::chrono::steady_clock::now(); };
  Ask ask_;
  std::set<std::string> writtenPaths_;  // the files this window's Loops have written
  SweepWatch* runningSweep_ = nullptr;  // the Loop in progress, if any

  // What the Plots window shows, kept also while it is closed so that it
  // opens on the last Solve and the last Loop.
  std::optional<BoucWenCase> lastSolved_;
  // The last Solve that solved: its texts (the labels are stale once the
  // fields differ), its check against the exact values and its breach.
  std::optional<CaseTexts> solvedTexts_;
  accurate::ResultCheck solvedCheck_;
  std::optional<DomainBreach> solvedBreach_;
  // The last Loop's sentence, shown while the fields hold its inputs.
  struct LoopStatus {
    std::string text;
    CaseTexts texts;
    SweepTexts range;
  };
  std::optional<LoopStatus> loopStatus_;
  bool sweepRan_ = false;  // a Loop has written its table (or part of it)
  SweepCurves sweepCurves_;
  QPointer<PlotsWindow> plots_;

  QAction* mnuPlots_ = nullptr;
  QAction* mnuAbout_ = nullptr;
  QAction* mnuCopyResults_ = nullptr;
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
  QGroupBox* frameResults_ = nullptr;
  std::array<QLabel*, kResultCount> resultLabels_{};
  std::array<QLabel*, kResultCount> flagLabels_{};  // "≠ exact value" beside a flagged result
  QLabel* lblStatus_ = nullptr;
  QLabel* lblUnits_ = nullptr;
};

}  // namespace quorix
