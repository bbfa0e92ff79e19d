#include "plots_window.h"

#include <QApplication>
#include <QAreaSeries>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScatterSeries>
#include <QScreen>
#include <QShortcut>
#include <QHeaderView>
#include <QStackedWidget>
#include <QSvgGenerator>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

#include "numbertext.h"
#include "program_look.h"
#include "views.h"

namespace quorix {

namespace {

// Six significant digits: enough to read off a chart, and the same text in
// every locale (QString::number never uses the user's separators).
QString Number(double value) {
  return std::isfinite(value) ? QString::number(value, 'g', 6) : QStringLiteral("not defined");
}

QString CaseCaption(const BoucWenCase& bw) {
  return QStringLiteral("n = %1, γ = %2, α = %3, Fy = %4, Uy = %5, %6")
      .arg(Number(bw.Nee), Number(bw.GammaSmall), Number(bw.AlphaSmall), Number(bw.Fy), Number(bw.Uy),
           bw.Complementary ? QStringLiteral("Complementary") : QStringLiteral("Direct"));
}

// A chart title of several centred lines (the title is rich text).
QString ChartTitle(const QStringList& lines) {
  return QStringLiteral("<p align=\"center\">") + lines.join(QStringLiteral("<br>")) + QStringLiteral("</p>");
}

// The smallest of 1, 2, 2.5 and 5 times a power of ten that is at least x.
double NiceStep(double x) {
  const double decade = std::pow(10.0, std::floor(std::log10(x)));
  for (double factor : {1.0, 2.0, 2.5, 5.0}) {
    if (factor * decade >= x) return factor * decade;
  }
  return 10.0 * decade;
}

// An axis range that holds [low, high] with whole ticks at a round step,
// about `intervals` of them: a loop of amplitude 0.111 gets ±0.15 in steps
// of 0.05 rather than ±0.2, so the curve fills the plot. A degenerate or
// non-finite range (a loop of zero amplitude) gets a unit range.
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

QChart* MakeChart() {
  auto* chart = new QChart;
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->setBackgroundRoundness(0);
  chart->legend()->setAlignment(Qt::AlignBottom);
  QFont font = chart->titleFont();
  font.setPointSizeF(font.pointSizeF() * 1.1);
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
  QFont font = label->font();
  font.setPointSizeF(font.pointSizeF() * 1.25);
  label->setFont(font);
  return label;
}

// The chart a view shows, drawn into a picture of the view's size. The
// scene is drawn again rather than grabbed from the screen, so a picture
// can be finer than the screen and comes out the same when the window is
// partly covered.
QImage RenderPicture(QChartView& view, qreal pixelRatio) {
  const QSize size = view.viewport()->size();
  QImage image(size * pixelRatio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(pixelRatio);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  view.render(&painter, QRectF(QPointF(0, 0), size), view.viewport()->rect());
  return image;
}

}  // namespace

PlotsWindow::PlotsWindow(platform::SaveDialogs& dialogs, platform::Services& services, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs), services_(services) {
  setObjectName(QStringLiteral("PlotsWindow"));
  setWindowTitle(QString::fromLatin1(kCaption));
  setWindowIcon(ProgramIcon());

  tabs_ = new QTabWidget;
  tabs_->setObjectName(QStringLiteral("tabPlots"));
  tabs_->addTab(BuildLoopTab(), QStringLiteral("Loop"));
  tabs_->addTab(BuildSweepTab(), QStringLiteral("Sweep"));
  tabs_->addTab(BuildRecordTab(), QStringLiteral("Record"));

  cmdSavePng_ = new QPushButton(QStringLiteral("Save as PNG…"));
  cmdSavePng_->setObjectName(QStringLiteral("cmdSavePng"));
  cmdSaveSvg_ = new QPushButton(QStringLiteral("Save as SVG…"));
  cmdSaveSvg_->setObjectName(QStringLiteral("cmdSaveSvg"));
  cmdCopy_ = new QPushButton(QStringLiteral("Copy"));
  cmdCopy_->setObjectName(QStringLiteral("cmdCopy"));
  cmdCopy_->setToolTip(QStringLiteral("Copy the picture of the chart to the clipboard"));
  lblStatus_ = new QLabel;
  lblStatus_->setObjectName(QStringLiteral("lblStatus"));
  lblStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(lblStatus_, 1);
  buttons->addWidget(cmdSavePng_);
  buttons->addWidget(cmdSaveSvg_);
  buttons->addWidget(cmdCopy_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_, 1);
  layout->addLayout(buttons);

  connect(cmdSavePng_, &QPushButton::clicked, this, &PlotsWindow::SaveAsPng);
  connect(cmdSaveSvg_, &QPushButton::clicked, this, &PlotsWindow::SaveAsSvg);
  connect(cmdCopy_, &QPushButton::clicked, this, &PlotsWindow::CopyPicture);
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

QWidget* PlotsWindow::BuildLoopTab() {
  loopChart_ = MakeChart();
  loopAxisU_ = MakeAxis(QStringLiteral("u (unit of Uy)"));
  loopAxisF_ = MakeAxis(QStringLiteral("F (unit of Fy)"));
  loopChart_->addAxis(loopAxisU_, Qt::AlignBottom);
  loopChart_->addAxis(loopAxisF_, Qt::AlignLeft);

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
  loopOutline_ = MakeLine(QStringLiteral("F(u), one cycle"), QColor(20, 60, 160), Qt::SolidLine);
  peakMark_ = new QScatterSeries;
  peakMark_->setName(QStringLiteral("Peak (Umax, Fa)"));
  peakMark_->setMarkerShape(QScatterSeries::MarkerShapeCircle);
  peakMark_->setMarkerSize(11.0);
  peakMark_->setColor(QColor(200, 30, 30));
  peakMark_->setBorderColor(Qt::white);
  // A measured record in a colour of its own, thinner than the model's
  // outline, which it is drawn over.
  measuredSeries_ = MakeLine(QStringLiteral("Measured record"), QColor(0, 140, 120), Qt::SolidLine);
  measuredSeries_->setPen(QPen(QColor(0, 140, 120), 1.2));
  for (QAbstractSeries* series :
       std::initializer_list<QAbstractSeries*>{energyArea_, loopOutline_, peakMark_, measuredSeries_}) {
    loopChart_->addSeries(series);
    series->attachAxis(loopAxisU_);
    series->attachAxis(loopAxisF_);
  }
  for (QLegendMarker* marker : loopChart_->legend()->markers(measuredSeries_)) marker->setVisible(false);

  // DE, XiEq and Ksec in a box in the upper left corner of the plot: the
  // loop runs from lower left to upper right, so that corner stays clear.
  loopInfoBox_ = new QGraphicsRectItem(loopChart_);
  loopInfoBox_->setBrush(QColor(255, 255, 255, 225));
  loopInfoBox_->setPen(QPen(QColor(150, 150, 150), 0));
  loopInfoBox_->setZValue(100);
  loopInfoText_ = new QGraphicsSimpleTextItem(loopInfoBox_);
  loopInfoText_->setFont(loopAxisU_->labelsFont());
  connect(loopChart_, &QChart::plotAreaChanged, this, &PlotsWindow::PlaceLoopInfo);
  loopInfoBox_->setVisible(false);

  loopView_ = MakeView(loopChart_, "loopChartView");
  lblLoopPrompt_ = MakePrompt("lblLoopPrompt", kLoopPrompt);
  loopStack_ = new QStackedWidget;
  loopStack_->addWidget(lblLoopPrompt_);
  loopStack_->addWidget(loopView_);
  return loopStack_;
}

QWidget* PlotsWindow::BuildSweepTab() {
  sweepChart_ = MakeChart();
  sweepAxisU_ = MakeAxis(QStringLiteral("Umax/Uy"));
  sweepAxisDE_ = MakeAxis(QStringLiteral("DE (unit of Fy·Uy)"));
  sweepAxisRatio_ = MakeAxis(QStringLiteral("XiEq, Za (dimensionless)"));
  sweepChart_->addAxis(sweepAxisU_, Qt::AlignBottom);
  sweepChart_->addAxis(sweepAxisDE_, Qt::AlignLeft);
  sweepChart_->addAxis(sweepAxisRatio_, Qt::AlignRight);
  // The two dimensionless curves share the right axis; DE, which grows with
  // the amplitude, has the left one to itself. The left axis title takes
  // the colour of its curve so the reader can tell which axis is whose.
  deSeries_ = MakeLine(QStringLiteral("DE (left axis)"), QColor(20, 60, 160), Qt::SolidLine);
  xiSeries_ = MakeLine(QStringLiteral("XiEq = ξeq (right axis)"), QColor(210, 80, 20), Qt::SolidLine);
  zaSeries_ = MakeLine(QStringLiteral("Za (right axis)"), QColor(30, 140, 60), Qt::DashLine);
  sweepAxisDE_->setTitleBrush(deSeries_->pen().color());
  // One grid, the left axis's: two sets of grid lines would cross.
  sweepAxisRatio_->setGridLineVisible(false);
  sweepAxisRatio_->setMinorGridLineVisible(false);
  sweepChart_->addSeries(deSeries_);
  deSeries_->attachAxis(sweepAxisU_);
  deSeries_->attachAxis(sweepAxisDE_);
  for (QLineSeries* series : {xiSeries_, zaSeries_}) {
    sweepChart_->addSeries(series);
    series->attachAxis(sweepAxisU_);
    series->attachAxis(sweepAxisRatio_);
  }

  sweepView_ = MakeView(sweepChart_, "sweepChartView");
  lblSweepPrompt_ = MakePrompt("lblSweepPrompt", kSweepPrompt);
  sweepStack_ = new QStackedWidget;
  sweepStack_->addWidget(lblSweepPrompt_);
  sweepStack_->addWidget(sweepView_);
  return sweepStack_;
}

void PlotsWindow::ShowLoop(const BoucWenCase& solved) {
  HysteresisLoop loop;
  QString failure;
  try {
    loop = LoopOf(solved);
  } catch (const std::exception& error) {
    failure = QString::fromUtf8(error.what());
  }
  const std::size_t count = std::min(loop.u.size(), loop.F.size());
  bool finite = count >= 3;
  for (std::size_t i = 0; finite && i < count; ++i) finite = std::isfinite(loop.u[i]) && std::isfinite(loop.F[i]);
  if (!finite) {
    // A case without a loop to draw (a zero exponent, a non-finite result):
    // the tab says so instead of showing the loop of an earlier case, or
    // shows the measured record alone.
    modelShown_ = false;
    for (QXYSeries* series : std::initializer_list<QXYSeries*>{loadingBranch_, unloadingBranch_, loopOutline_, peakMark_}) {
      series->clear();
    }
    loopInfoBox_->setVisible(false);
    if (record_) {
      loopChart_->setTitle(ChartTitle({QStringLiteral("Measured record %1").arg(recordName_),
                                       QStringLiteral("The model loop of this case cannot be drawn.")}));
      UpdateLoopRanges();
      loopStack_->setCurrentWidget(loopView_);
      SetStatus(QString(), false);
      UpdateButtons();
      return;
    }
    lblLoopPrompt_->setText(QStringLiteral("The loop of this case cannot be drawn%1\n\n%2")
                                .arg(failure.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + failure,
                                     QString::fromLatin1(kLoopPrompt)));
    loopStack_->setCurrentWidget(lblLoopPrompt_);
    SetStatus(QString(), false);
    UpdateButtons();
    return;
  }

  // The loading branch ends at the positive tip, where u is largest; the
  // unloading branch runs from there back to the first point.
  const std::size_t tip = static_cast<std::size_t>(std::max_element(loop.u.begin(), loop.u.begin() + count) -
                                                   loop.u.begin());
  QList<QPointF> outline;
  outline.reserve(static_cast<qsizetype>(count + 1));
  double uExtent = 0.0;
  double fExtent = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    outline.append(QPointF(loop.u[i], loop.F[i]));
    uExtent = std::max(uExtent, std::abs(loop.u[i]));
    fExtent = std::max(fExtent, std::abs(loop.F[i]));
  }
  outline.append(outline.front());
  const QList<QPointF> loading = outline.mid(0, static_cast<qsizetype>(tip + 1));
  QList<QPointF> unloadingBackwards;
  for (qsizetype i = outline.size() - 1; i >= static_cast<qsizetype>(tip); --i) unloadingBackwards.append(outline[i]);
  loadingBranch_->replace(loading);
  unloadingBranch_->replace(unloadingBackwards);
  loopOutline_->replace(outline);

  const double uMax = solved.UmaxOverUy * solved.Uy;
  peakMark_->clear();
  peakMark_->append(uMax, solved.Fa);
  peakMark_->setName(QStringLiteral("Peak (Umax, Fa) = (%1, %2)").arg(Number(uMax), Number(solved.Fa)));
  modelShown_ = true;
  modelUExtent_ = uExtent;
  modelFExtent_ = fExtent;
  UpdateLoopRanges();

  loopChart_->setTitle(ChartTitle(
      {QStringLiteral("Hysteresis loop at Umax/Uy = %1").arg(Number(solved.UmaxOverUy)), CaseCaption(solved)}));
  const DerivedQuantities derived = DeriveQuantities(solved);
  const QString xiPercent =
      std::isfinite(derived.XiEq) ? QStringLiteral(" (%1 %)").arg(derived.XiEq * 100.0, 0, 'f', 2) : QString();
  loopInfoText_->setText(QStringLiteral("DE = %1\nXiEq = ξeq = %2%3\nKsec = %4   (Ksec/K0 = %5)")
                             .arg(Number(solved.DE), Number(derived.XiEq), xiPercent, Number(derived.Ksec),
                                  Number(derived.KsecOverK0)));
  loopInfoBox_->setVisible(true);
  PlaceLoopInfo();

  loopStack_->setCurrentWidget(loopView_);
  SetStatus(QString(), false);
  UpdateButtons();
}

void PlotsWindow::UpdateLoopRanges() {
  double uExtent = modelShown_ ? modelUExtent_ : 0.0;
  double fExtent = modelShown_ ? modelFExtent_ : 0.0;
  std::vector<QXYSeries*> extra{measuredSeries_};
  extra.insert(extra.end(), fittedSeries_.begin(), fittedSeries_.end());
  for (QXYSeries* series : extra) {
    for (const QPointF& p : series->points()) {
      uExtent = std::max(uExtent, std::abs(p.x()));
      fExtent = std::max(fExtent, std::abs(p.y()));
    }
  }
  // Symmetric about the origin, like the loop, with a little room at the
  // tips.
  SetRange(loopAxisU_, -1.04 * uExtent, 1.04 * uExtent, 6);
  SetRange(loopAxisF_, -1.08 * fExtent, 1.08 * fExtent, 6);
}

void PlotsWindow::PlaceLoopInfo() {
  const qreal pad = 6.0;
  const QRectF text = loopInfoText_->boundingRect();
  loopInfoText_->setPos(pad, pad);
  loopInfoBox_->setRect(0, 0, text.width() + 2 * pad, text.height() + 2 * pad);
  loopInfoBox_->setPos(loopChart_->plotArea().topLeft() + QPointF(8.0, 8.0));
}

void PlotsWindow::ShowSweep(const SweepCurves& curves) {
  const std::vector<SweepCurvePoint> rows = curves.Rows();
  if (rows.empty()) {
    lblSweepPrompt_->setText(QStringLiteral("The last Loop gave no rows: its range holds no amplitude.\n\n%1")
                                 .arg(QString::fromLatin1(kSweepPrompt)));
    sweepStack_->setCurrentWidget(lblSweepPrompt_);
    SetStatus(QString(), false);
    UpdateButtons();
    return;
  }

  // Points whose value is not finite are left out: a chart cannot place
  // them, and the table still has them.
  QList<QPointF> de;
  QList<QPointF> xi;
  QList<QPointF> za;
  de.reserve(static_cast<qsizetype>(rows.size()));
  xi.reserve(static_cast<qsizetype>(rows.size()));
  za.reserve(static_cast<qsizetype>(rows.size()));
  double uLow = INFINITY, uHigh = -INFINITY;
  double deLow = 0.0, deHigh = 0.0;
  double ratioLow = 0.0, ratioHigh = 1.0;
  for (const SweepCurvePoint& row : rows) {
    if (!std::isfinite(row.UmaxOverUy)) continue;
    uLow = std::min(uLow, row.UmaxOverUy);
    uHigh = std::max(uHigh, row.UmaxOverUy);
    if (std::isfinite(row.DE)) {
      de.append(QPointF(row.UmaxOverUy, row.DE));
      deLow = std::min(deLow, row.DE);
      deHigh = std::max(deHigh, row.DE);
    }
    for (auto [value, points] : {std::pair{row.XiEq, &xi}, std::pair{row.Za, &za}}) {
      if (!std::isfinite(value)) continue;
      points->append(QPointF(row.UmaxOverUy, value));
      ratioLow = std::min(ratioLow, value);
      ratioHigh = std::max(ratioHigh, value);
    }
  }
  deSeries_->replace(de);
  xiSeries_->replace(xi);
  zaSeries_->replace(za);
  // With few rows the lines alone could hide single points.
  const bool markPoints = rows.size() < 40;
  for (QLineSeries* series : {deSeries_, xiSeries_, zaSeries_}) series->setPointsVisible(markPoints);
  SetRange(sweepAxisU_, uLow, uHigh, 10);
  SetRange(sweepAxisDE_, deLow, deHigh + 0.03 * (deHigh - deLow), 5);
  SetRange(sweepAxisRatio_, ratioLow, ratioHigh, 5);

  QString rowCount = QStringLiteral("Sweep of %1 row%2, Umax/Uy from %3 to %4")
                         .arg(curves.RowsSeen())
                         .arg(curves.RowsSeen() == 1 ? QString() : QStringLiteral("s"))
                         .arg(Number(rows.front().UmaxOverUy), Number(rows.back().UmaxOverUy));
  if (curves.Stride() > 1) rowCount += QStringLiteral(" (1 row in %1 drawn)").arg(curves.Stride());
  sweepChart_->setTitle(ChartTitle({rowCount, CaseCaption(curves.FirstRecord())}));

  sweepStack_->setCurrentWidget(sweepView_);
  SetStatus(QString(), false);
  UpdateButtons();
}

QWidget* PlotsWindow::BuildRecordTab() {
  cmdOpenRecord_ = new QPushButton(QStringLiteral("Open measured record…"));
  cmdOpenRecord_->setObjectName(QStringLiteral("cmdOpenRecord"));
  cmdFit_ = new QPushButton(QStringLiteral("Fit"));
  cmdFit_->setObjectName(QStringLiteral("cmdFit"));
  cmdFit_->setToolTip(QStringLiteral("Fit n, γ, α, Fy and Uy to the steady cycles of the record"));
  cmdUseParameters_ = new QPushButton(QStringLiteral("Use these parameters"));
  cmdUseParameters_->setObjectName(QStringLiteral("cmdUseParameters"));
  cmdUseParameters_->setToolTip(QStringLiteral("Write the fitted n, γ, α, Fy and Uy into the main window and Solve"));
  connect(cmdOpenRecord_, &QPushButton::clicked, this, &PlotsWindow::OpenMeasuredRecord);
  connect(cmdFit_, &QPushButton::clicked, this, &PlotsWindow::FitRecord);
  connect(cmdUseParameters_, &QPushButton::clicked, this, &PlotsWindow::UseFittedParameters);
  cmdFit_->setEnabled(false);
  cmdUseParameters_->setEnabled(false);

  lblRecord_ = new QLabel;
  lblRecord_->setObjectName(QStringLiteral("lblRecord"));
  lblRecord_->setWordWrap(true);
  lblRecord_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  cycleTable_ = new QTableWidget;
  cycleTable_->setObjectName(QStringLiteral("tblCycles"));
  cycleTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  cycleTable_->verticalHeader()->setVisible(false);
  cycleTable_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  auto* page = new QWidget;
  auto* pageLayout = new QVBoxLayout(page);
  pageLayout->setContentsMargins(0, 0, 0, 0);
  pageLayout->addWidget(lblRecord_);
  pageLayout->addWidget(cycleTable_, 1);

  lblRecordPrompt_ = MakePrompt("lblRecordPrompt", kRecordPrompt);
  recordStack_ = new QStackedWidget;
  recordStack_->addWidget(lblRecordPrompt_);
  recordStack_->addWidget(page);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdOpenRecord_);
  buttons->addWidget(cmdFit_);
  buttons->addWidget(cmdUseParameters_);
  buttons->addStretch(1);
  auto* tab = new QWidget;
  auto* layout = new QVBoxLayout(tab);
  layout->addLayout(buttons);
  layout->addWidget(recordStack_, 1);
  return tab;
}

void PlotsWindow::OpenMeasuredRecord() {
  const std::optional<std::string> path =
      dialogs_.AskOpenPath("Open a measured record", "Records (*.csv *.txt *.dat);;All files (*)");
  if (path) OpenRecord(*path);
}

bool PlotsWindow::OpenRecord(const std::string& path) {
  const QString name = QFileInfo(QString::fromStdString(path)).fileName();
  measured::Record record;
  measured::CycleTable table;
  try {
    record = measured::ReadRecordFile(services_, path);
    table = measured::FindCycles(record.u, record.F);
  } catch (const std::exception& error) {
    SetStatus(QStringLiteral("Could not open %1: %2").arg(name, QString::fromUtf8(error.what())), true);
    return false;
  }
  record_ = std::move(record);
  cycles_ = std::move(table);
  recordName_ = name;
  ClearFit();

  // At most 20000 points are drawn: a chart cannot show more, and a long
  // record would make it slow. The cycles are computed on every point.
  const std::size_t count = record_->u.size();
  const std::size_t stride = std::max<std::size_t>(1, (count + 19999) / 20000);
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(count / stride + 1));
  for (std::size_t i = 0; i < count; i += stride) points.append(QPointF(record_->u[i], record_->F[i]));
  measuredSeries_->replace(points);
  measuredSeries_->setName(QStringLiteral("Measured record %1").arg(name));
  for (QLegendMarker* marker : loopChart_->legend()->markers(measuredSeries_)) marker->setVisible(true);
  UpdateLoopRanges();
  if (!modelShown_) {
    loopChart_->setTitle(ChartTitle({QStringLiteral("Measured record %1").arg(name)}));
  }
  loopStack_->setCurrentWidget(loopView_);

  FillCycleTable();
  recordStack_->setCurrentIndex(1);
  cmdFit_->setEnabled(true);
  SetStatus(QStringLiteral("Opened %1: %2 points, %3 cycles.")
                .arg(name)
                .arg(count)
                .arg(cycles_->cycles.size()),
            false);
  UpdateButtons();
  return true;
}

void PlotsWindow::FillCycleTable() {
  const std::vector<measured::Cycle>& cycles = cycles_->cycles;
  const bool fitted = fit_.has_value();
  QStringList headers{QStringLiteral("Cycle"), QStringLiteral("u⁺"),   QStringLiteral("u⁻"),   QStringLiteral("F⁺"),
                      QStringLiteral("F⁻"),    QStringLiteral("EDC"),  QStringLiteral("Keff"), QStringLiteral("ξeff"),
                      QStringLiteral("Steady")};
  if (fitted) headers << QStringLiteral("EDC of the fit");
  cycleTable_->clear();
  cycleTable_->setColumnCount(static_cast<int>(headers.size()));
  cycleTable_->setHorizontalHeaderLabels(headers);
  cycleTable_->setRowCount(static_cast<int>(cycles.size()) + 1);
  auto set = [this](int row, int column, const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    cycleTable_->setItem(row, column, item);
  };
  for (std::size_t i = 0; i < cycles.size(); ++i) {
    const measured::Cycle& c = cycles[i];
    const int row = static_cast<int>(i);
    set(row, 0, QString::number(i + 1));
    int column = 1;
    for (double v : {c.uPlus, c.uMinus, c.FPlus, c.FMinus, c.EDC, c.Keff, c.XiEff}) set(row, column++, Number(v));
    set(row, 8, c.steady ? QStringLiteral("yes") : QStringLiteral("no"));
  }
  const measured::CycleMeans& m = cycles_->steadyMeans;
  const int last = static_cast<int>(cycles.size());
  set(last, 0, QStringLiteral("Mean of %1 steady").arg(m.count));
  int column = 1;
  for (double v : {m.uPlus, m.uMinus, m.FPlus, m.FMinus, m.EDC, m.Keff, m.XiEff}) set(last, column++, Number(v));
  if (fitted) {
    for (const measured::CycleFit& c : fit_->cycles) set(static_cast<int>(c.cycle), 9, Number(c.modelEDC));
  }
  QString text = QStringLiteral("%1: %2 points, %3 full cycles, %4 steady.")
                     .arg(recordName_)
                     .arg(record_->u.size())
                     .arg(cycles.size())
                     .arg(m.count);
  if (fitted) {
    const measured::Parameters& p = fit_->parameters;
    const double values[5] = {p.n, p.gamma, p.alpha, p.Fy, p.Uy};
    const char* names[5] = {"n", "γ", "α", "Fy", "Uy"};
    QStringList parts;
    for (int i = 0; i < 5; ++i) {
      parts << (fit_->fixed[static_cast<std::size_t>(i)]
                    ? QStringLiteral("%1 = %2 (fixed)").arg(QString::fromUtf8(names[i]), Number(values[i]))
                    : QStringLiteral("%1 = %2 ± %3")
                          .arg(QString::fromUtf8(names[i]), Number(values[i]),
                               Number(fit_->errors[static_cast<std::size_t>(i)])));
    }
    QStringList fittedCycles;
    for (const measured::CycleFit& c : fit_->cycles) fittedCycles << QString::number(c.cycle + 1);
    text += QStringLiteral("\nFit to cycles %1: %2 (β = %3).\nMisfit (RMS) %4, %5 % of the mean F⁺.")
                .arg(fittedCycles.join(QStringLiteral(", ")), parts.join(QStringLiteral(", ")), Number(1.0 - p.gamma),
                     Number(fit_->rms), QString::number(100.0 * fit_->rmsRelative, 'f', 2));
  }
  lblRecord_->setText(text);
}

void PlotsWindow::ClearFit() {
  fit_.reset();
  for (QLineSeries* series : fittedSeries_) {
    loopChart_->removeSeries(series);
    delete series;
  }
  fittedSeries_.clear();
  cmdUseParameters_->setEnabled(false);
}

void PlotsWindow::FitRecord() {
  if (!record_ || !cycles_) return;
  ClearFit();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QString failure;
  try {
    fit_ = measured::FitCycles(record_->u, record_->F, *cycles_);
  } catch (const std::exception& error) {
    failure = QString::fromUtf8(error.what());
  }
  QApplication::restoreOverrideCursor();
  if (!failure.isEmpty()) {
    FillCycleTable();
    SetStatus(QStringLiteral("No fit: %1").arg(failure), true);
    return;
  }
  // One fitted loop per distinct amplitude, dashed, in a colour of its own;
  // one legend entry for them all.
  std::vector<double> drawn;
  for (const measured::CycleFit& c : fit_->cycles) {
    if (std::any_of(drawn.begin(), drawn.end(), [&](double d) { return std::abs(d - c.halfRange) <= 1e-3 * d; })) {
      continue;
    }
    drawn.push_back(c.halfRange);
    const measured::Cycle& cy = cycles_->cycles[c.cycle];
    const HysteresisLoop loop = measured::ModelLoop(fit_->parameters, c.halfRange, 0.5 * (cy.uPlus + cy.uMinus), 301);
    if (loop.u.empty()) continue;
    QList<QPointF> points;
    for (std::size_t i = 0; i < loop.u.size(); ++i) points.append(QPointF(loop.u[i], loop.F[i]));
    points.append(points.front());
    QLineSeries* series = MakeLine(QStringLiteral("Fitted model"), QColor(170, 0, 170), Qt::DashLine);
    series->replace(points);
    loopChart_->addSeries(series);
    series->attachAxis(loopAxisU_);
    series->attachAxis(loopAxisF_);
    if (!fittedSeries_.empty()) {
      for (QLegendMarker* marker : loopChart_->legend()->markers(series)) marker->setVisible(false);
    }
    fittedSeries_.push_back(series);
  }
  UpdateLoopRanges();
  FillCycleTable();
  cmdUseParameters_->setEnabled(true);
  SetStatus(QStringLiteral("Fitted in %1 iterations; misfit %2 % of the mean F⁺.")
                .arg(fit_->iterations)
                .arg(100.0 * fit_->rmsRelative, 0, 'f', 2),
            false);
}

void PlotsWindow::UseFittedParameters() {
  if (!fit_) return;
  const measured::Parameters& p = fit_->parameters;
  emit ParametersChosen(p.n, p.gamma, p.alpha, p.Fy, p.Uy);
}

QString PlotsWindow::RecordText() const { return lblRecord_->text(); }

QString PlotsWindow::StatusText() const { return lblStatus_->text(); }

void PlotsWindow::SetStatus(const QString& text, bool failure) {
  lblStatus_->setText(text);
  QPalette palette = lblStatus_->parentWidget() ? lblStatus_->parentWidget()->palette() : lblStatus_->palette();
  if (failure) palette.setColor(QPalette::WindowText, QColor(190, 0, 0));
  lblStatus_->setPalette(palette);
}

QChartView* PlotsWindow::CurrentView() const {
  auto* stack = qobject_cast<QStackedWidget*>(tabs_->currentWidget());
  return stack ? qobject_cast<QChartView*>(stack->currentWidget()) : nullptr;
}

void PlotsWindow::UpdateButtons() {
  const bool chart = CurrentView() != nullptr;
  for (QPushButton* button : {cmdSavePng_, cmdSaveSvg_, cmdCopy_}) button->setEnabled(chart);
}

QByteArray PlotsWindow::PngBytes() const {
  QChartView* view = CurrentView();
  if (!view) return {};
  // Twice the window's resolution at least, so the picture stays sharp in
  // a printed report.
  const QImage image = RenderPicture(*view, std::max<qreal>(2.0, view->devicePixelRatioF()));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return {};
  return bytes;
}

QByteArray PlotsWindow::SvgBytes() const {
  QChartView* view = CurrentView();
  if (!view) return {};
  const QSize size = view->viewport()->size();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(size);
  generator.setViewBox(QRect(QPoint(0, 0), size));
  // The screen's resolution, so that text in points keeps its size relative
  // to the chart it was laid out with.
  generator.setResolution(view->logicalDpiX());
  generator.setTitle(QString::fromLatin1(kCaption) + QStringLiteral(" – ") + tabs_->tabText(tabs_->currentIndex()));
  // The title without its markup: line breaks become "; ".
  QString description = view->chart()->title();
  description.replace(QStringLiteral("<br>"), QStringLiteral("; "));
  description.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
  generator.setDescription(description);
  QPainter painter;
  if (!painter.begin(&generator)) return {};
  view->render(&painter, QRectF(QPointF(0, 0), size), view->viewport()->rect());
  painter.end();
  return bytes;
}

void PlotsWindow::SaveAsPng() { SaveAs(Format::kPng); }
void PlotsWindow::SaveAsSvg() { SaveAs(Format::kSvg); }

void PlotsWindow::SaveAs(Format format) {
  if (!CurrentView()) return;
  const bool png = format == Format::kPng;
  const QString what = tabs_->currentIndex() == 0 ? QStringLiteral("loop") : QStringLiteral("sweep");
  const QString extension = png ? QStringLiteral("png") : QStringLiteral("svg");
  const std::optional<std::string> chosen =
      dialogs_.AskSavePath(png ? "Save the chart as PNG" : "Save the chart as SVG",
                           png ? "PNG image (*.png)" : "SVG drawing (*.svg)",
                           ("quorix-" + what + "." + extension).toStdString());
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
  QGuiApplication::clipboard()->setImage(RenderPicture(*view, view->devicePixelRatioF()));
  SetStatus(QStringLiteral("Copied the %1 chart to the clipboard.")
                .arg(tabs_->currentIndex() == 0 ? QStringLiteral("loop") : QStringLiteral("sweep")),
            false);
}

}  // namespace quorix
