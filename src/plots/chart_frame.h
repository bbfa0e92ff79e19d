// The pieces every chart of the Plots window is made of, so that the tabs
// look alike: the chart and its view, axes with round ticks, lines, the
// centred title, the prompt a tab shows before it has a chart, and the
// numbers written on them.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

#include "bouc_wen_case.h"

class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QValueAxis;

namespace quorix::plots {

// Six significant digits, "not defined" for a value that is not finite.
QString Number(double value);
// n, γ, α, Fy, Uy and the option of a case, on one line.
QString CaseCaption(const BoucWenCase& bw);
// A chart title of several centred lines.
QString ChartTitle(const QStringList& lines);

// An axis range that holds [low, high] with whole ticks at a round step,
// about `intervals` of them; a unit range when [low, high] is empty or not
// finite.
void SetRange(QValueAxis* axis, double low, double high, int intervals);

QValueAxis* MakeAxis(const QString& title);
QLineSeries* MakeLine(const QString& name, const QColor& colour, Qt::PenStyle style);
QChart* MakeChart();
QChartView* MakeView(QChart* chart, const char* name);
QLabel* MakePrompt(const char* name, const char* text);

// Keeps every entry of the chart's legend whole: under the plot while the
// entries fit there side by side, at its right, one above the other, when
// they do not, else under it in a smaller font. In a chart too narrow even
// for that the legend shortens its entries, and the pointer over one shows
// it whole as a tooltip. Checked whenever the plot area changes; FitLegend
// checks again after a legend entry changed.
void KeepLegendWhole(QChart* chart);
void FitLegend(QChart* chart);
// A file name short enough for a legend entry: the start and the end of a
// long one, "…" between them.
QString LegendName(const QString& name);

}  // namespace quorix::plots
