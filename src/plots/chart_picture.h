// A chart as a picture: for the clipboard, and as the bytes of a PNG or SVG
// file.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QChart;
class QChartView;

namespace quorix::plots {

// The chart a view shows, drawn into an image of the view's size at
// `pixelRatio` pixels to the view's pixel.
QImage RenderPicture(QChartView& view, qreal pixelRatio);
// PNG at twice the view's resolution at least; empty when it cannot be
// encoded.
QByteArray PngBytes(QChartView& view);
// An SVG drawing titled `title`, described by the chart's title without its
// markup; empty when it cannot be drawn.
QByteArray SvgBytes(QChartView& view, const QString& title);

// The data of a chart as TAB-separated text, for the clipboard beside its
// picture: for each curve with points, a line with its name, a line with
// the two axes' titles, then its points, one a line, in fifteen
// significant digits; a blank line between curves.
QString ChartDataText(const QChart& chart);

}  // namespace quorix::plots
