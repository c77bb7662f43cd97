#include "tools/zuzsql/zuzsqlShell.h"

#include <algorithm>
#include <optional>

#include "db/objects/zuzSQL.h"
#include "db/sql/zuzSqlExpr.h"
#include "db/storage/zuzError.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorUtf8.h"

namespace zuz {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool IsNumberType(TFieldType t) {
  return IsWholeValueType(t) || t == TFieldType::ftFloat || t == TFieldType::ftCurrency ||
         t == TFieldType::ftBCD;
}

std::string TypeText(const TInternalFieldItem& f) {
  using F = TFieldType;
  switch (f.DataType) {
    case F::ftString:
      return "VARCHAR(" + std::to_string(f.FieldSize - 1) + ")";
    case F::ftSmallint:
      return "SMALLINT";
    case F::ftInteger:
    case F::ftWord:
      return "INTEGER";
    case F::ftAutoInc:
      return "AUTOINC";
    case F::ftBoolean:
      return "BOOLEAN";
    case F::ftFloat:
      return f.NumDecimalPlaces > 0 ? "DECIMAL(15," + std::to_string(f.NumDecimalPlaces) + ")"
                                    : "FLOAT";
    case F::ftCurrency:
      return "MONEY";
    case F::ftDate:
      return "DATE";
    case F::ftTime:
      return "TIME";
    case F::ftDateTime:
      return "TIMESTAMP";
    case F::ftMemo:
      return "BLOB(1,1)";
    case F::ftFmtMemo:
      return "BLOB(1,3)";
    case F::ftGraphic:
      return "BLOB(1,5)";
    case F::ftBlob:
      return "BLOB";
    default:
      return FieldTypeName(f.DataType);
  }
}

std::string Name(const std::string& n) {
  std::string out;
  PrintSqlName(out, n);
  return out;
}

}  // namespace

std::vector<std::string> SplitSqlScript(std::string_view text, std::string* rest) {
  std::vector<std::string> out;
  std::string cur;
  size_t i = 0;
  auto flush = [&] {
    std::string_view t = Trim(cur);
    if (!t.empty()) out.emplace_back(t);
    cur.clear();
  };
  while (i < text.size()) {
    char c = text[i];
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      char close = c == '[' ? ']' : c;
      size_t j = text.find(close, i + 1);
      if (j == std::string_view::npos) j = text.size() - 1;
      cur.append(text.substr(i, j - i + 1));
      i = j + 1;
      continue;
    }
    if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      size_t j = text.find("*/", i + 2);
      j = j == std::string_view::npos ? text.size() : j + 2;
      cur.append(text.substr(i, j - i));
      i = j;
      continue;
    }
    if ((c == '/' && i + 1 < text.size() && text[i + 1] == '/') ||
        (c == '-' && i + 1 < text.size() && text[i + 1] == '-' && Trim(cur).empty())) {
      size_t j = text.find('\n', i);
      j = j == std::string_view::npos ? text.size() : j;
      if (c == '/') cur.append(text.substr(i, j - i));
      i = j;
      continue;
    }
    if (c == '\n' && IsDotCommand(cur)) {
      flush();
      ++i;
      continue;
    }
    if (c == ';') {
      flush();
      ++i;
      continue;
    }
    cur.push_back(c);
    ++i;
  }
  if (IsDotCommand(cur)) {
    flush();
  }
  if (rest) {
    *rest = std::string(Trim(cur));
  } else {
    flush();
  }
  return out;
}

bool IsDotCommand(std::string_view text) {
  std::string_view t = Trim(text);
  return !t.empty() && t.front() == '.';
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string ShellText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\0') {
      out += "\\0";
    } else {
      out += c;
    }
  }
  return out;
}

std::string ShellValueText(const TZuzValue& v) {
  return ShellText(ValueToText(v));
}

std::string SchemaText(const TTableDef& def) {
  std::string out = "CREATE TABLE " + Name(def.TableName) + " (";
  bool first = true;
  for (const TInternalFieldItem& f : def.InternalFields) {
    if (f.Hidden) continue;
    out += first ? "\n  " : ",\n  ";
    first = false;
    out += Name(f.FieldName) + " " + TypeText(f);
    if (f.Required) out += " NOT NULL";
  }
  std::string indexes;
  for (const TInternalIndexDef& ix : def.InternalIndexDefs) {
    if (ix.Hidden) continue;
    std::string fields;
    bool descending = false;
    for (const TKeyFieldItem& k : def.KeyFieldsOf(ix.IndexName)) {
      if (k.Hidden) continue;
      fields += (fields.empty() ? "" : ", ") + Name(k.FieldName);
      descending = descending || k.Descending;
    }
    if (ix.Primary) {
      out += ",\n  PRIMARY KEY (" + fields + ")";
      continue;
    }
    indexes += "CREATE ";
    if (ix.Unique) indexes += "UNIQUE ";
    if (descending) indexes += "DESC ";
    indexes +=
        "INDEX " + Name(ix.IndexName) + " ON " + Name(def.TableName) + " (" + fields + ");\n";
  }
  out += "\n);\n" + indexes;
  return out;
}

std::string TZuzSqlShell::HelpText() {
  return "Statements end with \";\". Commands:\n"
         "  .tables          list the tables\n"
         "  .schema NAME     show the definition of a table\n"
         "  .help            show this text\n"
         "  .quit            leave the shell\n"
         "A database with users and groups also takes (the last four from administrators):\n"
         "  .password [USER]             change the own password (or the user's)\n"
         "  .users                       list the users and groups\n"
         "  .addgroup GROUP              add a group\n"
         "  .adduser USER GROUP          add a user to a group\n"
         "  .grant GROUP TABLE|ALL PRIV  grant open, insert, update, delete, alter, drop or\n"
         "  .revoke GROUP TABLE|ALL PRIV   create (the last without TABLE) to a group\n";
}

std::vector<std::string> TZuzSqlShell::Words(std::string_view text) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
    if (i > start) words.emplace_back(text.substr(start, i - start));
  }
  return words;
}

void TZuzSqlShell::Security(std::string_view cmd, const std::vector<std::string>& args) {
  TSecurityManager* security = db_.Security();
  if (!security) {
    std::fprintf(out_, "This database has no users and groups\n");
    return;
  }
  auto usage = [&](const char* text) { std::fprintf(out_, "usage: %s\n", text); };
  auto newPassword = [&](std::string& password) {
    std::string reason;
    if (AskNewPassword && AskNewPassword(password, reason)) return true;
    std::fprintf(out_, "%s\n", reason.empty() ? "No password was given" : reason.c_str());
    return false;
  };
  // Refused before a password is asked for.
  const bool forOthers =
      cmd == ".adduser" ||
      (cmd == ".password" && !args.empty() && !SameTextIgnoringCase(args[0], security->UserName()));
  if (forOthers && !security->IsAdministrator()) {
    ZuzDatabaseError(ZUZ_ERR_PRIVILEGE, "TZuzSqlShell", {}, "TZuzSqlShell");
  }
  std::string password;
  if (cmd == ".users") {
    std::fprintf(out_, "Users: ");
    for (const std::string& u : security->UserNames()) std::fprintf(out_, "%s ", u.c_str());
    std::fprintf(out_, "\nGroups: ");
    for (const std::string& g : security->GroupNames()) std::fprintf(out_, "%s ", g.c_str());
    std::fprintf(out_, "\n");
  } else if (cmd == ".password") {
    if (args.size() > 1) return usage(".password [USER]");
    if (!newPassword(password)) return;
    security->SetPassword(args.empty() ? security->UserName() : args[0], password);
  } else if (cmd == ".addgroup") {
    if (args.size() != 1) return usage(".addgroup GROUP");
    security->AddGroup(args[0]);
  } else if (cmd == ".adduser") {
    if (args.size() != 2) return usage(".adduser USER GROUP");
    if (!newPassword(password)) return;
    security->AddUser(args[0], password, args[1]);
  } else {
    const char* text =
        cmd == ".grant" ? ".grant GROUP TABLE|ALL PRIVILEGE" : ".revoke GROUP TABLE|ALL PRIVILEGE";
    if (args.size() != 2 && args.size() != 3) return usage(text);
    const std::string& name = args.back();
    std::optional<TZuzPrivilege> privilege;
    for (auto [word, p] :
         {std::pair{"open", TZuzPrivilege::Open}, std::pair{"insert", TZuzPrivilege::Insert},
          std::pair{"update", TZuzPrivilege::Update}, std::pair{"delete", TZuzPrivilege::Delete},
          std::pair{"alter", TZuzPrivilege::Alter}, std::pair{"drop", TZuzPrivilege::Drop},
          std::pair{"create", TZuzPrivilege::Create}}) {
      if (SameTextIgnoringCase(name, word)) privilege = p;
    }
    if (!privilege || (args.size() == 2) != (*privilege == TZuzPrivilege::Create)) {
      return usage(text);
    }
    const std::string table = args.size() == 3 ? args[1] : "";
    if (cmd == ".grant") {
      security->Grant(args[0], table, *privilege);
    } else {
      security->Revoke(args[0], table, *privilege);
    }
  }
}

void TZuzSqlShell::Tables() {
  for (const std::string& n : db_.TableNames()) {
    if (db_.IsMemory() || db_.HasPrivilege(n, TZuzPrivilege::Open)) {
      std::fprintf(out_, "%s\n", n.c_str());
    }
  }
  if (!db_.IsMemory()) {
    for (const std::string& n : db_.MemoryTableNames()) {
      std::fprintf(out_, "%s (memory)\n", n.c_str());
    }
  }
}

void TZuzSqlShell::Schema(const std::string& name) {
  TTableMgr* tables = db_.Tables();
  bool found = false;
  for (TTableMgr* mgr : {tables, &db_.MemoryTables()}) {
    if (!mgr) continue;
    for (const std::string& n : mgr->TableNames()) {
      if (!name.empty() && !SameTextIgnoringCase(n, name)) continue;
      // Only what the user may read: a table named is refused, the others left out.
      if (mgr == tables && !name.empty()) db_.CheckPrivilege(n, TZuzPrivilege::Open);
      if (mgr == tables && !db_.HasPrivilege(n, TZuzPrivilege::Open)) continue;
      std::fputs(SchemaText(mgr->InternalGetTableDef(n)).c_str(), out_);
      found = true;
    }
  }
  if (!found) std::fprintf(out_, "No such table: %s\n", name.c_str());
}

bool TZuzSqlShell::Run(std::string_view text) {
  std::string_view t = Trim(text);
  if (t.empty()) return true;
  if (IsDotCommand(t)) {
    std::string_view cmd = t;
    std::string_view arg;
    size_t sp = t.find_first_of(" \t");
    if (sp != std::string_view::npos) {
      cmd = t.substr(0, sp);
      arg = Trim(t.substr(sp));
    }
    if (cmd == ".quit" || cmd == ".exit") return false;
    if (cmd == ".tables") {
      Tables();
    } else if (cmd == ".schema") {
      Schema(std::string(arg));
    } else if (cmd == ".help") {
      std::fputs(HelpText().c_str(), out_);
    } else if (cmd == ".users" || cmd == ".password" || cmd == ".adduser" || cmd == ".addgroup" ||
               cmd == ".grant" || cmd == ".revoke") {
      Security(cmd, Words(arg));
    } else {
      std::fprintf(out_, "Unknown command %s; .help lists the commands\n",
                   std::string(cmd).c_str());
    }
    return true;
  }
  TZuzQuery q;
  q.SetDataBase(&db_);
  q.ParamCheck = false;
  q.SetSQL(std::string(t));
  q.Prepare();
  // The kind decides: a query is opened, everything else executed.
  if (!q.StatementIsQuery()) {
    q.ExecSQL();
    if (Verbose) {
      std::fprintf(out_, "(%lld rows affected)\n", static_cast<long long>(q.RowsAffected()));
    }
    return true;
  }
  q.Open();
  const TZuzResultSet& r = *q.Result();
  const size_t n = r.Columns.size();
  std::vector<std::string> names;
  for (const TZuzResultColumn& column : r.Columns) names.push_back(ShellText(column.Name));
  if (Csv) {
    std::string line;
    for (size_t c = 0; c < n; ++c) line += (c ? "," : "") + CsvField(names[c]);
    std::fprintf(out_, "%s\r\n", line.c_str());
    for (const TZuzRow& row : r.Rows) {
      line.clear();
      for (size_t c = 0; c < n; ++c) line += (c ? "," : "") + CsvField(ShellValueText(row[c]));
      std::fprintf(out_, "%s\r\n", line.c_str());
    }
    return true;
  }
  std::vector<std::vector<std::string>> cells;
  std::vector<size_t> width(n, 0);
  auto textWidth = [](const std::string& s) { return Utf8Length(s); };
  for (size_t c = 0; c < n; ++c) width[c] = textWidth(names[c]);
  for (const TZuzRow& row : r.Rows) {
    cells.emplace_back();
    for (size_t c = 0; c < n; ++c) {
      std::string s = row[c].IsNull() ? "NULL" : ShellValueText(row[c]);
      for (char& ch : s) {
        if (ch == '\n' || ch == '\r' || ch == '\t') ch = ' ';
      }
      width[c] = std::max(width[c], textWidth(s));
      cells.back().push_back(std::move(s));
    }
  }
  auto pad = [&](const std::string& s, size_t w, bool right) {
    std::string fill(w - std::min(w, textWidth(s)), ' ');
    return right ? fill + s : s + fill;
  };
  std::string line;
  for (size_t c = 0; c < n; ++c) {
    line += (c ? " | " : "") + pad(names[c], width[c], IsNumberType(r.Columns[c].Type));
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  std::fprintf(out_, "%s\n", line.c_str());
  line.clear();
  for (size_t c = 0; c < n; ++c) line += (c ? "-+-" : "") + std::string(width[c], '-');
  std::fprintf(out_, "%s\n", line.c_str());
  for (const auto& row : cells) {
    line.clear();
    for (size_t c = 0; c < n; ++c) {
      line += (c ? " | " : "") + pad(row[c], width[c], IsNumberType(r.Columns[c].Type));
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::fprintf(out_, "%s\n", line.c_str());
  }
  std::fprintf(out_, "(%zu row%s)\n", r.Rows.size(), r.Rows.size() == 1 ? "" : "s");
  return true;
}

}  // namespace zuz
