// Draws the chart's pages (planner/chart/qorChartLayout.h) with a QPainter, and writes them as
// PDF (vector, one page of the paper per chart page), PNG (the whole chart at a resolution) or
// SVG (vector, texts as text). The same drawing goes to a printer, so that a print to a PDF file
// and the exported PDF hold the same pages.
//
// Texts are drawn in the sans-serif face with Qt's shaping and font fallback, so names in any
// script (right-to-left ones too) come out in a font that has them.
#pragma once

#include <QPageLayout>
#include <QPageSize>
#include <QString>

#include "planner/chart/qorChartLayout.h"

class QPainter;
class QPagedPaintDevice;

// Draws one page on a painter whose unit is the point, from the page's top-left corner.
void PaintChartPage(QPainter& painter, const TqorChartPage& page);

// Lays the chart out on the device's printable area (its page layout) and draws every page;
// the page count. A device whose painter cannot start raises EqorChartError.
int PaintChart(QPagedPaintDevice& device, const TqorChartInput& input, TqorChartOptions options);

struct TqorChartPaper {
  QPageSize Size = QPageSize(QPageSize::A4);
  QPageLayout::Orientation Orientation = QPageLayout::Landscape;
  double MarginMm = 10;
};

// The files, each written whole (to a temporary file that replaces the target only when
// complete). Raise EqorChartError for a chart that cannot be laid out and EqorFileError (with
// the file and the reason) for a file that cannot be written.
// The PDF on the paper; the page count.
int WriteChartPdf(const QString& path, const TqorChartInput& input, const TqorChartOptions& options,
                  const TqorChartPaper& paper);
// The whole chart on one image of dpi dots per inch. An image over kMaxChartPixels pixels or
// 32,767 on a side is refused.
void WriteChartPng(const QString& path, const TqorChartInput& input,
                   const TqorChartOptions& options, int dpi);
// The whole chart on one SVG page whose user unit is the point.
void WriteChartSvg(const QString& path, const TqorChartInput& input,
                   const TqorChartOptions& options);

inline constexpr long long kMaxChartPixels = 200'000'000;
