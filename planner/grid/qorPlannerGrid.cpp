#include "planner/grid/qorPlannerGrid.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QToolTip>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <exception>

#include "planner/grid/qorEventGuard.h"
#include "planner/qorGridLinks.h"

namespace {

const QColor kEmptyArea(255, 255, 255);

}  // namespace

TqorPlannerGrid::TqorPlannerGrid(QWidget* parent, std::function<double()> today)
    : QAbstractScrollArea(parent),
      model_(std::make_unique<TqorPlannerModel>(std::move(today))),
      cellPainter_(kEmptyArea) {
  setFocusPolicy(Qt::StrongFocus);
  // Every pixel of the viewport is painted by PaintArea.
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  model_->SetOnChanged([this] { ModelChanged(); });
  ModelChanged();
}

TqorPlannerGrid::~TqorPlannerGrid() {
  model_->SetOnChanged(nullptr);
}

int TqorPlannerGrid::ColWidth(int col) {
  if (col == 0) return kNameColWidth;
  if (col == 1) return kHoursColWidth;
  if (col >= kFixedCols && col < kColumnCount) return kDayColWidth;
  return 0;
}

int TqorPlannerGrid::FixedHeight() const {
  return RowHeight(0) + RowHeight(1);
}

int TqorPlannerGrid::RowAtContentY(int y) const {
  if (y < 0 || y >= ScrollHeight()) return -1;
  // The last row starting at or above y; rows of height 0 share their top with the next row,
  // so the one found is the row that covers y.
  auto it = std::upper_bound(rowTop_.begin(), rowTop_.end() - 1, y);
  return static_cast<int>(it - rowTop_.begin()) - 1 + kFixedRows;
}

int TqorPlannerGrid::ColLeft(int col) const {
  if (col == 0) return 0;
  if (col == 1) return kNameColWidth;
  return FixedWidth() + (col - kFixedCols) * kDayColWidth - horizontalScrollBar()->value();
}

int TqorPlannerGrid::TopRow() const {
  return RowAtContentY(verticalScrollBar()->value());
}

QRect TqorPlannerGrid::CellRect(int col, int row) const {
  if (col < 0 || col >= kColumnCount || row < 0 || row >= RowCount()) return {};
  const int h = RowHeight(row);
  if (h <= 0) return {};
  int y = 0;
  if (row == 1)
    y = RowHeight(0);
  else if (row >= kFixedRows)
    y = FixedHeight() + RowTop(row) - verticalScrollBar()->value();
  return QRect(ColLeft(col), y, ColWidth(col), h);
}

bool TqorPlannerGrid::CellAt(const QPoint& pos, int& col, int& row) const {
  const int x = pos.x(), y = pos.y();
  if (x < 0 || y < 0) return false;
  if (x < kNameColWidth) {
    col = 0;
  } else if (x < FixedWidth()) {
    col = 1;
  } else {
    col = kFixedCols + (x - FixedWidth() + horizontalScrollBar()->value()) / kDayColWidth;
    if (col >= kColumnCount) return false;
  }
  if (y < RowHeight(0)) {
    row = 0;
  } else if (y < FixedHeight()) {
    row = 1;
  } else {
    row = RowAtContentY(y - FixedHeight() + verticalScrollBar()->value());
    if (row < 0) return false;
  }
  return true;
}

// --- Model changes ---

void TqorPlannerGrid::ModelChanged() {
  linkRows_ = LinkRowSpans(*model_);
  const int n = RowCount();
  rowTop_.assign(static_cast<size_t>(std::max(0, n - kFixedRows) + 1), 0);
  int top = 0;
  for (int r = kFixedRows; r < n; ++r) {
    rowTop_[static_cast<size_t>(r - kFixedRows)] = top;
    top += RowHeight(r);
  }
  rowTop_.back() = top;

  // The current cell stays on the element it showed, else on its row as far as it exists.
  if (n <= kFixedRows) {
    row_ = -1;
  } else {
    const int found = currentNode_ ? model_->FindRow(currentNode_) : -1;
    if (found >= kFixedRows)
      row_ = found;
    else
      row_ = std::clamp(row_, kFixedRows, n - 1);
  }
  currentNode_ = RowNode(row_);
  selectedRow_ = row_;
  UpdateScrollBars();
  viewport()->update();
  if (onViewChanged) onViewChanged(true);
}

void TqorPlannerGrid::UpdateScrollBars() {
  const int visH = std::max(0, viewport()->height() - FixedHeight());
  const int visW = std::max(0, viewport()->width() - FixedWidth());
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, std::max(0, ScrollHeight() - visH));
  v->setPageStep(std::max(1, visH));
  v->setSingleStep(TqorPlannerModel::kDefaultRowHeight);
  QScrollBar* h = horizontalScrollBar();
  h->setRange(0, std::max(0, ScrollWidth() - visW));
  h->setPageStep(std::max(1, visW));
  h->setSingleStep(kDayColWidth);
}

void TqorPlannerGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

// Scrolling repaints everything: the fixed rows and columns must not move with the content.
void TqorPlannerGrid::scrollContentsBy(int, int) {
  viewport()->update();
  if (onViewChanged) onViewChanged(false);
}

// --- Current cell ---

bool TqorPlannerGrid::MoveCurrentCell(int col, int row) {
  if (col < kFixedCols || col >= kColumnCount || row < kFixedRows || row >= RowCount())
    return false;
  // The selection query: a new row repaints everything so that the fixed cells' highlight
  // follows; a move within the row repaints only the two cells.
  const bool newRow = row != selectedRow_;
  if (newRow) selectedRow_ = row;
  const QRect oldRect = CellRect(col_, row_);
  col_ = col;
  row_ = row;
  currentNode_ = RowNode(row);
  if (newRow) {
    viewport()->update();
  } else {
    if (!oldRect.isEmpty()) viewport()->update(oldRect);
    const QRect newRect = CellRect(col, row);
    if (!newRect.isEmpty()) viewport()->update(newRect);
  }
  return true;
}

void TqorPlannerGrid::SelectGridCell(int column, int row) {
  if (MoveCurrentCell(column, row)) EnsureVisible(column, row);
}

void TqorPlannerGrid::EnsureVisible(int col, int row) {
  if (row >= kFixedRows && row < RowCount() && RowHeight(row) > 0) {
    const int visH = std::max(0, viewport()->height() - FixedHeight());
    const int top = RowTop(row), bottom = top + RowHeight(row);
    QScrollBar* v = verticalScrollBar();
    if (top < v->value())
      v->setValue(top);
    else if (bottom > v->value() + visH)
      v->setValue(bottom - visH);
  }
  if (col >= kFixedCols && col < kColumnCount) {
    const int visW = std::max(0, viewport()->width() - FixedWidth());
    const int left = (col - kFixedCols) * kDayColWidth, right = left + kDayColWidth;
    QScrollBar* h = horizontalScrollBar();
    if (left < h->value())
      h->setValue(left);
    else if (right > h->value() + visW)
      h->setValue(right - visW);
  }
}

int TqorPlannerGrid::NextVisibleRow(int row, int direction) const {
  if (row < kFixedRows || row >= RowCount()) return row;
  int found;
  if (direction > 0) {
    found = RowAtContentY(RowTop(row) + RowHeight(row));
  } else {
    const int top = RowTop(row);
    found = top > 0 ? RowAtContentY(top - 1) : -1;
  }
  return found >= kFixedRows ? found : row;
}

void TqorPlannerGrid::keyPressEvent(QKeyEvent* event) {
  if (row_ < kFixedRows) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const int visH = std::max(1, viewport()->height() - FixedHeight());
  const int last = std::max(0, ScrollHeight() - 1);
  int col = col_, row = row_;
  switch (event->key()) {
    case Qt::Key_Left:
      col = std::max(kFixedCols, col - 1);
      break;
    case Qt::Key_Right:
      col = std::min(kColumnCount - 1, col + 1);
      break;
    case Qt::Key_Up:
      row = NextVisibleRow(row, -1);
      break;
    case Qt::Key_Down:
      row = NextVisibleRow(row, +1);
      break;
    case Qt::Key_PageUp:
      row = RowAtContentY(std::max(0, RowTop(row) - visH));
      break;
    case Qt::Key_PageDown:
      row = RowAtContentY(std::min(last, RowTop(row) + visH));
      break;
    case Qt::Key_Home:
      col = kFixedCols;
      if (ctrl) row = RowAtContentY(0);
      break;
    case Qt::Key_End:
      col = kColumnCount - 1;
      if (ctrl) row = RowAtContentY(last);
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  if (row < kFixedRows) row = row_;
  MoveCurrentCell(col, row);
  EnsureVisible(col, row);
  event->accept();
}

// --- Painting ---

void TqorPlannerGrid::PaintOneCell(QPainter& painter, int col, int row, const QRect& rect) const {
  TqorCellState state;
  state.Selected = col == col_ && row == row_;
  state.Focused = state.Selected && hasFocus();
  state.Fixed = col < kFixedCols || row < kFixedRows;
  state.CurrentRow = row_;
  const TqorRect r{rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
  // The names and figures of the rows seldom repeat: their texts are drawn afresh.
  const bool keepTexts = col >= kFixedCols || row < kFixedRows;
  DecideCell(*model_, col, row, r, state, drawing_);
  cellPainter_.Paint(painter, drawing_, keepTexts);
}

void TqorPlannerGrid::PaintArea(QPainter& painter, const QRect& area) const {
  const int vw = viewport()->width(), vh = viewport()->height();
  const int fw = FixedWidth(), fh = FixedHeight();
  const int sx = horizontalScrollBar()->value(), sy = verticalScrollBar()->value();
  if (cellPainter_.Begin(painter)) {
    // Only what lies right of the last column and below the last row shows the empty area.
    const int right = ColLeft(kColumnCount - 1) + kDayColWidth;
    const int bottom = fh + ScrollHeight() - sy;
    painter.fillRect(area & QRect(right, 0, std::max(0, vw - right), vh), kEmptyArea);
    painter.fillRect(area & QRect(0, bottom, right, std::max(0, vh - bottom)), kEmptyArea);
  } else {
    painter.fillRect(area, kEmptyArea);
  }

  // The day columns and scrolling rows that meet the area.
  const int x0 = std::max(area.left(), fw), x1 = std::min(area.right() + 1, vw);
  int firstCol = kColumnCount, lastCol = kColumnCount - 1;
  if (x0 < x1) {
    firstCol = kFixedCols + (x0 - fw + sx) / kDayColWidth;
    lastCol = std::min(kColumnCount - 1, kFixedCols + (x1 - 1 - fw + sx) / kDayColWidth);
  }
  std::vector<int> rows;
  const int y0 = std::max(area.top(), fh), y1 = std::min(area.bottom() + 1, vh);
  for (int y = y0 - fh + sy; y < y1 - fh + sy;) {
    const int r = RowAtContentY(y);
    if (r < 0) break;
    rows.push_back(r);
    y = RowTop(r) + RowHeight(r);
  }

  auto paintBlock = [&](const QRect& region, const auto& rowList, int c0, int c1) {
    const QRect clip = region & area;
    if (clip.isEmpty()) return;
    painter.setClipRect(clip);
    for (int r : rowList)
      for (int c = c0; c <= c1; ++c) {
        const QRect rect = CellRect(c, r);
        if (rect.intersects(clip)) PaintOneCell(painter, c, r, rect);
      }
  };
  const int headerRows[] = {0, 1};
  paintBlock(QRect(fw, fh, vw - fw, vh - fh), rows, firstCol, lastCol);
  paintBlock(QRect(fw, 0, vw - fw, fh), headerRows, firstCol, lastCol);
  paintBlock(QRect(0, fh, fw, vh - fh), rows, 0, kFixedCols - 1);
  paintBlock(QRect(0, 0, fw, fh), headerRows, 0, kFixedCols - 1);
  painter.setClipping(false);
  PaintLinks(painter, area & QRect(fw, fh, vw - fw, vh - fh));
}

void TqorPlannerGrid::PaintLinks(QPainter& painter, const QRect& area) const {
  if (area.isEmpty() || !model_->LinksNode()) return;
  TqorGridGeometry geometry;
  geometry.DayLeft = ColLeft(kFixedCols);
  geometry.DayWidth = kDayColWidth;
  const int fh = FixedHeight(), sy = verticalScrollBar()->value();
  geometry.RowTop = [&](int row) { return fh + RowTop(row) - sy; };
  // Only the links whose rows reach into the band in view.
  const int firstRow = RowAtContentY(std::max(0, area.top() - fh + sy));
  int lastRow = RowAtContentY(area.bottom() - fh + sy);
  if (firstRow < 0) return;
  if (lastRow < 0) lastRow = RowCount() - 1;
  std::vector<TqorLinkArrow> arrows;
  for (const TqorLinkRows& span : linkRows_) {
    if (span.LastRow < firstRow || span.FirstRow > lastRow) continue;
    if (const TqorXMLNode2* link = model_->Document().GetNodeById("link", span.Id))
      if (std::optional<TqorLinkArrow> arrow = LayoutLinkArrow(*model_, geometry, link))
        arrows.push_back(std::move(*arrow));
  }
  if (arrows.empty()) return;
  painter.save();
  painter.setClipRect(area);
  for (const TqorLinkArrow& arrow : arrows) {
    const QColor color = ToQColor(arrow.Critical ? qorGridColors::kCritical : qorGridColors::kLink);
    painter.setPen(QPen(color, 1));
    QPolygon line;
    for (const TqorPoint& p : arrow.Points) line << QPoint(p.X, p.Y);
    painter.drawPolyline(line);
    QPolygon head;
    for (const TqorPoint& p : arrow.Head) head << QPoint(p.X, p.Y);
    painter.setBrush(color);
    painter.drawPolygon(head);
    painter.setBrush(Qt::NoBrush);
  }
  painter.restore();
}

void TqorPlannerGrid::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  try {
    for (const QRect& rect : event->region()) PaintArea(painter, rect);
  } catch (...) {
    // Painting runs again and again: the first failure is reported once, after the paint.
    if (paintFailed_) return;
    paintFailed_ = true;
    QTimer::singleShot(0, this, [error = std::current_exception()] {
      if (EventErrorReport()) {
        GuardEvent([&] { std::rethrow_exception(error); });
        return;
      }
      try {
        std::rethrow_exception(error);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "Painting the grid failed: %s\n", e.what());
      } catch (...) {
        std::fprintf(stderr, "Painting the grid failed\n");
      }
    });
  }
}

QImage TqorPlannerGrid::RenderCell(int col, int row) const {
  const int w = ColWidth(col), h = RowHeight(row);
  if (w <= 0 || h <= 0 || row >= RowCount()) return {};
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(kEmptyArea);
  QPainter painter(&image);
  cellPainter_.Begin(painter);
  PaintOneCell(painter, col, row, QRect(0, 0, w, h));
  return image;
}

QImage TqorPlannerGrid::RenderView(qreal devicePixelRatio) const {
  QImage image(viewport()->size() * devicePixelRatio, QImage::Format_RGB32);
  image.setDevicePixelRatio(devicePixelRatio);
  QPainter painter(&image);
  PaintArea(painter, viewport()->rect());
  return image;
}

// --- Mouse ---

void TqorPlannerGrid::mousePressEvent(QMouseEvent* event) {
  // A release swallowed by a dialog that a double click opened leaves nothing to skip.
  skipNextFold_ = false;
  linkFrom_ = nullptr;
  int col, row;
  if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::AltModifier) &&
      CellAt(event->position().toPoint(), col, row) && col >= kFixedCols) {
    TqorXMLNode2* node = RowNode(row);
    if (node && node->Name() == "task") {
      linkFrom_ = node;
      return;
    }
  }
  if (event->button() == Qt::LeftButton && CellAt(event->position().toPoint(), col, row))
    MoveCurrentCell(col, row);
}

void TqorPlannerGrid::mouseReleaseEvent(QMouseEvent* event) {
  int col, row;
  if (linkFrom_) {
    // The end of a drag with Alt: a link from the task pressed on to the task released on.
    TqorXMLNode2* from = linkFrom_;
    linkFrom_ = nullptr;
    if (!CellAt(event->position().toPoint(), col, row) || col < kFixedCols) return;
    TqorXMLNode2* to = RowNode(row);
    if (to && to->Name() == "task" && to != from && onLinkDrag)
      GuardEvent([&] { onLinkDrag(this, from, to); });
    return;
  }
  if (!CellAt(event->position().toPoint(), col, row)) return;
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  GuardEvent([&] {
    HandleRelease(col, row, modifiers);
    // Folding comes after the release handling; it neither rebuilds the rows nor raises events.
    // The release that ends a double click folds nothing (the double click put the fold back).
    lastFoldRow_ = -1;
    if (skipNextFold_) {
      skipNextFold_ = false;
    } else if (col == 0 && row >= kFixedRows && model_->ToggleProjectRow(row)) {
      lastFoldRow_ = row;
    }
  });
}

void TqorPlannerGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  int col, row;
  if (!CellAt(event->position().toPoint(), col, row)) return;
  if (event->button() == Qt::LeftButton) MoveCurrentCell(col, row);
  // A double click on a project's name leaves its fold as it was: the first click's release
  // folded or unfolded it, so that is undone, and the release still to come is skipped.
  if (col == 0 && row == lastFoldRow_) {
    model_->ToggleProjectRow(row);
    skipNextFold_ = true;
  }
  lastFoldRow_ = -1;
  GuardEvent([&] { HandleDoubleClick(col, row); });
}

void TqorPlannerGrid::HandleRelease(int col, int row, Qt::KeyboardModifiers modifiers) {
  if (col < kFixedCols || row < kFixedRows) return;
  TqorXMLNode2* node = RowNode(row);
  if (!node) return;
  const bool isTask = node->Name() == "task";
  if (!isTask && node->Name() != "project") return;
  const bool ctrl = modifiers & Qt::ControlModifier, shift = modifiers & Qt::ShiftModifier;
  TqorDateGesture gesture;
  if (ctrl && shift)
    gesture = TqorDateGesture::SetStart;
  else if (ctrl)
    gesture = TqorDateGesture::SetEnd;
  else if (shift)
    gesture = TqorDateGesture::Move;
  else
    return;
  if (!model_->ApplyDateGesture(node, ColToDate(col), gesture)) return;
  if (isTask) {
    if (onTaskChanged) onTaskChanged(this, node);
    SortTasks();
  } else if (onProjectChanged) {
    onProjectChanged(this, node);
  }
  RebuildRows();
}

void TqorPlannerGrid::HandleDoubleClick(int col, int row) {
  if (row < kFixedRows) return;
  TqorXMLNode2* node = RowNode(row);
  if (!node) return;
  // Column 1 takes part with the day before the first day column.
  const bool hit = col == 0 || model_->ContainsDate(node, ColToDate(col));
  if (!hit) return;
  if (node->Name() == "task") {
    if (!onTaskEdit) return;
    // The edit may remove the task, or load the plan again with new elements: the task is found
    // again by its id, and only a task still shown in a row is reported.
    const std::string id = node->GetAttributeStr("id");
    onTaskEdit(this, node);
    RebuildRows();
    TqorXMLNode2* task = Document().GetNodeById("task", id);
    if (onTaskChanged && task && model_->FindRow(task) >= 0) onTaskChanged(this, task);
  } else if (node->Name() == "project") {
    if (onProjectEdit) onProjectEdit(this, node);
  }
}

void TqorPlannerGrid::contextMenuEvent(QContextMenuEvent* event) {
  int col, row;
  if (!onTaskMenu || !CellAt(event->pos(), col, row)) return;
  TqorXMLNode2* node = RowNode(row);
  if (!node || node->Name() != "task") return;
  MoveCurrentCell(col, row);
  GuardEvent([&] { onTaskMenu(this, node, event->globalPos()); });
}

bool TqorPlannerGrid::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    int col, row;
    const TqorXMLNode2* node = CellAt(help->pos(), col, row) ? RowNode(row) : nullptr;
    std::string text;
    if (node && node->Name() == "task" && onTaskToolTip) text = onTaskToolTip(node);
    if (text.empty())
      QToolTip::hideText();
    else
      QToolTip::showText(help->globalPos(), QString::fromStdString(text), viewport());
    return true;
  }
  return QAbstractScrollArea::viewportEvent(event);
}
