#include "chart_frame.h"

#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QFontMetricsF>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPen>
#include <QToolTip>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace quorix::plots {

namespace {

// The smallest of 1, 2, 2.5 and 5 times a power of ten that is at least x.
double NiceStep(double x) {
  const double decade = std::pow(10.0, std::floor(std::log10(x)));
  for (double factor : {1.0, 2.0, 2.5, 5.0}) {
    if (factor * decade >= x) return factor * decade;
  }
  return 10.0 * decade;
}

}  // namespace

// The same text in every locale: QString::number never uses the user's
// separators. Six digits are enough to read off a chart.
QString Number(double value) {
  return std::isfinite(value) ? QString::number(value, 'g', 6) : QStringLiteral("not defined");
}

QString CaseCaption(const BoucWenCase& bw) {
  return QStringLiteral("n = %1, γ = %2, α = %3, Fy = %4, Uy = %5, %6")
      .arg(Number(bw.Nee), Number(bw.GammaSmall), Number(bw.AlphaSmall), Number(bw.Fy), Number(bw.Uy),
           bw.Complementary ? QStringLiteral("Complementary") : QStringLiteral("Direct"));
}

// The title is rich text, so the lines are centred and broken by markup.
QString ChartTitle(const QStringList& lines) {
  return QStringLiteral("<p align=\"center\">") + lines.join(QStringLiteral("<br>")) + QStringLiteral("</p>");
}

// A loop of amplitude 0.111 gets ±0.15 in steps of 0.05 rather than ±0.2,
// so the curve fills the plot. A loop of zero amplitude would otherwise
// leave the axis without a range.
void SetRange(QValueAxis* axis, double low, double high, int intervals) {
  if (!std::isfinite(low) || !std::isfinite(high) || !(high > low)) {
    const double centre = std::isfinite(low) ? low : 0.0;
    low = centre - 1.0;
    high = centre + 1.0;
  }
  const double step = NiceStep((high - low) / intervals);
  const double first = std::floor(low / step) * step;
  const double last = std::ceil(high / step) * step;
  axis->setRange(first, last);
  axis->setTickType(QValueAxis::TicksFixed);
  axis->setTickCount(static_cast<int>(std::lround((last - first) / step)) + 1);
}

QValueAxis* MakeAxis(const QString& title) {
  auto* axis = new QValueAxis;
  axis->setTitleText(title);
  axis->setLabelFormat(QStringLiteral("%g"));
  axis->setGridLineVisible(true);
  axis->setMinorTickCount(1);
  QFont font = axis->titleFont();
  font.setBold(true);
  axis->setTitleFont(font);
  return axis;
}

QLineSeries* MakeLine(const QString& name, const QColor& colour, Qt::PenStyle style) {
  auto* series = new QLineSeries;
  series->setName(name);
  // Two pixels at 100 %, scaled with the rest of the window beyond that.
  series->setPen(QPen(colour, 2.0, style));
  return series;
}

namespace {

// The font k times as large, in the unit it was given in: a desktop font
// may be set in pixels, and then has no point size to scale (-1).
QFont Scaled(QFont font, double k) {
  if (font.pointSizeF() > 0) {
    font.setPointSizeF(font.pointSizeF() * k);
  } else if (font.pixelSize() > 0) {
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(font.pixelSize() * k))));
  }
  return font;
}

}  // namespace

QChart* MakeChart() {
  auto* chart = new QChart;
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->setBackgroundRoundness(0);
  chart->legend()->setAlignment(Qt::AlignBottom);
  QFont font = Scaled(chart->titleFont(), 1.1);
  font.setBold(true);
  chart->setTitleFont(font);
  return chart;
}

QChartView* MakeView(QChart* chart, const char* name) {
  auto* view = new QChartView(chart);
  view->setObjectName(QString::fromLatin1(name));
  view->setRenderHint(QPainter::Antialiasing);
  view->setMinimumSize(360, 260);
  return view;
}

QLabel* MakePrompt(const char* name, const char* text) {
  auto* label = new QLabel(QString::fromLatin1(text));
  label->setObjectName(QString::fromLatin1(name));
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  label->setFont(Scaled(label->font(), 1.25));
  return label;
}

namespace {

// Set on a legend whose entries do not fit side by side in the base font:
// the legend may draw them shortened ("..."), and a pointer over one shows
// it whole.
constexpr const char* kShortenedLegend = "quorixLegendShortened";

void ShowWholeEntriesOnHover(QLegend* legend) {
  constexpr const char* kConnected = "quorixShowsWhole";
  for (QLegendMarker* entry : legend->markers()) {
    if (entry->property(kConnected).isValid()) continue;
    entry->setProperty(kConnected, true);
    QObject::connect(entry, &QLegendMarker::hovered, entry, [legend, entry](bool over) {
      if (over && legend->property(kShortenedLegend).toBool()) {
        QToolTip::showText(QCursor::pos(), entry->label());
      } else {
        QToolTip::hideText();
      }
    });
  }
}

}  // namespace

void FitLegend(QChart* chart) {
  QLegend* legend = chart->legend();
  // Measured in the legend's own font, kept from the first call: the font
  // set below must not change the next answer.
  constexpr const char* kBaseFont = "quorixLegendFont";
  if (!legend->property(kBaseFont).isValid()) legend->setProperty(kBaseFont, legend->font());
  QFont font = legend->property(kBaseFont).value<QFont>();
  const QFontMetricsF metrics(font);
  // Each entry: its marker (about a line high), the gaps around it, its
  // label; the legend's own margins at both ends.
  const qreal marker = 2.0 * metrics.height() + 8.0;
  qreal needed = 2.0 * metrics.height(), widest = 0.0;
  for (QLegendMarker* entry : legend->markers()) {
    if (!entry->isVisible()) continue;
    needed += metrics.horizontalAdvance(entry->label()) + marker;
    widest = std::max(widest, metrics.horizontalAdvance(entry->label()) + marker);
  }
  const qreal room = chart->size().width() - chart->margins().left() - chart->margins().right();
  // Under the plot while the entries fit side by side; at its right while
  // the widest takes a quarter of the chart at most (a legend there is cut
  // beyond about a third); else under it in a smaller font, down to 60 %.
  // Narrower still (the window at its smallest) the legend shortens the
  // entries, whose tooltips then hold their whole text.
  Qt::Alignment wanted = Qt::AlignBottom;
  bool shortened = false;
  if (needed > room && widest <= 0.25 * room) {
    wanted = Qt::AlignRight;
  } else if (needed > room) {
    font = Scaled(font, std::max(0.6, room / needed));
    // Shortened by the legend where the smallest font is not enough; the
    // estimate above is near, so a smaller font alone counts as well.
    shortened = true;
  }
  if (legend->alignment() != wanted) legend->setAlignment(wanted);
  if (legend->font() != font) legend->setFont(font);
  legend->setProperty(kShortenedLegend, shortened);
  ShowWholeEntriesOnHover(legend);
}

void KeepLegendWhole(QChart* chart) {
  // Setting the alignment lays the chart out again, which calls this once
  // more with the same answer: no loop.
  QObject::connect(chart, &QChart::plotAreaChanged, chart, [chart] { FitLegend(chart); });
}

QString LegendName(const QString& name) {
  constexpr qsizetype kMost = 20;
  if (name.size() <= kMost) return name;
  return name.left(kMost / 2 - 1) + QStringLiteral("…") + name.right(kMost / 2);
}

}  // namespace quorix::plots
