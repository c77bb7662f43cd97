// Changes to the planner document that are taken back unless kept: a workflow makes its changes
// to the document through one of these, stores them in the database, and keeps them only when
// the database took them, so that a change the database refuses leaves the document as it was.
//
//   TqorDocumentEdit edit;
//   edit.SetAttribute(task, "assignedhours", hours);
//   ... run the statements in a TqorDatabaseTransaction and commit it ...
//   edit.Keep();
//
// Elements are removed only after the database removed their rows (directly, not through
// this class), which cannot fail.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "planner/base/qorVariant.h"

class TqorXMLNode2;

class TqorDocumentEdit {
 public:
  TqorDocumentEdit() = default;
  // Takes every change back, the latest first, unless kept.
  ~TqorDocumentEdit();
  TqorDocumentEdit(const TqorDocumentEdit&) = delete;
  TqorDocumentEdit& operator=(const TqorDocumentEdit&) = delete;

  // Sets the attribute, remembering its value before. An attribute the element did not have is
  // set back to the empty text when taken back (the document offers no removal), which the
  // workflows never meet: their elements carry every attribute they change.
  void SetAttribute(TqorXMLNode2* node, std::string_view name, const TqorVariant& value);
  // Appends the child (see TqorXMLNode2::AddChild); taking it back deletes it with its subtree.
  // When AddChild raises (a duplicate id) the child is taken back at once.
  TqorXMLNode2* AddChild(TqorXMLNode2* parent, std::unique_ptr<TqorXMLNode2> child);
  // The changes stay; the destructor takes nothing back.
  void Keep() { steps_.clear(); }

 private:
  struct TStep {
    TqorXMLNode2* node;   // the element changed, or the parent a child was added to
    TqorXMLNode2* added;  // the child added, or nullptr for an attribute
    std::string name;
    std::optional<TqorVariant> before;
  };
  void Undo(const TStep& step);

  std::vector<TStep> steps_;
};
