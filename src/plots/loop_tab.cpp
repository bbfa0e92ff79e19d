#include "loop_tab.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QStackedWidget>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>

#include "chart_frame.h"
#include "views.h"

namespace quorix::plots {

namespace {

// The loop of a solved case as a closed polygon, its first point again at
// the end; nothing when there is no loop to draw: fewer than three points,
// a point that is not finite, or a loop that cannot be computed (then the
// reason is in `failure`).
std::optional<QList<QPointF>> ClosedLoop(const BoucWenCase& solved, QString& failure) {
  HysteresisLoop loop;
  try {
    loop = LoopOf(solved);
  } catch (const std::exception& error) {
    failure = QString::fromUtf8(error.what());
  }
  const std::size_t count = std::min(loop.u.size(), loop.F.size());
  if (count < 3) return std::nullopt;
  QList<QPointF> outline;
  outline.reserve(static_cast<qsizetype>(count + 1));
  for (std::size_t i = 0; i < count; ++i) {
    if (!std::isfinite(loop.u[i]) || !std::isfinite(loop.F[i])) return std::nullopt;
    outline.append(QPointF(loop.u[i], loop.F[i]));
  }
  outline.append(outline.front());
  return outline;
}

void HideLegend(QChart* chart, QLineSeries* series, bool hidden) {
  for (QLegendMarker* marker : chart->legend()->markers(series)) marker->setVisible(!hidden);
}

}  // namespace

LoopTab::LoopTab(const char* prompt) : promptText_(QString::fromLatin1(prompt)) {
  chart_ = MakeChart();
  axisU_ = MakeAxis(QStringLiteral("u (unit of Uy)"));
  axisF_ = MakeAxis(QStringLiteral("F (unit of Fy)"));
  chart_->addAxis(axisU_, Qt::AlignBottom);
  chart_->addAxis(axisF_, Qt::AlignLeft);
  AddModelSeries();
  AddInfoBox();
  KeepLegendWhole(chart_);

  view_ = MakeView(chart_, "loopChartView");
  prompt_ = MakePrompt("lblLoopPrompt", prompt);
  stack_ = new QStackedWidget;
  stack_->addWidget(prompt_);
  stack_->addWidget(view_);
}

void LoopTab::AddModelSeries() {
  // The area between the two branches is the energy one cycle dissipates.
  // QAreaSeries fills between its upper series, in order, and its lower
  // series, reversed: the loading branch and the unloading branch run
  // backwards make the closed loop.
  // The area series does not own its bounds: they are made its children, so
  // they go with it.
  energyArea_ = new QAreaSeries;
  loadingBranch_ = new QLineSeries(energyArea_);
  unloadingBranch_ = new QLineSeries(energyArea_);
  energyArea_->setUpperSeries(loadingBranch_);
  energyArea_->setLowerSeries(unloadingBranch_);
  energyArea_->setName(QStringLiteral("DE, dissipated energy (enclosed area)"));
  energyArea_->setBrush(QColor(255, 170, 60, 110));
  energyArea_->setPen(Qt::NoPen);
  outline_ = MakeLine(QStringLiteral("F(u), one cycle"), QColor(20, 60, 160), Qt::SolidLine);
  peak_ = new QScatterSeries;
  peak_->setName(QStringLiteral("Peak (Umax, Fa)"));
  peak_->setMarkerShape(QScatterSeries::MarkerShapeCircle);
  peak_->setMarkerSize(11.0);
  peak_->setColor(QColor(200, 30, 30));
  peak_->setBorderColor(Qt::white);
  // A measured record in a colour of its own, thinner than the model's
  // outline, which it is drawn over.
  measured_ = MakeLine(QStringLiteral("Measured record"), QColor(0, 140, 120), Qt::SolidLine);
  measured_->setPen(QPen(QColor(0, 140, 120), 1.2));
  for (QAbstractSeries* series : std::initializer_list<QAbstractSeries*>{energyArea_, outline_, peak_, measured_}) {
    chart_->addSeries(series);
    series->attachAxis(axisU_);
    series->attachAxis(axisF_);
  }
  HideLegend(chart_, measured_, true);
}

// DE, XiEq and Ksec in a box in the upper left corner of the plot: the loop
// runs from lower left to upper right, so that corner stays clear.
void LoopTab::AddInfoBox() {
  infoBox_ = new QGraphicsRectItem(chart_);
  infoBox_->setBrush(QColor(255, 255, 255, 225));
  infoBox_->setPen(QPen(QColor(150, 150, 150), 0));
  infoBox_->setZValue(100);
  infoText_ = new QGraphicsSimpleTextItem(infoBox_);
  infoText_->setFont(axisU_->labelsFont());
  connect(chart_, &QChart::plotAreaChanged, this, &LoopTab::PlaceInfo);
  infoBox_->setVisible(false);
}

void LoopTab::ShowModel(const BoucWenCase& solved) {
  QString failure;
  const std::optional<QList<QPointF>> outline = ClosedLoop(solved, failure);
  if (!outline) {
    ShowNoModel(failure);
    return;
  }
  DrawModel(*outline);
  const double uMax = solved.UmaxOverUy * solved.Uy;
  peak_->clear();
  peak_->append(uMax, solved.Fa);
  peak_->setName(QStringLiteral("Peak (Umax, Fa) = (%1, %2)").arg(Number(uMax), Number(solved.Fa)));
  modelShown_ = true;
  UpdateRanges();
  DescribeModel(solved);
  stack_->setCurrentWidget(view_);
}

// Rather than keep the loop of an earlier case, the tab says that there is
// none, or shows the measured record alone.
void LoopTab::ShowNoModel(const QString& failure) {
  modelShown_ = false;
  for (QXYSeries* series : std::initializer_list<QXYSeries*>{loadingBranch_, unloadingBranch_, outline_, peak_}) {
    series->clear();
  }
  infoBox_->setVisible(false);
  if (measuredShown_) {
    chart_->setTitle(ChartTitle({QStringLiteral("Measured record %1").arg(measuredName_),
                                 QStringLiteral("The model loop of this case cannot be drawn.")}));
    UpdateRanges();
    stack_->setCurrentWidget(view_);
    return;
  }
  prompt_->setText(QStringLiteral("The loop of this case cannot be drawn%1\n\n%2")
                       .arg(failure.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + failure, promptText_));
  stack_->setCurrentWidget(prompt_);
}

// The loading branch ends at the positive tip, where u is largest (the
// first such point); the unloading branch runs from there back to the first
// point.
void LoopTab::DrawModel(const QList<QPointF>& outline) {
  const auto byU = [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); };
  const qsizetype tip = std::max_element(outline.begin(), outline.end() - 1, byU) - outline.begin();
  QList<QPointF> unloadingBackwards;
  for (qsizetype i = outline.size() - 1; i >= tip; --i) unloadingBackwards.append(outline[i]);
  loadingBranch_->replace(outline.mid(0, tip + 1));
  unloadingBranch_->replace(unloadingBackwards);
  outline_->replace(outline);
  modelUExtent_ = 0.0;
  modelFExtent_ = 0.0;
  for (const QPointF& p : outline) {
    modelUExtent_ = std::max(modelUExtent_, std::abs(p.x()));
    modelFExtent_ = std::max(modelFExtent_, std::abs(p.y()));
  }
}

void LoopTab::DescribeModel(const BoucWenCase& solved) {
  chart_->setTitle(ChartTitle(
      {QStringLiteral("Hysteresis loop at Umax/Uy = %1").arg(Number(solved.UmaxOverUy)), CaseCaption(solved)}));
  const DerivedQuantities derived = DeriveQuantities(solved);
  const QString xiPercent =
      std::isfinite(derived.XiEq) ? QStringLiteral(" (%1 %)").arg(derived.XiEq * 100.0, 0, 'f', 2) : QString();
  infoText_->setText(QStringLiteral("DE = %1\nXiEq = ξeq = %2%3\nKsec = %4   (Ksec/K0 = %5)")
                         .arg(Number(solved.DE), Number(derived.XiEq), xiPercent, Number(derived.Ksec),
                              Number(derived.KsecOverK0)));
  infoBox_->setVisible(true);
  PlaceInfo();
}

void LoopTab::ShowMeasured(const std::vector<double>& u, const std::vector<double>& F, const QString& name) {
  // At most 20000 points are drawn: a chart cannot show more, and a long
  // record would make it slow.
  const std::size_t count = std::min(u.size(), F.size());
  const std::size_t stride = std::max<std::size_t>(1, (count + 19999) / 20000);
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(count / stride + 1));
  for (std::size_t i = 0; i < count; i += stride) points.append(QPointF(u[i], F[i]));
  measured_->replace(points);
  measured_->setName(QStringLiteral("Measured record %1").arg(LegendName(name)));
  HideLegend(chart_, measured_, false);
  measuredShown_ = true;
  measuredName_ = name;
  UpdateRanges();
  if (!modelShown_) chart_->setTitle(ChartTitle({QStringLiteral("Measured record %1").arg(name)}));
  stack_->setCurrentWidget(view_);
}

void LoopTab::ShowFitted(const std::vector<QList<QPointF>>& loops) {
  for (const QList<QPointF>& loop : loops) {
    QLineSeries* series = MakeLine(QStringLiteral("Fitted model"), QColor(170, 0, 170), Qt::DashLine);
    series->replace(loop);
    chart_->addSeries(series);
    series->attachAxis(axisU_);
    series->attachAxis(axisF_);
    if (!fitted_.empty()) HideLegend(chart_, series, true);
    fitted_.push_back(series);
  }
  UpdateRanges();
}

void LoopTab::ShowModelPath(const std::vector<QList<QPointF>>& runs) {
  std::size_t total = 0;
  for (const QList<QPointF>& run : runs) total += static_cast<std::size_t>(run.size());
  const qsizetype stride = static_cast<qsizetype>(std::max<std::size_t>(1, (total + 19999) / 20000));
  for (const QList<QPointF>& run : runs) {
    if (run.isEmpty()) continue;
    QList<QPointF> points;
    points.reserve(run.size() / stride + 2);
    for (qsizetype i = 0; i < run.size(); i += stride) points.append(run[i]);
    if ((run.size() - 1) % stride != 0) points.append(run.back());
    // Over the record, which it follows, in a colour that stands out from
    // the record's teal, as thin as the record.
    QLineSeries* series = MakeLine(QStringLiteral("Model along the record"), QColor(215, 80, 0), Qt::SolidLine);
    series->setPen(QPen(QColor(215, 80, 0), 1.2));
    series->replace(points);
    chart_->addSeries(series);
    series->attachAxis(axisU_);
    series->attachAxis(axisF_);
    if (!path_.empty()) HideLegend(chart_, series, true);
    path_.push_back(series);
  }
  UpdateRanges();
}

void LoopTab::ClearFitted() {
  for (std::vector<QLineSeries*>* drawn : {&fitted_, &path_}) {
    for (QLineSeries* series : *drawn) {
      chart_->removeSeries(series);
      delete series;
    }
    drawn->clear();
  }
}

void LoopTab::UpdateRanges() {
  double uExtent = modelShown_ ? modelUExtent_ : 0.0;
  double fExtent = modelShown_ ? modelFExtent_ : 0.0;
  std::vector<QXYSeries*> extra{measured_};
  extra.insert(extra.end(), fitted_.begin(), fitted_.end());
  extra.insert(extra.end(), path_.begin(), path_.end());
  for (QXYSeries* series : extra) {
    for (const QPointF& p : series->points()) {
      uExtent = std::max(uExtent, std::abs(p.x()));
      fExtent = std::max(fExtent, std::abs(p.y()));
    }
  }
  // Symmetric about the origin, like the loop, with a little room at the
  // tips.
  SetRange(axisU_, -1.04 * uExtent, 1.04 * uExtent, 6);
  SetRange(axisF_, -1.08 * fExtent, 1.08 * fExtent, 6);
  // Every change of what is drawn passes here, legend entries included.
  FitLegend(chart_);
}

void LoopTab::PlaceInfo() {
  const qreal pad = 6.0;
  const QRectF text = infoText_->boundingRect();
  infoText_->setPos(pad, pad);
  infoBox_->setRect(0, 0, text.width() + 2 * pad, text.height() + 2 * pad);
  infoBox_->setPos(chart_->plotArea().topLeft() + QPointF(8.0, 8.0));
}

}  // namespace quorix::plots
