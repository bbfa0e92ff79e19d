// The Plots window: the force–displacement loop of the last Solve with its
// dissipated energy shaded, the curves of DE, XiEq and Za over the rows
// of the last Loop, and a measured record: its loop over the model's, its
// cycles and the model fitted to them. Non-modal, one instance, owned by the main window; it
// keeps no numbers of its own beyond what its charts show.
#pragma once

#include <QString>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "bouc_wen_case.h"
#include "cycles.h"
#include "fit.h"
#include "record.h"
#include "save_dialogs.h"
#include "services.h"
#include "sweep_curves.h"

class QAreaSeries;
class QChart;
class QChartView;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class QLabel;
class QLineSeries;
class QPushButton;
class QScatterSeries;
class QStackedWidget;
class QTabWidget;
class QTableWidget;
class QValueAxis;

namespace quorix {

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

  // Reads a measured record and shows it: its loop over the model's on the
  // "Loop" tab, its cycles on the "Record" tab. False, with the reason in
  // the status line, when it cannot be read or has no full cycle; the
  // record shown before stays.
  bool OpenRecord(const std::string& path);

  // The loop of a solved record on the "Loop" tab.
  void ShowLoop(const BoucWenCase& solved);
  // The rows of a sweep on the "Sweep" tab.
  void ShowSweep(const SweepCurves& curves);

  QTabWidget* Tabs() const { return tabs_; }
  QChartView* LoopView() const { return loopView_; }
  QChartView* SweepView() const { return sweepView_; }
  // The outline of the loop, closed: the loop's points and the first again.
  QLineSeries* LoopOutline() const { return loopOutline_; }
  QLineSeries* DESeries() const { return deSeries_; }
  QLineSeries* XiEqSeries() const { return xiSeries_; }
  QLineSeries* ZaSeries() const { return zaSeries_; }
  QString StatusText() const;
  QTableWidget* CycleTable() const { return cycleTable_; }
  QLineSeries* MeasuredSeries() const { return measuredSeries_; }
  const std::vector<QLineSeries*>& FittedSeries() const { return fittedSeries_; }
  const std::optional<measured::FitResult>& LastFit() const { return fit_; }
  QString RecordText() const;

  // The chart of the visible tab as a picture: PNG at twice the window's
  // resolution, or SVG. Empty when the tab has no chart yet.
  QByteArray PngBytes() const;
  QByteArray SvgBytes() const;

 signals:
  // "Use these parameters": the fitted values for the main window's fields.
  void ParametersChosen(double n, double gamma, double alpha, double Fy, double Uy);

 public slots:
  void SaveAsPng();
  void SaveAsSvg();
  void CopyPicture();
  // "Open measured record…": asks for the file, then OpenRecord.
  void OpenMeasuredRecord();
  // "Fit": fits the model to the record's steady cycles (all when none is
  // steady) and draws the fitted loops.
  void FitRecord();
  // "Use these parameters".
  void UseFittedParameters();

 private:
  enum class Format { kPng, kSvg };

  QWidget* BuildLoopTab();
  QWidget* BuildSweepTab();
  QWidget* BuildRecordTab();
  // Axis ranges that hold the model loop, the measured record and the
  // fitted loops, whichever are shown.
  void UpdateLoopRanges();
  void FillCycleTable();
  void ClearFit();
  void SaveAs(Format format);
  void SetStatus(const QString& text, bool failure);
  // The chart view of the visible tab, or nullptr while it shows its prompt.
  QChartView* CurrentView() const;
  void UpdateButtons();
  void PlaceLoopInfo();

  platform::SaveDialogs& dialogs_;
  platform::Services& services_;

  QTabWidget* tabs_ = nullptr;
  QStackedWidget* loopStack_ = nullptr;
  QStackedWidget* sweepStack_ = nullptr;
  QLabel* lblLoopPrompt_ = nullptr;
  QLabel* lblSweepPrompt_ = nullptr;
  QPushButton* cmdSavePng_ = nullptr;
  QPushButton* cmdSaveSvg_ = nullptr;
  QPushButton* cmdCopy_ = nullptr;
  QLabel* lblStatus_ = nullptr;

  QChartView* loopView_ = nullptr;
  QChart* loopChart_ = nullptr;
  QValueAxis* loopAxisU_ = nullptr;
  QValueAxis* loopAxisF_ = nullptr;
  QLineSeries* loadingBranch_ = nullptr;    // bounds of the shaded area
  QLineSeries* unloadingBranch_ = nullptr;  // (reversed: from −Umax to Umax)
  QAreaSeries* energyArea_ = nullptr;
  QLineSeries* loopOutline_ = nullptr;
  QScatterSeries* peakMark_ = nullptr;
  QLineSeries* measuredSeries_ = nullptr;
  std::vector<QLineSeries*> fittedSeries_;
  bool modelShown_ = false;
  double modelUExtent_ = 0.0, modelFExtent_ = 0.0;
  QGraphicsRectItem* loopInfoBox_ = nullptr;
  QGraphicsSimpleTextItem* loopInfoText_ = nullptr;

  QChartView* sweepView_ = nullptr;
  QChart* sweepChart_ = nullptr;
  QValueAxis* sweepAxisU_ = nullptr;
  QValueAxis* sweepAxisDE_ = nullptr;
  QValueAxis* sweepAxisRatio_ = nullptr;
  QLineSeries* deSeries_ = nullptr;
  QLineSeries* xiSeries_ = nullptr;
  QLineSeries* zaSeries_ = nullptr;

  QStackedWidget* recordStack_ = nullptr;
  QLabel* lblRecordPrompt_ = nullptr;
  QLabel* lblRecord_ = nullptr;
  QTableWidget* cycleTable_ = nullptr;
  QPushButton* cmdOpenRecord_ = nullptr;
  QPushButton* cmdFit_ = nullptr;
  QPushButton* cmdUseParameters_ = nullptr;
  std::optional<measured::Record> record_;
  std::optional<measured::CycleTable> cycles_;
  std::optional<measured::FitResult> fit_;
  QString recordName_;
};

}  // namespace quorix
