#include "planner/grid/qorLoadView.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <cmath>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorRegionalSettings.h"
#include "planner/grid/qorPlannerGrid.h"

namespace {

constexpr int kNameWidth = TqorPlannerGrid::kNameColWidth;
constexpr int kFixedWidth = TqorPlannerGrid::kNameColWidth + TqorPlannerGrid::kHoursColWidth;
constexpr int kDayWidth = TqorPlannerGrid::kDayColWidth;
constexpr int kDays = TqorPlannerModel::kDayColumns;

const QColor kGridLine(192, 192, 192);
const QColor kDayOff(224, 224, 224);
const QColor kHolidayHatch(150, 120, 40);
const QColor kHolidayBack(250, 236, 190);
const QColor kLoad(112, 160, 224);
const QColor kOver(224, 64, 48);
const QColor kOverBack(255, 214, 208);

QString Percent(double units) {
  return QString::number(units, 'f', units == std::floor(units) ? 0 : 1) + QStringLiteral(" %");
}

}  // namespace

TqorLoadView::TqorLoadView(TqorPlannerGrid* grid, std::function<TqorLoadInput()> input,
                           QWidget* parent)
    : QAbstractScrollArea(parent), grid_(grid), input_(std::move(input)) {
  setObjectName(QStringLiteral("LoadView"));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setMouseTracking(true);
  grid_->onViewChanged = [this](bool rebuilt) { GridChanged(rebuilt); };
  Rebuild();
}

TqorLoadView::~TqorLoadView() {
  grid_->onViewChanged = nullptr;
}

void TqorLoadView::Refresh() {
  if (isVisible())
    Rebuild();
  else
    stale_ = true;
}

void TqorLoadView::GridChanged(bool rebuilt) {
  // A move of the period, a new fold or new rows: the plan may have changed with them.
  if (rebuilt)
    Refresh();
  else
    viewport()->update();
}

void TqorLoadView::showEvent(QShowEvent* event) {
  QAbstractScrollArea::showEvent(event);
  if (stale_) Rebuild();
}

void TqorLoadView::Rebuild() {
  stale_ = false;
  const auto from = static_cast<int32_t>(std::floor(grid_->StartDate()));
  load_ = std::make_unique<TqorResourceLoad>(input_ ? input_() : TqorLoadInput{}, from,
                                             from + kDays - 1);
  peak_.assign(static_cast<size_t>(load_->Resources()), 0);
  for (int r = 0; r < load_->Resources(); ++r)
    for (int32_t d = from; d < from + load_->Days(); ++d)
      peak_[static_cast<size_t>(r)] = std::max(peak_[static_cast<size_t>(r)], load_->Units(r, d));
  UpdateScrollBars();
  viewport()->update();
}

void TqorLoadView::UpdateScrollBars() {
  QScrollBar* v = verticalScrollBar();
  const int content = load_->Resources() * kRowHeight;
  v->setRange(0, std::max(0, content - viewport()->height()));
  v->setPageStep(std::max(1, viewport()->height()));
  v->setSingleStep(kRowHeight);
}

void TqorLoadView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void TqorLoadView::scrollContentsBy(int, int) {
  viewport()->update();
}

QRect TqorLoadView::CellRect(int row, int32_t day) const {
  const int32_t column = day - load_->From();
  if (row < 0 || row >= load_->Resources() || column < 0 || column >= load_->Days()) return {};
  const int x = kFixedWidth + column * kDayWidth - grid_->horizontalScrollBar()->value();
  const int y = row * kRowHeight - verticalScrollBar()->value();
  return {x, y, kDayWidth, kRowHeight};
}

bool TqorLoadView::CellAt(const QPoint& pos, int& row, int32_t& day) const {
  if (pos.x() < kFixedWidth || pos.y() < 0) return false;
  const int x = pos.x() - kFixedWidth + grid_->horizontalScrollBar()->value();
  const int y = pos.y() + verticalScrollBar()->value();
  row = y / kRowHeight;
  const int column = x / kDayWidth;
  day = load_->From() + column;
  return row < load_->Resources() && column < load_->Days();
}

QString TqorLoadView::CellToolTip(int row, int32_t day) const {
  const TqorLoadResource& resource = load_->Resource(row);
  QString text = QString::fromStdString(resource.Name) + QStringLiteral(", ") +
                 QString::fromStdString(FormatDateTime(RegionalSettings().ShortDateFormat, day));
  switch (load_->Kind(row, day)) {
    case TqorLoadDay::DayOff:
      return text + QStringLiteral(": not a working day");
    case TqorLoadDay::Holiday:
      return text + QStringLiteral(": holiday");
    case TqorLoadDay::Working:
      break;
  }
  text += QStringLiteral(": ") + Percent(load_->Units(row, day));
  if (load_->Over(row, day))
    text += QStringLiteral(", over the max units of ") +
            Percent(resource.MaxUnits > 0 ? resource.MaxUnits : 100);
  for (int32_t task : load_->Tasks(row, day))
    text += QStringLiteral("\n") + QString::fromStdString(load_->TaskName(task));
  return text;
}

void TqorLoadView::Paint(QPainter& painter, const QRect& area) const {
  painter.fillRect(area, palette().base());
  const int firstRow = std::max(0, (area.top() + verticalScrollBar()->value()) / kRowHeight);
  const int lastRow =
      std::min(load_->Resources() - 1, (area.bottom() + verticalScrollBar()->value()) / kRowHeight);
  const int scrollX = grid_->horizontalScrollBar()->value();
  const int firstColumn =
      std::max(0, (std::max(area.left(), kFixedWidth) - kFixedWidth + scrollX) / kDayWidth);
  const int lastColumn =
      std::min(load_->Days() - 1, (area.right() - kFixedWidth + scrollX) / kDayWidth);
  const QFontMetrics metrics(font());

  // The day cells first, clipped to the right of the fixed columns.
  painter.save();
  painter.setClipRect(
      QRect(kFixedWidth, area.top(), std::max(0, area.right() - kFixedWidth + 1), area.height()));
  for (int r = firstRow; r <= lastRow; ++r) {
    for (int c = firstColumn; c <= lastColumn; ++c) {
      const int32_t day = load_->From() + c;
      const QRect cell = CellRect(r, day);
      switch (load_->Kind(r, day)) {
        case TqorLoadDay::DayOff:
          painter.fillRect(cell, kDayOff);
          break;
        case TqorLoadDay::Holiday:
          painter.fillRect(cell, kHolidayBack);
          painter.fillRect(cell, QBrush(kHolidayHatch, Qt::BDiagPattern));
          break;
        case TqorLoadDay::Working: {
          const double units = load_->Units(r, day);
          if (units <= 0) break;
          const bool over = load_->Over(r, day);
          if (over) painter.fillRect(cell, kOverBack);
          const int height = std::clamp(
              static_cast<int>(std::lround((kRowHeight - 2) * std::min(units, 100.0) / 100)), 1,
              kRowHeight - 2);
          painter.fillRect(QRect(cell.left() + 2, cell.bottom() - height, cell.width() - 4, height),
                           over ? kOver : kLoad);
          break;
        }
      }
      painter.fillRect(QRect(cell.right(), cell.top(), 1, cell.height()), kGridLine);
      painter.fillRect(QRect(cell.left(), cell.bottom(), cell.width(), 1), kGridLine);
    }
  }
  painter.restore();

  // The fixed columns: the name and the busiest day.
  for (int r = firstRow; r <= lastRow; ++r) {
    const int y = r * kRowHeight - verticalScrollBar()->value();
    const QRect name(0, y, kNameWidth, kRowHeight),
        peak(kNameWidth, y, kFixedWidth - kNameWidth, kRowHeight);
    painter.fillRect(QRect(0, y, kFixedWidth, kRowHeight), palette().window());
    painter.setPen(palette().windowText().color());
    painter.drawText(name.adjusted(4, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(QString::fromStdString(load_->Resource(r).Name),
                                        Qt::ElideRight, name.width() - 6));
    const double most = peak_[static_cast<size_t>(r)];
    const TqorLoadResource& resource = load_->Resource(r);
    const bool over = most > (resource.MaxUnits > 0 ? resource.MaxUnits : 100);
    painter.setPen(over ? kOver : palette().windowText().color());
    painter.drawText(peak.adjusted(2, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter,
                     most > 0 ? QStringLiteral("up to ") + Percent(most) : QString());
    painter.fillRect(QRect(0, y + kRowHeight - 1, kFixedWidth, 1), kGridLine);
    painter.fillRect(QRect(kNameWidth - 1, y, 1, kRowHeight), kGridLine);
    painter.fillRect(QRect(kFixedWidth - 1, y, 1, kRowHeight), kGridLine);
  }
}

void TqorLoadView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  Paint(painter, event->rect());
}

QImage TqorLoadView::RenderView() const {
  QImage image(viewport()->size(), QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&image);
  painter.setFont(font());
  Paint(painter, image.rect());
  return image;
}

void TqorLoadView::mouseDoubleClickEvent(QMouseEvent* event) {
  int row = 0;
  int32_t day = 0;
  if (!CellAt(event->position().toPoint(), row, day)) return;
  const std::vector<int32_t>& tasks = load_->Tasks(row, day);
  if (!tasks.empty() && onTaskActivated) onTaskActivated(tasks.front(), day);
}

bool TqorLoadView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    int row = 0;
    int32_t day = 0;
    if (CellAt(help->pos(), row, day))
      QToolTip::showText(help->globalPos(), CellToolTip(row, day), viewport());
    else
      QToolTip::hideText();
    return true;
  }
  return QAbstractScrollArea::viewportEvent(event);
}
