// Draws the grid's cell decisions with a QPainter: gradients line by line, solid fills, grid
// lines as a pen draws them (end points excluded), the milestone diamond, elided upright texts
// and rotated labels. TqorGridPainter keeps the pictures of the cells it drew, so that a cell
// decided the same way again is copied rather than drawn.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>

#include <string>
#include <unordered_map>

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

// Paints decided cells and keeps the picture of each decision: a cell decided as one drawn
// before (every field of TqorCellDrawing alike, positions taken from the cell's corner) is
// copied from that picture. As the key is the whole decision, a cell never shows an old
// picture of something else. The pictures are dropped when the device pixel ratio or the
// device's format changes, and all at once when they grow past a bound. They are used on
// painters that map grid pixels to whole device pixels (an integer ratio, whole-pixel offsets);
// on others the cells are drawn as PaintCell draws them.
class TqorGridPainter {
 public:
  // background: the colour under the cells, which shows in the pixels a decision leaves alone.
  explicit TqorGridPainter(QColor background);

  // Takes the painter's mapping to device pixels for the cells painted on it until the next
  // Begin. Returns whether Paint then covers every pixel of its cells (it copies pictures), so
  // that the area under them need not be filled with the background first.
  bool Begin(const QPainter& painter);
  // Draws one decided cell as PaintCell does over the background colour, on the painter given
  // to Begin. With keepTexts false the texts are left out of the kept picture and drawn over it
  // each time (for texts that rarely repeat, such as the names of the rows).
  void Paint(QPainter& painter, const TqorCellDrawing& cell, bool keepTexts);

 private:
  void Clear();
  const QImage& Picture(const TqorCellDrawing& cell, bool withTexts);
  void DrawTexts(QPainter& painter, const TqorCellDrawing& cell);

  QColor background_;
  TqorGridFonts fonts_;
  QFontMetrics normalMetrics_;
  QFontMetrics boldMetrics_;
  // The pictures by the key of their decision, all at one device pixel ratio and format.
  std::unordered_map<std::string, QImage> pictures_;
  qreal ratio_ = 1;
  QImage::Format format_ = QImage::Format_RGB32;
  bool usePictures_ = false;  // on the painter of the last Begin
  qsizetype bytes_ = 0;
  std::string key_;  // reused between cells
  QImage scratch_;   // where pictures are drawn
};
