// The Plots window: the force–displacement loop of the last Solve with its
// dissipated energy shaded, and the curves of DE, XiEq and Za over the rows
// of the last Loop. Non-modal, one instance, owned by the main window; it
// keeps no numbers of its own beyond what its charts show.
#pragma once

#include <QString>
#include <QWidget>

#include "bouc_wen_case.h"
#include "save_dialogs.h"
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
class QValueAxis;

namespace quorix {

class PlotsWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kCaption = "Quorix : Plots";
  static constexpr const char* kLoopPrompt = "Press Solve to draw the loop.";
  static constexpr const char* kSweepPrompt = "Press Loop to draw the sweep.";

  // A window of its own on top of `parent`, which it is closed with.
  // `dialogs` must outlive it.
  PlotsWindow(platform::SaveDialogs& dialogs, QWidget* parent);

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

  // The chart of the visible tab as a picture: PNG at twice the window's
  // resolution, or SVG. Empty when the tab has no chart yet.
  QByteArray PngBytes() const;
  QByteArray SvgBytes() const;

 public slots:
  void SaveAsPng();
  void SaveAsSvg();
  void CopyPicture();

 private:
  enum class Format { kPng, kSvg };

  QWidget* BuildLoopTab();
  QWidget* BuildSweepTab();
  void SaveAs(Format format);
  void SetStatus(const QString& text, bool failure);
  // The chart view of the visible tab, or nullptr while it shows its prompt.
  QChartView* CurrentView() const;
  void UpdateButtons();
  void PlaceLoopInfo();

  platform::SaveDialogs& dialogs_;

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
};

}  // namespace quorix
