// zuzdump --tables and --records on a database written by the engine, and on a damaged copy.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "db/objects/zuzEngineSetup.h"
#include "db/storage/zuzFaultFile.h"
#include "db/storage/zuzJournal.h"
#include "db/storage/zuzPosixFile.h"
#include "tests/db/index/dbIndexedDb.h"
#include "tests/testFiles.h"

namespace zuz::test {
namespace {

// Runs the inspector; returns its output and sets *status to its exit status.
std::string Inspect(const std::string& arguments, int* status) {
  std::string command = std::string(VZ_ZUZDUMP) + " " + arguments + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  std::string out;
  char buf[4096];
  while (size_t n = std::fread(buf, 1, sizeof buf, pipe)) out.append(buf, n);
  const int raw = ::pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

TEST(DbDumpTables, TablesAndRecordsOfAFile) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("vz-inspect-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "damaged.zuz").string();
  uint32_t second = 0;
  int nameMarker = 0;
  {
    TDiskMgr disk(TPosixFileSystem::Instance());
    disk.FileName = path;
    TTableMgr::CreateDatabase(disk, {}, EngineTableServices());
    TIndexedConnection c(TPosixFileSystem::Instance(), path);
    c.tables->CreateTable("Tâches",
                          {F("Id", TFieldType::ftAutoInc), F("Name", TFieldType::ftString, 30),
                           F("Due", TFieldType::ftDate), F("Notes", TFieldType::ftMemo)},
                          {Ix("byName", "Name", true)}, {});
    auto t = c.tables->OpenTable("Tâches");
    t->NewRecord();
    t->SetValue(1, std::string("Plan 'it'"));
    t->SetValue(2, 45000.0);
    t->AddRecord();
    t->NewRecord();
    t->SetValue(1, std::string("Do"));
    t->SetBlob(3, std::string(1000, 'x'));
    second = t->AddRecord();
    nameMarker = t->Def().InternalFields[1].SizeMarkerOffset;
  }
  int status = 0;
  // The commits raised the change counter, and the check takes any value of it.
  std::string out = Inspect(path, &status);
  EXPECT_EQ(status, 0) << out;
  const size_t counter = out.find("40 change counter");
  ASSERT_NE(counter, std::string::npos) << out;
  EXPECT_GT(std::stoul(out.substr(out.find_first_of("0123456789", counter + 2))), 0u) << out;

  out = Inspect(path + " --tables", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("'T'#226'ches': table 1, record size 71, 4 fields, 1 index"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("'Name'                   ftString 30"), std::string::npos) << out;
  EXPECT_NE(out.find("index 0 'byName' unique: key size 44"), std::string::npos) << out;
  EXPECT_NE(out.find("records: 2 live"), std::string::npos) << out;
  EXPECT_NE(out.find("'$SYSTBL_INTGENERATOR'"), std::string::npos) << out;

  out = Inspect(path + " --records Tâches", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("seq 1 version 0: Id=1 Name='Plan ''it''' Due=45000 (2023-03-15 00:00:00) "
                     "Notes=NULL"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Name='Do' Due=NULL Notes=<blob 1000 bytes in 2 blocks"), std::string::npos)
      << out;

  // A damaged length marker and a damaged free block are reported.
  {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(second + nameMarker);
    f.put(static_cast<char>(99));
    f.seekp(second + 71);  // the next block of the group, free until now
    f.put(static_cast<char>(7));
  }
  out = Inspect(path + " --records Tâches", &status);
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("!! length of Name is 99"), std::string::npos) << out;
  EXPECT_NE(
      out.find("!! free block at " + std::to_string(second + 71) + " is not empty (status 7)"),
      std::string::npos)
      << out;
  out = Inspect(path + " --records Missing", &status);
  EXPECT_NE(out.find("No table Missing in the catalogues."), std::string::npos) << out;
  RemoveTestFolder(dir);
}

TEST(DbDumpTables, IndexesWithLevelsChecksAndKeys) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("vz-inspect-ix-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "damaged.zuz").string();
  int64_t firstNode = 0;
  {
    TDiskMgr disk(TPosixFileSystem::Instance());
    disk.FileName = path;
    TTableMgr::CreateDatabase(disk, {}, EngineTableServices());
    TIndexedConnection c(TPosixFileSystem::Instance(), path);
    TIndexDesc byCode = Ix("byCode", "Code;Name");
    byCode.DescFields = "Code";
    c.tables->CreateTable("Parts",
                          {F("Name", TFieldType::ftString, 30), F("Code", TFieldType::ftInteger)},
                          {Ix("byName", "Name", true), byCode}, {});
    auto t = c.tables->OpenTable("Parts");
    for (int i = 0; i < 300; ++i) {
      t->NewRecord();
      t->SetValue(0, "part " + std::to_string(1000 + i));
      if (i % 10 != 0) t->SetValue(1, int64_t{i % 7});
      t->AddRecord();
    }
    firstNode = t->Header().IndexRoot(0);
  }
  int status = 0;
  std::string out = Inspect(path + " --index Parts --limit 3", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Index 0 'byName' of 'Parts' (table 1): unique, key size 44"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("  key 0: 'Code' ftInteger, descending\n  key 1: 'Name' ftString\n"
                     "  key 2: (sequence number) ftInteger\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("  root " + std::to_string(firstNode) + ", 2 levels\n  level 1: 1 node, "),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("keys: 300 for 300 live records\n    1 @"), std::string::npos) << out;
  EXPECT_NE(out.find(" ('part 1000')\n"), std::string::npos) << out;
  EXPECT_NE(out.find(" (6, 'part 1006', 7)\n"), std::string::npos) << out;  // the highest code
  EXPECT_NE(out.find("    ... 297 more\n"), std::string::npos) << out;
  out = Inspect(path + " --index Parts BYCODE", &status);
  EXPECT_EQ(out.find("'byName' of"), std::string::npos) << out;
  EXPECT_NE(out.find("    300 @"), std::string::npos) << out;
  EXPECT_NE(out.find("(NULL, 'part 1290', 291)"), std::string::npos) << out;  // NULL last

  // A damaged node: the checker's finding and the keys the index no longer holds.
  {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(firstNode + 16 + 44 + 6);  // the root's second child address
    f.put(static_cast<char>(0x10));
  }
  out = Inspect(path + " --index Parts byName", &status);
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("  !! index byName: "), std::string::npos) << out;
  out = Inspect(path + " --index Parts nothing", &status);
  EXPECT_NE(out.find("Table 'Parts' has no index 'nothing'."), std::string::npos) << out;
  RemoveTestFolder(dir);
}

TEST(DbDumpTables, CheckSaysCleanOrListsEachProblem) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("vz-inspect-check-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "damaged.zuz").string();
  uint32_t address = 0;
  int nameOffset = 0;
  {
    TDiskMgr disk(TPosixFileSystem::Instance());
    disk.FileName = path;
    TTableMgr::CreateDatabase(disk, {}, EngineTableServices());
    TIndexedConnection c(TPosixFileSystem::Instance(), path);
    c.tables->CreateTable("People", {F("Name", TFieldType::ftString, 20)}, {Ix("byName", "Name")},
                          {});
    auto t = c.tables->OpenTable("People");
    for (const char* name : {"Ada", "Grace", "Edsger"}) {
      t->NewRecord();
      t->SetValue(0, std::string(name));
      t->AddRecord();
    }
    address = t->BlockOrderAddresses().front();
    nameOffset = t->Def().InternalFields[0].DataOffset;
  }
  int status = -1;
  std::string out = Inspect("--check " + path, &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, "No problems found.\n");
  // A record whose name no longer matches its index key.
  {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(address + nameOffset + 2);
    f.put('X');
  }
  out = Inspect("--check " + path, &status);
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("table People: index 0 (byName)"), std::string::npos) << out;
  out = Inspect("--check", &status);
  EXPECT_EQ(out.find("zuzdump: no database file given\nUsage: zuzdump"), 0u) << out;
  EXPECT_EQ(status, 2);
  out = Inspect("--check " + path + " --tables", &status);
  EXPECT_NE(out.find("--check takes no other option"), std::string::npos) << out;
  EXPECT_EQ(status, 2);
  out = Inspect(path + " --limit 3x --tables", &status);
  EXPECT_NE(out.find("--limit needs a whole number"), std::string::npos) << out;
  EXPECT_EQ(status, 2);
  RemoveTestFolder(dir);
}

// Exit status 2 for a file the check cannot read, 1 for one it reads and finds damaged.
TEST(DbDumpTables, CheckTellsFilesItCannotReadFromDamagedOnes) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("vz-inspect-status-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  auto read = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  int status = -1;
  std::string out = Inspect("--check " + (dir / "missing.zuz").string(), &status);
  EXPECT_EQ(status, 2) << out;
  // An encrypted database, checked without its key, with another, and with its own.
  const std::string locked = (dir / "locked.zuz").string();
  {
    TDiskMgr disk(TPosixFileSystem::Instance());
    disk.FileName = locked;
    TDatabaseCreateOptions options;
    options.masterKey = "Open-Sesame-99";
    TTableMgr::CreateDatabase(disk, options, EngineTableServices());
  }
  out = Inspect("--check " + locked, &status);
  EXPECT_EQ(status, 2) << out;
  EXPECT_NE(out.find("--key"), std::string::npos) << out;
  out = Inspect("--check " + locked + " --key Open-Sesame-98", &status);
  EXPECT_EQ(status, 2) << out;
  out = Inspect("--check " + locked + " --key Open-Sesame-99", &status);
  EXPECT_EQ(status, 0) << out;
  // A database whose last commit was cut short: its journal holds it back, and both stay.
  const std::string held = (dir / "damaged-commit.zuz").string();
  {
    TDiskMgr disk(TPosixFileSystem::Instance());
    disk.FileName = held;
    TTableMgr::CreateDatabase(disk, {}, EngineTableServices());
    TFaultFileSystem fs(TPosixFileSystem::Instance());
    TIndexedConnection c(fs, held);
    c.tables->CreateTable("People", {F("Name", TFieldType::ftString, 20)}, {}, {});
    auto t = c.tables->OpenTable("People");
    TZuzTransaction dying(*c.disk);
    t->NewRecord();
    t->SetValue(0, std::string("Ada"));
    t->AddRecord();
    fs.Arm(TFaultOp::Write, 3, TFaultMode::ShortTransfer, true);
    EXPECT_EQ(ErrorCodeOf([&] { dying.Commit(); }), ZUZ_ERR_WRITE);
    fs.Disarm();
    t.reset();
    c.tables.reset();
  }
  const std::string journal = JournalFileNameFor(held);
  ASSERT_TRUE(std::filesystem::exists(journal));
  const std::string heldBytes = read(held), journalBytes = read(journal);
  out = Inspect("--check " + held, &status);
  EXPECT_EQ(status, 2) << out;
  EXPECT_EQ(read(held), heldBytes);
  EXPECT_EQ(read(journal), journalBytes);
  // A copy cut short is read, and found damaged.
  const std::string cut = (dir / "damaged-cut.zuz").string();
  std::ofstream(cut, std::ios::binary) << read(locked).substr(0, 6 * 4096 + 100);
  out = Inspect("--check " + cut + " --key Open-Sesame-99", &status);
  EXPECT_EQ(status, 1) << out;
  EXPECT_NE(out.find("shorter than its page map"), std::string::npos) << out;
  RemoveTestFolder(dir);
}

}  // namespace
}  // namespace zuz::test
