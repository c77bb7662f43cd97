// Programs killed with SIGKILL at random moments while they commit: after each kill the database
// opens (rolling a commit cut short back from its journal), passes the integrity check, and holds
// exactly the transactions whose commit returned, and possibly the one in flight. The child
// (db_crash_child) reports through a pipe before and after each commit.
// VZ_CRASH_TRIALS sets the number of kills (default 120), VZ_CRASH_SEED the workload.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "db/index/zuzIndexManager.h"
#include "db/index/zuzIntegrityCheck.h"
#include "db/lock/zuzMultiUserLocks.h"
#include "db/storage/zuzJournal.h"
#include "db/storage/zuzPosixFile.h"
#include "tests/db/index/dbCrashWorkload.h"
#include "tests/testFiles.h"

namespace zuz::test {
namespace {

int64_t EnvNumber(const char* name, int64_t fallback) {
  const char* v = std::getenv(name);
  return v ? std::strtoll(v, nullptr, 10) : fallback;
}

struct TOpened {
  TDiskMgr disk{TPosixFileSystem::Instance()};
  std::unique_ptr<TTableMgr> tables;
  explicit TOpened(const std::string& path) {
    disk.SetLockProvider(std::make_unique<TMultiUserLockProvider>());
    disk.FileName = path;
    disk.Exclusive = true;
    disk.Open();
    disk.SetMasterKey("");
    tables = std::make_unique<TTableMgr>(disk, IndexedTableServices());
    tables->Open();
  }
  ~TOpened() {
    tables.reset();
    disk.Close();
  }
};

// The child, started with its standard output on a pipe.
struct TChild {
  pid_t pid = -1;
  FILE* out = nullptr;
  TChild(const std::string& path, uint64_t seed, int64_t start) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid = ::fork();
    if (pid == 0) {
      ::dup2(fds[1], 1);
      ::close(fds[0]);
      ::close(fds[1]);
      const std::string s = std::to_string(seed), n = std::to_string(start);
      ::execl(VZ_CRASH_CHILD, VZ_CRASH_CHILD, path.c_str(), s.c_str(), n.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    out = ::fdopen(fds[0], "r");
  }
  // The next line the child wrote, or "" at its end.
  std::string Line() {
    char buf[4096];
    if (!out || !std::fgets(buf, sizeof buf, out)) return "";
    std::string s = buf;
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
  }
  void Kill() {
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      int status = 0;
      ::waitpid(pid, &status, 0);
      pid = -1;
    }
  }
  ~TChild() {
    Kill();
    if (out) std::fclose(out);
  }
};

TEST(DbCrash, KilledWhileCommittingLosesNothingCommittedAndDamagesNothing) {
  const int64_t trials = EnvNumber("VZ_CRASH_TRIALS", 120);
  const uint64_t seed = static_cast<uint64_t>(EnvNumber("VZ_CRASH_SEED", 20261209));
  const auto dir =
      std::filesystem::temp_directory_path() / ("vz-crash-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "crash.zuz").string();
  {
    TDiskMgr disk(TPosixFileSystem::Instance());
    disk.FileName = path;
    TTableMgr::CreateDatabase(disk, {}, IndexedTableServices());
    TOpened db(path);
    TCrashWorkload::CreateTable(*db.tables);
  }
  std::mt19937_64 rng(seed ^ 0x5eed);
  TCrashWorkload model(seed);  // the state after every commit that returned
  int damaged = 0, inFlightKept = 0, recovered = 0;
  for (int64_t trial = 0; trial < trials && damaged == 0; ++trial) {
    // Kill the child at a random moment of a transaction some steps ahead.
    const int64_t start = model.Count();
    const int64_t target = start + 1 + static_cast<int64_t>(rng() % 3);
    // Mostly within a commit's few milliseconds, now and then later.
    const auto delay = std::chrono::microseconds(rng() % 8 == 0 ? rng() % 20000 : rng() % 3000);
    int64_t committed = start, begun = start;
    {
      TChild child(path, seed, start);
      ASSERT_GT(child.pid, 0);
      for (;;) {
        const std::string line = child.Line();
        ASSERT_FALSE(line.empty() || line[0] == 'E') << "trial " << trial << ": " << line;
        const int64_t n = std::strtoll(line.c_str() + 2, nullptr, 10);
        if (line[0] == 'C') committed = n;
        if (line[0] == 'B') begun = n;
        if (line[0] == 'B' && n == target) break;
      }
      std::this_thread::sleep_for(delay);
      child.Kill();
      // Lines written before the kill still count.
      for (std::string line = child.Line(); !line.empty(); line = child.Line()) {
        const int64_t n = std::strtoll(line.c_str() + 2, nullptr, 10);
        if (line[0] == 'C') committed = n;
        if (line[0] == 'B') begun = n;
      }
    }
    while (model.Count() < committed) model.Next();
    TCrashWorkload next = model;
    if (begun > committed) next.Next();
    recovered += std::filesystem::exists(JournalFileNameFor(path)) ? 1 : 0;
    TOpened db(path);
    const std::vector<std::string> problems = CheckDatabaseIntegrity(*db.tables);
    const TCrashState state = TCrashWorkload::Read(*db.tables);
    const bool asCommitted = state == model.State();
    const bool withInFlight = begun > committed && state == next.State();
    if (!problems.empty() || !(asCommitted || withInFlight)) {
      ++damaged;
      ADD_FAILURE() << "trial " << trial << ": committed " << committed << ", begun " << begun
                    << ", rows " << state.rows.size() << " (model " << model.State().rows.size()
                    << "), problems: " << (problems.empty() ? "none" : problems.front());
    }
    if (withInFlight && !asCommitted) {
      model = next;  // the commit in flight had reached its commit point
      ++inFlightKept;
    }
  }
  std::printf("crash trials: %lld, damaged: %d, in-flight commits kept: %d, journals found: %d\n",
              static_cast<long long>(trials), damaged, inFlightKept, recovered);
  EXPECT_EQ(damaged, 0);
  RemoveTestFolder(dir);
}

}  // namespace
}  // namespace zuz::test
