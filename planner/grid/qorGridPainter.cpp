#include "planner/grid/qorGridPainter.h"

#include <QFontMetrics>
#include <QPolygon>

#include <algorithm>
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
    const QFont& font = t.Bold ? fonts.Bold : fonts.Normal;
    painter.setFont(font);
    painter.setPen(ToQColor(t.Color));
    const QString shown =
        t.Ellipsis ? QFontMetrics(font).elidedText(text, Qt::ElideRight, rect.width()) : text;
    painter.drawText(rect, ToQtAlign(t.Align) | Qt::AlignVCenter | Qt::TextSingleLine, shown);
  }
}
