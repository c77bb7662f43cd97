// The rows of a query's FROM list: one provider per source (a table, or a subquery's result) and
// the join of all of them into joined rows.
//
// A table provider narrows its rows with its selection (the conditions over its table alone):
// comparisons of an indexed column with constants give a key range on the index that leads with
// the column (an ascending first key field that compares with case), IN lists one range per
// item, and under the byte sort order a LIKE pattern the range of its fixed prefix (the text
// before the first "%" or "_" without trailing blanks, up to that prefix and the byte 255). AND
// intersects the address lists of its parts (any part that has one), OR unites them (only when
// every part has one). Without a range every record is a candidate, in index order. Each
// candidate read is checked against the whole selection.
//
// Joins form a left-deep chain: each step joins the chain with one more source. The matching
// rows of the new source are found for each chain row through an index on its join column (when
// the source is read whole and is larger than the chain), else through a hash table of its rows
// built once on the join column, else by trying every row. Every ON condition is checked on each
// pair. Left joins keep chain rows without a match (with NULLs), right joins the new source's
// rows, full joins both; cross joins pair everything; union joins list both sides apart.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/exec/zuzExprEvaluator.h"
#include "db/exec/zuzResultSet.h"

namespace zuz {

class TIndexItem;

// Counts of the work done by a statement.
struct TZuzExecStats {
  int64_t RecordsRead = 0;
  int64_t IndexRanges = 0;   // selections resolved through index ranges
  int64_t IndexLookups = 0;  // join look-ups through an index
};

class TZuzSourceProvider {
 public:
  // A table source. needed[f] tells which blob fields to read (other fields are always read).
  TZuzSourceProvider(int sourceIndex, TOpenTable& table, std::vector<bool> needed,
                     TZuzExecStats& stats);
  // A subquery source with its rows.
  TZuzSourceProvider(int sourceIndex, std::vector<TZuzRow> rows, TZuzExecStats& stats);

  int SourceIndex() const { return source_; }
  TOpenTable* Table() const { return table_; }
  // The conditions over this source alone.
  std::vector<const TSqlExpr*> Selection;

  // Finds the candidates: index ranges of the selection, else every record.
  void Plan(TZuzExprEvaluator& ev, const TZuzEvalContext& base);
  // For MAX (greatest) or MIN of a number or date field over the whole table: plans the one
  // record at that end of an ascending index on the field whose value is not NULL (none when
  // every value is NULL). False, and nothing planned, when no such index serves.
  bool PlanExtreme(int field, bool greatest);
  size_t CandidateCount() const;
  bool HasSelection() const { return !Selection.empty(); }
  bool Narrowed() const { return narrowed_; }
  // The numbers of the rows that pass the selection (reading the candidates the first time).
  const std::vector<int>& Materialize(TZuzExprEvaluator& ev, TZuzEvalContext& ctx);
  const TZuzValue* Row(int i) const { return rows_[static_cast<size_t>(i)].data(); }
  // The address of a table row.
  uint32_t Address(int i) const { return addresses_[static_cast<size_t>(i)]; }
  // Whether an index leads with the field (ascending, with case).
  bool CanLookup(int field);
  // The rows whose field equals the value and that pass the selection, found through the index.
  void Lookup(int field, const TZuzValue& value, TZuzExprEvaluator& ev, TZuzEvalContext& ctx,
              std::vector<int>& out);
  std::string Describe() const;

 private:
  // An ascending index whose first key field is the field (case-sensitive), or null.
  TIndexItem* AscendingIndexOn(int field);
  // Reads the record into a new row; -1 when it is gone.
  int ReadRow(uint32_t address);
  bool Passes(int row, TZuzExprEvaluator& ev, TZuzEvalContext& ctx);
  std::optional<std::vector<uint32_t>> Resolve(const TSqlExpr& e, TZuzExprEvaluator& ev,
                                               const TZuzEvalContext& base);
  std::optional<std::vector<uint32_t>> Range(int field, TSqlCompareOp op, const TZuzValue& v);
  std::optional<std::vector<uint32_t>> PrefixRange(int field, const std::string& prefix);

  int source_;
  TOpenTable* table_ = nullptr;
  std::vector<bool> needed_;
  TZuzExecStats& stats_;
  std::vector<TZuzRow> rows_;
  std::vector<uint32_t> addresses_;
  std::unordered_map<uint32_t, int> byAddress_;
  std::vector<uint32_t> candidates_;
  // Every record is a candidate: listed only when the rows are read (a join may look the source
  // up by key instead); allCount_ counts them meanwhile.
  bool allRecords_ = false;
  size_t allCount_ = 0;
  bool planned_ = false;
  bool narrowed_ = false;
  bool materialized_ = false;
  std::vector<int> passing_;
  std::string plan_;
};

// One step of the chain: the source joined, how, and the conditions of its ON clause (and the
// WHERE conditions that join it to the chain).
struct TZuzJoinStep {
  int Source = 0;
  TSqlJoinType Type = TSqlJoinType::Inner;
  std::vector<const TSqlExpr*> On;
};

class TZuzJoinDataProvider {
 public:
  // sources[i] is the provider of source i; the first step's type is not used.
  TZuzJoinDataProvider(std::vector<TZuzSourceProvider*> sources, TZuzExprEvaluator& ev,
                       const TZuzEvalContext* outer, TZuzExecStats& stats);

  // Joins the steps' sources in order into joined rows.
  void Run(const std::vector<TZuzJoinStep>& steps);
  size_t Count() const { return width_ == 0 ? 0 : rows_.size() / width_; }
  // Points the context's rows at the sources' rows of joined row i (null for NULL rows).
  void Bind(size_t i, TZuzEvalContext& ctx) const;
  const std::string& PlanText() const { return plan_; }

 private:
  void Join(const TZuzJoinStep& step, const std::vector<bool>& inChain);

  std::vector<TZuzSourceProvider*> sources_;
  TZuzExprEvaluator& ev_;
  const TZuzEvalContext* outer_;
  TZuzExecStats& stats_;
  size_t width_ = 0;
  std::vector<int32_t> rows_;
  std::string plan_;
};

}  // namespace zuz
