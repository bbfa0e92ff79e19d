// The "Sweep" tab of the Plots window: DE, XiEq and Za against Umax/Uy over
// the rows of the last Loop.
#pragma once

#include <QString>

#include "sweep_curves.h"

class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QStackedWidget;
class QValueAxis;

namespace quorix::plots {

class SweepTab {
 public:
  // Builds the page, which shows `prompt` until there are rows to draw;
  // whoever adds it to a tab widget owns its widgets.
  explicit SweepTab(const char* prompt);

  // The prompt until there is something to draw, then the chart.
  QStackedWidget* Page() const { return stack_; }
  QChartView* View() const { return view_; }
  QLineSeries* DE() const { return de_; }
  QLineSeries* XiEq() const { return xi_; }
  QLineSeries* Za() const { return za_; }

  // The curves of a sweep, or, when it has no rows, the prompt saying so.
  void Show(const SweepCurves& curves);

 private:
  void DrawCurves(const std::vector<SweepCurvePoint>& rows);

  QStackedWidget* stack_ = nullptr;
  QLabel* prompt_ = nullptr;
  QString promptText_;
  QChartView* view_ = nullptr;
  QChart* chart_ = nullptr;
  QValueAxis* axisU_ = nullptr;
  QValueAxis* axisDE_ = nullptr;
  QValueAxis* axisRatio_ = nullptr;
  QLineSeries* de_ = nullptr;
  QLineSeries* xi_ = nullptr;
  QLineSeries* za_ = nullptr;
};

}  // namespace quorix::plots
