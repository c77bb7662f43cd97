// The same random data and random queries through the engine and through SQLite; the results
// must agree as multisets, and in order where ORDER BY asks.
//
// The generator writes each query twice, once in the engine's dialect and once for SQLite,
// spelling out the engine's documented differences on the SQLite side:
//   - aggregates are doubles and give 0 when no value took part: COALESCE(SUM(x), 0) ...
//   - booleans: the engine's True is -1 as a number, SQLite stores 1
//   - LIKE and IN are two-valued (false for a NULL value), so NOT IN holds for NULL:
//     COALESCE(x IN (...), 0), NOT COALESCE(x IN (...), 0)
//   - division is real division: x * 1.0 / y
//   - dates are day numbers compared with quoted dates in the engine
//
// VZ_DIFF_SEED and VZ_DIFF_QUERIES choose the seed and the number of queries.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "planner/base/qorCalendar.h"
#include "tests/db/exec/execTestDb.h"

namespace zuz::test {
namespace {

uint64_t EnvNumber(const char* name, uint64_t fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtoull(v, nullptr, 10) : fallback;
}

struct TCol {
  std::string Table;
  std::string Name;
  char Kind;  // i integer, f float, s string, b boolean, d date
  std::string Q() const { return Table + "." + Name; }
};

// A text in both dialects.
struct TPair {
  std::string E, S;
};

const std::vector<std::string> kStrings = {"",  "a",  "ab",  "abc", "b",
                                           "B", "ba", "x y", "o'n", "Ab"};
const std::vector<double> kFloats = {0.5, 1, 2.25, 3.5, -1.5, 10, 0};
constexpr int kBaseDay = 38130;  // 2004-05-23

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

std::string Num(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::string DateText(int day) {
  int y = 0, m = 0, d = 0;
  DecodeDate(day, y, m, d);
  char buf[32];
  std::snprintf(buf, sizeof buf, "'%04d-%02d-%02d'", y, m, d);
  return buf;
}

class TGen {
 public:
  explicit TGen(uint64_t seed) : rng_(seed) {}

  int R(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  bool P(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  template <typename T>
  const T& Pick(const std::vector<T>& v) {
    return v[static_cast<size_t>(R(static_cast<int>(v.size())))];
  }

  TPair Literal(char kind) {
    switch (kind) {
      case 'i': {
        std::string v = std::to_string(R(14) - 1);
        return {v, v};
      }
      case 'f': {
        std::string v = Num(Pick(kFloats));
        return {v, v};
      }
      case 's': {
        std::string v = Quote(Pick(kStrings));
        return {v, v};
      }
      case 'b': {
        int k = R(4);
        if (k == 0) return {"TRUE", "1"};
        if (k == 1) return {"FALSE", "0"};
        if (k == 2) return {"-1", "1"};
        return {"0", "0"};
      }
      default: {
        int day = kBaseDay + R(40);
        return {DateText(day), std::to_string(day)};
      }
    }
  }

  // A value for a row (NULL sometimes), as SQL text of both sides.
  TPair Value(char kind) {
    if (P(0.15)) return {"NULL", "NULL"};
    return Literal(kind);
  }

  std::mt19937_64 rng_;
};

const std::vector<TCol> kA = {{"A", "Id", 'i'}, {"A", "X", 'i'}, {"A", "Y", 'f'},
                              {"A", "S", 's'},  {"A", "B", 'b'}, {"A", "D", 'd'}};
const std::vector<TCol> kB = {
    {"Bt", "Id", 'i'}, {"Bt", "AId", 'i'}, {"Bt", "X", 'i'}, {"Bt", "S", 's'}};
const std::vector<TCol> kC = {
    {"C", "Id", 'i'}, {"C", "BId", 'i'}, {"C", "Y", 'f'}, {"C", "S", 's'}};

class TQueryGen {
 public:
  explicit TQueryGen(TGen& g) : g_(g) {}

  std::vector<TCol> cols_;  // the columns of the FROM list

  std::vector<TCol> OfKind(char kind) const {
    std::vector<TCol> out;
    for (const TCol& c : cols_) {
      if (c.Kind == kind) out.push_back(c);
    }
    return out;
  }
  bool Numeric(char k) const { return k == 'i' || k == 'f'; }

  // Whether the FROM list has table A (the correlated subqueries refer to A.Id).
  bool hasA_ = true;
  // Whether conditions may hold subqueries.
  bool subqueries_ = true;

  TPair From() {
    int shape = g_.R(12);
    hasA_ = true;
    if (shape < 3) {
      cols_ = kA;
      return {"A", "A"};
    }
    if (shape == 10) {
      // A subquery in the FROM list.
      hasA_ = false;
      cols_ = kA;
      TPair inner = Predicate(1);
      cols_ = {{"d", "X", 'i'}, {"d", "S", 's'}, {"d", "Y", 'f'}};
      return {"(SELECT A.X AS X, A.S AS S, A.Y AS Y FROM A WHERE " + inner.E + ") d",
              "(SELECT A.X AS X, A.S AS S, A.Y AS Y FROM A WHERE " + inner.S + ") d"};
    }
    if (shape == 11) {
      cols_ = kA;
      cols_.insert(cols_.end(), kB.begin(), kB.end());
      std::string j = g_.P(0.5) ? "INNER JOIN" : "LEFT JOIN";
      std::string t = "A " + j + " Bt USING (X)";
      return {t, t};
    }
    if (shape < 7) {
      cols_ = kA;
      cols_.insert(cols_.end(), kB.begin(), kB.end());
      static const std::vector<std::string> kJoins = {"INNER JOIN", "LEFT JOIN", "RIGHT JOIN",
                                                      "FULL JOIN", "JOIN"};
      std::string on = g_.P(0.75) ? "A.Id = Bt.AId" : "A.X = Bt.X";
      if (g_.P(0.25)) {
        where_.push_back({on, on});
        return {"A, Bt", "A, Bt"};
      }
      std::string j = g_.Pick(kJoins);
      std::string t = "A " + j + " Bt ON " + on;
      if (g_.P(0.2)) {
        TPair extra = SimpleCond(kB);
        t += " AND " + extra.E;
        return {t, "A " + j + " Bt ON " + on + " AND " + extra.S};
      }
      return {t, t};
    }
    cols_ = kA;
    cols_.insert(cols_.end(), kB.begin(), kB.end());
    cols_.insert(cols_.end(), kC.begin(), kC.end());
    if (g_.P(0.3)) {
      where_.push_back({"A.Id = Bt.AId", "A.Id = Bt.AId"});
      where_.push_back({"Bt.Id = C.BId", "Bt.Id = C.BId"});
      if (g_.P(0.3)) where_.push_back({"A.X = C.Id", "A.X = C.Id"});
      return {"A, Bt, C", "A, Bt, C"};
    }
    std::string j1 = g_.P(0.7) ? "INNER JOIN" : "LEFT JOIN";
    std::string j2 = g_.P(0.7) ? "INNER JOIN" : "LEFT JOIN";
    std::string t = "A " + j1 + " Bt ON A.Id = Bt.AId " + j2 + " C ON Bt.Id = C.BId";
    return {t, t};
  }

  // A column of the kind; a table without floats gives an integer column, and the other way.
  TPair Column(char kind) {
    std::vector<TCol> c = OfKind(kind);
    if (c.empty() && (kind == 'f' || kind == 'i')) c = OfKind(kind == 'f' ? 'i' : 'f');
    const TCol& col = g_.Pick(c);
    return {col.Q(), col.Q()};
  }

  // A condition over the columns of one table only (for ON clauses and subqueries).
  TPair SimpleCond(const std::vector<TCol>& cols) {
    const TCol& c = g_.Pick(cols);
    static const std::vector<std::string> kOps = {"=", "<>", "<", "<=", ">", ">="};
    if (c.Kind == 'b') return {c.Q() + " = TRUE", c.Q() + " = 1"};
    TPair lit = g_.Literal(c.Kind);
    std::string op = g_.Pick(kOps);
    return {c.Q() + " " + op + " " + lit.E, c.Q() + " " + op + " " + lit.S};
  }

  TPair NumExpr() {
    char k = g_.P(0.5) ? 'i' : 'f';
    TPair a = Column(k);
    int form = g_.R(5);
    if (form == 0) {
      TPair b = Column(g_.P(0.5) ? 'i' : 'f');
      return {a.E + " + " + b.E, a.S + " + " + b.S};
    }
    if (form == 1) {
      TPair l = g_.Literal('i');
      return {a.E + " * " + l.E, a.S + " * " + l.S};
    }
    if (form == 2) return {a.E + " / 2", a.S + " * 1.0 / 2"};
    if (form == 3) {
      TPair l = g_.Literal('f');
      return {a.E + " - " + l.E, a.S + " - " + l.S};
    }
    return a;
  }

  TPair Predicate(int depth) {
    static const std::vector<std::string> kOps = {"=", "<>", "<", "<=", ">", ">="};
    int form = g_.R(depth > 0 ? 14 : 10);
    if (!subqueries_ && form >= 10 && form <= 12) form = 1;
    if (!hasA_ && (form == 11 || form == 12)) form = 10;
    switch (form) {
      case 0:
      case 1: {
        const TCol& c = g_.Pick(cols_);
        if (c.Kind == 'b') {
          TPair l = g_.Literal('b');
          return {c.Q() + " = " + l.E, c.Q() + " = " + l.S};
        }
        TPair l = g_.Literal(c.Kind);
        std::string op = g_.Pick(kOps);
        return {c.Q() + " " + op + " " + l.E, c.Q() + " " + op + " " + l.S};
      }
      case 2: {
        char k = g_.Pick(std::vector<char>{'i', 's', 'f'});
        TPair a = Column(k);
        TPair b = Column(k == 'f' ? 'i' : k);
        std::string op = g_.Pick(kOps);
        return {a.E + " " + op + " " + b.E, a.S + " " + op + " " + b.S};
      }
      case 3: {
        const TCol& c = g_.Pick(cols_);
        std::string n = g_.P(0.5) ? " IS NULL" : " IS NOT NULL";
        return {c.Q() + n, c.Q() + n};
      }
      case 4: {
        char k = OfKind('d').empty() ? 'i' : g_.Pick(std::vector<char>{'i', 'f', 'd'});
        TPair c = Column(k);
        TPair a = g_.Literal(k), b = g_.Literal(k);
        std::string neg = g_.P(0.3) ? " NOT" : "";
        return {c.E + neg + " BETWEEN " + a.E + " AND " + b.E,
                c.S + neg + " BETWEEN " + a.S + " AND " + b.S};
      }
      case 5: {
        static const std::vector<std::string> kPatterns = {"'a%'", "'%b'",  "'_b%'", "'ab'",
                                                           "'%'",  "'a_c'", "'%a%'", "'B%'"};
        TPair c = Column('s');
        std::string p = g_.Pick(kPatterns);
        if (g_.P(0.3)) {
          return {c.E + " NOT LIKE " + p, "COALESCE(" + c.S + " NOT LIKE " + p + ", 0)"};
        }
        return {c.E + " LIKE " + p, "COALESCE(" + c.S + " LIKE " + p + ", 0)"};
      }
      case 6: {
        char k = g_.P(0.6) ? 'i' : 's';
        TPair c = Column(k);
        std::string e, s;
        int n = 1 + g_.R(4);
        for (int i = 0; i < n; ++i) {
          TPair l = g_.Literal(k);
          e += (i ? ", " : "") + l.E;
          s += (i ? ", " : "") + l.S;
        }
        if (g_.P(0.4)) {
          return {c.E + " NOT IN (" + e + ")", "NOT COALESCE(" + c.S + " IN (" + s + "), 0)"};
        }
        return {c.E + " IN (" + e + ")", "COALESCE(" + c.S + " IN (" + s + "), 0)"};
      }
      case 7: {
        TPair a = NumExpr();
        TPair l = g_.Literal('i');
        std::string op = g_.Pick(kOps);
        return {a.E + " " + op + " " + l.E, a.S + " " + op + " " + l.S};
      }
      case 8: {
        TPair c = Column('s');
        int k = g_.R(4);
        if (k == 0) return {"UPPER(" + c.E + ") = 'AB'", "upper(" + c.S + ") = 'AB'"};
        if (k == 1) return {"LOWER(" + c.E + ") = 'b'", "lower(" + c.S + ") = 'b'"};
        if (k == 2) {
          return {"SUBSTRING(" + c.E + " FROM 2 FOR 1) = 'b'", "substr(" + c.S + ", 2, 1) = 'b'"};
        }
        return {c.E + " || 'x' = 'ax'", c.S + " || 'x' = 'ax'"};
      }
      case 9: {
        if (OfKind('b').empty()) return Predicate(depth);
        TPair c = Column('b');
        return {c.E + " = FALSE", c.S + " = 0"};
      }
      case 10: {
        // IN (subquery), uncorrelated
        char k = g_.P(0.7) ? 'i' : 's';
        TPair c = Column(k);
        TPair sc = SimpleCond(kB);
        std::string col = k == 'i' ? "Bt.X" : "Bt.S";
        std::string sub = "SELECT " + col + " FROM Bt WHERE " + sc.E;
        std::string subS = "SELECT " + col + " FROM Bt WHERE " + sc.S;
        if (g_.P(0.4)) {
          return {c.E + " NOT IN (" + sub + ")", "NOT COALESCE(" + c.S + " IN (" + subS + "), 0)"};
        }
        return {c.E + " IN (" + sub + ")", "COALESCE(" + c.S + " IN (" + subS + "), 0)"};
      }
      case 11: {
        // EXISTS, correlated with A
        TPair sc = SimpleCond(kC);
        std::string neg = g_.P(0.3) ? "NOT " : "";
        return {neg + "EXISTS (SELECT C.Id FROM C WHERE C.BId = A.Id AND " + sc.E + ")",
                neg + "EXISTS (SELECT C.Id FROM C WHERE C.BId = A.Id AND " + sc.S + ")"};
      }
      case 12: {
        // a scalar subquery, sometimes correlated
        TPair c = Column('i');
        std::string op = g_.Pick(kOps);
        static const std::vector<std::string> kAgg = {"MAX", "MIN", "COUNT", "SUM"};
        std::string agg = g_.Pick(kAgg);
        std::string where = g_.P(0.5) ? " WHERE C.BId = A.Id" : " WHERE C.Y > 0";
        std::string e = "(SELECT " + agg + "(C.Id) FROM C" + where + ")";
        std::string s = "(SELECT COALESCE(" + agg + "(C.Id), 0) FROM C" + where + ")";
        return {c.E + " " + op + " " + e, c.S + " " + op + " " + s};
      }
      default: {
        // AND, OR, NOT
        int k = g_.R(3);
        if (k == 2) {
          TPair a = Predicate(depth - 1);
          return {"NOT (" + a.E + ")", "NOT (" + a.S + ")"};
        }
        std::string op = k == 0 ? " AND " : " OR ";
        TPair a = Predicate(depth - 1), b = Predicate(depth - 1);
        return {"(" + a.E + op + b.E + ")", "(" + a.S + op + b.S + ")"};
      }
    }
  }

  TPair Where() {
    std::vector<TPair> parts = where_;
    if (g_.P(0.8)) parts.push_back(Predicate(2));
    if (parts.empty()) return {"", ""};
    TPair out{" WHERE ", " WHERE "};
    for (size_t i = 0; i < parts.size(); ++i) {
      out.E += (i ? " AND " : "") + parts[i].E;
      out.S += (i ? " AND " : "") + parts[i].S;
    }
    return out;
  }

  TPair SelectItem() {
    int k = g_.R(6);
    if (k == 0) return NumExpr();
    if (k == 1) {
      TPair c = Column('s');
      return {"UPPER(" + c.E + ")", "upper(" + c.S + ")"};
    }
    const TCol& c = g_.Pick(cols_);
    return {c.Q(), c.Q()};
  }

  TPair Aggregate() {
    int k = g_.R(8);
    if (k == 0) return {"COUNT(*)", "COUNT(*)"};
    if (k == 1) {
      const TCol& c = g_.Pick(cols_);
      return {"COUNT(" + c.Q() + ")", "COUNT(" + c.Q() + ")"};
    }
    TPair c = Column(g_.P(0.5) ? 'i' : 'f');
    static const std::vector<std::string> kF = {"SUM", "AVG", "MAX", "MIN"};
    std::string f = g_.Pick(kF);
    if (k == 2) {
      std::string g = g_.P(0.5) ? "COUNT" : "SUM";
      if (g == "COUNT") {
        return {"COUNT(DISTINCT " + c.E + ")", "COUNT(DISTINCT " + c.S + ")"};
      }
      return {"SUM(DISTINCT " + c.E + ")", "COALESCE(SUM(DISTINCT " + c.S + "), 0)"};
    }
    return {f + "(" + c.E + ")", "COALESCE(" + f + "(" + c.S + "), 0)"};
  }

  // One query in both dialects; orderColumns receives the ORDER BY column numbers.
  TPair Query(std::vector<int>& orderColumns) {
    where_.clear();
    orderColumns.clear();
    int kind = g_.R(10);
    TPair from = From();
    TPair out;
    int columns = 0;
    if (kind < 4) {
      // plain, maybe DISTINCT
      std::string d = g_.P(0.25) ? "DISTINCT " : "";
      columns = 1 + g_.R(4);
      out = {"SELECT " + d, "SELECT " + d};
      for (int i = 0; i < columns; ++i) {
        TPair it = SelectItem();
        out.E += (i ? ", " : "") + it.E;
        out.S += (i ? ", " : "") + it.S;
      }
      TPair w = Where();
      out.E += " FROM " + from.E + w.E;
      out.S += " FROM " + from.S + w.S;
    } else if (kind < 6) {
      columns = 1 + g_.R(3);
      out = {"SELECT ", "SELECT "};
      for (int i = 0; i < columns; ++i) {
        TPair a = Aggregate();
        out.E += (i ? ", " : "") + a.E;
        out.S += (i ? ", " : "") + a.S;
      }
      TPair w = Where();
      out.E += " FROM " + from.E + w.E;
      out.S += " FROM " + from.S + w.S;
    } else if (kind < 9) {
      int groups = 1 + g_.R(2);
      std::vector<TCol> gcols;
      for (int i = 0; i < groups; ++i) gcols.push_back(g_.Pick(cols_));
      int aggs = 1 + g_.R(2);
      out = {"SELECT ", "SELECT "};
      std::string groupBy;
      for (size_t i = 0; i < gcols.size(); ++i) {
        out.E += (i ? ", " : "") + gcols[i].Q();
        out.S += (i ? ", " : "") + gcols[i].Q();
        groupBy += (i ? ", " : "") + gcols[i].Q();
      }
      for (int i = 0; i < aggs; ++i) {
        TPair a = Aggregate();
        out.E += ", " + a.E;
        out.S += ", " + a.S;
      }
      columns = groups + aggs;
      TPair w = Where();
      out.E += " FROM " + from.E + w.E + " GROUP BY " + groupBy;
      out.S += " FROM " + from.S + w.S + " GROUP BY " + groupBy;
      if (g_.P(0.4)) {
        int h = g_.R(3);
        if (h == 0) {
          out.E += " HAVING COUNT(*) > 1";
          out.S += " HAVING COUNT(*) > 1";
        } else if (h == 1) {
          TPair c = Column('f');
          out.E += " HAVING SUM(" + c.E + ") > 1";
          out.S += " HAVING COALESCE(SUM(" + c.S + "), 0) > 1";
        } else {
          const TCol& g = gcols[0];
          if (g.Kind == 'b') {
            out.E += " HAVING " + g.Q() + " = TRUE";
            out.S += " HAVING " + g.Q() + " = 1";
          } else {
            TPair l = g_.Literal(g.Kind);
            out.E += " HAVING " + g.Q() + " >= " + l.E;
            out.S += " HAVING " + g.Q() + " >= " + l.S;
          }
        }
      }
    } else {
      // UNION of two queries with columns of the same kinds
      std::vector<char> kinds;
      columns = 1 + g_.R(2);
      for (int i = 0; i < columns; ++i) kinds.push_back(g_.Pick(std::vector<char>{'i', 's', 'f'}));
      std::string all = g_.P(0.4) ? "UNION ALL " : "UNION ";
      auto part = [&](TPair f) {
        TPair p{"SELECT ", "SELECT "};
        for (size_t i = 0; i < kinds.size(); ++i) {
          TPair c = Column(kinds[i]);
          p.E += (i ? ", " : "") + c.E;
          p.S += (i ? ", " : "") + c.S;
        }
        TPair w = Where();
        p.E += " FROM " + f.E + w.E;
        p.S += " FROM " + f.S + w.S;
        return p;
      };
      TPair a = part(from);
      where_.clear();
      TPair from2 = From();
      TPair b = part(from2);
      out = {a.E + " " + all + b.E, a.S + " " + all + b.S};
    }
    if (g_.P(0.5)) {
      int n = 1 + g_.R(2);
      std::string e = " ORDER BY ";
      for (int i = 0; i < n; ++i) {
        int c = 1 + g_.R(columns);
        orderColumns.push_back(c - 1);
        std::string dir = g_.P(0.3) ? " DESC" : "";
        e += (i ? ", " : "") + std::to_string(c) + dir;
      }
      out.E += e;
      out.S += e;
    }
    return out;
  }

 private:
  TGen& g_;
  std::vector<TPair> where_;
};

// The canonical text of a value: N for NULL, numbers with ten significant digits, s: texts.
std::string Canonical(bool null, bool isText, double number, const std::string& text) {
  if (null) return "N";
  if (isText) return "s:" + text;
  if (number == 0) number = 0;  // -0
  char buf[64];
  if (std::fabs(number) < 1e15 && number == std::floor(number)) {
    std::snprintf(buf, sizeof buf, "%.0f", number);
  } else {
    std::snprintf(buf, sizeof buf, "%.10g", number);
  }
  return buf;
}

using TRows = std::vector<std::vector<std::string>>;

TRows EngineRows(const TZuzResultSet& r) {
  TRows rows;
  for (const TZuzRow& row : r.Rows) {
    rows.emplace_back();
    for (const TZuzValue& v : row) {
      rows.back().push_back(Canonical(v.IsNull(), v.Kind == TZuzValueKind::Text, v.Number, v.Text));
    }
  }
  return rows;
}

bool SqliteRows(sqlite3* db, const std::string& sql, TRows& rows, std::string& error) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
    error = sqlite3_errmsg(db);
    return false;
  }
  int rc = 0;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    rows.emplace_back();
    for (int c = 0; c < sqlite3_column_count(st); ++c) {
      int t = sqlite3_column_type(st, c);
      if (t == SQLITE_TEXT) {
        rows.back().push_back(
            Canonical(false, true, 0, reinterpret_cast<const char*>(sqlite3_column_text(st, c))));
      } else {
        rows.back().push_back(Canonical(t == SQLITE_NULL, false, sqlite3_column_double(st, c), ""));
      }
    }
  }
  if (rc != SQLITE_DONE) error = sqlite3_errmsg(db);
  sqlite3_finalize(st);
  return rc == SQLITE_DONE;
}

std::string RowText(const std::vector<std::string>& row) {
  std::string out;
  for (const std::string& v : row) out += (out.empty() ? "" : " | ") + v;
  return out;
}

// Compares as multisets, and the ORDER BY columns as sequences.
bool SameRows(const TRows& a, const TRows& b, const std::vector<int>& order, std::string& why) {
  if (a.size() != b.size()) {
    why = "row counts " + std::to_string(a.size()) + " and " + std::to_string(b.size());
    return false;
  }
  for (size_t i = 0; i < a.size() && !order.empty(); ++i) {
    for (int c : order) {
      if (a[i][static_cast<size_t>(c)] != b[i][static_cast<size_t>(c)]) {
        why = "order differs at row " + std::to_string(i) + ": " + RowText(a[i]) + " / " +
              RowText(b[i]);
        return false;
      }
    }
  }
  std::map<std::string, int> count;
  for (const auto& r : a) ++count[RowText(r)];
  for (const auto& r : b) --count[RowText(r)];
  for (const auto& [row, n] : count) {
    if (n != 0) {
      why = (n > 0 ? "only the engine has " : "only SQLite has ") + row;
      return false;
    }
  }
  return true;
}

class DbExecDifferential : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sqlite3_open(":memory:", &lite_), SQLITE_OK);
    Both("PRAGMA case_sensitive_like = ON", true);
    db_.Exec(
        "CREATE TABLE A (Id AUTOINC, X INTEGER, Y FLOAT, S VARCHAR(10), B BOOLEAN, "
        "D DATE, PRIMARY KEY (Id))");
    db_.Exec("CREATE INDEX ixAX ON A (X)");
    db_.Exec("CREATE INDEX ixAS ON A (S)");
    db_.Exec(
        "CREATE TABLE Bt (Id INTEGER, AId INTEGER, X INTEGER, S VARCHAR(10), "
        "PRIMARY KEY (Id))");
    db_.Exec("CREATE INDEX ixBA ON Bt (AId)");
    db_.Exec("CREATE TABLE C (Id INTEGER, BId INTEGER, Y FLOAT, S VARCHAR(10), PRIMARY KEY (Id))");
    Lite("CREATE TABLE A (Id INTEGER PRIMARY KEY, X INTEGER, Y REAL, S TEXT, B INTEGER, D REAL)");
    Lite("CREATE TABLE Bt (Id INTEGER PRIMARY KEY, AId INTEGER, X INTEGER, S TEXT)");
    Lite("CREATE TABLE C (Id INTEGER PRIMARY KEY, BId INTEGER, Y REAL, S TEXT)");
  }
  void TearDown() override { sqlite3_close(lite_); }

  void Lite(const std::string& sql) {
    char* err = nullptr;
    ASSERT_EQ(sqlite3_exec(lite_, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK)
        << sql << ": " << (err ? err : "");
  }
  void Both(const std::string& sql, bool liteOnly = false) {
    Lite(sql);
    if (!liteOnly) db_.Exec(sql);
  }

  void Fill(TGen& g) {
    const int n = 30;
    for (int i = 1; i <= n; ++i) {
      TPair x = g.Value('i'), y = g.Value('f'), s = g.Value('s'), b = g.Value('b'),
            d = g.Value('d');
      db_.Exec("INSERT INTO A (X, Y, S, B, D) VALUES (" + x.E + ", " + y.E + ", " + s.E + ", " +
               b.E + ", " + d.E + ")");
      Lite("INSERT INTO A VALUES (" + std::to_string(i) + ", " + x.S + ", " + y.S + ", " + s.S +
           ", " + b.S + ", " + d.S + ")");
    }
    for (int i = 1; i <= 40; ++i) {
      std::string aid = g.P(0.1) ? "NULL" : std::to_string(1 + g.R(n + 5));
      TPair x = g.Value('i'), s = g.Value('s');
      std::string values = std::to_string(i) + ", " + aid + ", " + x.E + ", " + s.E;
      db_.Exec("INSERT INTO Bt VALUES (" + values + ")");
      Lite("INSERT INTO Bt VALUES (" + std::to_string(i) + ", " + aid + ", " + x.S + ", " + s.S +
           ")");
    }
    for (int i = 1; i <= 25; ++i) {
      std::string bid = g.P(0.1) ? "NULL" : std::to_string(1 + g.R(40));
      TPair y = g.Value('f'), s = g.Value('s');
      db_.Exec("INSERT INTO C VALUES (" + std::to_string(i) + ", " + bid + ", " + y.E + ", " + s.E +
               ")");
      Lite("INSERT INTO C VALUES (" + std::to_string(i) + ", " + bid + ", " + y.S + ", " + s.S +
           ")");
    }
  }

  TExecDb db_{TSortOrder::soASCII};
  sqlite3* lite_ = nullptr;
};

TEST_F(DbExecDifferential, RandomQueriesAgreeWithSqlite) {
  const uint64_t seed = EnvNumber("VZ_DIFF_SEED", 20261209);
  const uint64_t queries = EnvNumber("VZ_DIFF_QUERIES", 300);
  TGen g(seed);
  Fill(g);
  TQueryGen qg(g);
  int failures = 0;
  int nonEmpty = 0;
  for (uint64_t i = 0; i < queries; ++i) {
    std::vector<int> order;
    TPair q = qg.Query(order);
    TRows lite, engine;
    std::string error;
    bool liteOk = SqliteRows(lite_, q.S, lite, error);
    std::string engineError;
    try {
      engine = EngineRows(*db_.Query(q.E));
    } catch (const EZuzDatabaseError& e) {
      engineError = e.what();
    }
    std::string why;
    bool same = false;
    if (!liteOk || !engineError.empty()) {
      why = "errors: SQLite '" + error + "', engine '" + engineError + "'";
    } else {
      same = SameRows(engine, lite, order, why);
    }
    if (!engine.empty()) ++nonEmpty;
    if (!same && ++failures <= 10) {
      ADD_FAILURE() << "query " << i << " (seed " << seed << "): " << why << "\n  engine: " << q.E
                    << "\n  sqlite: " << q.S;
    }
  }
  EXPECT_EQ(failures, 0) << "of " << queries << " queries";
  // The generator must produce queries that find something, or the test proves little.
  EXPECT_GT(nonEmpty, static_cast<int>(queries / 3));
}

// Random UPDATE, DELETE and INSERT statements on both: the same rows written (or the same
// statements refused, changing nothing), and the same table contents after each.
TEST_F(DbExecDifferential, RandomChangesAgreeWithSqlite) {
  const uint64_t seed = EnvNumber("VZ_DIFF_SEED", 20261209) + 1;
  const uint64_t statements = EnvNumber("VZ_DIFF_QUERIES", 300) / 3;
  TGen g(seed);
  Fill(g);
  TQueryGen qg(g);
  int failures = 0;
  int written = 0;
  const std::vector<const std::vector<TCol>*> tables = {&kA, &kB, &kC};
  for (uint64_t i = 0; i < statements; ++i) {
    const std::vector<TCol>& cols = *tables[static_cast<size_t>(g.R(3))];
    const std::string t = cols[0].Table;
    qg.cols_ = cols;
    qg.hasA_ = t == "A";
    TPair st;
    int kind = g.R(t == "A" ? 2 : 4);
    if (kind == 0) {
      st = {"UPDATE " + t + " SET ", "UPDATE " + t + " SET "};
      // Distinct columns, each set from its own value: the engine lets an item see what the
      // items before it assigned, SQLite does not.
      int n = 1 + g.R(2);
      size_t first = 1 + static_cast<size_t>(g.R(static_cast<int>(cols.size()) - 1));
      for (int k = 0; k < n; ++k) {
        size_t at = 1 + (first - 1 + static_cast<size_t>(k)) % (cols.size() - 1);
        const TCol& c = cols[at];
        TPair v = g.Value(c.Kind);
        if ((c.Kind == 'i' || c.Kind == 'f') && g.P(0.5)) {
          v = {c.Name + " + " + g.Literal('i').E, c.Name + " + " + g.Literal('i').E};
          v.S = v.E;
        }
        st.E += (k ? ", " : "") + c.Name + " = " + v.E;
        st.S += (k ? ", " : "") + c.Name + " = " + v.S;
      }
    } else if (kind == 1) {
      st = {"DELETE FROM " + t, "DELETE FROM " + t};
    } else if (kind == 2) {
      std::string offset = std::to_string(40 + 10 * g.R(4));
      std::string target = t == "Bt" ? "Bt (Id, AId, X, S)" : "C (Id, BId, Y, S)";
      qg.cols_ = kB;
      qg.hasA_ = false;
      TPair w = qg.Predicate(1);
      st = {"INSERT INTO " + target + " SELECT Bt.Id + " + offset +
                ", Bt.AId, Bt.X, Bt.S FROM Bt "
                "WHERE " +
                w.E,
            "INSERT INTO " + target + " SELECT Bt.Id + " + offset +
                ", Bt.AId, Bt.X, Bt.S FROM Bt "
                "WHERE " +
                w.S};
    } else {
      std::string id = std::to_string(1 + g.R(60));
      TPair a = g.Value('i'), b = g.Value(t == "Bt" ? 'i' : 'f'), c = g.Value('s');
      st = {"INSERT INTO " + t + " VALUES (" + id + ", " + a.E + ", " + b.E + ", " + c.E + ")",
            "INSERT INTO " + t + " VALUES (" + id + ", " + a.S + ", " + b.S + ", " + c.S + ")"};
    }
    if (kind <= 1 && g.P(0.85)) {
      TPair w = qg.Predicate(2);
      st.E += " WHERE " + w.E;
      st.S += " WHERE " + w.S;
    }
    std::string engineError, liteError;
    int64_t engineRows = 0;
    try {
      engineRows = db_.Exec(st.E);
    } catch (const EZuzDatabaseError& e) {
      engineError = e.what();
    }
    char* err = nullptr;
    int64_t liteRows = 0;
    if (sqlite3_exec(lite_, st.S.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
      liteError = err ? err : "error";
    } else {
      liteRows = sqlite3_changes(lite_);
    }
    sqlite3_free(err);
    std::string why;
    if (engineError.empty() != liteError.empty()) {
      why = "errors: SQLite '" + liteError + "', engine '" + engineError + "'";
    } else if (engineRows != liteRows) {
      why = "rows written " + std::to_string(engineRows) + " and " + std::to_string(liteRows);
    } else {
      TRows lite, engine = EngineRows(*db_.Query("SELECT * FROM " + t));
      std::string error;
      SqliteRows(lite_, "SELECT * FROM " + t, lite, error);
      if (!SameRows(engine, lite, {}, why)) why = "contents differ: " + why;
    }
    if (engineError.empty()) written += engineRows > 0;
    if (!why.empty() && ++failures <= 10) {
      ADD_FAILURE() << "statement " << i << " (seed " << seed << "): " << why
                    << "\n  engine: " << st.E << "\n  sqlite: " << st.S;
    }
  }
  EXPECT_EQ(failures, 0) << "of " << statements << " statements";
  EXPECT_GT(written, static_cast<int>(statements / 4));
}

}  // namespace
}  // namespace zuz::test
