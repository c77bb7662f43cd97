#include "planner/xml/qorXPathParser2.h"

#include "planner/xml/qorXPathError.h"
#include "planner/xml/qorXPathFunctions.h"

namespace {

// Clears a flag when it goes out of scope.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& flag_;
};

// Whether a predicate's result keeps its element; raises the conversion error otherwise.
bool Keeps(const TqorVariant& result, const std::string& cause) {
  try {
    const TqorVariant negation = XPathNegate(result);
    if (negation.IsNull())
      throw EqorVariantError(std::string("Could not convert variant of type (") +
                             VarKindName(TqorVarKind::Null) + ") into type (Boolean)");
    return !negation.AsBoolean();
  } catch (const EqorVariantError& e) {
    throw EqorXPathPredicateError(e.what(), cause);
  }
}

}  // namespace

void TqorXPathParser2::Filter(std::vector<TqorXMLNode2*>& list) {
  FlagGuard busy(inUse_);
  std::vector<char> keep(list.size(), 0);
  expression_.SetList(&list);
  try {
    for (size_t i = list.size(); i-- > 0;) {
      const TqorVariant result = expression_.EvaluateAt(list[i], static_cast<int>(i));
      keep[i] = Keeps(result, expression_.EvalError());
    }
  } catch (...) {
    expression_.SetList(nullptr);
    throw;
  }
  expression_.SetList(nullptr);
  size_t kept = 0;
  for (size_t i = 0; i < list.size(); ++i)
    if (keep[i]) list[kept++] = list[i];
  list.resize(kept);
}
