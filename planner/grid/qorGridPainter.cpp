#include "planner/grid/qorGridPainter.h"

#include <QFontMetrics>
#include <QPaintEngine>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kFontPixels = 11;  // 8 points at 96 dots per inch
constexpr int kRotatedCellHeight = 12;

QFont GridFont(bool bold) {
  QFont font(QStringLiteral("arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(kFontPixels);
  font.setBold(bold);
  return font;
}

// The largest pixel size whose character cell (ascent + descent) is at most 12 pixels.
QFont RotatedFont(bool bold) {
  QFont font = GridFont(bold);
  for (int px = kRotatedCellHeight; px > 6; --px) {
    font.setPixelSize(px);
    if (QFontMetrics(font).height() <= kRotatedCellHeight) break;
  }
  return font;
}

// A horizontal or vertical line as a pen draws it: from `from` up to `to`, `to` excluded.
void DrawSegment(QPainter& painter, const TqorLineSegment& s, const QColor& color) {
  if (s.From.X == s.To.X) {
    const int step = s.To.Y >= s.From.Y ? 1 : -1;
    const int len = std::abs(s.To.Y - s.From.Y);
    if (len == 0) return;
    const int y0 = step > 0 ? s.From.Y : s.To.Y + 1;
    painter.fillRect(QRect(s.From.X, y0, 1, len), color);
  } else if (s.From.Y == s.To.Y) {
    const int step = s.To.X >= s.From.X ? 1 : -1;
    const int len = std::abs(s.To.X - s.From.X);
    const int x0 = step > 0 ? s.From.X : s.To.X + 1;
    painter.fillRect(QRect(x0, s.From.Y, len, 1), color);
  } else {
    painter.setPen(color);
    painter.drawLine(s.From.X, s.From.Y, s.To.X, s.To.Y);
  }
}

Qt::Alignment ToQtAlign(TqorTextAlign align) {
  switch (align) {
    case TqorTextAlign::Center:
      return Qt::AlignHCenter;
    case TqorTextAlign::Right:
      return Qt::AlignRight;
    case TqorTextAlign::Left:
      break;
  }
  return Qt::AlignLeft;
}

// The layers of a cell below its texts: grid lines, background and bar.
void DrawBelowTexts(QPainter& painter, const TqorCellDrawing& cell) {
  const QColor gridColor = ToQColor(cell.GridLineColor);
  for (const TqorLineSegment& s : cell.GridLines) DrawSegment(painter, s, gridColor);

  const TqorCellBackground& bg = cell.Background;
  if (bg.Kind == TqorCellFill::Gradient)
    DrawGradient(painter, bg.Rect, bg.Gradient, cell.Cell.Bottom);
  else if (bg.Kind == TqorCellFill::Solid && bg.Rect.Width() > 0 && bg.Rect.Height() > 0)
    painter.fillRect(ToQRect(bg.Rect), ToQColor(bg.Color));

  const TqorCellBar& bar = cell.Bar;
  if (bar.Kind != TqorBarKind::None) {
    DrawGradient(painter, bar.Rect, bar.Gradient, cell.Cell.Bottom);
    if (bar.Milestone) DrawMilestone(painter, bar.Rect, bar.MilestoneFill, bar.MilestoneOutline);
    const QColor outline = ToQColor(bar.OutlineColor);
    for (const TqorLineSegment& s : bar.Outline) DrawSegment(painter, s, outline);
  }
}

void DrawTextsOf(QPainter& painter, const TqorCellDrawing& cell, const TqorGridFonts& fonts,
                 const QFontMetrics& normal, const QFontMetrics& bold) {
  for (const TqorCellText& t : cell.Texts) {
    const QString text = QString::fromStdString(t.Text);
    if (text.isEmpty()) continue;
    if (t.Angle != 0) {
      DrawRotatedText(painter, t.Origin.X, t.Origin.Y, t.Angle, text,
                      t.Bold ? fonts.RotatedBold : fonts.Rotated, ToQColor(t.Color),
                      ToQRect(t.Rect));
      continue;
    }
    const QRect rect = ToQRect(t.Rect);
    if (rect.width() <= 0 || rect.height() <= 0) continue;
    painter.setFont(t.Bold ? fonts.Bold : fonts.Normal);
    painter.setPen(ToQColor(t.Color));
    const QString shown =
        t.Ellipsis ? (t.Bold ? bold : normal).elidedText(text, Qt::ElideRight, rect.width()) : text;
    painter.drawText(rect, ToQtAlign(t.Align) | Qt::AlignVCenter | Qt::TextSingleLine, shown);
  }
}

// The key of a cell's picture: every field of its decision, positions taken from the cell's
// top-left corner, as bytes.
class TqorKeyWriter {
 public:
  TqorKeyWriter(std::string& key, const TqorRect& cell) : key_(key), x_(cell.Left), y_(cell.Top) {}
  void Int(int v) { key_.append(reinterpret_cast<const char*>(&v), sizeof v); }
  void Byte(int v) { key_.push_back(static_cast<char>(v)); }
  void Color(TqorColor c) {
    Byte(c.Red);
    Byte(c.Green);
    Byte(c.Blue);
  }
  void Gradient(const TqorGradient& g) {
    Color(g.Top);
    Color(g.Bottom);
  }
  void Point(TqorPoint p) {
    Int(p.X - x_);
    Int(p.Y - y_);
  }
  void Rect(const TqorRect& r) {
    Point({r.Left, r.Top});
    Point({r.Right, r.Bottom});
  }
  void Segments(const std::vector<TqorLineSegment>& segments) {
    Int(static_cast<int>(segments.size()));
    for (const TqorLineSegment& s : segments) {
      Point(s.From);
      Point(s.To);
    }
  }
  void Text(const std::string& text) {
    Int(static_cast<int>(text.size()));
    key_.append(text);
  }

 private:
  std::string& key_;
  int x_, y_;
};

// Fields that a kind of background or bar does not use are left out (they hold positions of no
// cell, which would make equal pictures differ).
void WriteKey(std::string& key, const TqorCellDrawing& cell, bool withTexts) {
  key.clear();
  TqorKeyWriter w(key, cell.Cell);
  w.Int(cell.Cell.Width());
  w.Int(cell.Cell.Height());
  w.Segments(cell.GridLines);
  w.Color(cell.GridLineColor);
  const TqorCellBackground& bg = cell.Background;
  w.Byte(static_cast<int>(bg.Kind));
  if (bg.Kind == TqorCellFill::Gradient) w.Gradient(bg.Gradient);
  if (bg.Kind == TqorCellFill::Solid) w.Color(bg.Color);
  if (bg.Kind != TqorCellFill::None) w.Rect(bg.Rect);
  const TqorCellBar& bar = cell.Bar;
  w.Byte(static_cast<int>(bar.Kind));
  if (bar.Kind != TqorBarKind::None) {
    w.Gradient(bar.Gradient);
    w.Rect(bar.Rect);
    w.Byte(bar.Milestone);
    if (bar.Milestone) {
      w.Color(bar.MilestoneFill);
      w.Color(bar.MilestoneOutline);
    }
    w.Segments(bar.Outline);
    if (!bar.Outline.empty()) w.Color(bar.OutlineColor);
  }
  w.Byte(withTexts);
  if (!withTexts) return;
  w.Int(static_cast<int>(cell.Texts.size()));
  for (const TqorCellText& t : cell.Texts) {
    w.Text(t.Text);
    w.Rect(t.Rect);
    w.Byte(static_cast<int>(t.Align));
    w.Color(t.Color);
    w.Byte(t.Bold);
    w.Byte(t.Ellipsis);
    w.Int(t.Angle);
    if (t.Angle != 0) w.Point(t.Origin);
  }
}

// Kept pictures beyond this many bytes are all dropped.
constexpr qsizetype kMaxPictureBytes = qsizetype{32} << 20;

}  // namespace

TqorGridFonts TqorGridFonts::Make() {
  return {GridFont(false), GridFont(true), RotatedFont(false), RotatedFont(true)};
}

void DrawGradient(QPainter& painter, const TqorRect& rect, const TqorGradient& pair,
                  int clipBottom) {
  const int h = rect.Height();
  if (h < 0 || rect.Width() <= 0) return;
  for (int i = 0; i <= h; ++i) {
    const int y = rect.Top + i;
    if (y >= clipBottom) break;
    painter.fillRect(QRect(rect.Left, y, rect.Width(), 1), ToQColor(GradientLineColor(pair, h, i)));
  }
}

void DrawMilestone(QPainter& painter, const TqorRect& bar, TqorColor fill, TqorColor outline) {
  const auto corners = MilestonePolygon(bar);
  QPolygon polygon;
  for (const TqorPoint& p : corners) polygon << QPoint(p.X, p.Y);
  painter.setPen(QPen(ToQColor(outline), 0));
  painter.setBrush(ToQColor(fill));
  painter.drawPolygon(polygon);
  painter.setBrush(Qt::NoBrush);
}

void DrawRotatedText(QPainter& painter, int x, int y, int angle, const QString& text,
                     const QFont& font, const QColor& color, const QRect& clip) {
  painter.save();
  painter.setClipRect(clip, Qt::IntersectClip);
  painter.translate(x, y);
  painter.rotate(-angle);
  painter.setFont(font);
  painter.setPen(color);
  const QFontMetrics fm(font);
  painter.drawText(QPoint(0, fm.ascent()), text);
  painter.restore();
}

void PaintCell(QPainter& painter, const TqorCellDrawing& cell, const TqorGridFonts& fonts) {
  if (!cell.Visible) return;
  DrawBelowTexts(painter, cell);
  if (!cell.Texts.empty())
    DrawTextsOf(painter, cell, fonts, QFontMetrics(fonts.Normal), QFontMetrics(fonts.Bold));
}

// --- TqorGridPainter ---

TqorGridPainter::TqorGridPainter(QColor background)
    : background_(background),
      fonts_(TqorGridFonts::Make()),
      normalMetrics_(fonts_.Normal),
      boldMetrics_(fonts_.Bold) {}

bool TqorGridPainter::Begin(const QPainter& painter) {
  // Whole device pixels per grid pixel, whole pixels of offset.
  const QTransform& t = painter.deviceTransform();
  const qreal ratio = t.m11();
  usePictures_ = painter.worldTransform().type() <= QTransform::TxTranslate &&
                 t.type() <= QTransform::TxScale && ratio == t.m22() && ratio >= 1 &&
                 ratio == std::floor(ratio) && t.dx() == std::floor(t.dx()) &&
                 t.dy() == std::floor(t.dy());
  if (!usePictures_) return false;
  // Pictures in the device's own format where it has one, so that texts are smoothed the way
  // they would be when drawn on it.
  QImage::Format format = QImage::Format_RGB32;
  const QPaintEngine* engine = painter.paintEngine();
  const QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
  if (device && device->devType() == QInternal::Image &&
      static_cast<const QImage*>(device)->format() == QImage::Format_ARGB32_Premultiplied)
    format = QImage::Format_ARGB32_Premultiplied;
  if (ratio != ratio_ || format != format_) {
    Clear();
    ratio_ = ratio;
    format_ = format;
  }
  return true;
}

void TqorGridPainter::Paint(QPainter& painter, const TqorCellDrawing& cell, bool keepTexts) {
  if (!cell.Visible || cell.Cell.Width() <= 0 || cell.Cell.Height() <= 0) return;
  if (!usePictures_) {
    PaintCell(painter, cell, fonts_);
    return;
  }
  painter.drawImage(QPoint(cell.Cell.Left, cell.Cell.Top), Picture(cell, keepTexts));
  if (!keepTexts) DrawTexts(painter, cell);
}

void TqorGridPainter::Clear() {
  pictures_.clear();
  bytes_ = 0;
}

const QImage& TqorGridPainter::Picture(const TqorCellDrawing& cell, bool withTexts) {
  WriteKey(key_, cell, withTexts);
  if (auto it = pictures_.find(key_); it != pictures_.end()) return it->second;

  // Drawn on one scratch image, whose paint engine is made once, and copied out.
  const TqorRect& r = cell.Cell;
  const QSize size = QSize(r.Width(), r.Height()) * ratio_;
  if (scratch_.width() < size.width() || scratch_.height() < size.height() ||
      scratch_.format() != format_ || scratch_.devicePixelRatio() != ratio_) {
    scratch_ = QImage(size.expandedTo(scratch_.size()), format_);
    scratch_.setDevicePixelRatio(ratio_);
  }
  {
    QPainter p(&scratch_);
    p.fillRect(QRect(0, 0, r.Width(), r.Height()), background_);
    p.translate(-r.Left, -r.Top);
    DrawBelowTexts(p, cell);
    if (withTexts) DrawTexts(p, cell);
  }
  QImage picture = scratch_.copy(QRect(QPoint(0, 0), size));
  picture.setDevicePixelRatio(ratio_);
  if (bytes_ + picture.sizeInBytes() > kMaxPictureBytes) Clear();
  bytes_ += picture.sizeInBytes();
  return pictures_.emplace(key_, std::move(picture)).first->second;
}

void TqorGridPainter::DrawTexts(QPainter& painter, const TqorCellDrawing& cell) {
  if (!cell.Texts.empty()) DrawTextsOf(painter, cell, fonts_, normalMetrics_, boldMetrics_);
}
