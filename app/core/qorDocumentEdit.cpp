#include "app/core/qorDocumentEdit.h"

#include "planner/xml/qorXMLNode2.h"

TqorDocumentEdit::~TqorDocumentEdit() {
  for (auto it = steps_.rbegin(); it != steps_.rend(); ++it) {
    try {
      Undo(*it);
    } catch (...) {
      // Taking back is done while an error is on its way to the user; it must not replace it.
    }
  }
}

void TqorDocumentEdit::SetAttribute(TqorXMLNode2* node, std::string_view name,
                                    const TqorVariant& value) {
  std::optional<TqorVariant> before;
  if (const TqorVariant* old = node->FindAttribute(name)) before = *old;
  steps_.push_back({node, nullptr, std::string(name), std::move(before)});
  node->SetAttribute(name, value);
}

TqorXMLNode2* TqorDocumentEdit::AddChild(TqorXMLNode2* parent,
                                         std::unique_ptr<TqorXMLNode2> child) {
  TqorXMLNode2* added = child.get();
  TqorXMLNode2* result = nullptr;
  try {
    result = parent->AddChild(std::move(child));
  } catch (...) {
    // The child stays in the tree without an index entry: take it out again.
    if (parent->IndexOfChild(added) >= 0) parent->DeleteChild(added);
    throw;
  }
  steps_.push_back({parent, added, {}, std::nullopt});
  return result;
}

void TqorDocumentEdit::Undo(const TStep& step) {
  if (step.added) {
    if (step.node->IndexOfChild(step.added) >= 0) step.node->DeleteChild(step.added);
    return;
  }
  step.node->SetAttribute(step.name, step.before ? *step.before : TqorVariant(""));
}
