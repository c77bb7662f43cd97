// The calendar grid of the planner: a scroll area that paints its viewport cell by cell.
//
// 92 columns: names (150 pixels), hour figures (100 pixels) and 90 days (14 pixels each).
// Rows: the date header (70 pixels), the weekday header, then the model's project and task rows
// (24 pixels, 0 for the tasks of a collapsed project). The two header rows and the two left
// columns stay in place while the rest scrolls by pixels.
//
// The grid owns its planner model (the document, the rows and the period) and forwards its
// operations. What each cell shows is decided by DecideCell; this class only places cells,
// handles input and raises the events.
//
// Mouse: a release on a day cell of a task or project row reschedules it by the modifier keys
// held at the release (Ctrl+Shift: start day, Ctrl: end day, Shift: move); a release in the
// name column of a project row folds or unfolds it; a double click on a name or a bar day opens
// the task or project (onTaskEdit, onProjectEdit). The keyboard moves the current cell.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "planner/grid/qorGridPainter.h"
#include "planner/qorGridLinks.h"
#include "planner/qorPlannerModel.h"

class TqorPlannerGrid;

using TonTaskAdded = std::function<void(TqorPlannerGrid* Sender, const std::string& pProjectId,
                                        TqorXMLNode2* pTask)>;
using TonTaskDeleted = std::function<void(TqorPlannerGrid* Sender, const std::string& pTaskDbKey)>;
using TonTaskChanged = std::function<void(TqorPlannerGrid* Sender, TqorXMLNode2* pTask)>;
using TonTaskEdit = std::function<void(TqorPlannerGrid* Sender, TqorXMLNode2* pTask)>;
using TonProjectChanged = std::function<void(TqorPlannerGrid* Sender, TqorXMLNode2* pProject)>;
using TonProjectEdit = std::function<void(TqorPlannerGrid* Sender, TqorXMLNode2* pProject)>;
// A drag with Alt held from one task's bar to another's: the first is to be the predecessor.
using TonLinkDrag = std::function<void(TqorPlannerGrid* Sender, TqorXMLNode2* pPredecessor,
                                       TqorXMLNode2* pSuccessor)>;
// The context menu of a task's row, at a global screen position.
using TonTaskMenu =
    std::function<void(TqorPlannerGrid* Sender, TqorXMLNode2* pTask, const QPoint& globalPos)>;
// The text of the tooltip over a task's row ("" shows none).
using TonTaskToolTip = std::function<std::string(const TqorXMLNode2* pTask)>;

class TqorPlannerGrid : public QAbstractScrollArea {
  Q_OBJECT

 public:
  static constexpr int kColumnCount = TqorPlannerModel::kColumnCount;
  static constexpr int kFixedCols = TqorPlannerModel::kFixedCols;
  static constexpr int kFixedRows = TqorPlannerModel::kFixedRows;
  static constexpr int kNameColWidth = 150;
  static constexpr int kHoursColWidth = 100;
  static constexpr int kDayColWidth = 14;

  // today gives today's date as a day number (default: the local system date). The grid shows
  // the current month.
  explicit TqorPlannerGrid(QWidget* parent = nullptr, std::function<double()> today = {});
  ~TqorPlannerGrid() override;

  // Events. Sender is always this grid. onTaskAdded and onTaskDeleted are never raised by the
  // grid itself.
  TonTaskAdded onTaskAdded;
  TonTaskDeleted onTaskDeleted;
  TonTaskChanged onTaskChanged;
  TonTaskEdit onTaskEdit;
  TonProjectChanged onProjectChanged;
  TonProjectEdit onProjectEdit;
  TonLinkDrag onLinkDrag;
  TonTaskMenu onTaskMenu;
  TonTaskToolTip onTaskToolTip;
  // After the period or the rows changed (rebuilt: true) or the grid scrolled (false), for the
  // views that follow the grid.
  std::function<void(bool rebuilt)> onViewChanged;

  TqorPlannerModel& Model() { return *model_; }
  const TqorPlannerModel& Model() const { return *model_; }

  // --- The document (see TqorPlannerModel) ---
  TqorXMLParser2& Document() { return model_->Document(); }
  TqorXMLNode2* ProjectsNode() const { return model_->ProjectsNode(); }
  TqorXMLNode2* ResourcesNode() const { return model_->ResourcesNode(); }
  TqorXMLNode2* HolidaysNode() const { return model_->HolidaysNode(); }
  TqorXMLNode2* AddProject(std::string_view projectId, std::string_view name) {
    return model_->AddProject(projectId, name);
  }
  TqorXMLNode2* AddTask(std::string_view projectId, std::string_view taskId, std::string_view name,
                        double startDate, double endDate, bool isMilestone) {
    return model_->AddTask(projectId, taskId, name, startDate, endDate, isMilestone);
  }
  void DeleteTask(std::string_view taskId) { model_->DeleteTask(taskId); }
  void SortTasks() { model_->SortTasks(); }
  // Rebuilds the rows from the document and the filter and repaints.
  void RebuildRows() { model_->RebuildRows(); }
  const std::string& ProjectFilter() const { return model_->ProjectFilter(); }
  void SetProjectFilter(std::string filter) { model_->SetProjectFilter(std::move(filter)); }
  bool IsProjectVisible(const TqorXMLNode2* project) const {
    return model_->IsProjectVisible(project);
  }
  double CalcAssignedHours(const TqorXMLNode2* task) const {
    return model_->CalcAssignedHours(task);
  }
  double SumAssignedHours(const TqorXMLNode2* project) const {
    return model_->SumAssignedHours(project);
  }

  // --- The period (each move repaints) ---
  double StartDate() const { return model_->StartDate(); }
  void SetStartDate(double date) { model_->SetStartDate(date); }
  void ShowCurrentMonth() { model_->ShowCurrentMonth(); }
  void NextMonth() { model_->NextMonth(); }
  void PreviousMonth() { model_->PreviousMonth(); }
  void NextYear() { model_->NextYear(); }
  void PreviousYear() { model_->PreviousYear(); }
  double ColToDate(int column) const { return model_->ColToDate(column); }

  // --- Rows, columns and the current cell ---
  int ColCount() const { return kColumnCount; }
  int RowCount() const { return model_->RowCount(); }
  static int ColWidth(int col);
  int RowHeight(int row) const { return model_->RowHeight(row); }
  // The project or task shown in a row; nullptr for header and placeholder rows.
  TqorXMLNode2* RowNode(int row) const { return model_->RowNode(row); }
  // The current cell. Row is -1 when the grid has no row below the headers.
  int Col() const { return col_; }
  int Row() const { return row_; }
  // The row most recently made current; the whole grid repaints when it changes.
  int SelectedRow() const { return selectedRow_; }
  // Makes a day cell below the headers current and scrolls it into view; ignored when column or
  // row is below 2 or outside the grid.
  void SelectGridCell(int column, int row);

  // --- Geometry, in viewport coordinates ---
  // The rectangle a cell occupies (partly or wholly hidden under the fixed cells when scrolled
  // away); empty for collapsed rows and cells outside the grid.
  QRect CellRect(int col, int row) const;
  // The cell under a viewport point; false outside every cell.
  bool CellAt(const QPoint& pos, int& col, int& row) const;
  // The first scrolling row whose bottom lies below the top of the scrolling area (-1 when none).
  int TopRow() const;

  // --- Rendering ---
  // One cell drawn into an image of the cell's size, as the grid paints it (current-cell state
  // included).
  QImage RenderCell(int col, int row) const;
  // The whole viewport as the grid paints it, into an image of devicePixelRatio device pixels
  // per viewport pixel (as on a screen of that ratio).
  QImage RenderView(qreal devicePixelRatio = 1) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  int FixedWidth() const { return kNameColWidth + kHoursColWidth; }
  int FixedHeight() const;
  int ScrollHeight() const { return rowTop_.empty() ? 0 : rowTop_.back(); }
  int ScrollWidth() const { return TqorPlannerModel::kDayColumns * kDayColWidth; }
  // Top of a scrolling row (row >= 2) in content coordinates, before scrolling.
  int RowTop(int row) const { return rowTop_[static_cast<size_t>(row - kFixedRows)]; }
  // The scrolling row covering content height y (rows of height 0 cover nothing); -1 when none.
  int RowAtContentY(int y) const;
  int ColLeft(int col) const;

  void ModelChanged();
  void UpdateScrollBars();
  // The cell selection query, then the move; repaints as the selection rule says.
  bool MoveCurrentCell(int col, int row);
  void EnsureVisible(int col, int row);
  // The next row with a height in the given direction (+1 or -1), or row itself.
  int NextVisibleRow(int row, int direction) const;

  void PaintArea(QPainter& painter, const QRect& area) const;
  // The links' arrows over the day cells below the header, within area.
  void PaintLinks(QPainter& painter, const QRect& area) const;
  void PaintOneCell(QPainter& painter, int col, int row, const QRect& rect) const;

  void HandleRelease(int col, int row, Qt::KeyboardModifiers modifiers);
  void HandleDoubleClick(int col, int row);

  std::unique_ptr<TqorPlannerModel> model_;
  // Paints the cells and keeps a picture of each decision, keyed by the whole decision: no
  // change of plan, period, today or selection can bring back an old picture.
  mutable TqorGridPainter cellPainter_;
  mutable TqorCellDrawing drawing_;  // the cell being painted, its storage reused
  // Content top of each scrolling row, and one entry more: the total height.
  std::vector<int> rowTop_;
  int col_ = kFixedCols;
  int row_ = kFixedRows;
  int selectedRow_ = kFixedRows;
  // The node of the current row, followed when the rows are rebuilt. Only compared, never read.
  const TqorXMLNode2* currentNode_ = nullptr;
  // The row the last release folded or unfolded (-1: none), and whether the next release folds
  // nothing because a double click put the fold back.
  int lastFoldRow_ = -1;
  bool skipNextFold_ = false;
  // Set after the first failed paint, which alone is reported.
  bool paintFailed_ = false;
  // The task under a press with Alt held: a release with Alt on another task links them.
  TqorXMLNode2* linkFrom_ = nullptr;
  // The rows each link spans, as of the last rebuild of the rows: a repaint lays out only the
  // links that cross the rows in view.
  std::vector<TqorLinkRows> linkRows_;
};
