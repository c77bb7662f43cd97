#include "planner/xml/qorXMLNode2.h"

#include <stdexcept>
#include <vector>

#include "planner/xml/qorXMLParser2.h"
#include "planner/xml/qorXPathSelect.h"

TqorXMLNode2::~TqorXMLNode2() {
  if (doc_) doc_->NodeFreed(this);
  attributes_.Clear();
  children_.Clear();
}

void TqorXMLNode2::SetName(std::string name) {
  size_t colon = name.find(':');
  if (colon != std::string::npos) prefix_ = name.substr(0, colon);
  name_ = std::move(name);
}

void TqorXMLNode2::SetText(std::string text) {
  isCData_ = text.find_first_of("<>") != std::string::npos;
  text_ = std::move(text);
}

TqorXMLNode2* TqorXMLNode2::AddChild(std::unique_ptr<TqorXMLNode2> node) {
  if (!node) throw std::invalid_argument("AddChild needs a node");
  if (node->parent_ || node->isDocument_)
    throw std::invalid_argument("AddChild needs a node that is not in a tree");
  TqorXMLNode2* child = children_.Add(std::move(node));
  child->parent_ = this;
  TqorXMLParser2* doc = isDocument_ ? static_cast<TqorXMLParser2*>(this) : doc_;
  // A subtree built free-standing joins the document as a whole.
  std::vector<TqorXMLNode2*> pending{child};
  while (!pending.empty()) {
    TqorXMLNode2* n = pending.back();
    pending.pop_back();
    n->doc_ = doc;
    for (const auto& c : n->children_) pending.push_back(c.get());
  }
  if (doc && !doc->parsing_ && doc->indexIds_) doc->IndexSubtree(child);
  return child;
}

void TqorXMLNode2::DeleteChild(TqorXMLNode2* node) {
  children_.Delete(children_.IndexOf(node));
}

TqorXMLNode2* TqorXMLNode2::GetChild(int index) const {
  if (index < 0) throw EListError(index);
  return index < children_.Count() ? children_.Item(index) : nullptr;
}

TqorXMLNode2* TqorXMLNode2::FindChild(std::string_view name, bool recursive) const {
  for (const auto& c : children_) {
    if (c->name_ == name) return c.get();
    if (recursive)
      if (TqorXMLNode2* found = c->FindChild(name, true)) return found;
  }
  return nullptr;
}

TqorXMLNode2* TqorXMLNode2::FindChildById(std::string_view id, bool recursive) const {
  for (const auto& c : children_) {
    if (c->GetAttributeStr("id") == id) return c.get();
    if (recursive)
      if (TqorXMLNode2* found = c->FindChildById(id, true)) return found;
  }
  return nullptr;
}

const TqorVariant* TqorXMLNode2::FindAttribute(std::string_view name) const {
  for (const auto& a : attributes_)
    if (a->Name == name) return &a->Value;
  return nullptr;
}

TqorVariant TqorXMLNode2::GetAttribute(std::string_view name) const {
  const TqorVariant* v = FindAttribute(name);
  return v ? *v : TqorVariant();
}

TqorVariant TqorXMLNode2::GetAttribute(int index) const {
  if (index < 0) throw EListError(index);
  return index < attributes_.Count() ? attributes_.Item(index)->Value : TqorVariant();
}

void TqorXMLNode2::SetAttribute(std::string_view name, const TqorVariant& value) {
  for (const auto& a : attributes_) {
    if (a->Name == name) {
      a->Value = value;
      return;
    }
  }
  attributes_.Add(std::make_unique<TqorXMLAttribute2>(std::string(name), value));
}

void TqorXMLNode2::SetAttribute(int index, const TqorVariant& value) {
  if (index < 0) throw EListError(index);
  if (index < attributes_.Count()) attributes_.Item(index)->Value = value;
}

void TqorXMLNode2::AppendAttribute(std::string name, TqorVariant value) {
  attributes_.Add(std::make_unique<TqorXMLAttribute2>(std::move(name), std::move(value)));
}

namespace {
int32_t ToIntOrZero(const TqorVariant& v) {
  int32_t i;
  return v.TryToInt(i) ? i : 0;
}
}  // namespace

int32_t TqorXMLNode2::GetAttributeInt(std::string_view name) const {
  const TqorVariant* v = FindAttribute(name);
  return v ? ToIntOrZero(*v) : 0;
}

int32_t TqorXMLNode2::GetAttributeInt(int index) const {
  return ToIntOrZero(GetAttribute(index));
}

std::string TqorXMLNode2::GetAttributeStr(std::string_view name) const {
  const TqorVariant* v = FindAttribute(name);
  return v ? v->ToText() : std::string();
}

std::string TqorXMLNode2::GetAttributeStr(int index) const {
  return GetAttribute(index).ToText();
}

int TqorXMLNode2::IndexOfAttribute(std::string_view name) const {
  int i = 0;
  for (const auto& a : attributes_) {
    if (a->Name == name) return i;
    ++i;
  }
  return -1;
}

TqorXMLNode2* TqorXMLNode2::GetRoot() {
  TqorXMLNode2* n = this;
  while (n->parent_) n = n->parent_;
  return n;
}

TqorXMLNode2* TqorXMLNode2::FindAncestor(std::string_view name) const {
  for (TqorXMLNode2* n = parent_; n; n = n->parent_)
    if (n->name_ == name) return n;
  return nullptr;
}

std::string TqorXMLNode2::GetNamespaceURI() const {
  if (prefix_.empty()) return {};
  const std::string attr = "xmlns:" + prefix_;
  for (const TqorXMLNode2* n = this; n; n = n->parent_)
    if (const TqorVariant* v = n->FindAttribute(attr)) return v->ToText();
  return {};
}

void TqorXMLNode2::SelectNodes(std::string_view path, std::vector<TqorXMLNode2*>& list) {
  XPathSelectNodes(*this, path, list);
}

void TqorXMLNode2::Clear() {
  attributes_.Clear();
  children_.Clear();
}
