#include "planner/xml/qorXPathSelect.h"

#include <memory>
#include <string>

#include "planner/xml/qorXMLNode2.h"
#include "planner/xml/qorXMLParser2.h"
#include "planner/xml/qorXPathError.h"
#include "planner/xml/qorXPathParser2.h"
#include "planner/xml/qorXPathParserList2.h"

namespace {

// The end of the text between brackets that starts at from: the first "]" outside a quoted
// text, or npos.
size_t ClosingBracket(std::string_view s, size_t from) {
  bool quoted = false;
  for (size_t i = from; i < s.size(); ++i) {
    if (s[i] == '\'')
      quoted = !quoted;
    else if (s[i] == ']' && !quoted)
      return i;
  }
  return std::string_view::npos;
}

// The end of the step that starts at from: the next "/" outside brackets and the quoted texts
// inside them, or the end of the path.
size_t StepEnd(std::string_view path, size_t from) {
  int depth = 0;
  bool quoted = false;
  for (size_t i = from; i < path.size(); ++i) {
    const char c = path[i];
    if (depth > 0 && c == '\'') {
      quoted = !quoted;
    } else if (quoted) {
      continue;
    } else if (c == '[') {
      ++depth;
    } else if (c == ']') {
      if (depth > 0) --depth;
    } else if (c == '/' && depth == 0) {
      return i;
    }
  }
  return path.size();
}

class Walk {
 public:
  Walk(TqorXMLNode2& start, std::string_view path, size_t maxWork)
      : context_(&start), path_(path), work_(maxWork) {
    TqorXMLParser2* doc = start.OwnerDocument();
    if (!doc) doc = dynamic_cast<TqorXMLParser2*>(&start);
    cache_ = doc ? &doc->PredicateCache() : nullptr;
  }

  void Run() {
    size_t i = 0;
    bool descendants = false;
    while (i < path_.size()) {
      if (path_[i] == '/') {
        descendants = true;
        ++i;
        continue;
      }
      const size_t end = StepEnd(path_, i);
      const bool more = Step(path_.substr(i, end - i), descendants);
      if (!more) return;
      descendants = false;
      i = end + 1;
    }
  }

  std::vector<TqorXMLNode2*>& List() { return list_; }

 private:
  [[noreturn]] void Fail(const std::string& message) const { throw EqorXPathError(message); }

  void Spend(size_t work) {
    if (work > work_) Fail("Too many nodes for pattern " + std::string(path_));
    work_ -= work;
  }

  // Walks one step; false when the collection became empty.
  bool Step(std::string_view step, bool descendants) {
    std::string_view predicates;
    const size_t bracket = step.find('[');
    if (bracket != std::string_view::npos) {
      predicates = step.substr(bracket);
      if (predicates.back() != ']') Fail("Missing ] in pattern " + std::string(path_));
      step = step.substr(0, bracket);
    }
    std::string_view axis = "child", name = step;
    const size_t colons = step.find("::");
    if (colons != std::string_view::npos) {
      axis = step.substr(0, colons);
      name = step.substr(colons + 2);
    } else if (step == ".") {
      axis = "self";
      name = {};
    } else if (step == "..") {
      axis = "parent";
      name = {};
    }

    if (axis == "parent") {
      context_ = context_->Parent();
      if (!context_) Fail("Can not locate parent node in location " + std::string(path_));
      if (!name.empty()) {
        axis = "child";
      } else {
        Spend(1);
        list_.push_back(context_);
      }
    }
    if (axis == "self") {
      Spend(1);
      list_.push_back(context_);
    } else if (axis == "child") {
      if (firstChildStep_) {
        firstChildStep_ = false;
        AddMatching(context_, name, true);
      } else {
        std::vector<TqorXMLNode2*> taken;
        taken.swap(list_);
        for (TqorXMLNode2* e : taken) {
          context_ = e;
          AddMatching(e, name, descendants);
        }
      }
    }
    if (list_.empty()) return false;
    return Filter(predicates);
  }

  // Adds the children of parent named name ("*": every child), in document order; with
  // descendants, also searches below every child that does not match.
  void AddMatching(TqorXMLNode2* parent, std::string_view name, bool descendants) {
    const bool any = name == "*";
    pending_.clear();
    auto pushChildren = [&](TqorXMLNode2* n) {
      for (int k = n->ChildCount(); k-- > 0;) pending_.push_back(n->GetChild(k));
    };
    pushChildren(parent);
    while (!pending_.empty()) {
      TqorXMLNode2* c = pending_.back();
      pending_.pop_back();
      Spend(1);
      if (any) {
        list_.push_back(c);
        if (descendants) pushChildren(c);
      } else if (c->Name() == name) {
        list_.push_back(c);
      } else if (descendants) {
        pushChildren(c);
      }
    }
  }

  // Applies "[p1][p2]..." in order; false when the collection became empty.
  bool Filter(std::string_view predicates) {
    std::string_view rest = predicates;
    while (!rest.empty()) {
      if (rest.front() != '[')
        Fail("Expected [ in predicates " + std::string(rest) + " of pattern " + std::string(path_));
      const size_t close = ClosingBracket(rest, 1);
      if (close == std::string_view::npos)
        Fail("Expected ] in predicates " + std::string(rest) + " of pattern " + std::string(path_));
      const std::string_view text = rest.substr(1, close - 1);
      rest.remove_prefix(close + 1);
      if (text.empty()) continue;
      TqorXPathParser2* parser = nullptr;
      std::unique_ptr<TqorXPathParser2> own;
      if (cache_) parser = &cache_->Compile(text);
      if (!parser || parser->InUse()) {
        own = std::make_unique<TqorXPathParser2>();
        own->Compile(TqorXPathParserList2::Prepare(text));
        parser = own.get();
      }
      Spend(list_.size() * (parser->Expression().ProgramSize() + 1));
      parser->Filter(list_);
      if (list_.empty()) return false;
    }
    return true;
  }

  TqorXMLNode2* context_;
  std::string_view path_;
  TqorXPathParserList2* cache_ = nullptr;
  std::vector<TqorXMLNode2*> list_;
  std::vector<TqorXMLNode2*> pending_;
  bool firstChildStep_ = true;
  size_t work_;
};

}  // namespace

void XPathSelectNodes(TqorXMLNode2& start, std::string_view path, std::vector<TqorXMLNode2*>& list,
                      size_t maxWork) {
  Walk walk(start, path, maxWork);
  try {
    walk.Run();
  } catch (...) {
    list.insert(list.end(), walk.List().begin(), walk.List().end());
    throw;
  }
  list.insert(list.end(), walk.List().begin(), walk.List().end());
}
