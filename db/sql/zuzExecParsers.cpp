#include "db/sql/zuzExecParsers.h"

#include <algorithm>

#include "db/sql/zuzExprParser.h"
#include "db/sql/zuzSelectParser.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorUtf8.h"

namespace zuz {

namespace {

constexpr const char* kExpectedTable = "Syntax error. Expected table name";
constexpr const char* kUpdateTerminated = "Update statement incorrectly terminated";

int MaxHeight(const std::vector<TSqlExprPtr>& exprs) {
  int h = 0;
  for (const TSqlExprPtr& e : exprs) h = std::max(h, e->Height);
  return h;
}

}  // namespace

void TZuzExecParsers::End(const char* message) {
  if (!s_.AtEnd()) s_.Fail(message);
}

std::unique_ptr<TSqlTableName> TZuzExecParsers::Target(const char* missing) {
  auto table = std::make_unique<TSqlTableName>();
  table->Pos = s_.CurPos();
  table->Name = ParseSqlTableName(s_, missing);
  return table;
}

std::string TZuzExecParsers::ColumnName() {
  const TSqlToken& t = s_.Cur();
  if (t.Kind != TSqlTokenKind::Identifier) s_.Fail(kSqlInvalidToken);
  std::string name = t.Text;
  s_.Advance();
  return name;
}

std::unique_ptr<TSqlInsert> TZuzExecParsers::ParseInsert() {
  const char* kTerminated = "Insert statement incorrectly terminated";
  auto insert = std::make_unique<TSqlInsert>();
  s_.Advance();
  if (!s_.IsKeyword(TSqlKeyword::Into)) s_.Fail("Insert statement syntax is incorrect");
  s_.Advance();
  insert->Table = Target(kTerminated);
  if (s_.IsPunct('(') && s_.Peek().Keyword != TSqlKeyword::Select) {
    TSqlListMessages m;
    m.Empty = "No insert columns were specified";
    insert->HasColumnList = true;
    insert->Columns = ParseSqlNameList(s_, m);
  }
  insert->ValuesPos = s_.CurPos();
  if (s_.IsKeyword(TSqlKeyword::Values)) {
    s_.Advance();
    if (!s_.IsPunct('(')) s_.Fail("Missing Left Parenthesis");
    s_.Advance();
    for (;;) {
      if (s_.IsPunct(',') || s_.IsPunct(')')) s_.Fail("Column specification is missing");
      insert->Values.push_back(TZuzExprParser(s_).ParseCondition(kInsertValueFeatures));
      if (s_.IsPunct(',')) {
        s_.Advance();
        continue;
      }
      if (s_.IsPunct(')')) {
        s_.Advance();
        break;
      }
      s_.Fail(s_.AtEnd() ? "Missing Right Parenthesis" : "Missing Right Parenthesis or comma");
    }
    if (insert->HasColumnList && insert->Columns.size() != insert->Values.size()) {
      FailSqlAt(insert->ValuesPos,
                "Number of insert columns does not match number of insert values");
    }
    insert->Height = MaxHeight(insert->Values) + 1;
  } else if (s_.IsKeyword(TSqlKeyword::Select)) {
    insert->Select = TZuzSelectParser(s_).ParseQuery(false);
    insert->Height = insert->Select->Height + 1;
  } else {
    s_.Fail(kTerminated);
  }
  End(kTerminated);
  return insert;
}

std::unique_ptr<TSqlUpdate> TZuzExecParsers::ParseUpdate() {
  const char* kSyntax = "Update statement syntax is incorrect";
  const char* kMissingColumn = "Update statement missing column reference";
  auto update = std::make_unique<TSqlUpdate>();
  s_.Advance();
  update->Table = Target(kSyntax);
  if (!s_.IsKeyword(TSqlKeyword::Set)) s_.Fail(kSyntax);
  s_.Advance();
  int height = 0;
  for (;;) {
    if (s_.IsKeyword(TSqlKeyword::Where) || s_.AtEnd()) {
      if (update->Items.empty()) s_.Fail(kMissingColumn);
      break;  // the comma after the last item
    }
    TSqlSetItem item;
    item.Pos = s_.CurPos();
    const TSqlToken& t = s_.Cur();
    if (t.Kind == TSqlTokenKind::Qualifier) {
      item.Qualifier = t.Text;
      s_.Advance();
    }
    if (s_.Cur().Kind != TSqlTokenKind::Identifier) s_.Fail(kMissingColumn);
    item.Column = s_.Cur().Text;
    s_.Advance();
    if (!item.Qualifier.empty() && !SameTextIgnoringCase(item.Qualifier, update->Table->Name)) {
      FailSqlAt(item.Pos, "Table and/or field not found");
    }
    if (!s_.IsOperator("=")) s_.Fail("Missing assignment (=) token");
    s_.Advance();
    item.Value = TZuzExprParser(s_).ParseCondition(kUpdateSetFeatures);
    height = std::max(height, item.Value->Height);
    update->Items.push_back(std::move(item));
    if (!s_.IsPunct(',')) break;
    s_.Advance();
  }
  if (s_.IsKeyword(TSqlKeyword::Where)) {
    s_.Advance();
    update->Where = TZuzExprParser(s_).ParseCondition(kWhereFeatures);
    height = std::max(height, update->Where->Height);
  }
  update->Height = height + 1;
  End(kUpdateTerminated);
  return update;
}

std::unique_ptr<TSqlDelete> TZuzExecParsers::ParseDelete() {
  const char* kTerminated = "Delete statement incorrectly terminated";
  auto del = std::make_unique<TSqlDelete>();
  s_.Advance();
  if (!s_.IsKeyword(TSqlKeyword::From)) s_.Fail("Delete statement syntax is incorrect");
  s_.Advance();
  del->Table = Target(kTerminated);
  if (s_.IsKeyword(TSqlKeyword::Where)) {
    s_.Advance();
    del->Where = TZuzExprParser(s_).ParseCondition(kWhereFeatures);
    del->Height = del->Where->Height + 1;
  }
  End(kTerminated);
  return del;
}

std::unique_ptr<TSqlStatement> TZuzExecParsers::ParseCreate() {
  s_.Advance();
  if (s_.IsKeyword(TSqlKeyword::Table)) return CreateTable();
  return CreateIndex();
}

std::unique_ptr<TSqlStatement> TZuzExecParsers::CreateTable() {
  auto create = std::make_unique<TSqlCreateTable>();
  s_.Advance();
  if (s_.IsKeyword(TSqlKeyword::Temporary)) {
    create->Temporary = true;
    s_.Advance();
  }
  create->TablePos = s_.CurPos();
  create->Table = ParseSqlTableName(s_, kExpectedTable);
  if (!s_.IsPunct('(')) s_.Fail("Missing Left Parenthesis");
  s_.Advance();
  // The indexes declared with the table: [UNIQUE] INDEX name (columns), after the columns and
  // the primary key, separated by commas.
  auto indexes = [&] {
    for (;;) {
      TSqlTableIndex index;
      if (s_.IsKeyword(TSqlKeyword::Unique)) {
        index.Unique = true;
        s_.Advance();
      }
      if (!s_.IsKeyword(TSqlKeyword::Index)) s_.Fail(kSqlInvalidToken);
      s_.Advance();
      index.Name = ColumnName();
      index.Columns = ParseSqlNameList(s_, TSqlListMessages{});
      create->Indexes.push_back(std::move(index));
      if (!s_.IsPunct(',')) break;
      s_.Advance();
    }
    if (!s_.IsPunct(')')) s_.Fail("Missing Right Parenthesis");
  };
  auto startsIndex = [&] {
    return s_.IsKeyword(TSqlKeyword::Index) || s_.IsKeyword(TSqlKeyword::Unique);
  };
  for (;;) {
    if (s_.IsKeyword(TSqlKeyword::PrimaryKey) && !create->Columns.empty()) {
      s_.Advance();
      create->PrimaryKey = ParseSqlNameList(s_, TSqlListMessages{});
      if (s_.IsPunct(',')) {
        s_.Advance();
        if (!startsIndex()) s_.Fail(kSqlInvalidToken);
        indexes();
      }
      if (!s_.IsPunct(')')) s_.Fail("Missing Right Parenthesis");
      break;
    }
    if (startsIndex() && !create->Columns.empty()) {
      indexes();
      break;
    }
    if (s_.IsPunct(',') || s_.IsPunct(')') || s_.IsKeyword(TSqlKeyword::PrimaryKey)) {
      s_.Fail("Column specification is missing");
    }
    TSqlColumnDef column;
    column.Pos = s_.CurPos();
    column.Name = ColumnName();
    column.Type = ParseSqlDataType(s_);
    if (s_.IsKeyword(TSqlKeyword::Not)) {
      s_.Advance();
      if (!s_.IsKeyword(TSqlKeyword::Null)) s_.Fail(kSqlInvalidToken);
      s_.Advance();
      column.NotNull = true;
    }
    create->Columns.push_back(std::move(column));
    if (s_.IsPunct(',')) {
      s_.Advance();
      continue;
    }
    if (s_.IsPunct(')')) break;
    if (s_.IsKeyword(TSqlKeyword::PrimaryKey)) continue;
    s_.Fail(s_.AtEnd() ? "Missing Right Parenthesis" : "Missing Right Parenthesis or comma");
  }
  s_.Advance();  // ")"
  End(kUpdateTerminated);
  return create;
}

std::unique_ptr<TSqlStatement> TZuzExecParsers::CreateIndex() {
  auto create = std::make_unique<TSqlCreateIndex>();
  if (s_.IsKeyword(TSqlKeyword::Unique)) {
    create->Unique = true;
    s_.Advance();
  }
  if (s_.IsKeyword(TSqlKeyword::Asc) || s_.IsKeyword(TSqlKeyword::Ascending)) {
    create->Order = TSqlIndexOrder::Ascending;
    s_.Advance();
  } else if (s_.IsKeyword(TSqlKeyword::Desc) || s_.IsKeyword(TSqlKeyword::Descending)) {
    create->Order = TSqlIndexOrder::Descending;
    s_.Advance();
  }
  if (!s_.IsKeyword(TSqlKeyword::Index)) s_.Fail("Create statment is invalid");
  s_.Advance();
  create->IndexPos = s_.CurPos();
  create->IndexName = ParseSqlTableName(s_, kSqlInvalidToken);
  if (!s_.IsKeyword(TSqlKeyword::On)) s_.Fail("Missing ON token");
  s_.Advance();
  if (s_.IsKeyword(TSqlKeyword::Temporary)) {
    create->Temporary = true;
    s_.Advance();
  }
  create->TablePos = s_.CurPos();
  create->Table = ParseSqlTableName(s_, kExpectedTable);
  TSqlListMessages m;
  m.MissingLeft = m.Empty = "No index columns specified";
  create->Columns = ParseSqlNameList(s_, m);
  End(kUpdateTerminated);
  return create;
}

std::unique_ptr<TSqlAlterTable> TZuzExecParsers::ParseAlter() {
  const char* kInvalid = "Alter table statment is invalid";
  auto alter = std::make_unique<TSqlAlterTable>();
  s_.Advance();
  if (!s_.IsKeyword(TSqlKeyword::Table)) s_.Fail(kInvalid);
  s_.Advance();
  alter->TablePos = s_.CurPos();
  alter->Table = ParseSqlTableName(s_, kExpectedTable);
  for (;;) {
    TSqlAlterAction action;
    action.Pos = s_.CurPos();
    TSqlKeyword verb = s_.Cur().Keyword;
    if (verb != TSqlKeyword::Add && verb != TSqlKeyword::Drop && verb != TSqlKeyword::Alter) {
      s_.Fail(kInvalid);
    }
    s_.Advance();
    if (s_.IsKeyword(TSqlKeyword::Column)) s_.Advance();
    action.Column = ColumnName();
    if (verb == TSqlKeyword::Add) {
      action.Kind = TSqlAlterKind::AddColumn;
      action.Type = ParseSqlDataType(s_);
      if (s_.IsKeyword(TSqlKeyword::Not)) {
        s_.Advance();
        if (!s_.IsKeyword(TSqlKeyword::Null)) s_.Fail(kSqlInvalidToken);
        s_.Advance();
        action.NotNull = true;
      }
    } else if (verb == TSqlKeyword::Drop) {
      action.Kind = TSqlAlterKind::DropColumn;
    } else if (s_.IsKeyword(TSqlKeyword::To)) {
      s_.Advance();
      action.Kind = TSqlAlterKind::RenameColumn;
      action.NewName = ColumnName();
    } else if (s_.IsKeyword(TSqlKeyword::Type)) {
      s_.Advance();
      action.Kind = TSqlAlterKind::RetypeColumn;
      action.Type = ParseSqlDataType(s_);
    } else {
      s_.Fail(kInvalid);
    }
    alter->Actions.push_back(std::move(action));
    if (!s_.IsPunct(',')) break;
    s_.Advance();
  }
  End(kUpdateTerminated);
  return alter;
}

std::unique_ptr<TSqlStatement> TZuzExecParsers::ParseDrop() {
  s_.Advance();
  if (s_.IsKeyword(TSqlKeyword::Table)) {
    auto drop = std::make_unique<TSqlDropTable>();
    s_.Advance();
    drop->TablePos = s_.CurPos();
    drop->Table = ParseSqlTableName(s_, kExpectedTable);
    End(kUpdateTerminated);
    return drop;
  }
  if (!s_.IsKeyword(TSqlKeyword::Index)) s_.Fail("Drop statment is invalid");
  auto drop = std::make_unique<TSqlDropIndex>();
  s_.Advance();
  drop->TablePos = s_.CurPos();
  drop->Table = ParseSqlTableName(s_, kExpectedTable);
  drop->IndexPos = s_.CurPos();
  drop->IndexName = ParseSqlTableName(s_, kSqlInvalidToken);
  drop->Primary = SameTextIgnoringCase(drop->IndexName, "primary");
  End(kUpdateTerminated);
  return drop;
}

}  // namespace zuz
