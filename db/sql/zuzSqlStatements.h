// Statement trees: a query (SELECT with its UNION parts and ORDER BY), INSERT, UPDATE, DELETE and
// the schema statements, each owning its table references and expression trees.
//
// Name resolution: every table or subquery of a query's FROM list (joins included) is a source,
// numbered in the order it is written; Sources lists them and a resolved column reference names
// its source by that number. INSERT, UPDATE and DELETE have one source, their table. A source's
// Columns are its table's fields (or a subquery's output columns) once the catalogue knew them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/sql/zuzSqlExpr.h"

namespace zuz {

// A name written in a list (insert columns, USING, index columns), with its place and, once
// resolved, the field it names.
struct TSqlName {
  std::string Name;
  TSqlPos Pos;
  int FieldIndex = -1;
};

struct TSqlColumnInfo {
  std::string Name;
  TFieldType Type = TFieldType::ftUnknown;
  int Size = 0;         // strings: the declared length
  bool Hidden = false;  // left out of "*"
};

enum class TSqlTableRefKind { Table, Derived, Join };

class TSqlTableRef {
 public:
  virtual ~TSqlTableRef() = default;
  TSqlTableRef(const TSqlTableRef&) = delete;
  TSqlTableRef& operator=(const TSqlTableRef&) = delete;

  TSqlTableRefKind Kind() const { return kind_; }
  template <typename T>
  T& As() {
    return static_cast<T&>(*this);
  }
  template <typename T>
  const T& As() const {
    return static_cast<const T&>(*this);
  }

  TSqlPos Pos;
  int Height = 1;

  virtual void Print(std::string& out) const = 0;
  virtual void Dump(std::string& out) const = 0;
  virtual std::unique_ptr<TSqlTableRef> Clone() const = 0;

 protected:
  explicit TSqlTableRef(TSqlTableRefKind kind) : kind_(kind) {}

 private:
  TSqlTableRefKind kind_;
};

using TSqlTableRefPtr = std::unique_ptr<TSqlTableRef>;

// A table or subquery of a FROM list: what column references resolve against.
class TSqlTableSource : public TSqlTableRef {
 public:
  std::string Alias;
  int SourceIndex = -1;
  bool ColumnsKnown = false;
  std::vector<TSqlColumnInfo> Columns;

  // The name its columns are qualified with: the alias, else the table's name.
  virtual const std::string& ExposedName() const { return Alias; }
  // Whether the qualifier names this source (its alias or its table name, letter case ignored).
  virtual bool Answers(const std::string& qualifier) const;
  // The column of that name (letter case ignored), or -1.
  int FindColumn(const std::string& name) const;

 protected:
  using TSqlTableRef::TSqlTableRef;
};

// [TEMPORARY] name [AS alias]. Memory is set once the name was found among the memory tables.
class TSqlTableName : public TSqlTableSource {
 public:
  TSqlTableName() : TSqlTableSource(TSqlTableRefKind::Table) {}
  std::string Name;
  bool Temporary = false;
  bool Memory = false;

  const std::string& ExposedName() const override { return Alias.empty() ? Name : Alias; }
  bool Answers(const std::string& qualifier) const override;
  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlTableRef> Clone() const override;
  std::unique_ptr<TSqlTableName> CloneName() const;
};

// (query) [AS alias] in a FROM list.
class TSqlDerivedTable : public TSqlTableSource {
 public:
  TSqlDerivedTable();
  ~TSqlDerivedTable() override;
  std::unique_ptr<TSqlSelect> Select;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlTableRef> Clone() const override;
};

enum class TSqlJoinType { Inner, Left, Right, Full, Cross, Union };

// Left [NATURAL] type JOIN Right [ON condition | USING (columns)]. CROSS joins have neither;
// other joins have one of them, except NATURAL joins, which may have none.
class TSqlJoin : public TSqlTableRef {
 public:
  TSqlJoin() : TSqlTableRef(TSqlTableRefKind::Join) {}
  TSqlJoinType Type = TSqlJoinType::Inner;
  bool Natural = false;
  TSqlTableRefPtr Left, Right;
  TSqlExprPtr On;
  std::vector<TSqlName> Using;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlTableRef> Clone() const override;
};

// One entry of a select list: table.* (TableStar, Qualifier set) or an expression with its
// caption: the alias when given, else a column's name, else the expression's source text (its
// tokens joined with one blank where the source had space). The printer keeps a caption that
// differs from the printed expression as an alias, so a print names its columns alike.
struct TSqlSelectItem {
  bool TableStar = false;
  std::string Qualifier;
  TSqlExprPtr Expr;
  bool HasAlias = false;
  std::string Alias;
  std::string Caption;
  bool Aggregate = false;  // the expression holds an aggregate function
  TSqlPos Pos;

  TSqlSelectItem Clone() const;
};

struct TSqlGroupColumn {
  std::string Qualifier;
  std::string Name;
  TSqlPos Pos;
  int SourceIndex = -1;  // resolved when a source has the column
  int FieldIndex = -1;
};

// ORDER BY item: a column number (ByNumber; 1 for the first column), or the item's text as written
// (its tokens joined with one blank where the source had space); IsName when the text is one
// [qualifier.]name.
struct TSqlOrderItem {
  bool ByNumber = false;
  int ColumnNumber = 0;
  std::string Text;
  bool IsName = false;
  std::string Qualifier;
  std::string Name;
  bool Descending = false;
  TSqlPos Pos;
};

// An output column of a query: a select item, or one column of a "*" or table.* expansion.
struct TSqlOutputColumn {
  std::string Name;
  TFieldType Type = TFieldType::ftUnknown;
  int Size = 0;
  int ItemIndex = -1;    // the select item; -1 for "*"
  int SourceIndex = -1;  // for a plain column or an expansion: the source and its field
  int FieldIndex = -1;
};

// SELECT [DISTINCT] list FROM refs [WHERE] [GROUP BY] [HAVING]: one part of a query.
class TSqlQuerySpec {
 public:
  bool Distinct = false;
  bool SelectAll = false;  // SELECT *
  std::vector<TSqlSelectItem> Items;
  std::vector<TSqlTableRefPtr> From;
  TSqlExprPtr Where;
  std::vector<TSqlGroupColumn> GroupBy;
  TSqlExprPtr Having;
  bool HasAggregates = false;
  TSqlPos Pos;
  int Height = 1;

  // Filled by CollectSources: the sources of From in the order written (non-owning).
  std::vector<TSqlTableSource*> Sources;
  // Filled by the binder when every source's columns are known.
  bool OutputsKnown = false;
  std::vector<TSqlOutputColumn> Outputs;

  // Numbers the sources of From and lists them in Sources.
  void CollectSources();
  void Print(std::string& out) const;
  void Dump(std::string& out) const;
  std::unique_ptr<TSqlQuerySpec> Clone() const;
};

enum class TSqlStatementKind {
  Select,
  Insert,
  Update,
  Delete,
  CreateTable,
  CreateIndex,
  AlterTable,
  DropTable,
  DropIndex,
};

class TSqlStatement {
 public:
  virtual ~TSqlStatement() = default;
  TSqlStatement(const TSqlStatement&) = delete;
  TSqlStatement& operator=(const TSqlStatement&) = delete;

  TSqlStatementKind Kind() const { return kind_; }
  template <typename T>
  T& As() {
    return static_cast<T&>(*this);
  }
  template <typename T>
  const T& As() const {
    return static_cast<const T&>(*this);
  }
  bool IsQuery() const { return kind_ == TSqlStatementKind::Select; }
  bool IsSchema() const { return kind_ >= TSqlStatementKind::CreateTable; }

  int Height = 1;

  virtual void Print(std::string& out) const = 0;
  virtual void Dump(std::string& out) const = 0;
  std::string ToSql() const;
  std::string ToDump() const;

 protected:
  explicit TSqlStatement(TSqlStatementKind kind) : kind_(kind) {}

 private:
  TSqlStatementKind kind_;
};

struct TSqlUnionPart {
  bool All = false;
  std::unique_ptr<TSqlQuerySpec> Query;
};

// A query: its first part, the parts joined by UNION [ALL], and ORDER BY for the whole.
class TSqlSelect : public TSqlStatement {
 public:
  TSqlSelect() : TSqlStatement(TSqlStatementKind::Select) {}
  std::unique_ptr<TSqlQuerySpec> Query;
  std::vector<TSqlUnionPart> Unions;
  std::vector<TSqlOrderItem> OrderBy;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
  std::unique_ptr<TSqlSelect> Clone() const;
};

// INSERT INTO table [(columns)] VALUES (values) | query. Without a column list the values go to
// the table's fields in definition order. FieldIndexes holds, once resolved, the target field of
// each value or query column.
class TSqlInsert : public TSqlStatement {
 public:
  TSqlInsert() : TSqlStatement(TSqlStatementKind::Insert) {}
  std::unique_ptr<TSqlTableName> Table;
  bool HasColumnList = false;
  std::vector<TSqlName> Columns;
  std::vector<TSqlExprPtr> Values;  // empty when Select is given
  TSqlPos ValuesPos;                // the VALUES word, or the query's SELECT
  std::unique_ptr<TSqlSelect> Select;
  std::vector<int> FieldIndexes;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
};

struct TSqlSetItem {
  std::string Qualifier;  // the table's name when written table.column, else empty
  std::string Column;
  TSqlPos Pos;
  int FieldIndex = -1;
  TSqlExprPtr Value;
};

// UPDATE table SET column = value, ... [WHERE condition].
class TSqlUpdate : public TSqlStatement {
 public:
  TSqlUpdate() : TSqlStatement(TSqlStatementKind::Update) {}
  std::unique_ptr<TSqlTableName> Table;
  std::vector<TSqlSetItem> Items;
  TSqlExprPtr Where;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
};

// DELETE FROM table [WHERE condition].
class TSqlDelete : public TSqlStatement {
 public:
  TSqlDelete() : TSqlStatement(TSqlStatementKind::Delete) {}
  std::unique_ptr<TSqlTableName> Table;
  TSqlExprPtr Where;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
};

struct TSqlColumnDef {
  std::string Name;
  TSqlDataType Type;
  bool NotNull = false;
  TSqlPos Pos;
};

// An index declared with its table: [UNIQUE] INDEX name (columns).
struct TSqlTableIndex {
  std::string Name;
  bool Unique = false;
  std::vector<TSqlName> Columns;
};

// CREATE TABLE [TEMPORARY] name (column definitions [, PRIMARY KEY (columns)]
// [, [UNIQUE] INDEX name (columns)]...). Inside an open transaction the table belongs to it.
class TSqlCreateTable : public TSqlStatement {
 public:
  TSqlCreateTable() : TSqlStatement(TSqlStatementKind::CreateTable) {}
  std::string Table;
  bool Temporary = false;
  TSqlPos TablePos;
  std::vector<TSqlColumnDef> Columns;
  std::vector<TSqlName> PrimaryKey;
  std::vector<TSqlTableIndex> Indexes;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
};

enum class TSqlIndexOrder { Default, Ascending, Descending };

// CREATE [UNIQUE] [ASC | DESC] INDEX name ON [TEMPORARY] table (columns).
class TSqlCreateIndex : public TSqlStatement {
 public:
  TSqlCreateIndex() : TSqlStatement(TSqlStatementKind::CreateIndex) {}
  bool Unique = false;
  TSqlIndexOrder Order = TSqlIndexOrder::Default;
  std::string IndexName;
  TSqlPos IndexPos;
  std::string Table;
  bool Temporary = false;
  TSqlPos TablePos;
  std::vector<TSqlName> Columns;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
};

enum class TSqlAlterKind { AddColumn, DropColumn, RenameColumn, RetypeColumn };

struct TSqlAlterAction {
  TSqlAlterKind Kind = TSqlAlterKind::AddColumn;
  std::string Column;
  TSqlPos Pos;
  std::string NewName;   // RenameColumn
  TSqlDataType Type;     // AddColumn, RetypeColumn
  bool NotNull = false;  // AddColumn
};

// ALTER TABLE name action, ...
class TSqlAlterTable : public TSqlStatement {
 public:
  TSqlAlterTable() : TSqlStatement(TSqlStatementKind::AlterTable) {}
  std::string Table;
  TSqlPos TablePos;
  std::vector<TSqlAlterAction> Actions;

  // The actions of one kind, in the order written.
  std::vector<const TSqlAlterAction*> ActionsOf(TSqlAlterKind kind) const;
  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
};

class TSqlDropTable : public TSqlStatement {
 public:
  TSqlDropTable() : TSqlStatement(TSqlStatementKind::DropTable) {}
  std::string Table;
  TSqlPos TablePos;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
};

// DROP INDEX table index; Primary when the index name is "primary" (any letter case).
class TSqlDropIndex : public TSqlStatement {
 public:
  TSqlDropIndex() : TSqlStatement(TSqlStatementKind::DropIndex) {}
  std::string Table;
  TSqlPos TablePos;
  std::string IndexName;
  TSqlPos IndexPos;
  bool Primary = false;

  void Print(std::string& out) const override;
  void Dump(std::string& out) const override;
};

}  // namespace zuz
