// The "Loop" tab of the Plots window: the force–displacement loop of a
// solved case with the energy it dissipates shaded, its peak marked and
// DE, XiEq and Ksec written in a corner; over it a measured record, the
// fitted model's response along it and the model loops fitted to it.
#pragma once

#include <QList>
#include <QObject>
#include <QPointF>
#include <QString>
#include <vector>

#include "bouc_wen_case.h"

class QAreaSeries;
class QChart;
class QChartView;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QStackedWidget;
class QValueAxis;
class QWidget;

namespace quorix::plots {

// A QObject only to be the context of the chart's connection, which must
// end with the tab rather than with the chart it places the corner box on.
class LoopTab : public QObject {
 public:
  // Builds the page, which shows `prompt` until there is a loop to draw;
  // whoever adds it to a tab widget owns its widgets.
  explicit LoopTab(const char* prompt);

  // The prompt until there is something to draw, then the chart.
  QStackedWidget* Page() const { return stack_; }
  QChartView* View() const { return view_; }
  QLineSeries* Outline() const { return outline_; }
  QLineSeries* Measured() const { return measured_; }
  const std::vector<QLineSeries*>& Fitted() const { return fitted_; }
  const std::vector<QLineSeries*>& Path() const { return path_; }

  // The loop of a solved case. A case without a loop to draw (a zero
  // exponent, a non-finite result) takes away the loop of the case before
  // and leaves the measured record alone on the chart, or, without one, the
  // prompt with the reason.
  void ShowModel(const BoucWenCase& solved);
  // A measured record, `name` its file's, over the model loop.
  void ShowMeasured(const std::vector<double>& u, const std::vector<double>& F, const QString& name);
  // Loops fitted to the record, each closed, dashed, one legend entry for
  // them all.
  void ShowFitted(const std::vector<QList<QPointF>>& loops);
  // The fitted model's force along the measured displacements, a line for
  // each run, one legend entry for them all. At most about 20000 points in
  // all, like the record; every run keeps both its ends.
  void ShowModelPath(const std::vector<QList<QPointF>>& runs);
  // Takes the fitted loops and the model's path off the chart, leaving its
  // ranges.
  void ClearFitted();

 private:
  void AddModelSeries();
  void AddInfoBox();
  void ShowNoModel(const QString& failure);
  void DrawModel(const QList<QPointF>& outline);
  void DescribeModel(const BoucWenCase& solved);
  // Ranges that hold the model loop, the measured record and the fitted
  // loops, whichever are shown.
  void UpdateRanges();
  void PlaceInfo();

  QStackedWidget* stack_ = nullptr;
  QLabel* prompt_ = nullptr;
  QString promptText_;
  QChartView* view_ = nullptr;
  QChart* chart_ = nullptr;
  QValueAxis* axisU_ = nullptr;
  QValueAxis* axisF_ = nullptr;
  QLineSeries* loadingBranch_ = nullptr;    // bounds of the shaded area
  QLineSeries* unloadingBranch_ = nullptr;  // (reversed: from −Umax to Umax)
  QAreaSeries* energyArea_ = nullptr;
  QLineSeries* outline_ = nullptr;
  QScatterSeries* peak_ = nullptr;
  QLineSeries* measured_ = nullptr;
  std::vector<QLineSeries*> fitted_;
  std::vector<QLineSeries*> path_;
  bool modelShown_ = false;
  double modelUExtent_ = 0.0, modelFExtent_ = 0.0;
  bool measuredShown_ = false;
  QString measuredName_;
  QGraphicsRectItem* infoBox_ = nullptr;
  QGraphicsSimpleTextItem* infoText_ = nullptr;
};

}  // namespace quorix::plots
