#include "app/qorPlanDialogs.h"

#include <QListWidget>

#include "app/core/qorHolidayOperations.h"
#include "app/core/qorProjectOperations.h"
#include "app/core/qorResourceOperations.h"
#include "app/uHoliday.h"
#include "app/uHolidays.h"
#include "app/uProject.h"
#include "app/uProjectFilter.h"
#include "app/uProjects.h"
#include "app/uResource.h"
#include "app/uResources.h"
#include "planner/grid/qorPlannerGrid.h"

TqorPlanDialogs::TqorPlanDialogs(QWidget* owner, TqorDatabaseController& db, TqorPlannerGrid& grid)
    : db_(db),
      grid_(grid),
      frmProject_(new TfrmProject(owner)),
      frmResources_(new TfrmResources(owner)),
      frmProjects_(new TfrmProjects(owner)),
      frmResource_(new TfrmResource(owner)),
      frmHolidays_(new TfrmHolidays(owner)),
      frmHoliday_(new TfrmHoliday(owner)),
      frmProjectFilter_(new TfrmProjectFilter(owner)) {
  frmProjects_->onFill = [this] { return FillProjectList(Planner()); };
  frmProjects_->onCreate = [this](const std::string& name) {
    BeforeEdit();
    CreateProject(db_, Planner(), name, history_);
  };
  frmProjects_->onDelete = [this](const std::string& id) {
    BeforeEdit();
    if (TqorXMLNode2* project = Planner().Document().GetNodeById("project", id))
      DeleteProject(db_, Planner(), project, history_);
  };
  frmProjects_->onEdit = [this](const std::string& id) {
    BeforeEdit();
    if (TqorXMLNode2* project = Planner().Document().GetNodeById("project", id))
      EditProject(project);
  };

  frmResources_->onFill = [this] { return FillResourceList(Planner()); };
  frmResources_->onCreate = [this](const std::string& name) {
    BeforeEdit();
    CreateResource(db_, Planner(), name, history_);
  };
  frmResources_->onDelete = [this](const std::string& id) {
    BeforeEdit();
    if (TqorXMLNode2* resource = Planner().Document().GetNodeById("resource", id))
      DeleteResource(db_, Planner(), resource, history_);
  };
  frmResources_->onEdit = [this](const std::string& id) {
    BeforeEdit();
    if (TqorXMLNode2* resource = Planner().Document().GetNodeById("resource", id))
      EditResource(resource);
  };
  frmResource_->onEditHolidays = [this](int32_t resourceId) { ShowHolidays(resourceId); };

  frmHolidays_->onFill = [this] { return FillHolidayList(db_, frmHolidays_->ResourceId()); };
  frmHolidays_->onCreate = [this](int32_t resourceId) {
    CreateHoliday(
        db_, Planner(), resourceId,
        [this](double& start, double& end) { return frmHoliday_->Execute(start, end); }, history_);
  };
  frmHolidays_->onEdit = [this](const std::string& holidayId, int32_t) {
    EditHoliday(
        db_, Planner(), holidayId,
        [this](double& start, double& end) { return frmHoliday_->Execute(start, end); }, history_);
  };
  frmHolidays_->onDelete = [this](const std::string& holidayId, int32_t) {
    DeleteHoliday(db_, Planner(), holidayId, history_);
  };
}

TqorPlanDialogs::~TqorPlanDialogs() {
  delete frmProjectFilter_;
  delete frmHoliday_;
  delete frmHolidays_;
  delete frmResource_;
  delete frmProjects_;
  delete frmResources_;
  delete frmProject_;
}

void TqorPlanDialogs::BeforeEdit() {
  if (beforeEdit) beforeEdit();
}

TqorPlannerModel& TqorPlanDialogs::Planner() {
  return grid_.Model();
}

void TqorPlanDialogs::ShowProjects() {
  if (frmProjects_->isVisible()) frmProjects_->Refill();
  frmProjects_->show();
  frmProjects_->raise();
  frmProjects_->activateWindow();
}

void TqorPlanDialogs::ShowResources() {
  if (frmResources_->isVisible()) frmResources_->Refill();
  frmResources_->show();
  frmResources_->raise();
  frmResources_->activateWindow();
}

void TqorPlanDialogs::FilterProjects(bool store) {
  const auto dialog = [this](std::vector<TqorListEntry>& entries) {
    return frmProjectFilter_->Execute(entries);
  };
  if (store) {
    ::FilterProjects(db_, Planner(), dialog, history_);
    return;
  }
  std::vector<TqorListEntry> entries = ProjectFilterEntries(Planner());
  if (dialog(entries)) Planner().SetProjectFilter(BuildProjectFilter(entries));
}

void TqorPlanDialogs::EditProject(TqorXMLNode2* project) {
  const bool stored = ::EditProject(
      db_, Planner(), project,
      [this](int32_t id, TqorProjectValues& values) { return frmProject_->Execute(id, values); },
      history_);
  if (stored) RefillProjectList();
}

void TqorPlanDialogs::EditResource(TqorXMLNode2* resource) {
  const bool stored = ::EditResource(
      db_, Planner(), resource,
      [this](int32_t id, TqorResourceValues& values) { return frmResource_->Execute(id, values); },
      history_);
  if (stored) RefillResourceList();
}

void TqorPlanDialogs::ShowHolidays(int32_t resourceId) {
  ::ShowHolidays(db_, resourceId, [this](int32_t id, const std::vector<TqorListEntry>& entries) {
    frmHolidays_->SetResourceId(id);
    frmHolidays_->SetEntries(entries);
    frmHolidays_->exec();
  });
}

void TqorPlanDialogs::RefillLists() {
  RefillProjectList();
  RefillResourceList();
}

void TqorPlanDialogs::RefillProjectList() {
  if (frmProjects_->isVisible()) frmProjects_->Refill();
}

void TqorPlanDialogs::RefillResourceList() {
  if (frmResources_->isVisible()) frmResources_->Refill();
}
