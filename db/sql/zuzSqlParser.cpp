#include "db/sql/zuzSqlParser.h"

#include "db/sql/zuzExecParsers.h"
#include "db/sql/zuzExprParser.h"
#include "db/sql/zuzParserUtils.h"
#include "db/sql/zuzSelectParser.h"
#include "db/sql/zuzSqlBinder.h"
#include "db/storage/zuzError.h"
#include "planner/base/qorUtf8.h"

namespace zuz {

namespace {

std::unique_ptr<TSqlStatement> ParseStatement(TZuzSqlParseState& s) {
  const TSqlToken& first = s.Peek(0);
  std::unique_ptr<TSqlStatement> st;
  switch (first.Keyword) {
    case TSqlKeyword::Select:
      st = TZuzSelectParser(s).ParseQuery(false);
      if (!s.AtEnd()) s.Fail("Unrecognized tokens beyond end of statement: ");
      break;
    case TSqlKeyword::Insert:
      st = TZuzExecParsers(s).ParseInsert();
      break;
    case TSqlKeyword::Update:
      st = TZuzExecParsers(s).ParseUpdate();
      break;
    case TSqlKeyword::Delete:
      st = TZuzExecParsers(s).ParseDelete();
      break;
    case TSqlKeyword::Create:
      st = TZuzExecParsers(s).ParseCreate();
      break;
    case TSqlKeyword::Alter:
      st = TZuzExecParsers(s).ParseAlter();
      break;
    case TSqlKeyword::Drop:
      st = TZuzExecParsers(s).ParseDrop();
      break;
    default:
      TZuzSqlParseState::FailAt(first, "Unrecognised SQL statement type");
  }
  // The statement ended at ";" or the end of the text; nothing may follow a ";".
  if (!s.AtEndOfText()) {
    s.Advance();
    if (!s.AtEndOfText()) s.Fail("Unrecognized tokens beyond end of statement: ");
  }
  return st;
}

// Statement text is UTF-8: text that is not is refused before a token is made of it, so that no
// name or value of it reaches a table.
bool RefuseInvalidText(std::string_view text, std::vector<std::string>& errors) {
  const size_t bad = FirstInvalidUtf8(text);
  if (bad == text.size()) return false;
  errors.push_back("The statement text is not valid UTF-8 at byte " + std::to_string(bad + 1));
  return true;
}

bool IsEmpty(const TZuzSqlParseState& s) {
  const TSqlToken& first = s.Peek(0);
  if (first.Kind != TSqlTokenKind::End) return false;
  return s.TokenCount() == 1 || (s.TokenCount() == 2 && first.Text == ";");
}

}  // namespace

std::string JoinSqlErrors(const std::vector<std::string>& errors) {
  std::string out;
  for (const std::string& e : errors) {
    out += e;
    out += ". ";
  }
  return out;
}

std::string TZuzSqlParser::ErrorText() const {
  return JoinSqlErrors(errors_);
}

bool TZuzSqlParser::Prepare(std::string_view text) {
  errors_.clear();
  statement_.reset();
  if (RefuseInvalidText(text, errors_)) return false;
  try {
    TZuzSqlParseState s(text);
    if (IsEmpty(s)) {
      errors_.push_back("SQL statment is empty");
      return false;
    }
    std::unique_ptr<TSqlStatement> st = ParseStatement(s);
    TZuzSqlBinder binder(catalogue_);
    binder.CheckTables(*st, errors_);
    if (!errors_.empty()) return false;
    binder.Bind(*st);
    statement_ = std::move(st);
    return true;
  } catch (const TSqlParseError& e) {
    errors_.push_back(e.Message);
    return false;
  }
}

bool TZuzSqlParser::PrepareFilter(std::string_view text, const TTableDef& table) {
  errors_.clear();
  filter_ = TSqlFilter{};
  if (RefuseInvalidText(text, errors_)) return false;
  try {
    TZuzSqlParseState s(text);
    if (IsEmpty(s)) {
      errors_.push_back("Expression is empty");
      return false;
    }
    TSqlExprPtr condition = TZuzExprParser(s).ParseCondition(kFilterFeatures);
    if (!s.AtEndOfText()) s.Fail("Unrecognized tokens beyond end of statement: ");
    auto source = std::make_unique<TSqlTableName>();
    source->Name = table.TableName;
    source->ColumnsKnown = true;
    for (const TInternalFieldItem& f : table.InternalFields) {
      int size = f.DataType == TFieldType::ftString ? f.FieldSize - 1 : f.FieldSize;
      source->Columns.push_back(TSqlColumnInfo{f.FieldName, f.DataType, size, f.Hidden});
    }
    TZuzSqlTableList noTables;  // the table's own columns are all there is
    TZuzSqlBinder(&noTables).BindFilter(*source, *condition);
    filter_.Table = std::move(source);
    filter_.Condition = std::move(condition);
    return true;
  } catch (const TSqlParseError& e) {
    errors_.push_back(e.Message);
    return false;
  }
}

std::unique_ptr<TSqlStatement> ParseSqlStatement(std::string_view text,
                                                 const TZuzSqlCatalogue* catalogue,
                                                 std::string_view caller) {
  TZuzSqlParser parser(catalogue);
  if (!parser.Prepare(text)) ZuzDatabaseError(ZUZ_ERR_SQL, caller, parser.ErrorText());
  return parser.TakeStatement();
}

}  // namespace zuz
