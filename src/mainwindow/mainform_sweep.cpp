// The Loop: the sweep runs on its own thread and writes results.out, each
// row checked on its way against the domain and the exact values; the window
// keeps drawing and, after a while, shows the progress with Cancel.
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <exception>
#include <memory>
#include <string>
#include <thread>

#include "case.h"
#include "check.h"
#include "command_scope.h"
#include "domain.h"
#include "mainform.h"
#include "numbertext.h"
#include "plots_window.h"
#include "program_look.h"
#include "window_texts.h"

namespace quorix {

namespace {

// Where a Loop writes results.out: beside the executable, as a portable copy
// keeps it, unless the user cannot write there (an installed program); then
// in the user's data folder, which is made for it.
std::string ResultsPath(platform::Services& services) {
  const std::string folder = services.ExecutableFolder();
  return platform::JoinPath(services.CanWriteFolder(folder) ? folder : services.UserDataFolder(), "results.out");
}

// The results file as the sweep's sink: found and opened only once the step
// count is known, so that a bad range leaves an existing file (and a
// missing data folder) alone; closed on every way out. The rows' numbers
// also go to the curves of the Plots window, which begin afresh when the
// file does: the Sweep tab shows what the file holds. Each row is checked
// as it is written: whether its case lies in the model's domain and whether
// its results lie within the check's bound of the exact values. Used on the
// sweep's own thread only.
class ResultsFile : public SweepSink {
 public:
  ResultsFile(platform::Services& services, SweepCurves& curves) : services_(services), curves_(curves) {}
  ~ResultsFile() override {
    try {
      if (file_) file_->Close();
    } catch (const std::exception&) {
      // Closing after a failure: nothing more to lose.
    }
  }
  ResultsFile(const ResultsFile&) = delete;
  ResultsFile& operator=(const ResultsFile&) = delete;

  void Open() override {
    path_ = ResultsPath(services_);
    file_ = services_.OpenForOutput(path_);
    curves_.Clear();
    opened_ = true;
  }
  void WriteLine(std::string_view line) override { file_->WriteLine(line); }
  void RowWritten(const BoucWenCase& row) override {
    curves_.Add(row);
    ++tally_.rows;
    if (const auto breach = FindDomainBreach(CaseOf(row), row.UmaxOverUy)) {
      if (tally_.outsideRows++ == 0) tally_.firstBreach = breach->message;
      return;  // the exact values are not defined there
    }
    if (accurate::CheckAgainstExact(row).Count() > 0 && tally_.flaggedRows++ == 0) {
      tally_.firstFlaggedAt = row.UmaxOverUy;
    }
  }
  // Closes after a complete table; a failure here means the data may not
  // have reached the file.
  void Close() {
    const std::unique_ptr<platform::TextFile> file = std::move(file_);
    if (file) file->Close();
  }
  bool Opened() const { return opened_; }
  const std::string& Path() const { return path_; }
  const window::SweepTally& Tally() const { return tally_; }

 private:
  platform::Services& services_;
  SweepCurves& curves_;
  std::string path_;
  bool opened_ = false;
  std::unique_ptr<platform::TextFile> file_;
  window::SweepTally tally_;
};

// What the sweep's thread hands back to the window's.
struct SweepOutcome {
  bool opened = false;    // the table was replaced, wholly or in part
  bool complete = false;  // every row written and the file closed
  std::string path;
  BoucWenCase record;  // as RunSweep left it
  SweepCurves curves;
  window::SweepEnd end;  // the rows' tally, and how the sweep ended
};

// The sweep into results.out, on the sweep's thread: every way it ends is
// caught and told in `outcome`.
void WriteResultsFile(platform::Services& services, const CaseTexts& texts, const SweepTexts& range,
                      SweepWatch& watch, SweepOutcome& outcome) {
  try {
    ResultsFile file(services, outcome.curves);
    try {
      RunSweep(texts, range, outcome.record, file, &watch);
      file.Close();
      outcome.complete = true;
    } catch (const SweepStopped&) {
      outcome.end.stopped = true;
    } catch (const std::exception& e) {
      // Bad range, a field beyond the range of a double, a file that cannot
      // be written: the command ends, the rows written so far stay in the
      // file, and the status line says why.
      outcome.end.failure = e.what();
    }
    outcome.opened = file.Opened();
    outcome.path = file.Path();
    outcome.end.tally = file.Tally();
  } catch (const std::exception& e) {
    // Nothing more to do: the file closes itself.
    if (outcome.end.failure.empty()) outcome.end.failure = e.what();
  }
}

// About how many bytes a row of this sweep takes: the row of its last
// amplitude, whose numbers are the widest, and its CR LF; 0 when the case
// cannot be read (the Loop then says why).
std::int64_t RowBytes(CaseTexts texts, const SweepTexts& range) {
  try {
    texts.UmaxOverUy = range.To;
    BoucWenCase row;
    SolveCase(texts, row);
    return static_cast<std::int64_t>(SweepRowLine(row, AmplitudeDecimals(ParseNumber(range.Step))).size()) + 2;
  } catch (const std::exception&) {
    return 0;
  }
}

// Opens a complete table in the viewer; returns where the table went and
// whether the viewer could show it, for the status line ("" when the sweep
// never reached its file).
std::string ShowTable(platform::Services& services, const SweepOutcome& outcome) {
  if (!outcome.opened) return {};
  std::string where = "Written to " + outcome.path;
  if (outcome.complete) {
    try {
      services.OpenInViewer(outcome.path);
    } catch (const std::exception& e) {
      // The file is complete all the same.
      where += "; the viewer could not be opened: " + std::string(e.what());
    }
  }
  return where;
}

}  // namespace

QStringList MainForm::SweepQuestions(const CaseTexts& texts, const SweepTexts& range) {
  // A range the Loop refuses asks nothing: the Loop says why, touching no
  // file and no folder.
  QStringList questions;
  const std::optional<std::int64_t> rows = window::SweepRowCount(range);
  if (!rows) return questions;
  if (*rows > window::kRowsToAskAbout) {
    const std::int64_t rowBytes = RowBytes(texts, range);
    if (rowBytes > 0) questions << QString::fromStdString(window::LargeSweepQuestion(*rows, rowBytes));
  }
  // results.out has a name the user never chose: one this window has not
  // written (another run's, or a file of the user's) is replaced only when
  // the user says so.
  std::string path;
  try {
    path = ResultsPath(services_);
  } catch (const std::exception&) {
    return questions;  // no data folder: the Loop says so
  }
  if (!writtenPaths_.contains(path) && services_.CanOpenForInput(path)) {
    questions << QStringLiteral("%1 exists and was not written by this window. Replace it with the Loop's table?")
                     .arg(QString::fromStdString(path));
  }
  return questions;
}

// The progress of a running Loop: a dialog that appears once the sweep has
// run for kProgressDelay, with the rows written of all rows, the time left
// and Cancel. It looks at the sweep's watch a few times a second from the
// window's thread; the sweep never waits for it.
class MainForm::SweepProgress : public QObject {
 public:
  SweepProgress(MainForm& form, SweepWatch& watch) : form_(form), watch_(watch), start_(form.clock_()) {
    connect(&timer_, &QTimer::timeout, this, &SweepProgress::Update);
    timer_.start(kUpdateInterval);
  }
  ~SweepProgress() override { delete dialog_; }
  SweepProgress(const SweepProgress&) = delete;
  SweepProgress& operator=(const SweepProgress&) = delete;

 private:
  static constexpr std::chrono::milliseconds kUpdateInterval{100};
  // The bar counts in thousandths: the row count may exceed an int.
  static constexpr int kBarSteps = 1000;

  void Update() {
    const double elapsed = std::chrono::duration<double>(form_.clock_() - start_).count();
    if (!dialog_ && elapsed * 1000.0 >= static_cast<double>(kProgressDelay.count())) Show();
    if (!dialog_ || watch_.StopRequested()) return;
    const std::int64_t rows = watch_.Rows();
    const std::int64_t written = watch_.RowsWritten();
    QString text = QStringLiteral("Row %1 of %2")
                       .arg(QString::fromStdString(GroupedCount(written)),
                            QString::fromStdString(rows < 0 ? std::string("?") : GroupedCount(rows)));
    const std::string left = SweepTimeLeftText(written, rows, elapsed);
    text += QLatin1Char('\n');
    text += left.empty() ? QStringLiteral("Estimating the time left") : QString::fromStdString(left);
    dialog_->setLabelText(text);
    if (rows > 0) {
      dialog_->setValue(static_cast<int>(static_cast<double>(written) / static_cast<double>(rows) * kBarSteps));
    }
  }

  void Show() {
    // Parented to the window so that it sits over it, but not modal: the
    // window, disabled, must still take a close from the title bar.
    dialog_ = new QProgressDialog(&form_);
    dialog_->setObjectName(QStringLiteral("sweepProgress"));
    dialog_->setWindowTitle(QStringLiteral("Loop"));
    dialog_->setWindowModality(Qt::NonModal);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setMinimumDuration(0);
    dialog_->setRange(0, kBarSteps);
    dialog_->setMinimumWidth(Px(4800, FontScale()));
    dialog_->setCancelButtonText(QStringLiteral("Cancel"));
    connect(dialog_, &QProgressDialog::canceled, this, [this] {
      watch_.RequestStop();
      dialog_->setLabelText(QStringLiteral("Stopping after the row in progress"));
    });
    // A disabled window disables its child windows too; a window (unlike a
    // control) may be enabled inside a disabled parent.
    dialog_->setEnabled(true);
    dialog_->show();
  }

  MainForm& form_;
  SweepWatch& watch_;
  const std::chrono::steady_clock::time_point start_;
  QTimer timer_;
  QProgressDialog* dialog_ = nullptr;
};

void MainForm::SweepCommand() {
  const CaseTexts texts = CurrentCaseTexts();
  const SweepTexts range = CurrentSweepTexts();
  // The questions are found with the window disabled, as for every use of
  // the services, and asked with it enabled: a disabled window disables its
  // message boxes too.
  const QStringList questions = [&] {
    CommandScope finding(*this);
    return SweepQuestions(texts, range);
  }();
  for (const QString& question : questions) {
    if (!ask_(question)) return;
  }
  CommandScope scope(*this);
  SweepWatch watch;
  SweepOutcome outcome;
  outcome.record = case_;
  {
    QEventLoop loop;
    std::atomic<bool> ended = false;
    // The rows are computed and written on their own thread; the window's
    // thread keeps its events going (drawing, the progress dialog, a close)
    // until the sweep ends, with the window disabled as for every command.
    std::jthread sweep([&] {
      WriteResultsFile(services_, texts, range, watch, outcome);
      ended = true;
      QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    runningSweep_ = &watch;
    SweepProgress progress(*this, watch);
    loop.exec();
    // The loop also ends when the application quits; the sweep must not
    // outlive the window's state it writes into.
    if (!ended) watch.RequestStop();
    sweep.join();
    runningSweep_ = nullptr;
  }
  case_ = outcome.record;
  // A sweep that reached its file replaced the table, wholly or in part; one
  // that stopped before it left both the file and the curves alone.
  if (outcome.opened) {
    sweepCurves_ = std::move(outcome.curves);
    sweepRan_ = true;
    if (plots_) plots_->ShowSweep(sweepCurves_);
  }
  if (outcome.opened) writtenPaths_.insert(outcome.path);
  const std::string where = ShowTable(services_, outcome);
  loopStatus_ = LoopStatus{(where.empty() ? where : where + "\n") + window::LoopNote(outcome.end), texts, range};
  UpdateNotes();
}

}  // namespace quorix
