#include "sweep_tab.h"

#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <QPen>
#include <QStackedWidget>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <utility>

#include "chart_frame.h"

namespace quorix::plots {

namespace {

// The points of the three curves and the ranges that hold them. Points
// whose value is not finite are left out: a chart cannot place them, and
// the table still has them. DE's range always holds 0, the ratios' always
// [0, 1].
struct SweepPoints {
  QList<QPointF> de, xi, za;
  double uLow = INFINITY, uHigh = -INFINITY;
  double deLow = 0.0, deHigh = 0.0;
  double ratioLow = 0.0, ratioHigh = 1.0;
};

SweepPoints PointsOf(const std::vector<SweepCurvePoint>& rows) {
  SweepPoints s;
  s.de.reserve(static_cast<qsizetype>(rows.size()));
  s.xi.reserve(static_cast<qsizetype>(rows.size()));
  s.za.reserve(static_cast<qsizetype>(rows.size()));
  for (const SweepCurvePoint& row : rows) {
    if (!std::isfinite(row.UmaxOverUy)) continue;
    s.uLow = std::min(s.uLow, row.UmaxOverUy);
    s.uHigh = std::max(s.uHigh, row.UmaxOverUy);
    if (std::isfinite(row.DE)) {
      s.de.append(QPointF(row.UmaxOverUy, row.DE));
      s.deLow = std::min(s.deLow, row.DE);
      s.deHigh = std::max(s.deHigh, row.DE);
    }
    for (auto [value, points] : {std::pair{row.XiEq, &s.xi}, std::pair{row.Za, &s.za}}) {
      if (!std::isfinite(value)) continue;
      points->append(QPointF(row.UmaxOverUy, value));
      s.ratioLow = std::min(s.ratioLow, value);
      s.ratioHigh = std::max(s.ratioHigh, value);
    }
  }
  return s;
}

}  // namespace

SweepTab::SweepTab(const char* prompt) : promptText_(QString::fromLatin1(prompt)) {
  chart_ = MakeChart();
  axisU_ = MakeAxis(QStringLiteral("Umax/Uy"));
  axisDE_ = MakeAxis(QStringLiteral("DE (unit of Fy·Uy)"));
  axisRatio_ = MakeAxis(QStringLiteral("XiEq, Za (dimensionless)"));
  chart_->addAxis(axisU_, Qt::AlignBottom);
  chart_->addAxis(axisDE_, Qt::AlignLeft);
  chart_->addAxis(axisRatio_, Qt::AlignRight);
  // The two dimensionless curves share the right axis; DE, which grows with
  // the amplitude, has the left one to itself. The left axis title takes
  // the colour of its curve so the reader can tell which axis is whose.
  de_ = MakeLine(QStringLiteral("DE (left axis)"), QColor(20, 60, 160), Qt::SolidLine);
  xi_ = MakeLine(QStringLiteral("XiEq = ξeq (right axis)"), QColor(210, 80, 20), Qt::SolidLine);
  za_ = MakeLine(QStringLiteral("Za (right axis)"), QColor(30, 140, 60), Qt::DashLine);
  axisDE_->setTitleBrush(de_->pen().color());
  // One grid, the left axis's: two sets of grid lines would cross.
  axisRatio_->setGridLineVisible(false);
  axisRatio_->setMinorGridLineVisible(false);
  chart_->addSeries(de_);
  de_->attachAxis(axisU_);
  de_->attachAxis(axisDE_);
  for (QLineSeries* series : {xi_, za_}) {
    chart_->addSeries(series);
    series->attachAxis(axisU_);
    series->attachAxis(axisRatio_);
  }

  KeepLegendWhole(chart_);
  view_ = MakeView(chart_, "sweepChartView");
  prompt_ = MakePrompt("lblSweepPrompt", prompt);
  stack_ = new QStackedWidget;
  stack_->addWidget(prompt_);
  stack_->addWidget(view_);
}

void SweepTab::Show(const SweepCurves& curves) {
  const std::vector<SweepCurvePoint> rows = curves.Rows();
  if (rows.empty()) {
    prompt_->setText(
        QStringLiteral("The last Loop gave no rows: its range holds no amplitude.\n\n%1").arg(promptText_));
    stack_->setCurrentWidget(prompt_);
    return;
  }
  DrawCurves(rows);
  QString rowCount = QStringLiteral("Sweep of %1 row%2, Umax/Uy from %3 to %4")
                         .arg(curves.RowsSeen())
                         .arg(curves.RowsSeen() == 1 ? QString() : QStringLiteral("s"))
                         .arg(Number(rows.front().UmaxOverUy), Number(rows.back().UmaxOverUy));
  if (curves.Stride() > 1) rowCount += QStringLiteral(" (1 row in %1 drawn)").arg(curves.Stride());
  chart_->setTitle(ChartTitle({rowCount, CaseCaption(curves.FirstRecord())}));
  stack_->setCurrentWidget(view_);
}

void SweepTab::DrawCurves(const std::vector<SweepCurvePoint>& rows) {
  const SweepPoints s = PointsOf(rows);
  de_->replace(s.de);
  xi_->replace(s.xi);
  za_->replace(s.za);
  // With few rows the lines alone could hide single points.
  const bool markPoints = rows.size() < 40;
  for (QLineSeries* series : {de_, xi_, za_}) series->setPointsVisible(markPoints);
  SetRange(axisU_, s.uLow, s.uHigh, 10);
  SetRange(axisDE_, s.deLow, s.deHigh + 0.03 * (s.deHigh - s.deLow), 5);
  SetRange(axisRatio_, s.ratioLow, s.ratioHigh, 5);
}

}  // namespace quorix::plots
