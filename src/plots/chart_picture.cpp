#include "chart_picture.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <QValueAxis>
#include <QXYSeries>
#include <algorithm>

#include "numbertext.h"

namespace quorix::plots {

// The scene is drawn again rather than grabbed from the screen, so a
// picture can be finer than the screen and comes out the same when the
// window is partly covered.
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

QByteArray PngBytes(QChartView& view) {
  // Twice the window's resolution at least, so the picture stays sharp in
  // a printed report.
  const QImage image = RenderPicture(view, std::max<qreal>(2.0, view.devicePixelRatioF()));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return {};
  return bytes;
}

QByteArray SvgBytes(QChartView& view, const QString& title) {
  const QSize size = view.viewport()->size();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(size);
  generator.setViewBox(QRect(QPoint(0, 0), size));
  // The screen's resolution, so that text in points keeps its size relative
  // to the chart it was laid out with.
  generator.setResolution(view.logicalDpiX());
  generator.setTitle(title);
  // The title without its markup: line breaks become "; ".
  QString description = view.chart()->title();
  description.replace(QStringLiteral("<br>"), QStringLiteral("; "));
  description.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
  generator.setDescription(description);
  QPainter painter;
  if (!painter.begin(&generator)) return {};
  view.render(&painter, QRectF(QPointF(0, 0), size), view.viewport()->rect());
  painter.end();
  return bytes;
}

QString ChartDataText(const QChart& chart) {
  QStringList blocks;
  for (QAbstractSeries* abstract : chart.series()) {
    auto* series = qobject_cast<QXYSeries*>(abstract);
    if (!series || !series->isVisible() || series->count() == 0) continue;
    QString x = QStringLiteral("x"), y = QStringLiteral("y");
    for (QAbstractAxis* axis : series->attachedAxes()) {
      (axis->orientation() == Qt::Horizontal ? x : y) = axis->titleText();
    }
    QString block = series->name() + u'\n' + x + u'\t' + y + u'\n';
    for (const QPointF& p : series->points()) {
      block += QString::fromStdString(FormatPlainNumber(p.x())) + u'\t' +
               QString::fromStdString(FormatPlainNumber(p.y())) + u'\n';
    }
    blocks << block;
  }
  return blocks.join(u'\n');
}

}  // namespace quorix::plots
