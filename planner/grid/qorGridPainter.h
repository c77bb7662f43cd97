// Draws the grid's cell decisions with a QPainter: gradients line by line, solid fills, grid
// lines as a pen draws them (end points excluded), the milestone diamond, elided upright texts
// and rotated labels.
#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRect>
#include <QString>

#include "planner/qorGridCells.h"

// The grid's fonts: "arial" at 8 points (11 pixels) plain and bold, and the rotated labels'
// fonts, whose character cells are at most 12 pixels high.
struct TqorGridFonts {
  QFont Normal;
  QFont Bold;
  QFont Rotated;
  QFont RotatedBold;
  static TqorGridFonts Make();
};

inline QColor ToQColor(TqorColor c) {
  return QColor(c.Red, c.Green, c.Blue);
}
inline QRect ToQRect(const TqorRect& r) {
  return QRect(r.Left, r.Top, r.Width(), r.Height());
}

// A vertical gradient over rect: height + 1 horizontal lines from the top colour to the bottom
// colour, each from Left up to Right (excluded). Lines at or below clipBottom are left out, so
// that a gradient over a whole cell stays inside it.
void DrawGradient(QPainter& painter, const TqorRect& rect, const TqorGradient& pair,
                  int clipBottom);
// The milestone diamond in a bar rectangle, filled and outlined with a 1-pixel pen.
void DrawMilestone(QPainter& painter, const TqorRect& bar, TqorColor fill, TqorColor outline);
// Text turned by angle degrees counter-clockwise around (x, y), the top-left corner of its first
// character; what falls outside clip is not drawn.
void DrawRotatedText(QPainter& painter, int x, int y, int angle, const QString& text,
                     const QFont& font, const QColor& color, const QRect& clip);
// Draws one decided cell. Pixels of the cell that the decision leaves alone keep what the
// painter's device held before.
void PaintCell(QPainter& painter, const TqorCellDrawing& cell, const TqorGridFonts& fonts);
