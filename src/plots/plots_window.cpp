#include "plots_window.h"

#include <QChartView>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>
#include <exception>

#include "chart_picture.h"
#include "loop_tab.h"
#include "program_look.h"
#include "record_tab.h"
#include "sweep_tab.h"

namespace quorix {

PlotsWindow::PlotsWindow(platform::SaveDialogs& dialogs, platform::Services& services, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs), services_(services) {
  setObjectName(QStringLiteral("PlotsWindow"));
  setWindowTitle(QString::fromLatin1(kCaption));
  setWindowIcon(ProgramIcon());

  tabs_ = new QTabWidget;
  tabs_->setObjectName(QStringLiteral("tabPlots"));
  loop_ = std::make_unique<plots::LoopTab>(kLoopPrompt);
  tabs_->addTab(loop_->Page(), QStringLiteral("Loop"));
  sweep_ = std::make_unique<plots::SweepTab>(kSweepPrompt);
  tabs_->addTab(sweep_->Page(), QStringLiteral("Sweep"));
  record_ = std::make_unique<plots::RecordTab>(kRecordPrompt);
  tabs_->addTab(record_->Page(), QStringLiteral("Record"));
  connect(record_->OpenButton(), &QPushButton::clicked, this, &PlotsWindow::OpenMeasuredRecord);
  connect(record_->FitButton(), &QPushButton::clicked, this, &PlotsWindow::FitRecord);
  connect(record_->UseButton(), &QPushButton::clicked, this, &PlotsWindow::UseFittedParameters);

  QLayout* statusLine = BuildStatusLine();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_, 1);
  layout->addLayout(statusLine);
  connect(tabs_, &QTabWidget::currentChanged, this, [this] {
    SetStatus(QString(), false);
    UpdateButtons();
  });
  auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(close, &QShortcut::activated, this, &QWidget::close);
  UpdateButtons();

  // Large enough for a chart to be read, small enough for the screen.
  QSize size(820, 600);
  if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
    size = size.boundedTo(screen->availableGeometry().size() * 0.9);
  }
  resize(size);
}

// Here, where the tabs' classes are complete. The tabs go first, then the
// widgets they point into, with the window.
PlotsWindow::~PlotsWindow() = default;

QLayout* PlotsWindow::BuildStatusLine() {
  cmdSavePng_ = new QPushButton(QStringLiteral("Save as PNG…"));
  cmdSavePng_->setObjectName(QStringLiteral("cmdSavePng"));
  cmdSaveSvg_ = new QPushButton(QStringLiteral("Save as SVG…"));
  cmdSaveSvg_->setObjectName(QStringLiteral("cmdSaveSvg"));
  cmdCopy_ = new QPushButton(QStringLiteral("Copy"));
  cmdCopy_->setObjectName(QStringLiteral("cmdCopy"));
  cmdCopy_->setToolTip(
      QStringLiteral("Copy the picture of the chart to the clipboard, with its data as TAB-separated text"));
  lblStatus_ = new QLabel;
  lblStatus_->setObjectName(QStringLiteral("lblStatus"));
  lblStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // A long message (a long file name, a fit's refusal) wraps and is cut at
  // the window's edge rather than widening the window; its tooltip has it
  // whole.
  lblStatus_->setWordWrap(true);
  lblStatus_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  connect(cmdSavePng_, &QPushButton::clicked, this, &PlotsWindow::SaveAsPng);
  connect(cmdSaveSvg_, &QPushButton::clicked, this, &PlotsWindow::SaveAsSvg);
  connect(cmdCopy_, &QPushButton::clicked, this, &PlotsWindow::CopyPicture);

  auto* line = new QHBoxLayout;
  line->addWidget(lblStatus_, 1);
  line->addWidget(cmdSavePng_);
  line->addWidget(cmdSaveSvg_);
  line->addWidget(cmdCopy_);
  return line;
}

QChartView* PlotsWindow::LoopView() const { return loop_->View(); }
QChartView* PlotsWindow::SweepView() const { return sweep_->View(); }
QLineSeries* PlotsWindow::LoopOutline() const { return loop_->Outline(); }
QLineSeries* PlotsWindow::DESeries() const { return sweep_->DE(); }
QLineSeries* PlotsWindow::XiEqSeries() const { return sweep_->XiEq(); }
QLineSeries* PlotsWindow::ZaSeries() const { return sweep_->Za(); }
QTableWidget* PlotsWindow::CycleTable() const { return record_->Table(); }
QLineSeries* PlotsWindow::MeasuredSeries() const { return loop_->Measured(); }
const std::vector<QLineSeries*>& PlotsWindow::FittedSeries() const { return loop_->Fitted(); }
const std::vector<QLineSeries*>& PlotsWindow::PathSeries() const { return loop_->Path(); }
const std::optional<measured::FitResult>& PlotsWindow::LastFit() const { return record_->LastFit(); }
QString PlotsWindow::RecordText() const { return record_->Text(); }
QString PlotsWindow::StatusText() const { return lblStatus_->text(); }

void PlotsWindow::ShowLoop(const BoucWenCase& solved) {
  loop_->ShowModel(solved);
  SetStatus(QString(), false);
  UpdateButtons();
}

void PlotsWindow::ShowSweep(const SweepCurves& curves) {
  sweep_->Show(curves);
  SetStatus(QString(), false);
  UpdateButtons();
}

void PlotsWindow::OpenMeasuredRecord() {
  const std::optional<std::string> path =
      dialogs_.AskOpenPath("Open a measured record", "Records (*.csv *.txt *.dat);;All files (*)");
  if (path) OpenRecord(*path);
}

bool PlotsWindow::OpenRecord(const std::string& path) {
  const QString name = QFileInfo(QString::fromStdString(path)).fileName();
  try {
    record_->Open(services_, path, name);
  } catch (const std::exception& error) {
    SetStatus(QStringLiteral("Could not open %1: %2").arg(name, QString::fromUtf8(error.what())), true);
    return false;
  }
  const measured::Record& record = *record_->Measured();
  loop_->ClearFitted();
  loop_->ShowMeasured(record.u, record.F, name);
  SetStatus(QStringLiteral("Opened %1: %2 points, %3 cycles.")
                .arg(name)
                .arg(record.u.size())
                .arg(record_->CycleCount()),
            false);
  UpdateButtons();
  return true;
}

void PlotsWindow::FitRecord() {
  if (!record_->Measured()) return;
  loop_->ClearFitted();
  const QString failure = record_->Fit();
  if (!failure.isEmpty()) {
    SetStatus(QStringLiteral("No fit: %1").arg(failure), true);
    return;
  }
  DrawFit();
}

void PlotsWindow::ShowFit(measured::FitResult fit) {
  if (!record_->Measured()) return;
  record_->ShowFit(std::move(fit));
  DrawFit();
}

void PlotsWindow::DrawFit() {
  loop_->ClearFitted();
  loop_->ShowModelPath(record_->ModelPath());
  loop_->ShowFitted(record_->FittedLoops());
  SetStatus(QStringLiteral("Fitted in %1 iterations; misfit %2 % of the mean F⁺.")
                .arg(record_->LastFit()->iterations)
                .arg(100.0 * record_->LastFit()->rmsRelative, 0, 'f', 2),
            false);
}

void PlotsWindow::UseFittedParameters() {
  if (!record_->LastFit()) return;
  const measured::FitResult& fit = *record_->LastFit();
  const Case& p = fit.parameters;
  FittedValues errors{};
  for (std::size_t i = 0; i < errors.size(); ++i) errors[i] = fit.fixed[i] ? 0.0 : fit.errors[i];
  emit ParametersChosen({p.n, p.gamma, p.alpha, p.Fy, p.Uy}, errors);
}

void PlotsWindow::SetStatus(const QString& text, bool failure) {
  lblStatus_->setText(text);
  lblStatus_->setToolTip(text);
  QPalette palette = lblStatus_->parentWidget() ? lblStatus_->parentWidget()->palette() : lblStatus_->palette();
  if (failure) palette.setColor(QPalette::WindowText, QColor(190, 0, 0));
  lblStatus_->setPalette(palette);
}

QChartView* PlotsWindow::CurrentView() const {
  auto* stack = qobject_cast<QStackedWidget*>(tabs_->currentWidget());
  return stack ? qobject_cast<QChartView*>(stack->currentWidget()) : nullptr;
}

QString PlotsWindow::CurrentChartName() const {
  return tabs_->currentIndex() == 0 ? QStringLiteral("loop") : QStringLiteral("sweep");
}

void PlotsWindow::UpdateButtons() {
  const bool chart = CurrentView() != nullptr;
  for (QPushButton* button : {cmdSavePng_, cmdSaveSvg_, cmdCopy_}) button->setEnabled(chart);
}

QByteArray PlotsWindow::PngBytes() const {
  QChartView* view = CurrentView();
  return view ? plots::PngBytes(*view) : QByteArray();
}

QByteArray PlotsWindow::SvgBytes() const {
  QChartView* view = CurrentView();
  if (!view) return {};
  return plots::SvgBytes(*view, QString::fromLatin1(kCaption) + QStringLiteral(" – ") +
                                    tabs_->tabText(tabs_->currentIndex()));
}

void PlotsWindow::SaveAsPng() { SaveAs(Format::kPng); }
void PlotsWindow::SaveAsSvg() { SaveAs(Format::kSvg); }

void PlotsWindow::SaveAs(Format format) {
  if (!CurrentView()) return;
  const bool png = format == Format::kPng;
  const QString extension = png ? QStringLiteral("png") : QStringLiteral("svg");
  const std::optional<std::string> chosen =
      dialogs_.AskSavePath(png ? "Save the chart as PNG" : "Save the chart as SVG",
                           png ? "PNG image (*.png)" : "SVG drawing (*.svg)",
                           ("quorix-" + CurrentChartName() + "." + extension).toStdString());
  if (!chosen) return;  // cancelled
  QString path = QString::fromStdString(*chosen);
  if (QFileInfo(path).suffix().isEmpty()) path += u'.' + extension;

  const QByteArray bytes = png ? PngBytes() : SvgBytes();
  // Written to a temporary file and renamed into place only when complete,
  // so a failed save never leaves half a picture under the chosen name.
  QSaveFile file(path);
  QString failure;
  if (bytes.isEmpty()) {
    failure = QStringLiteral("the picture could not be drawn");
  } else if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    failure = file.errorString();
  }
  if (!failure.isEmpty()) {
    SetStatus(QStringLiteral("Could not save %1: %2").arg(QDir::toNativeSeparators(path), failure), true);
    return;
  }
  SetStatus(QStringLiteral("Saved %1").arg(QDir::toNativeSeparators(path)), false);
}

void PlotsWindow::CopyPicture() {
  QChartView* view = CurrentView();
  if (!view) return;
  // At the screen's own resolution: pasted into a document, the picture
  // has the size it has on the screen.
  // The data goes beside the picture: a spreadsheet or an editor takes the
  // text, a document the picture.
  auto* data = new QMimeData;
  data->setImageData(plots::RenderPicture(*view, view->devicePixelRatioF()));
  data->setText(plots::ChartDataText(*view->chart()));
  QGuiApplication::clipboard()->setMimeData(data);
  SetStatus(QStringLiteral("Copied the %1 chart to the clipboard.").arg(CurrentChartName()), false);
}

}  // namespace quorix
