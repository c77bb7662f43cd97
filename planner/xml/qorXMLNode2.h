// One element of an XML tree: name, text, attributes (variants, in insertion order) and
// children (in document order). A node owns its attributes and children; freeing a node frees
// its whole subtree and takes every freed node out of its document's id index.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "planner/base/qorVariant.h"
#include "planner/xml/qorXMLAttribute2.h"
#include "planner/xml/qorXMLNodeList2.h"

class TqorXMLParser2;

class TqorXMLNode2 {
 public:
  TqorXMLNode2() = default;
  explicit TqorXMLNode2(std::string name) { SetName(std::move(name)); }
  virtual ~TqorXMLNode2();
  TqorXMLNode2(const TqorXMLNode2&) = delete;
  TqorXMLNode2& operator=(const TqorXMLNode2&) = delete;

  const std::string& Name() const { return name_; }
  // Also sets Prefix to the part before the first ":" when the name holds one (a name without
  // ":" leaves the previous prefix in place).
  void SetName(std::string name);
  const std::string& Prefix() const { return prefix_; }
  const std::string& Text() const { return text_; }
  // Also recomputes IsCData: true when the text holds "<" or ">".
  void SetText(std::string text);
  bool IsCData() const { return isCData_; }
  // The document the node belongs to, or nullptr (a document itself and free-standing nodes).
  TqorXMLParser2* OwnerDocument() const { return doc_; }
  TqorXMLNode2* Parent() const { return parent_; }

  // Appends a node as last child and takes ownership of it. Its OwnerDocument (and that of its
  // descendants) becomes this node's document; when that document is not parsing and has
  // IndexIds on, the node and its descendants are entered into the id index, which raises
  // EqorXMLError for a duplicate id (the node then stays in the tree without an index entry).
  TqorXMLNode2* AddChild(std::unique_ptr<TqorXMLNode2> node);
  // Removes and frees a child with its subtree; raises EListError ("List index out of bounds
  // (-1)") and changes nothing when node is not a child of this node.
  void DeleteChild(TqorXMLNode2* node);
  int ChildCount() const { return children_.Count(); }
  // The child at a 0-based position, nullptr at or beyond ChildCount; raises EListError for a
  // negative position.
  TqorXMLNode2* GetChild(int index) const;
  // Position of a child, -1 when node is not a child of this node.
  int IndexOfChild(const TqorXMLNode2* node) const { return children_.IndexOf(node); }
  // Swaps two children by position; raises EListError for a position outside the children.
  void ExchangeChildren(int i, int j) { children_.Exchange(i, j); }
  // The first child named exactly name; with recursive, a depth-first search in document order
  // that checks each child before descending into it. nullptr when none.
  TqorXMLNode2* FindChild(std::string_view name, bool recursive = false) const;
  // The first child whose "id" attribute (as text) equals id, searched like FindChild.
  TqorXMLNode2* FindChildById(std::string_view id, bool recursive = false) const;

  int AttributeCount() const { return attributes_.Count(); }
  // The attribute at a 0-based position; raises EListError outside the attributes.
  TqorXMLAttribute2* Attribute(int index) const { return attributes_.Item(index); }
  // The value of the first attribute named exactly name, or nullptr.
  const TqorVariant* FindAttribute(std::string_view name) const;
  // The value of the first attribute named exactly name; the empty text when there is none.
  TqorVariant GetAttribute(std::string_view name) const;
  // The value at a position; the empty text at or beyond AttributeCount; raises EListError for
  // a negative position.
  TqorVariant GetAttribute(int index) const;
  // Sets the first attribute named exactly name, or appends a new one; the value keeps its kind.
  void SetAttribute(std::string_view name, const TqorVariant& value);
  // Sets the value at a position; nothing at or beyond AttributeCount; raises EListError for a
  // negative position.
  void SetAttribute(int index, const TqorVariant& value);
  // Appends an attribute even when one of that name exists (the first one stays visible).
  void AppendAttribute(std::string name, TqorVariant value);
  // The value as an integer (reals round halves to even); 0 when absent or not convertible.
  int32_t GetAttributeInt(std::string_view name) const;
  int32_t GetAttributeInt(int index) const;
  // The value as text; empty when absent or Null.
  std::string GetAttributeStr(std::string_view name) const;
  std::string GetAttributeStr(int index) const;
  // Position of the first attribute named exactly name, -1 when none.
  int IndexOfAttribute(std::string_view name) const;
  bool HasAttribute(std::string_view name) const { return IndexOfAttribute(name) != -1; }

  // The topmost ancestor (this node when it has no parent).
  TqorXMLNode2* GetRoot();
  // The nearest proper ancestor named exactly name, or nullptr.
  TqorXMLNode2* FindAncestor(std::string_view name) const;
  // With a prefix, the value of "xmlns:" + prefix on this node or its nearest ancestor that has
  // it; otherwise empty.
  std::string GetNamespaceURI() const;

  // Appends to list the elements a slash-separated path names from this element, in the order
  // found, without clearing the list first ("project/task[@id=3]"; see qorXPathSelect.h).
  // Predicates are compiled once per document, in its PredicateCache. Raises EqorXPathError for
  // a path it cannot walk and EqorXPathPredicateError for a predicate whose result is no truth
  // value; the list then holds what was collected before the error.
  void SelectNodes(std::string_view path, std::vector<TqorXMLNode2*>& list);

  // Frees every attribute and child.
  void Clear();

 protected:
  bool isDocument_ = false;

 private:
  friend class TqorXMLParser2;

  std::string name_;
  std::string prefix_;
  std::string text_;
  bool isCData_ = false;
  TqorXMLParser2* doc_ = nullptr;
  TqorXMLNode2* parent_ = nullptr;
  TqorXMLNodeList2<TqorXMLNode2> children_;
  TqorXMLNodeList2<TqorXMLAttribute2> attributes_;

  // The id index entry the node was entered under (so that it can leave the index even when
  // its name or "id" changed since).
  bool indexed_ = false;
  std::string indexName_;
  std::string indexId_;
};
