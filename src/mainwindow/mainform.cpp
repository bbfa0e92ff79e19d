#include "mainform.h"

#include <QCloseEvent>
#include <QEvent>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <atomic>
#include <exception>
#include <memory>
#include <string>
#include <thread>

#include "about_form.h"
#include "numbertext.h"
#include "plots_window.h"
#include "program_look.h"
#include "qt_save_dialogs.h"

namespace quorix {

namespace {

QRect TwipRect(int left, int top, int width, int height) {
  return QRect(Px(left), Px(top), Px(width), Px(height));
}

template <class Widget>
Widget* Make(QWidget* parent, const char* name, QRect geometry) {
  auto* widget = new Widget(parent);
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(geometry);
  return widget;
}

QGroupBox* MakeFrame(QWidget* parent, const char* name, const char* caption, QRect geometry) {
  auto* frame = Make<QGroupBox>(parent, name, geometry);
  frame->setTitle(QString::fromLatin1(caption));
  return frame;
}

// A borderless container inside a frame. The frame's caption is drawn in
// the highlight colour, which its children would inherit through the
// palette; the container gives them the ordinary text colour back.
QWidget* MakeInner(QGroupBox* frame, const char* name, QRect geometry) {
  auto* inner = Make<QWidget>(frame, name, geometry);
  const QPalette ordinary = frame->palette();
  QPalette captionPalette = ordinary;
  QPalette innerPalette = ordinary;
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    if (group != QPalette::Disabled) {
      captionPalette.setColor(group, QPalette::WindowText, ordinary.color(group, QPalette::Highlight));
    }
    // Set explicitly, or the container would inherit the caption colour.
    innerPalette.setColor(group, QPalette::WindowText, ordinary.color(group, QPalette::WindowText));
  }
  frame->setPalette(captionPalette);
  inner->setPalette(innerPalette);
  return inner;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, QRect geometry, Qt::Alignment alignment) {
  auto* label = Make<QLabel>(parent, name, geometry);
  label->setText(QString::fromLatin1(caption));
  label->setAlignment(alignment | Qt::AlignTop);
  label->setTextFormat(Qt::PlainText);
  return label;
}

QLineEdit* MakeTextBox(QWidget* parent, const char* name, const char* text, QRect geometry) {
  auto* box = Make<QLineEdit>(parent, name, geometry);
  box->setText(QString::fromLatin1(text));
  box->setCursorPosition(0);
  return box;
}

// Locked against editing, skipped by Tab, drawn on the button face; it can
// still be clicked into and its text selected.
void MakeReadOnly(QLineEdit* box) {
  box->setReadOnly(true);
  box->setFocusPolicy(Qt::ClickFocus);
  QPalette palette = box->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Base, palette.color(group, QPalette::Button));
  }
  box->setPalette(palette);
}

}  // namespace

// Disables the whole window while a command runs and enables it again on
// every way out. Disabling takes the keyboard focus away from the window's
// controls, so the focus is handed back to where it was.
class MainForm::CommandScope {
 public:
  explicit CommandScope(MainForm& form) : form_(form), focus_(form.focusWidget()) { form_.setEnabled(false); }
  ~CommandScope() {
    form_.setEnabled(true);
    if (focus_) focus_->setFocus(Qt::OtherFocusReason);
  }
  CommandScope(const CommandScope&) = delete;
  CommandScope& operator=(const CommandScope&) = delete;

 private:
  MainForm& form_;
  QPointer<QWidget> focus_;
};

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
  setFont(ProgramFont());

  mnuPlots_ = menuBar()->addAction(QStringLiteral("Plots"));
  mnuPlots_->setObjectName(QStringLiteral("mnuPlots"));
  connect(mnuPlots_, &QAction::triggered, this, &MainForm::ShowPlots);
  mnuAbout_ = menuBar()->addAction(QStringLiteral("About"));
  mnuAbout_->setObjectName(QStringLiteral("mnuAbout"));
  connect(mnuAbout_, &QAction::triggered, this, &MainForm::ShowAbout);

  BuildControls();

  // Load: the window opens with "Complementary" selected and captioned.
  optComplementary_->setChecked(true);
  RelabelLoopIntegrals(true);
  KeepTabStopOnSelectedOption();
  connect(optComplementary_, &QRadioButton::toggled, this, &MainForm::RelabelLoopIntegrals);
  connect(optComplementary_, &QRadioButton::toggled, this, &MainForm::KeepTabStopOnSelectedOption);
  // β follows γ from the first change on; its initial "0.1" is stored, not
  // derived.
  connect(txtGammaSmall_, &QLineEdit::textChanged, this, &MainForm::FollowGamma);
  connect(cmdSolve_, &QPushButton::clicked, this, &MainForm::SolveCommand);
  connect(cmdLoop_, &QPushButton::clicked, this, &MainForm::SweepCommand);

  cmdSolve_->setFocus(Qt::OtherFocusReason);
  // The client area is fixed; the menu bar sits above it.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

// The Plots window, a child, holds on to the save dialogs, which the form
// may own: it goes first.
MainForm::~MainForm() { delete plots_; }

PlotsWindow* MainForm::Plots() const { return plots_; }

// The frames first, then what they hold, frame by frame: the order the
// controls are made in is the focus chain Qt starts from, which SetTabOrder
// then rearranges.
void MainForm::BuildControls() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("MainFormClient"));
  client->setFixedSize(Px(7545), Px(3900));
  setCentralWidget(client);

  auto* frameBoucWen = MakeFrame(client, "frameBoucWen", "Bouc-Wen parameters", TwipRect(60, 60, 1875, 3735));
  auto* frameAmplitude = MakeFrame(client, "frameAmplitude", "Displacement amplitude", TwipRect(2040, 60, 1815, 1695));
  auto* frameLoop = MakeFrame(client, "frameLoop", "Loop for Umax/Uy", TwipRect(2040, 1860, 1815, 1935));
  auto* frameResults = MakeFrame(client, "frameResults", "Results", TwipRect(3900, 60, 3555, 3735));
  BuildParameterRows(frameBoucWen);
  BuildAmplitudeControls(frameAmplitude);
  BuildLoopControls(frameLoop);
  // A button with the focus is pressed by Enter as well as by Space, as on
  // Windows. No button is the window's default or cancel button: Enter and
  // Escape elsewhere in the window do nothing.
  for (QPushButton* button : {cmdSolve_, cmdLoop_}) {
    button->setAutoDefault(true);
    button->setDefault(false);
  }
  BuildResultRows(frameResults);
  SetTabOrder();
  // Select-all on focus (eventFilter).
  for (QLineEdit* box : {txtNee_, txtGammaSmall_, txtAlphaSmall_, txtFy_, txtUy_, txtUmaxOverUy_, txtFrom_, txtTo_,
                         txtStep_}) {
    box->installEventFilter(this);
  }
}

// One row per field, 360 twips apart; the label is right-aligned and sits
// 60 twips lower than its box.
void MainForm::BuildParameterRows(QGroupBox* frame) {
  auto* picture1 = MakeInner(frame, "Picture1", TwipRect(120, 240, 1695, 2655));
  struct Row {
    QLineEdit** box;
    const char* boxName;
    const char* text;
    const char* labelName;
    const char* caption;
  };
  const Row rows[] = {
      {&txtAlphaCap_, "txtAlphaCap", "1.0", "lblAlphaCap", "A :"},
      {&txtBetaSmall_, "txtBetaSmall", "0.1", "lblBetaSmall", "beta :"},
      {&txtGammaSmall_, "txtGammaSmall", "0.9", "lblGammaSmall", "gamma :"},
      {&txtNee_, "txtNee", "2.0", "lblNee", "n :"},
      {&txtAlphaSmall_, "txtAlphaSmall", "0.10", "lblAlphaSmall", "a :"},
      {&txtFy_, "txtFy", "2.86", "lblFy", "Fy :"},
      {&txtUy_, "txtUy", "0.111", "lblUy", "Uy :"},
  };
  int top = 60;
  for (const Row& row : rows) {
    *row.box = MakeTextBox(picture1, row.boxName, row.text, TwipRect(900, top, 675, 315));
    MakeLabel(picture1, row.labelName, row.caption, TwipRect(0, top + 60, 735, 195), Qt::AlignRight);
    top += 360;
  }
  MakeReadOnly(txtAlphaCap_);
  MakeReadOnly(txtBetaSmall_);
  // The law and its labelling where the user meets β and γ: OpenSees
  // names the two terms the other way round.
  const QString law = QStringLiteral(
      "dz/dt = (A·du/dt − γ·|du/dt|·|z|ⁿ⁻¹·z − β·du/dt·|z|ⁿ)/Uy,  F = α·(Fy/Uy)·u + (1 − α)·Fy·z\n"
      "Wen's labelling, A = 1 and β + γ = 1. OpenSees's BoucWen and BoucWenOriginal call these two terms the "
      "other way round: their beta is this γ, their gamma this β.");
  txtGammaSmall_->setToolTip(QStringLiteral("γ, on the |du/dt| term (OpenSees's beta).\n") + law);
  txtBetaSmall_->setToolTip(QStringLiteral("β = 1 − γ, on the du/dt term (OpenSees's gamma).\n") + law);
}

void MainForm::BuildAmplitudeControls(QGroupBox* frame) {
  auto* picture2 = MakeInner(frame, "Picture2", TwipRect(60, 285, 1575, 1335));
  MakeLabel(picture2, "lblUmaxOverUy", "Umax / Uy :", TwipRect(0, 60, 975, 255), Qt::AlignLeft);
  txtUmaxOverUy_ = MakeTextBox(picture2, "txtUmaxOverUy", "1", TwipRect(1020, 0, 495, 315));
  optDirect_ = Make<QRadioButton>(picture2, "optDirect", TwipRect(120, 360, 1755, 195));
  optDirect_->setText(QStringLiteral("Direct"));
  optComplementary_ = Make<QRadioButton>(picture2, "optComplementary", TwipRect(120, 600, 1815, 195));
  optComplementary_->setText(QStringLiteral("Complementary"));
  optDirect_->setToolTip(QStringLiteral("The Direct loop integrals: beyond saturation (Za = 1) they stop growing"));
  optComplementary_->setToolTip(QStringLiteral(
      "The Complementary loop integrals: beyond saturation DE/(Fh·Uy) grows by 4 per unit of Umax/Uy"));
  cmdSolve_ = Make<QPushButton>(picture2, "cmdSolve", TwipRect(120, 900, 1395, 435));
  cmdSolve_->setText(QStringLiteral("Solve"));
}

void MainForm::BuildLoopControls(QGroupBox* frame) {
  auto* picture4 = MakeInner(frame, "Picture4", TwipRect(120, 240, 1635, 1575));
  MakeLabel(picture4, "Label1", "From :", TwipRect(60, 120, 435, 195), Qt::AlignLeft);
  txtFrom_ = MakeTextBox(picture4, "txtFrom", "0.1", TwipRect(540, 60, 975, 315));
  MakeLabel(picture4, "Label2", "To :", TwipRect(240, 480, 285, 195), Qt::AlignLeft);
  txtTo_ = MakeTextBox(picture4, "txtTo", "10.0", TwipRect(540, 420, 975, 315));
  MakeLabel(picture4, "Label3", "Step :", TwipRect(30, 840, 420, 195), Qt::AlignLeft);
  txtStep_ = MakeTextBox(picture4, "txtStep", "0.1", TwipRect(540, 780, 975, 315));
  cmdLoop_ = Make<QPushButton>(picture4, "cmdLoop", TwipRect(60, 1140, 1455, 435));
  cmdLoop_->setText(QStringLiteral("Loop"));
}

// Caption and value per row, 360 twips apart.
void MainForm::BuildResultRows(QGroupBox* frame) {
  auto* picture3 = MakeInner(frame, "Picture3", TwipRect(120, 300, 3315, 3195));
  const auto captions = ResultCaptions(false);
  int top = 0;
  for (int i = 0; i < kResultCount; ++i) {
    const std::string name(kResultNames[i]);
    auto* caption = MakeLabel(picture3, ("lbl" + name).c_str(), captions[i].c_str(),
                              TwipRect(0, top + 60, 975, 195), Qt::AlignRight);
    auto* value = MakeLabel(picture3, ("lbl" + name + "Value").c_str(), "", TwipRect(1140, top, 2115, 315),
                            Qt::AlignLeft);
    value->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    value->setFrameStyle(QFrame::Box | QFrame::Plain);
    value->setLineWidth(1);
    value->setIndent(3);
    resultLabels_[i] = value;
    if (name == "Kcd") lblKcd_ = caption;
    if (name == "Kda") lblKda_ = caption;
    top += 360;
  }
}

// The read-only boxes and the labels take no Tab stop.
void MainForm::SetTabOrder() {
  QWidget* const tabOrder[] = {cmdSolve_, txtGammaSmall_, txtNee_,  txtAlphaSmall_, txtFy_, txtUy_, txtUmaxOverUy_,
                               optDirect_, optComplementary_, txtFrom_, txtTo_, txtStep_, cmdLoop_};
  for (std::size_t i = 1; i < std::size(tabOrder); ++i) QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
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
  try {
    SolveCase(CurrentCaseTexts(), case_);
    lastSolved_ = case_;
    solved = true;
    const auto values = ResultValues(case_);
    for (int i = 0; i < kResultCount; ++i) {
      resultLabels_[i]->setText(QString::fromStdString(FormatFixed(values[i], 9)));
    }
  } catch (const std::exception&) {
    // A field beyond the range of a double: the command ends here, the
    // labels written so far keep their new texts.
  }
  // An open Plots window follows; a Solve that failed leaves it as it was.
  if (solved && plots_) plots_->ShowLoop(*lastSolved_);
}

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
// file does: the Sweep tab shows what the file holds. Used on the sweep's
// own thread only.
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
  void RowWritten(const BoucWenCase& row) override { curves_.Add(row); }
  // Closes after a complete table; a failure here means the data may not
  // have reached the file.
  void Close() {
    const std::unique_ptr<platform::TextFile> file = std::move(file_);
    if (file) file->Close();
  }
  bool Opened() const { return opened_; }
  const std::string& Path() const { return path_; }

 private:
  platform::Services& services_;
  SweepCurves& curves_;
  std::string path_;
  bool opened_ = false;
  std::unique_ptr<platform::TextFile> file_;
};

// What the sweep's thread hands back to the window's.
struct SweepOutcome {
  bool opened = false;    // the table was replaced, wholly or in part
  bool complete = false;  // every row written and the file closed
  std::string path;
  BoucWenCase record;  // as RunSweep left it
  SweepCurves curves;
};

}  // namespace

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
    dialog_->setMinimumWidth(Px(4800));
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
  CommandScope scope(*this);
  const CaseTexts texts = CurrentCaseTexts();
  const SweepTexts range = CurrentSweepTexts();
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
      try {
        ResultsFile file(services_, outcome.curves);
        try {
          RunSweep(texts, range, outcome.record, file, &watch);
          file.Close();
          outcome.complete = true;
        } catch (const std::exception&) {
          // Bad range, a field beyond the range of a double, a file that
          // cannot be written, a stop request: the command just ends, the
          // rows written so far stay in the file.
        }
        outcome.opened = file.Opened();
        outcome.path = file.Path();
      } catch (const std::exception&) {
        // Nothing more to do: the file closes itself.
      }
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
  if (outcome.complete) {
    try {
      services_.OpenInViewer(outcome.path);
    } catch (const std::exception&) {
      // A viewer that does not start: the file is complete all the same.
    }
  }
}

void MainForm::closeEvent(QCloseEvent* event) {
  if (runningSweep_) runningSweep_->RequestStop();
  QMainWindow::closeEvent(event);
}

void MainForm::ShowAbout() {
  AboutForm about(ProgramAboutInfo());
  about.exec();
}

void MainForm::ApplyParameters(double n, double gamma, double alpha, double Fy, double Uy) {
  txtNee_->setText(QString::fromStdString(FormatPlainNumber(n)));
  txtGammaSmall_->setText(QString::fromStdString(FormatPlainNumber(gamma)));
  txtAlphaSmall_->setText(QString::fromStdString(FormatPlainNumber(alpha)));
  txtFy_->setText(QString::fromStdString(FormatPlainNumber(Fy)));
  txtUy_->setText(QString::fromStdString(FormatPlainNumber(Uy)));
  SolveCommand();
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
