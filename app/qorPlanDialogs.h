// The windows in which the planner's projects, resources and holidays are edited, and the
// operations behind their buttons: the project and resource lists (not modal, on top of their
// owner), the project, resource and holiday dialogs, a resource's holiday list and the project
// filter. Each window is created once, with the owner as its parent, and shown again and again.
//
// The windows only ask and show; the operations of app/core change the planner document and the
// database. An error of an operation reaches the caller (the list windows show it in a message
// box and refill); a change the database refuses leaves the document as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class QWidget;
class TfrmHoliday;
class TfrmHolidays;
class TfrmProject;
class TfrmProjectFilter;
class TfrmProjects;
class TfrmResource;
class TfrmResources;
class TqorDatabaseController;
class TqorPlannerGrid;
class TqorEditHistory;
class TqorPlannerModel;
class TqorXMLNode2;

class TqorPlanDialogs {
 public:
  // The database and the grid (with its document) must outlive this object.
  TqorPlanDialogs(QWidget* owner, TqorDatabaseController& db, TqorPlannerGrid& grid);
  // Closes and frees the windows.
  ~TqorPlanDialogs();
  TqorPlanDialogs(const TqorPlanDialogs&) = delete;
  TqorPlanDialogs& operator=(const TqorPlanDialogs&) = delete;

  // Called before a list window's button opens a dialog or changes the plan (the main window
  // loads the plan again there when another program changed it).
  std::function<void()> beforeEdit;
  // Every change the windows store becomes a step of the history (none without one). It must
  // outlive this object.
  void SetHistory(TqorEditHistory* history) { history_ = history; }

  // View, Projects and View, Resources: the list window in front, filled, without waiting.
  void ShowProjects();
  void ShowResources();
  // Options, Filter Projects...: the filter dialog; on OK the checked projects are shown, and
  // the filter is stored when store is set (not for a plan open read-only).
  void FilterProjects(bool store = true);

  // The project dialog on a project of the document; on OK the project is stored. An open project
  // list shows the new name at once.
  void EditProject(TqorXMLNode2* project);
  // The resource dialog on a resource of the document; on OK the resource is stored.
  void EditResource(TqorXMLNode2* resource);
  // The holiday list of the resource, modally.
  void ShowHolidays(int32_t resourceId);
  // Fills the open project and resource lists again from the document (after it was reloaded).
  void RefillLists();

  TfrmProject* Project() const { return frmProject_; }
  TfrmResource* Resource() const { return frmResource_; }
  TfrmHoliday* Holiday() const { return frmHoliday_; }
  TfrmHolidays* Holidays() const { return frmHolidays_; }
  TfrmProjects* Projects() const { return frmProjects_; }
  TfrmResources* Resources() const { return frmResources_; }
  TfrmProjectFilter* ProjectFilter() const { return frmProjectFilter_; }

 private:
  TqorPlannerModel& Planner();
  void BeforeEdit();
  void RefillProjectList();
  void RefillResourceList();

  TqorDatabaseController& db_;
  TqorEditHistory* history_ = nullptr;
  TqorPlannerGrid& grid_;
  TfrmProject* frmProject_;
  TfrmResources* frmResources_;
  TfrmProjects* frmProjects_;
  TfrmResource* frmResource_;
  TfrmHolidays* frmHolidays_;
  TfrmHoliday* frmHoliday_;
  TfrmProjectFilter* frmProjectFilter_;
};
