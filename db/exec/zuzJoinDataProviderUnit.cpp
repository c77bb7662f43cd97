#include "db/exec/zuzJoinDataProviderUnit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "db/index/zuzIndexManager.h"
#include "db/sql/zuzStrToDate.h"
#include "db/storage/zuzLockProvider.h"

namespace zuz {

namespace {

using F = TFieldType;

bool IsColumnOfLevel0(const TSqlExpr& e) {
  if (e.Kind() != TSqlExprKind::Column) return false;
  const auto& c = e.As<TSqlColumnRef>();
  return c.OuterLevel == 0 && c.OutputIndex < 0 && c.SourceIndex >= 0;
}

// Whether the expression holds no column of its own query, no subquery and no aggregate, so that
// it has one value for the whole statement.
bool IsConstant(const TSqlExpr& e) {
  switch (e.Kind()) {
    case TSqlExprKind::Column:
      return e.As<TSqlColumnRef>().OuterLevel > 0;
    case TSqlExprKind::Subquery:
    case TSqlExprKind::Exists:
    case TSqlExprKind::Quantified:
    case TSqlExprKind::InQuery:
    case TSqlExprKind::Aggregate:
      return false;
    default:
      break;
  }
  std::vector<TSqlExpr*> children;
  const_cast<TSqlExpr&>(e).Children(children);
  for (TSqlExpr* c : children) {
    if (!IsConstant(*c)) return false;
  }
  return true;
}

std::vector<uint32_t> Sorted(std::vector<uint32_t> v) {
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
  return v;
}

std::vector<uint32_t> Intersect(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  std::vector<uint32_t> out;
  std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

std::vector<uint32_t> Unite(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  std::vector<uint32_t> out;
  std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

// The key of a value in a join hash table: equal values of the same class give equal keys.
bool HashKey(const TZuzValue& v, std::string& key) {
  key.clear();
  switch (v.Kind) {
    case TZuzValueKind::Null:
      return false;
    case TZuzValueKind::Text:
      key = "s";
      key += v.Text;
      return true;
    default: {
      double d = v.Number == 0 ? 0.0 : v.Number;
      if (std::isnan(d)) return false;
      key.resize(9);
      key[0] = 'n';
      std::memcpy(key.data() + 1, &d, sizeof d);
      return true;
    }
  }
}

bool TextClass(TFieldType t) {
  return IsTextValueType(t);
}

}  // namespace

// --- One source ---

TZuzSourceProvider::TZuzSourceProvider(int sourceIndex, TOpenTable& table, std::vector<bool> needed,
                                       TZuzExecStats& stats)
    : source_(sourceIndex), table_(&table), needed_(std::move(needed)), stats_(stats) {}

TZuzSourceProvider::TZuzSourceProvider(int sourceIndex, std::vector<TZuzRow> rows,
                                       TZuzExecStats& stats)
    : source_(sourceIndex), stats_(stats), rows_(std::move(rows)) {
  planned_ = true;
  materialized_ = false;
}

std::string TZuzSourceProvider::Describe() const {
  if (!table_) return "subquery (" + std::to_string(rows_.size()) + " rows)";
  return table_->Def().TableName + " " + plan_;
}

size_t TZuzSourceProvider::CandidateCount() const {
  if (!table_) return rows_.size();
  return allRecords_ ? allCount_ : candidates_.size();
}

int TZuzSourceProvider::ReadRow(uint32_t address) {
  auto it = byAddress_.find(address);
  if (it != byAddress_.end()) return it->second;
  if (!table_->ReadRecord(address)) return -1;
  ++stats_.RecordsRead;
  const TTableDef& def = table_->Def();
  TZuzRow row(def.InternalFields.size());
  for (size_t f = 0; f < def.InternalFields.size(); ++f) {
    const TInternalFieldItem& item = def.InternalFields[f];
    auto fi = static_cast<int>(f);
    if (IsBlobFieldType(item.DataType)) {
      if (f < needed_.size() && needed_[f] && !table_->IsNull(fi)) {
        row[f] = TZuzValue::Str(table_->GetBlob(fi));
        row[f].Type = item.DataType;
      }
      continue;
    }
    row[f] = ValueFromField(table_->GetValue(fi), item.DataType);
  }
  rows_.push_back(std::move(row));
  addresses_.push_back(address);
  int n = static_cast<int>(rows_.size()) - 1;
  byAddress_.emplace(address, n);
  return n;
}

bool TZuzSourceProvider::Passes(int row, TZuzExprEvaluator& ev, TZuzEvalContext& ctx) {
  const TZuzValue* saved = ctx.Rows[static_cast<size_t>(source_)];
  ctx.Rows[static_cast<size_t>(source_)] = Row(row);
  bool ok = true;
  for (const TSqlExpr* c : Selection) {
    if (!ev.Holds(c, ctx)) {
      ok = false;
      break;
    }
  }
  ctx.Rows[static_cast<size_t>(source_)] = saved;
  return ok;
}

TIndexItem* TZuzSourceProvider::AscendingIndexOn(int field) {
  const TInternalFieldItem& f = table_->Def().InternalFields[static_cast<size_t>(field)];
  TIndexItem* item = IndexManagerOf(*table_).IndexForFields(f.FieldName, true);
  return item && !item->KeyFields[0].Descending ? item : nullptr;
}

bool TZuzSourceProvider::CanLookup(int field) {
  if (!table_) return false;
  if (field < 0 || static_cast<size_t>(field) >= table_->Def().InternalFields.size()) return false;
  return AscendingIndexOn(field) != nullptr;
}

void TZuzSourceProvider::Lookup(int field, const TZuzValue& value, TZuzExprEvaluator& ev,
                                TZuzEvalContext& ctx, std::vector<int>& out) {
  out.clear();
  if (value.IsNull()) return;
  std::optional<std::vector<uint32_t>> addresses;
  {
    TOpenTable::TLockScope scope(*table_, ltRead);
    addresses = Range(field, TSqlCompareOp::Equal, value);
  }
  ++stats_.IndexLookups;
  if (!addresses) return;
  for (uint32_t a : *addresses) {
    int r = ReadRow(a);
    if (r >= 0 && Passes(r, ev, ctx)) out.push_back(r);
  }
}

std::optional<std::vector<uint32_t>> TZuzSourceProvider::PrefixRange(int field,
                                                                     const std::string& prefix) {
  TIndexItem* item = AscendingIndexOn(field);
  if (!item) return std::nullopt;
  TBTree& tree = item->Tree();
  const TKeyFormat& format = tree.Format();
  std::vector<uint8_t> hi(static_cast<size_t>(format.MaximumKeySize()));
  std::string upper = prefix;
  upper.push_back(static_cast<char>(0xFF));
  format.BuildFromValues({TKeyValue{upper}}, hi.data());
  tree.ConstructKeyBufFromVariants(TKeyValue{prefix});
  const TSearchModifier modifier{true, 1};
  std::vector<uint32_t> out;
  if (tree.SearchKey(skGreaterOrEqual, &modifier) != 0) return out;
  do {
    if (format.CompareKeys(1, nullptr, tree.GetCurrentKeyBuf(), hi.data()) < 0) break;
    out.push_back(tree.GetRecordAddress());
  } while (tree.NextKey());
  return Sorted(std::move(out));
}

std::optional<std::vector<uint32_t>> TZuzSourceProvider::Range(int field, TSqlCompareOp op,
                                                               const TZuzValue& v) {
  if (op == TSqlCompareOp::NotEqual) return std::nullopt;
  if (v.IsNull()) return std::vector<uint32_t>{};
  TIndexItem* item = AscendingIndexOn(field);
  if (!item) return std::nullopt;
  const F type = table_->Def().InternalFields[static_cast<size_t>(field)].DataType;

  // The bounds in the key's domain; inclusive, so the range may hold more than the condition.
  std::optional<TKeyValue> lo, hi;
  const bool wantLo = op == TSqlCompareOp::Equal || op == TSqlCompareOp::Greater ||
                      op == TSqlCompareOp::GreaterOrEqual;
  const bool wantHi =
      op == TSqlCompareOp::Equal || op == TSqlCompareOp::Less || op == TSqlCompareOp::LessOrEqual;
  if (IsTextValueType(type)) {
    if (v.Kind == TZuzValueKind::Boolean) return std::nullopt;
    std::string text = ValueToText(v);
    if (wantLo) lo = TKeyValue{text};
    if (wantHi) hi = TKeyValue{text};
  } else if (type == F::ftBoolean) {
    if (op != TSqlCompareOp::Equal) return std::nullopt;
    bool b = v.Number != 0;
    if (v.Kind == TZuzValueKind::Text) return std::nullopt;
    lo = hi = TKeyValue{b};
  } else if (IsWholeValueType(type) || type == F::ftFloat || type == F::ftCurrency ||
             IsDateValueType(type)) {
    double d = v.Number;
    if (v.Kind == TZuzValueKind::Text) {
      if (IsDateValueType(type)) {
        d = ConvertStrToDateTime(v.Text, type);
      } else {
        return std::nullopt;
      }
    }
    if (v.Kind == TZuzValueKind::Boolean || std::isnan(d)) return std::nullopt;
    if (IsWholeValueType(type)) {
      double min = type == F::ftSmallint ? -32768.0 : type == F::ftWord ? 0.0 : -2147483648.0;
      double max = type == F::ftSmallint ? 32767.0 : type == F::ftWord ? 65535.0 : 2147483647.0;
      double l = -std::numeric_limits<double>::infinity();
      double h = std::numeric_limits<double>::infinity();
      switch (op) {
        case TSqlCompareOp::Equal:
          if (d != std::floor(d)) return std::vector<uint32_t>{};
          l = h = d;
          break;
        case TSqlCompareOp::Greater:
          l = std::floor(d) + 1;
          break;
        case TSqlCompareOp::GreaterOrEqual:
          l = std::ceil(d);
          break;
        case TSqlCompareOp::Less:
          h = std::ceil(d) - 1;
          break;
        case TSqlCompareOp::LessOrEqual:
          h = std::floor(d);
          break;
        default:
          break;
      }
      if (l > max || h < min || l > h) return std::vector<uint32_t>{};
      if (wantLo && l >= min) lo = TKeyValue{static_cast<int64_t>(l)};
      if (wantHi && h <= max) hi = TKeyValue{static_cast<int64_t>(h)};
    } else {
      if (wantLo) lo = TKeyValue{d};
      if (wantHi) hi = TKeyValue{d};
    }
  } else {
    return std::nullopt;
  }

  TBTree& tree = item->Tree();
  const TKeyFormat& format = tree.Format();
  std::vector<uint8_t> hiKey;
  if (hi) {
    hiKey.resize(static_cast<size_t>(format.MaximumKeySize()));
    format.BuildFromValues({*hi}, hiKey.data());
  }
  std::vector<uint32_t> out;
  if (lo) {
    tree.ConstructKeyBufFromVariants(*lo);
    const TSearchModifier modifier{true, 1};
    if (tree.SearchKey(skGreaterOrEqual, &modifier) != 0) return out;
  } else if (tree.SearchByRecNo(1) == 0) {
    return out;
  }
  do {
    if (hi && format.CompareKeys(1, nullptr, tree.GetCurrentKeyBuf(), hiKey.data()) < 0) break;
    out.push_back(tree.GetRecordAddress());
  } while (tree.NextKey());
  return Sorted(std::move(out));
}

std::optional<std::vector<uint32_t>> TZuzSourceProvider::Resolve(const TSqlExpr& e,
                                                                 TZuzExprEvaluator& ev,
                                                                 const TZuzEvalContext& base) {
  switch (e.Kind()) {
    case TSqlExprKind::Comparison: {
      const auto& c = e.As<TSqlComparison>();
      if (c.Right->Kind() == TSqlExprKind::Quantified) return std::nullopt;
      const TSqlExpr* col = c.Left.get();
      const TSqlExpr* val = c.Right.get();
      TSqlCompareOp op = c.Op;
      if (!IsColumnOfLevel0(*col)) {
        std::swap(col, val);
        op = MirrorCompareOp(op);
      }
      if (!IsColumnOfLevel0(*col) || !IsConstant(*val)) return std::nullopt;
      TZuzValue v = ev.Eval(*val, base);
      return Range(col->As<TSqlColumnRef>().FieldIndex, op, v);
    }
    case TSqlExprKind::InList: {
      const auto& in = e.As<TSqlInList>();
      if (in.Negated || !IsColumnOfLevel0(*in.Operand)) return std::nullopt;
      std::vector<uint32_t> all;
      for (const TSqlExprPtr& item : in.Items) {
        if (!IsConstant(*item)) return std::nullopt;
        auto part = Range(in.Operand->As<TSqlColumnRef>().FieldIndex, TSqlCompareOp::Equal,
                          ev.Eval(*item, base));
        if (!part) return std::nullopt;
        all = Unite(all, *part);
      }
      return all;
    }
    case TSqlExprKind::InQuery: {
      // column IN (SELECT ...) with a subquery of its own: the keys of its values.
      const auto& in = e.As<TSqlInQuery>();
      if (in.Negated || !IsColumnOfLevel0(*in.Operand) || !ev.SubqueryIsConstant(*in.Select)) {
        return std::nullopt;
      }
      size_t columns = 0;
      const std::vector<TZuzRow>& rows = ev.Subquery(*in.Select, base, columns);
      std::vector<uint32_t> all;
      for (const TZuzRow& row : rows) {
        if (row.empty()) continue;
        auto part = Range(in.Operand->As<TSqlColumnRef>().FieldIndex, TSqlCompareOp::Equal, row[0]);
        if (!part) return std::nullopt;
        all.insert(all.end(), part->begin(), part->end());
      }
      return Sorted(std::move(all));
    }
    case TSqlExprKind::Like: {
      const auto& l = e.As<TSqlLike>();
      if (l.Negated || !IsColumnOfLevel0(*l.Operand) || !IsConstant(*l.Pattern)) {
        return std::nullopt;
      }
      if (table_->Def().SortOrder != TSortOrder::soASCII) return std::nullopt;
      const int field = l.Operand->As<TSqlColumnRef>().FieldIndex;
      if (!IsTextValueType(table_->Def().InternalFields[static_cast<size_t>(field)].DataType)) {
        return std::nullopt;
      }
      TZuzValue p = ev.Eval(*l.Pattern, base);
      if (p.IsNull()) return std::vector<uint32_t>{};
      std::string pattern = ValueToText(p);
      size_t cut = pattern.find_first_of("%_");
      std::string prefix = pattern.substr(0, cut);
      while (!prefix.empty() && prefix.back() == ' ') prefix.pop_back();
      if (prefix.empty()) return std::nullopt;
      return PrefixRange(field, prefix);
    }
    case TSqlExprKind::Logical: {
      const auto& l = e.As<TSqlLogical>();
      std::optional<std::vector<uint32_t>> acc;
      if (l.Op == TSqlLogicalOp::And) {
        for (const TSqlExprPtr& op : l.Operands) {
          auto part = Resolve(*op, ev, base);
          if (!part) continue;
          acc = acc ? Intersect(*acc, *part) : std::move(*part);
        }
        return acc;
      }
      std::vector<uint32_t> all;
      for (const TSqlExprPtr& op : l.Operands) {
        auto part = Resolve(*op, ev, base);
        if (!part) return std::nullopt;
        all = Unite(all, *part);
      }
      return all;
    }
    default:
      return std::nullopt;
  }
}

void TZuzSourceProvider::Plan(TZuzExprEvaluator& ev, const TZuzEvalContext& base) {
  if (planned_) return;
  planned_ = true;
  TOpenTable::TLockScope scope(*table_, ltRead);
  std::optional<std::vector<uint32_t>> acc;
  for (const TSqlExpr* c : Selection) {
    auto part = Resolve(*c, ev, base);
    if (!part) continue;
    // Smaller lists first: intersecting with the smaller keeps the work small.
    acc = acc ? (acc->size() <= part->size() ? Intersect(*acc, *part) : Intersect(*part, *acc))
              : std::move(*part);
  }
  if (acc) {
    narrowed_ = true;
    ++stats_.IndexRanges;
    candidates_ = std::move(*acc);
    plan_ = "index ranges: " + std::to_string(candidates_.size()) + " candidates";
  } else {
    // Every index holds a key of every record: its key count is the record count.
    TIndexManager& im = IndexManagerOf(*table_);
    if (im.Count() > 0 && im.Item(0).IsOpen()) {
      allRecords_ = true;
      allCount_ = static_cast<size_t>(im.Item(0).Tree().KeyCount());
    } else {
      candidates_ = table_->RecordAddresses();
      allCount_ = candidates_.size();
    }
    plan_ = "all records: " + std::to_string(allCount_);
  }
}

bool TZuzSourceProvider::PlanExtreme(int field, bool greatest) {
  if (planned_ || !table_ || !Selection.empty()) return false;
  const F type = table_->Def().InternalFields[static_cast<size_t>(field)].DataType;
  if (!IsWholeValueType(type) && type != F::ftFloat && type != F::ftCurrency &&
      !IsDateValueType(type)) {
    return false;
  }
  TOpenTable::TLockScope scope(*table_, ltRead);
  TIndexItem* item = AscendingIndexOn(field);
  if (!item) return false;
  TBTree& tree = item->Tree();
  const int64_t count = tree.KeyCount();
  candidates_.clear();
  // NULLs have keys too: step inward from the end until a record holds a value.
  for (int64_t i = 0; i < count; ++i) {
    const uint32_t address = tree.SearchByRecNo(greatest ? count - i : i + 1);
    if (address == 0 || !table_->ReadRecord(address) || table_->IsNull(field)) continue;
    candidates_.push_back(address);
    break;
  }
  planned_ = narrowed_ = true;
  ++stats_.IndexRanges;
  plan_ = std::string("index end: ") + (greatest ? "last" : "first") + " key";
  return true;
}

const std::vector<int>& TZuzSourceProvider::Materialize(TZuzExprEvaluator& ev,
                                                        TZuzEvalContext& ctx) {
  if (materialized_) return passing_;
  materialized_ = true;
  if (!table_) {
    for (size_t i = 0; i < rows_.size(); ++i) {
      if (Passes(static_cast<int>(i), ev, ctx)) passing_.push_back(static_cast<int>(i));
    }
    return passing_;
  }
  if (!planned_) Plan(ev, ctx);
  TOpenTable::TLockScope scope(*table_, ltRead);
  if (allRecords_) {
    candidates_ = table_->RecordAddresses();
    allRecords_ = false;
  }
  for (uint32_t a : candidates_) {
    int r = ReadRow(a);
    if (r >= 0 && Passes(r, ev, ctx)) passing_.push_back(r);
  }
  return passing_;
}

// --- The chain ---

TZuzJoinDataProvider::TZuzJoinDataProvider(std::vector<TZuzSourceProvider*> sources,
                                           TZuzExprEvaluator& ev, const TZuzEvalContext* outer,
                                           TZuzExecStats& stats)
    : sources_(std::move(sources)), ev_(ev), outer_(outer), stats_(stats) {
  width_ = sources_.size();
}

void TZuzJoinDataProvider::Bind(size_t i, TZuzEvalContext& ctx) const {
  const int32_t* r = rows_.data() + i * width_;
  for (size_t s = 0; s < width_; ++s) {
    ctx.Rows[s] = r[s] < 0 ? nullptr : sources_[s]->Row(r[s]);
  }
}

void TZuzJoinDataProvider::Run(const std::vector<TZuzJoinStep>& steps) {
  rows_.clear();
  if (steps.empty() || width_ == 0) return;
  TZuzEvalContext ctx;
  ctx.Rows.assign(width_, nullptr);
  ctx.Outer = outer_;
  TZuzSourceProvider& first = *sources_[static_cast<size_t>(steps[0].Source)];
  const std::vector<int>& rows = first.Materialize(ev_, ctx);
  for (int r : rows) {
    size_t at = rows_.size();
    rows_.resize(at + width_, -1);
    rows_[at + static_cast<size_t>(steps[0].Source)] = r;
  }
  plan_ = "outer " + first.Describe();
  std::vector<bool> inChain(width_, false);
  inChain[static_cast<size_t>(steps[0].Source)] = true;
  for (size_t i = 1; i < steps.size(); ++i) {
    Join(steps[i], inChain);
    inChain[static_cast<size_t>(steps[i].Source)] = true;
  }
}

void TZuzJoinDataProvider::Join(const TZuzJoinStep& step, const std::vector<bool>& inChain) {
  TZuzSourceProvider& src = *sources_[static_cast<size_t>(step.Source)];
  const auto s = static_cast<size_t>(step.Source);
  const TSqlJoinType type = step.Type;
  const bool keepChain = type == TSqlJoinType::Left || type == TSqlJoinType::Full;
  const bool keepSource = type == TSqlJoinType::Right || type == TSqlJoinType::Full;
  TZuzEvalContext ctx;
  ctx.Rows.assign(width_, nullptr);
  ctx.Outer = outer_;
  std::vector<int32_t> out;
  const size_t chainCount = Count();

  if (type == TSqlJoinType::Union) {
    const std::vector<int>& srcRows = src.Materialize(ev_, ctx);
    out = rows_;
    for (int r : srcRows) {
      size_t at = out.size();
      out.resize(at + width_, -1);
      out[at + s] = r;
    }
    rows_ = std::move(out);
    plan_ += "; union join " + src.Describe();
    return;
  }

  // The equality that joins the source to the chain, if any.
  int srcField = -1;
  const TSqlColumnRef* chainCol = nullptr;
  for (const TSqlExpr* c : step.On) {
    if (c->Kind() != TSqlExprKind::Comparison) continue;
    const auto& cmp = c->As<TSqlComparison>();
    if (cmp.Op != TSqlCompareOp::Equal || !IsColumnOfLevel0(*cmp.Left) ||
        !IsColumnOfLevel0(*cmp.Right)) {
      continue;
    }
    const auto& a = cmp.Left->As<TSqlColumnRef>();
    const auto& b = cmp.Right->As<TSqlColumnRef>();
    const TSqlColumnRef* mine = nullptr;
    const TSqlColumnRef* other = nullptr;
    if (a.SourceIndex == step.Source && b.SourceIndex != step.Source &&
        inChain[static_cast<size_t>(b.SourceIndex)]) {
      mine = &a;
      other = &b;
    } else if (b.SourceIndex == step.Source && a.SourceIndex != step.Source &&
               inChain[static_cast<size_t>(a.SourceIndex)]) {
      mine = &b;
      other = &a;
    }
    if (!mine) continue;
    if (TextClass(mine->Type) != TextClass(other->Type) || mine->Type == F::ftBoolean ||
        other->Type == F::ftBoolean) {
      continue;
    }
    srcField = mine->FieldIndex;
    chainCol = other;
    break;
  }

  if (!src.Narrowed() && src.Table()) src.Plan(ev_, ctx);
  const bool useIndex = srcField >= 0 && !keepSource && src.Table() && !src.Narrowed() &&
                        chainCount < src.CandidateCount() && src.CanLookup(srcField);
  std::unordered_map<std::string, std::vector<int>> hash;
  const std::vector<int>* all = nullptr;
  std::string key;
  if (!useIndex) {
    all = &src.Materialize(ev_, ctx);
    if (srcField >= 0) {
      for (int r : *all) {
        if (HashKey(src.Row(r)[srcField], key)) hash[key].push_back(r);
      }
    }
  }
  plan_ += "; join " + src.Describe() +
           (useIndex        ? " through an index"
            : srcField >= 0 ? " through a hash table"
                            : " by pairs");

  std::vector<char> matchedRow;
  if (keepSource) {
    int maxRow = -1;
    for (int r : *all) maxRow = std::max(maxRow, r);
    matchedRow.assign(static_cast<size_t>(maxRow + 1), 0);
  }
  static const std::vector<int> kNone;
  std::vector<int> found;
  for (size_t i = 0; i < chainCount; ++i) {
    Bind(i, ctx);
    const std::vector<int>* candidates = all;
    if (srcField >= 0) {
      const TZuzValue& v = TZuzExprEvaluator::ColumnValue(*chainCol, ctx);
      if (useIndex) {
        src.Lookup(srcField, v, ev_, ctx, found);
        candidates = &found;
      } else if (HashKey(v, key)) {
        auto it = hash.find(key);
        candidates = it == hash.end() ? &kNone : &it->second;
      } else {
        candidates = &kNone;
      }
    }
    bool any = false;
    for (int r : *candidates) {
      ctx.Rows[s] = src.Row(r);
      bool ok = true;
      for (const TSqlExpr* c : step.On) {
        if (!ev_.Holds(c, ctx)) {
          ok = false;
          break;
        }
      }
      if (!ok) continue;
      any = true;
      if (keepSource) matchedRow[static_cast<size_t>(r)] = 1;
      size_t at = out.size();
      out.insert(out.end(), rows_.begin() + static_cast<std::ptrdiff_t>(i * width_),
                 rows_.begin() + static_cast<std::ptrdiff_t>((i + 1) * width_));
      out[at + s] = r;
    }
    ctx.Rows[s] = nullptr;
    if (!any && keepChain) {
      out.insert(out.end(), rows_.begin() + static_cast<std::ptrdiff_t>(i * width_),
                 rows_.begin() + static_cast<std::ptrdiff_t>((i + 1) * width_));
    }
  }
  if (keepSource) {
    for (int r : *all) {
      if (matchedRow[static_cast<size_t>(r)]) continue;
      size_t at = out.size();
      out.resize(at + width_, -1);
      out[at + s] = r;
    }
  }
  rows_ = std::move(out);
}

}  // namespace zuz
