// The Plots window: the force–displacement loop of the last Solve with its
// dissipated energy shaded, the curves of DE, XiEq and Za over the rows
// of the last Loop, and a measured record: its loop over the model's, its
// cycles and the model fitted to them. Non-modal, one instance, owned by the
// main window. Each tab lives in a file of its own; beyond what the charts
// show, only the Record tab keeps numbers: the record it opened and its fit.
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bouc_wen_case.h"
#include "fit.h"
#include "save_dialogs.h"
#include "services.h"
#include "sweep_curves.h"

class QChartView;
class QLabel;
class QLayout;
class QLineSeries;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace quorix::plots {
class LoopTab;
class RecordTab;
class SweepTab;
}  // namespace quorix::plots

namespace quorix {

// n, γ, α, Fy and Uy of a fit, or their standard errors (0 for one held
// fixed).
using FittedValues = std::array<double, 5>;

class PlotsWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kCaption = "Quorix : Plots";
  static constexpr const char* kLoopPrompt = "Press Solve to draw the loop.";
  static constexpr const char* kSweepPrompt = "Press Loop to draw the sweep.";
  static constexpr const char* kRecordPrompt =
      "Open a measured record: a text file of two columns, displacement and force, in the units of Uy and Fy.";

  // A window of its own on top of `parent`, which it is closed with.
  // `dialogs` and `services` (which read the records) must outlive it.
  PlotsWindow(platform::SaveDialogs& dialogs, platform::Services& services, QWidget* parent);
  ~PlotsWindow() override;

  // Reads a measured record and shows it: its loop over the model's on the
  // "Loop" tab, its cycles on the "Record" tab. False, with the reason in
  // the status line, when it cannot be read or has no full cycle; the
  // record shown before stays.
  bool OpenRecord(const std::string& path);

  // The loop of a solved record on the "Loop" tab.
  void ShowLoop(const BoucWenCase& solved);
  // The rows of a sweep on the "Sweep" tab.
  void ShowSweep(const SweepCurves& curves);
  // A fit of the open record, made elsewhere, shown as FitRecord shows its
  // own: listed on the "Record" tab, drawn on the "Loop" tab. Only with a
  // record open.
  void ShowFit(measured::FitResult fit);

  QTabWidget* Tabs() const { return tabs_; }
  QChartView* LoopView() const;
  QChartView* SweepView() const;
  // The outline of the loop, closed: the loop's points and the first again.
  QLineSeries* LoopOutline() const;
  QLineSeries* DESeries() const;
  QLineSeries* XiEqSeries() const;
  QLineSeries* ZaSeries() const;
  QString StatusText() const;
  QTableWidget* CycleTable() const;
  QLineSeries* MeasuredSeries() const;
  const std::vector<QLineSeries*>& FittedSeries() const;
  // The fitted model's response along the record, a series for each run
  // of consecutive fitted samples.
  const std::vector<QLineSeries*>& PathSeries() const;
  const std::optional<measured::FitResult>& LastFit() const;
  QString RecordText() const;

  // The chart of the visible tab as a picture: PNG at twice the window's
  // resolution, or SVG. Empty when the tab has no chart yet.
  QByteArray PngBytes() const;
  QByteArray SvgBytes() const;

 signals:
  // "Use these parameters": the fitted values for the main window's fields,
  // with their standard errors.
  void ParametersChosen(const quorix::FittedValues& values, const quorix::FittedValues& errors);

 public slots:
  void SaveAsPng();
  void SaveAsSvg();
  void CopyPicture();
  // "Open measured record…": asks for the file, then OpenRecord.
  void OpenMeasuredRecord();
  // "Fit": fits the model to the record and draws the model's response
  // along it, with the fitted loops of a steady fit.
  void FitRecord();
  // "Use these parameters".
  void UseFittedParameters();

 private:
  enum class Format { kPng, kSvg };

  // The status line and the export buttons, which work on the visible tab.
  QLayout* BuildStatusLine();
  void SaveAs(Format format);
  void SetStatus(const QString& text, bool failure);
  // The chart view of the visible tab, or nullptr while it shows its prompt.
  QChartView* CurrentView() const;
  // "loop" or "sweep", for the file name and the status line.
  QString CurrentChartName() const;
  void UpdateButtons();
  // The fit the Record tab holds, drawn over the record, and its status.
  void DrawFit();

  platform::SaveDialogs& dialogs_;
  platform::Services& services_;

  QTabWidget* tabs_ = nullptr;
  std::unique_ptr<plots::LoopTab> loop_;
  std::unique_ptr<plots::SweepTab> sweep_;
  std::unique_ptr<plots::RecordTab> record_;
  QPushButton* cmdSavePng_ = nullptr;
  QPushButton* cmdSaveSvg_ = nullptr;
  QPushButton* cmdCopy_ = nullptr;
  QLabel* lblStatus_ = nullptr;
};

}  // namespace quorix
