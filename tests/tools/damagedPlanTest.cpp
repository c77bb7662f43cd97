// Statements on damaged copies of a real planner file: the sample plan with an extra table of
// blobs and indexes, cut short, or with one page of a table's records or blobs zeroed or filled
// with garbage. Every statement that touches a damaged row fails with the corrupt-file error and
// leaves the file as it was; the rows the damage spares read as they did before it.
//
// VZ_DAMAGE_SEED and VZ_DAMAGE_ROUNDS (damaged copies) widen a run; the defaults keep it short.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "db/objects/zuzDatabase.h"
#include "db/objects/zuzSQL.h"
#include "db/storage/zuzCoding.h"
#include "db/storage/zuzError.h"
#include "planner/base/qorCalendar.h"
#include "tests/testFiles.h"
#include "tools/vazadod-cli/cliSample.h"

namespace zuz::test {
namespace {

namespace fs = std::filesystem;
using TBytes = std::vector<char>;
constexpr int64_t kPage = 4096;

uint64_t EnvNumber(const char* name, uint64_t fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

TBytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return TBytes(std::istreambuf_iterator<char>(in), {});
}
void WriteFile(const std::string& path, const TBytes& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A row of a table: its key, and the bytes of the file its record and blob chains occupy.
struct TRow {
  int64_t key = 0;
  std::vector<std::pair<int64_t, int64_t>> extents;  // (address, length)
  bool Touches(int64_t page) const {
    for (const auto& [a, n] : extents)
      if (a < page + kPage && a + n > page) return true;
    return false;
  }
};
struct TTable {
  std::string name, key;
  bool autoKey = true;  // an INSERT can't name the key
  std::vector<TRow> rows;
};

// The outcome of one statement on a copy of a file: the engine's error code (0 for none), and
// the rows of a query as text.
struct TOutcome {
  int code = 0;
  std::string rows;
};

TOutcome RunStatement(const std::string& path, const std::string& sql) {
  TOutcome out;
  try {
    TZuzDataBase db;
    db.SetDataBaseName(path);
    db.Open();
    TZuzQuery q;
    q.SetDataBase(&db);
    q.SetSQL(sql);
    if (sql.rfind("SELECT", 0) == 0) {
      for (q.Open(); !q.Eof(); q.Next()) {
        for (int f = 0; f < q.FieldCount(); ++f) out.rows += q.FieldValue(f).ToText() + "|";
        out.rows += "\n";
      }
    } else {
      q.ExecSQL();
      out.rows = std::to_string(q.RowsAffected());
    }
  } catch (const EZuzDatabaseError& e) {
    out.code = e.ErrorCode();
  }
  return out;
}

class DamagedPlan : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = fs::temp_directory_path() / ("vz-damaged-plan-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    const std::string plan = (dir_ / "plan.zuz").string();
    TSampleOptions o;
    o.Projects = 5;
    o.TasksPerProject = 9;
    o.Resources = 6;
    o.Seed = 11;
    o.Today = EncodeDate(2005, 3, 7);
    WriteSamplePlanner(plan, o);
    TZuzDataBase db;
    db.SetDataBaseName(plan);
    db.SetExclusive(true);
    db.Open();
    auto exec = [&](const std::string& sql) {
      TZuzQuery q;
      q.SetDataBase(&db);
      q.SetSQL(sql);
      q.ExecSQL();
    };
    exec(
        "CREATE TABLE Attachments (Id INTEGER, Name VARCHAR(40), Data BLOB, "
        "PRIMARY KEY (Id))");
    exec("CREATE UNIQUE INDEX ixName ON Attachments (Name)");
    for (int i = 1; i <= 40; ++i) {
      exec("INSERT INTO Attachments VALUES (" + std::to_string(i) + ", 'file " + std::to_string(i) +
           "', '" + std::string(static_cast<size_t>(i * 97 % 2500), 'a') + "')");
    }
    for (auto [name, key] : {std::pair{"Projects", "ProjectId"},
                             {"Tasks", "TaskId"},
                             {"Resources", "ResourceId"},
                             {"Assignments", "AssignmentId"},
                             {"Holidays", "HolidayId"},
                             {"Settings", "SettingId"},
                             {"Attachments", "Id"}}) {
      TTable t;
      t.name = name;
      t.key = key;
      t.autoKey = t.name != "Settings" && t.name != "Attachments";
      auto open = db.Tables()->OpenTable(name);
      const TTableDef& def = open->Def();
      const int keyField = def.FindField(key);
      for (uint32_t address : open->RecordAddresses()) {
        if (!open->ReadRecord(address)) continue;
        TRow row;
        row.key = std::get<int64_t>(open->GetValue(keyField));
        row.extents.emplace_back(address, def.RecordSize);
        for (const TInternalFieldItem& f : def.InternalFields) {
          if (!IsBlobFieldType(f.DataType)) continue;
          const uint8_t* image = open->RecordBuffer().data() + f.DataOffset;
          for (uint32_t b : open->Blobs()->ChainBlocks(GetU32(image), GetU32(image + 4)))
            row.extents.emplace_back(b, open->Blobs()->BlockSize());
        }
        t.rows.push_back(row);
      }
      ASSERT_FALSE(t.rows.empty()) << name;
      tables_.push_back(t);
    }
    db.Close();
    intact_ = ReadFile(plan);
  }
  static void TearDownTestSuite() { RemoveTestFolder(dir_); }

  // Runs the statement on a fresh copy of the bytes.
  static TOutcome OnCopy(const TBytes& bytes, const std::string& sql) {
    const std::string path = (dir_ / "damaged.zuz").string();
    WriteFile(path, bytes);
    TOutcome out = RunStatement(path, sql);
    if (out.code != 0) {
      EXPECT_EQ(ReadFile(path), bytes) << "a refused statement wrote: " << sql;
    }
    return out;
  }

  static inline fs::path dir_;
  static inline std::vector<TTable> tables_;
  static inline TBytes intact_;
};

TEST_F(DamagedPlan, ACopyCutShortIsRefusedByEveryStatement) {
  std::mt19937_64 random(EnvNumber("VZ_DAMAGE_SEED", 5));
  const int64_t size = static_cast<int64_t>(intact_.size());
  std::vector<int64_t> cuts = {0, 100, 6 * kPage, size / 3 / kPage * kPage, size - kPage, size - 1};
  for (int i = 0; i < 4; ++i) cuts.push_back(static_cast<int64_t>(random() % size));
  for (size_t i = 0; i < cuts.size(); ++i) {
    const int64_t cut = cuts[i];
    const TBytes bytes(intact_.begin(), intact_.begin() + cut);
    {
      const TTable& t = tables_[i % tables_.size()];
      const std::string k = std::to_string(t.rows.back().key);
      for (const std::string& sql :
           {"SELECT COUNT(*) FROM " + t.name,
            "UPDATE " + t.name + " SET " + t.key + " = " + t.key + " WHERE " + t.key + " = " + k,
            "DELETE FROM " + t.name, "INSERT INTO " + t.name + " (" + t.key + ") VALUES (0)"}) {
        EXPECT_EQ(OnCopy(bytes, sql).code, ZUZ_ERR_CORRUPT) << "cut at " << cut << ": " << sql;
      }
    }
  }
  EXPECT_EQ(OnCopy(intact_, "SELECT COUNT(*) FROM Tasks").rows, "45|\n");
}

TEST_F(DamagedPlan, ADamagedPageFailsTheStatementsThatTouchItAndSparesTheRest) {
  std::mt19937_64 random(EnvNumber("VZ_DAMAGE_SEED", 5));
  const uint64_t rounds = EnvNumber("VZ_DAMAGE_ROUNDS", 10);
  for (uint64_t round = 0; round < rounds; ++round) {
    const TTable& t = tables_[round % tables_.size()];
    // A page holding the start of a random row's record or, every other round, of one of its
    // blob blocks.
    const TRow& victim = t.rows[random() % t.rows.size()];
    const size_t blobs = victim.extents.size() - 1;
    const auto& extent = victim.extents[round % 2 && blobs ? 1 + random() % blobs : 0];
    const int64_t page = extent.first / kPage * kPage;
    TBytes bytes = intact_;
    const bool garbage = random() % 2 != 0;
    for (int64_t i = 0; i < kPage; ++i)
      bytes[static_cast<size_t>(page + i)] = garbage ? static_cast<char>(random()) : 0;
    // The model: the rows whose record or blobs begin on the page are damaged; rows that only
    // reach into it are left out (a cut-off record tail is not seen without reading the whole
    // record against its keys).
    std::vector<const TRow*> damaged, spared;
    for (const TRow& row : t.rows) {
      bool starts = false;
      for (const auto& [a, n] : row.extents) starts = starts || a / kPage * kPage == page;
      if (starts) {
        damaged.push_back(&row);
      } else if (!row.Touches(page)) {
        spared.push_back(&row);
      }
    }
    ASSERT_FALSE(damaged.empty());
    const std::string where = (garbage ? "garbage" : "zeros") + std::string(" at ") +
                              std::to_string(page) + " in " + t.name + ": ";
    auto expect = [&](const std::string& sql, int code) {
      EXPECT_EQ(OnCopy(bytes, sql).code, code) << where << sql;
    };
    expect("SELECT * FROM " + t.name, ZUZ_ERR_CORRUPT);
    const TRow& d = *damaged[random() % damaged.size()];
    const std::string match = " WHERE " + t.key + " = " + std::to_string(d.key);
    expect("SELECT * FROM " + t.name + match, ZUZ_ERR_CORRUPT);
    expect("DELETE FROM " + t.name + match, ZUZ_ERR_CORRUPT);
    if (d.extents.front().first / kPage * kPage == page) {
      // Only the record holds the key: a damaged blob leaves it readable.
      expect("UPDATE " + t.name + " SET " + t.key + " = " + t.key + match, ZUZ_ERR_CORRUPT);
      if (!t.autoKey) {
        expect("INSERT INTO " + t.name + " (" + t.key + ") VALUES (" + std::to_string(d.key) + ")",
               ZUZ_ERR_CORRUPT);
      }
    }
    if (spared.empty()) continue;
    const TRow& s = *spared[random() % spared.size()];
    const std::string other = " WHERE " + t.key + " = " + std::to_string(s.key);
    const TOutcome before = OnCopy(intact_, "SELECT * FROM " + t.name + other);
    const TOutcome after = OnCopy(bytes, "SELECT * FROM " + t.name + other);
    EXPECT_EQ(after.code, 0) << where << other;
    EXPECT_EQ(after.rows, before.rows) << where << other;
    EXPECT_EQ(OnCopy(bytes, "UPDATE " + t.name + " SET " + t.key + " = " + t.key + other).rows, "1")
        << where << other;
  }
}

}  // namespace
}  // namespace zuz::test
