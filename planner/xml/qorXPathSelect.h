// The path walk behind SelectNodes.
//
// A path is a run of steps separated by "/" (a "/" inside a predicate's brackets or quotes
// separates nothing); a step that follows "//" searches descendants, and an empty step between
// slashes only passes that on. A step is a name with optional predicates: "name[pred][pred]".
//   name        the matching children of each element collected so far; on the path's first
//               child step, the matching descendants of the starting element at any depth
//   *           every child (with descendants, every element below)
//   axis::name  "child" as above, "self" and "parent" as "." and ".."; other axes select none
//   .           adds the current context element to the collection
//   ..          moves the context to its parent and adds it ("parent::name": then as name)
// A matching element is not searched further for more of the same name. The collection is
// never de-duplicated; an empty collection ends the walk. Predicates filter the collection in
// their order (an empty "[]" is skipped).
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

class TqorXMLNode2;

// Bounds the work of one walk (elements visited, predicate program items run), so that a path
// like "*//*//*//*" on a deep tree ends with an error instead of exhausting memory.
constexpr size_t kXPathMaxWork = size_t{1} << 25;

// Appends to list the elements path names from start, in the order found; see SelectNodes.
// Raises EqorXPathError ("Too many nodes for pattern " + path) once the walk's work exceeds
// maxWork.
void XPathSelectNodes(TqorXMLNode2& start, std::string_view path, std::vector<TqorXMLNode2*>& list,
                      size_t maxWork = kXPathMaxWork);
