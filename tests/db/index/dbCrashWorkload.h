// A deterministic stream of transactions for the crash tests: inserts, updates with blobs and
// deletes on Items(Id, Name, Qty, Doc), and now and then an index added or dropped. Transaction
// n depends only on the seed and the state after the n transactions before it, so a model of
// the table after any number of transactions can be rebuilt without the database, and a program
// that died can be judged against it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "db/index/zuzRestructure.h"
#include "db/record/zuzTableMgrUnit.h"
#include "db/storage/zuzDisk.h"

namespace zuz::test {

struct TCrashRow {
  std::string name;
  int64_t qty = 0;
  std::string doc;
  bool operator==(const TCrashRow&) const = default;
};

struct TCrashState {
  std::map<int64_t, TCrashRow> rows;
  bool qtyIndex = false;  // the index ixQty exists
  bool operator==(const TCrashState&) const = default;
};

struct TCrashOp {
  enum TKind { kInsert, kUpdate, kDelete } kind = kInsert;
  int64_t id = 0;
  TCrashRow row;
};

struct TCrashTxn {
  bool toggleIndex = false;      // the transaction adds or drops ixQty
  bool ownTransactions = false;  // one row operation, outside a transaction
  std::vector<TCrashOp> ops;
};

class TCrashWorkload {
 public:
  explicit TCrashWorkload(uint64_t seed) : rng_(seed) {}

  const TCrashState& State() const { return state_; }
  int64_t Count() const { return count_; }

  // The next transaction, applied to the model.
  TCrashTxn Next() {
    TCrashTxn t;
    std::uniform_int_distribution<int> percent(0, 99);
    if (percent(rng_) < 8) {
      t.toggleIndex = true;
    } else {
      // A row operation outside a transaction is a step of its own.
      t.ownTransactions = percent(rng_) < 15;
      const int n = t.ownTransactions ? 1 : std::uniform_int_distribution<int>(1, 12)(rng_);
      for (int i = 0; i < n; ++i) {
        const int p = percent(rng_);
        const bool many = state_.rows.size() > 250;
        if (state_.rows.empty() || p < (many ? 20 : 50)) {
          TCrashOp op;
          op.kind = TCrashOp::kInsert;
          op.id = nextId_++;
          op.row = RandomRow();
          Apply(op);
          t.ops.push_back(op);
        } else {
          auto it = state_.rows.begin();
          std::advance(it, std::uniform_int_distribution<size_t>(0, state_.rows.size() - 1)(rng_));
          TCrashOp op;
          op.id = it->first;
          op.kind = p < 80 ? TCrashOp::kUpdate : TCrashOp::kDelete;
          if (op.kind == TCrashOp::kUpdate) op.row = RandomRow();
          Apply(op);
          t.ops.push_back(op);
        }
      }
    }
    if (t.toggleIndex) state_.qtyIndex = !state_.qtyIndex;
    ++count_;
    return t;
  }

  // Runs the transaction against the tables (opened with the index layer's services), calling
  // beforeCommit right before the step that commits (the commit, the restructure, or the one
  // row operation of a step outside a transaction).
  static void Run(TTableMgr& tables, const TCrashTxn& t, bool qtyIndexBefore,
                  const std::function<void()>& beforeCommit) {
    if (t.toggleIndex) {
      beforeCommit();
      if (qtyIndexBefore) {
        DropIndex(tables, "Items", "ixQty");
      } else {
        AddIndex(tables, "Items", TIndexDesc{"ixQty", "Qty"});
      }
      return;
    }
    std::unique_ptr<TZuzTransaction> transaction;
    if (!t.ownTransactions) transaction = std::make_unique<TZuzTransaction>(tables.Disk());
    auto items = tables.OpenTable("Items");
    for (const TCrashOp& op : t.ops) {
      if (op.kind == TCrashOp::kInsert) {
        items->NewRecord();
        items->SetValue(0, op.id);
        Fill(*items, op.row);
        if (!transaction) beforeCommit();
        items->AddRecord();
        continue;
      }
      const auto found = items->Indexes().FindByFields("Id", {op.id});
      uint32_t address = 0;
      for (uint32_t a : found.value_or(std::vector<uint32_t>{})) {
        if (items->ReadRecord(a) && std::get<int64_t>(items->GetValue(0)) == op.id) address = a;
      }
      if (address == 0 || !items->ReadRecord(address)) throw std::runtime_error("row missing");
      if (!transaction) beforeCommit();
      if (op.kind == TCrashOp::kUpdate) {
        Fill(*items, op.row);
        items->UpdateRecord();
      } else {
        items->DeleteRecord(false);
      }
    }
    items.reset();
    if (transaction) {
      beforeCommit();
      transaction->Commit();
    }
  }

  static void CreateTable(TTableMgr& tables) {
    TIndexDesc primary{"", "Id"};
    primary.Primary = primary.Unique = true;
    tables.CreateTable("Items",
                       {{"Id", TFieldType::ftInteger},
                        {"Name", TFieldType::ftString, 24},
                        {"Qty", TFieldType::ftInteger},
                        {"Doc", TFieldType::ftBlob}},
                       {primary, TIndexDesc{"ixName", "Name"}}, tables.DefaultTableOptions());
  }

  // The state the tables hold.
  static TCrashState Read(TTableMgr& tables) {
    TCrashState s;
    for (const auto& x : tables.InternalGetTableDef("Items").InternalIndexDefs) {
      if (x.IndexName == "ixQty") s.qtyIndex = true;
    }
    auto items = tables.OpenTable("Items");
    for (uint32_t a : items->BlockOrderAddresses()) {
      if (!items->ReadRecord(a)) continue;
      TCrashRow row;
      row.name = std::get<std::string>(items->GetValue(1));
      row.qty = std::get<int64_t>(items->GetValue(2));
      row.doc = items->GetBlob(3);
      s.rows[std::get<int64_t>(items->GetValue(0))] = row;
    }
    return s;
  }

 private:
  TCrashRow RandomRow() {
    TCrashRow r;
    r.name = "name " + std::to_string(std::uniform_int_distribution<int>(0, 999)(rng_));
    r.qty = std::uniform_int_distribution<int64_t>(-50, 5000)(rng_);
    const int kind = std::uniform_int_distribution<int>(0, 9)(rng_);
    if (kind >= 4) {
      const size_t len = kind >= 9 ? 20000 : std::uniform_int_distribution<size_t>(1, 3000)(rng_);
      r.doc.assign(len, static_cast<char>('a' + std::uniform_int_distribution<int>(0, 25)(rng_)));
    }
    return r;
  }
  void Apply(const TCrashOp& op) {
    if (op.kind == TCrashOp::kDelete) {
      state_.rows.erase(op.id);
    } else {
      state_.rows[op.id] = op.row;
    }
  }
  static void Fill(TOpenTable& t, const TCrashRow& row) {
    t.SetValue(1, row.name);
    t.SetValue(2, row.qty);
    t.SetBlob(3, row.doc);
  }

  std::mt19937_64 rng_;
  TCrashState state_;
  int64_t nextId_ = 1;
  int64_t count_ = 0;
};

}  // namespace zuz::test
