// The resource load view: a row per resource and a cell per day of the grid's period, beside the
// grid and scrolled with it. A cell shows the resource's load on the day (qorResourceLoad.h) as a
// bar from the cell's foot, full at 100 percent, in the warning colour when the day is over
// the resource's max units; days off are grey as in the grid, holidays hatched. The two left
// columns give the resource's name and its busiest day of the period.
//
// The view reads the plan through the input function it is given (the window's, which takes it
// from the loaded plan), again when the grid's period or rows change and when Refresh is
// called. Its day columns lie where the grid's do: the same widths, the same horizontal scroll.
//
// Mouse: the tooltip of a cell names the resource, the day, the load and the tasks; a double
// click on a cell raises onTaskActivated with the first of its tasks.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>

#include <functional>
#include <memory>

#include "planner/schedule/qorResourceLoad.h"

class TqorPlannerGrid;

class TqorLoadView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 20;

  // REQUIRES: grid outlives the view.
  TqorLoadView(TqorPlannerGrid* grid, std::function<TqorLoadInput()> input,
               QWidget* parent = nullptr);
  ~TqorLoadView() override;

  // Reads the plan again and repaints (after the plan changed).
  void Refresh();

  // A double click on a cell with tasks: the first of them.
  std::function<void(int32_t taskId, int32_t day)> onTaskActivated;

  // The table shown (the grid's 90 days).
  const TqorResourceLoad& Load() const { return *load_; }
  // The resource row and the day at a viewport point; false outside the day cells.
  bool CellAt(const QPoint& pos, int& row, int32_t& day) const;
  // The rectangle of a day cell in viewport coordinates (empty when the day is not shown).
  QRect CellRect(int row, int32_t day) const;
  // The tooltip text of a cell.
  QString CellToolTip(int row, int32_t day) const;
  // The whole viewport as it paints.
  QImage RenderView() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  // Follows the grid: a new table when its period or rows changed (later, when hidden), a
  // repaint when it scrolled.
  void GridChanged(bool rebuilt);
  void Rebuild();
  void UpdateScrollBars();
  void Paint(QPainter& painter, const QRect& area) const;

  TqorPlannerGrid* grid_;
  std::function<TqorLoadInput()> input_;
  std::unique_ptr<TqorResourceLoad> load_;
  // The table is older than the plan (changed while the view was hidden).
  bool stale_ = false;
  // Each row's busiest day of the period, in percent.
  std::vector<double> peak_;
};
