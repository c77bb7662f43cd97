#include "planner/grid/qorChartPainter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QPolygonF>
#include <QSaveFile>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <memory>
#include <unordered_map>

#include "planner/base/qorStrings.h"
#include "planner/grid/qorGridPainter.h"

namespace {

// Drawn in tenths of a point, so that font sizes like 6.5 points are whole pixel sizes (which
// keep their size under any device's transform).
constexpr double kUnit = 10;

QRectF ToRect(const TqorChartBox& b) {
  return QRectF(b.X * kUnit, b.Y * kUnit, b.W * kUnit, b.H * kUnit);
}
QPointF ToPoint(const TqorChartPoint& p) {
  return QPointF(p.X * kUnit, p.Y * kUnit);
}

// The fonts by size and weight, and the texts as cut to their boxes (names and dates come
// back on every page).
class TqorFonts {
 public:
  const QString& Elided(const TqorChartShape& s, const QFont& font, double width) {
    const std::string key = s.Text + '\x1f' + std::to_string(std::lround(s.FontSize * kUnit)) +
                            (s.Bold ? "b" : "") + std::to_string(std::lround(width));
    auto it = elided_.find(key);
    if (it == elided_.end())
      it = elided_
               .emplace(key, QFontMetricsF(font).elidedText(QString::fromStdString(s.Text),
                                                            Qt::ElideRight, width))
               .first;
    return it->second;
  }

  // shaped: for texts in scripts that join or reorder their letters (from Hebrew on); others
  // are drawn without ligatures, so that a name searched or copied in a PDF viewer is the name
  // ("fl", not one glyph standing for both).
  const QFont& Get(double size, bool bold, bool shaped) {
    const int pixels = static_cast<int>(std::lround(size * kUnit));
    for (const Entry& e : fonts_)
      if (e.Pixels == pixels && e.Bold == bold && e.Shaped == shaped) return e.Font;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    // Outlines are placed as they are, not fitted to a pixel grid the page does not have.
    font.setHintingPreference(QFont::PreferNoHinting);
    if (!shaped) font.setStyleStrategy(QFont::PreferNoShaping);
    fonts_.push_back({pixels, bold, shaped, font});
    return fonts_.back().Font;
  }

 private:
  struct Entry {
    int Pixels;
    bool Bold;
    bool Shaped;
    QFont Font;
  };
  std::vector<Entry> fonts_;
  std::unordered_map<std::string, QString> elided_;
};

void DrawShape(QPainter& painter, const TqorChartShape& s, TqorFonts& fonts) {
  const QPen pen = s.StrokeWidth > 0 ? QPen(ToQColor(s.Stroke), s.StrokeWidth * kUnit,
                                            Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin)
                                     : QPen(Qt::NoPen);
  switch (s.Kind) {
    case TqorChartShapeKind::Rect: {
      const QRectF r = ToRect(s.Box);
      painter.setPen(pen);
      painter.setBrush(s.Filled ? QBrush(ToQColor(s.Fill)) : QBrush(Qt::NoBrush));
      painter.drawRect(r);
      break;
    }
    case TqorChartShapeKind::Line: {
      QPolygonF line;
      for (const TqorChartPoint& p : s.Points) line << ToPoint(p);
      painter.setPen(pen);
      painter.setBrush(Qt::NoBrush);
      painter.drawPolyline(line);
      break;
    }
    case TqorChartShapeKind::Polygon: {
      QPolygonF polygon;
      for (const TqorChartPoint& p : s.Points) polygon << ToPoint(p);
      painter.setPen(pen);
      painter.setBrush(s.Filled ? QBrush(ToQColor(s.Fill)) : QBrush(Qt::NoBrush));
      painter.drawPolygon(polygon);
      break;
    }
    case TqorChartShapeKind::Text: {
      // UTF-8 lead bytes from 0xD6 start the code points from U+0580 on.
      const bool shaped = std::any_of(s.Text.begin(), s.Text.end(),
                                      [](char c) { return static_cast<unsigned char>(c) >= 0xD6; });
      const QFont& font = fonts.Get(s.FontSize, s.Bold, shaped);
      painter.setFont(font);
      painter.setPen(ToQColor(s.Fill));
      const QRectF r = ToRect(s.Box);
      const QString& text = fonts.Elided(s, font, r.width());
      const int align = Qt::AlignVCenter | (s.Align == TqorTextAlign::Left    ? Qt::AlignLeft
                                            : s.Align == TqorTextAlign::Right ? Qt::AlignRight
                                                                              : Qt::AlignHCenter);
      painter.drawText(r, align | Qt::TextSingleLine, text);
      break;
    }
  }
}

// A temporary file beside the target that replaces it when committed.
std::unique_ptr<QSaveFile> OpenOutput(const QString& path) {
  auto file = std::make_unique<QSaveFile>(path);
  if (!file->open(QIODevice::WriteOnly))
    throw EqorFileError("Cannot write '" + path.toStdString() +
                        "': " + file->errorString().toStdString());
  return file;
}

void Commit(QSaveFile& file, const QString& path) {
  if (!file.commit())
    throw EqorFileError("Cannot write '" + path.toStdString() +
                        "': " + file.errorString().toStdString());
}

TqorChartPage WholeChart(const TqorChartInput& input, TqorChartOptions options) {
  options.PageWidth = options.PageHeight = 0;
  options.FitToPage = false;
  TqorChartPages pages = LayoutChart(input, options);
  return std::move(pages.Pages.front());
}

void PaintPage(QPainter& painter, const TqorChartPage& page, TqorFonts& fonts) {
  painter.save();
  painter.scale(page.Scale / kUnit, page.Scale / kUnit);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  TqorChartClip clip = TqorChartClip::None;
  for (const TqorChartShape& shape : page.Shapes) {
    if (shape.Clip != clip) {
      clip = shape.Clip;
      if (clip == TqorChartClip::None)
        painter.setClipping(false);
      else
        painter.setClipRect(
            ToRect(clip == TqorChartClip::Header ? page.HeaderClip : page.BodyClip));
    }
    DrawShape(painter, shape, fonts);
  }
  painter.restore();
}

}  // namespace

void PaintChartPage(QPainter& painter, const TqorChartPage& page) {
  TqorFonts fonts;
  PaintPage(painter, page, fonts);
}

int PaintChart(QPagedPaintDevice& device, const TqorChartInput& input, TqorChartOptions options) {
  const QRectF area = device.pageLayout().paintRect(QPageLayout::Point);
  options.PageWidth = area.width();
  options.PageHeight = area.height();
  const TqorChartPages pages = LayoutChart(input, options);
  QPainter painter;
  if (!painter.begin(&device)) throw EqorChartError("The chart's pages cannot be drawn.");
  // The painter's unit is the device's dot, from the printable area's corner.
  const double dotsPerPoint = device.logicalDpiX() / 72.0;
  TqorFonts fonts;
  for (size_t i = 0; i < pages.Pages.size(); ++i) {
    if (i > 0) device.newPage();
    painter.save();
    painter.scale(dotsPerPoint, dotsPerPoint);
    PaintPage(painter, pages.Pages[i], fonts);
    painter.restore();
  }
  painter.end();
  return static_cast<int>(pages.Pages.size());
}

int WriteChartPdf(const QString& path, const TqorChartInput& input, const TqorChartOptions& options,
                  const TqorChartPaper& paper) {
  std::unique_ptr<QSaveFile> file = OpenOutput(path);
  int count = 0;
  {
    QPdfWriter writer(file.get());
    writer.setTitle(QString::fromStdString(input.Title));
    writer.setCreator(QStringLiteral("Vazadod"));
    writer.setResolution(72);
    writer.setPageLayout(
        QPageLayout(paper.Size, paper.Orientation,
                    QMarginsF(paper.MarginMm, paper.MarginMm, paper.MarginMm, paper.MarginMm),
                    QPageLayout::Millimeter));
    count = PaintChart(writer, input, options);
  }
  Commit(*file, path);
  return count;
}

void WriteChartPng(const QString& path, const TqorChartInput& input,
                   const TqorChartOptions& options, int dpi) {
  const TqorChartPage page = WholeChart(input, options);
  const double dotsPerPoint = dpi / 72.0;
  const long long width = std::llround(std::ceil(page.Width * dotsPerPoint));
  const long long height = std::llround(std::ceil(page.Height * dotsPerPoint));
  if (width > 32767 || height > 32767 || width * height > kMaxChartPixels)
    throw EqorChartError("The chart would be an image of " + std::to_string(width) + " x " +
                         std::to_string(height) +
                         " pixels, more than a PNG file can hold here; choose a shorter period, "
                         "a coarser scale or a lower resolution, or export a PDF.");
  QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
  image.fill(Qt::white);
  const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
  image.setDotsPerMeterX(dotsPerMeter);
  image.setDotsPerMeterY(dotsPerMeter);
  {
    QPainter painter(&image);
    painter.scale(dotsPerPoint, dotsPerPoint);
    PaintChartPage(painter, page);
  }
  std::unique_ptr<QSaveFile> file = OpenOutput(path);
  if (!image.save(file.get(), "PNG"))
    throw EqorFileError("Cannot write '" + path.toStdString() + "': the image was not stored");
  Commit(*file, path);
}

void WriteChartSvg(const QString& path, const TqorChartInput& input,
                   const TqorChartOptions& options) {
  const TqorChartPage page = WholeChart(input, options);
  std::unique_ptr<QSaveFile> file = OpenOutput(path);
  {
    QSvgGenerator svg;
    svg.setOutputDevice(file.get());
    svg.setTitle(QString::fromStdString(input.Title));
    svg.setResolution(72);
    svg.setSize(
        QSize(static_cast<int>(std::ceil(page.Width)), static_cast<int>(std::ceil(page.Height))));
    svg.setViewBox(QRectF(0, 0, std::ceil(page.Width), std::ceil(page.Height)));
    QPainter painter;
    if (!painter.begin(&svg)) throw EqorChartError("The chart cannot be drawn as SVG.");
    painter.fillRect(QRectF(0, 0, std::ceil(page.Width), std::ceil(page.Height)), Qt::white);
    PaintChartPage(painter, page);
    painter.end();
  }
  Commit(*file, path);
}
