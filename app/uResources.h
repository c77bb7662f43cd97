// The resource list: not modal, and on top of the main window. "Add" asks for a name (at most 50
// characters; blanks around it are dropped; a name of blanks only adds nothing), "Delete" asks
// before it deletes the selected resource, a double click opens the resource dialog. The list
// window only asks; the operations behind it are its owner's.
#pragma once

#include <functional>
#include <string>

#include "app/qorListWindow.h"

class TfrmResources : public TqorListWindow {
  Q_OBJECT

 public:
  static constexpr int kWidth = 482;
  static constexpr int kHeight = 377;

  explicit TfrmResources(QWidget* parent = nullptr);

  std::function<void(const std::string& name)> onCreate;
  std::function<void(const std::string& id)> onDelete;
  std::function<void(const std::string& id)> onEdit;

 protected:
  void AddClick() override;
  void DeleteEntry(const std::string& id) override;
  void OpenEntry(const std::string& id) override;
};
