// Several real programs on one database file: each peer is the helper program dbLockPeer, started
// with fork and exec and driven through its stdin and stdout.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "db/storage/zuzPosixFile.h"
#include "db/storage/zuzSystemInfo.h"
#include "tests/db/record/dbRecordUtil.h"

namespace zuz::test {
namespace {

class TPeer {
 public:
  TPeer() {
    int toChild[2], fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe failed");
    }
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(toChild[0], 0);
      ::dup2(fromChild[1], 1);
      ::execl(VZ_LOCK_PEER, VZ_LOCK_PEER, static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    out_ = toChild[1];
    in_ = fromChild[0];
  }
  ~TPeer() {
    if (pid_ > 0) {
      (void)!::write(out_, "quit\n", 5);
      ::close(out_);
      for (int i = 0; i < 200 && ::waitpid(pid_, nullptr, WNOHANG) == 0; ++i) ::usleep(50000);
      if (::waitpid(pid_, nullptr, WNOHANG) == 0) Kill();
    }
    ::close(in_);
  }
  TPeer(const TPeer&) = delete;
  TPeer& operator=(const TPeer&) = delete;

  // Sends one command and returns the answer line ("" when the peer did not answer in time).
  std::string Cmd(const std::string& line) {
    std::string text = line + "\n";
    if (::write(out_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return "";
    std::string reply;
    for (;;) {
      pollfd p{in_, POLLIN, 0};
      if (::poll(&p, 1, 60000) <= 0) return reply;
      char c;
      if (::read(in_, &c, 1) != 1) return reply;
      if (c == '\n') return reply;
      reply += c;
    }
  }
  // The program ends at once, without closing anything.
  void Kill() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    ::close(out_);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int in_ = -1;
};

class DbProcesses : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("vz-proc-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "db.zuz").string();
    lockPath_ = (dir_ / "db.lck").string();
    TDiskMgr disk(TPosixFileSystem::Instance());
    disk.FileName = path_;
    TDatabaseCreateOptions options;
    options.databaseName = "processes";
    TTableMgr::CreateDatabase(disk, options, RecordLayerServices());
    TConnection c(TPosixFileSystem::Instance(), path_);
    c.tables->CreateTable("T", {F("N", TFieldType::ftInteger), F("S", TFieldType::ftString, 20)},
                          {}, {});
  }
  // Not kept for the check of the databases the suite leaves: the record layer alone keeps no
  // index, so its files lack the keys the full engine reads them by.
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Open(TPeer& peer, const std::string& user) {
    return peer.Cmd("open " + path_ + " 3 20 " + user);
  }
  bool LockFileExists() const { return std::filesystem::exists(lockPath_); }
  std::string SlotText(int64_t offset) const {
    std::ifstream f(lockPath_, std::ios::binary);
    std::string slot(4096, '\0');
    f.seekg(offset);
    f.read(slot.data(), 4096);
    return slot.substr(0, slot.find('\0'));
  }

  std::filesystem::path dir_;
  std::string path_;
  std::string lockPath_;
};

std::vector<int64_t> Numbers(const std::string& reply) {
  std::istringstream in(reply);
  std::string ok;
  in >> ok;
  std::vector<int64_t> out;
  int64_t n;
  while (in >> n) out.push_back(n);
  return out;
}

TEST_F(DbProcesses, TwoProgramsOfOneUserShareASlot) {
  TPeer a, b;
  ASSERT_EQ(Open(a, "tester"), "ok");
  ASSERT_EQ(Open(b, "tester"), "ok");
  const auto sa = Numbers(a.Cmd("slot")), sb = Numbers(b.Cmd("slot"));
  ASSERT_EQ(sa.size(), 2u);
  ASSERT_EQ(sb.size(), 2u);
  EXPECT_EQ(sa[0], sb[0]);
  EXPECT_NE(sa[1], sb[1]);
  EXPECT_EQ(sa[1] - sa[0], 0x400000);
  EXPECT_NE(SlotText(sa[0]).find("\r\ntester\r\n"), std::string::npos);
  EXPECT_EQ(a.Cmd("close"), "ok");
  EXPECT_TRUE(LockFileExists());
  EXPECT_NE(SlotText(sa[0]).find("tester"), std::string::npos);  // b is still connected
  EXPECT_EQ(b.Cmd("close"), "ok");
  EXPECT_FALSE(LockFileExists());
}

TEST_F(DbProcesses, AKilledProgramLeavesAStaleSlotTheNextCloseClears) {
  TPeer killed, survivor, third;
  ASSERT_EQ(Open(killed, "killed"), "ok");
  ASSERT_EQ(Open(survivor, "survivor"), "ok");
  ASSERT_EQ(Open(third, "third"), "ok");
  const int64_t stale = Numbers(killed.Cmd("slot"))[0];
  killed.Kill();
  EXPECT_NE(SlotText(stale).find("killed"), std::string::npos);
  EXPECT_EQ(survivor.Cmd("close"), "ok");
  EXPECT_EQ(SlotText(stale), "");
  EXPECT_TRUE(LockFileExists());  // the third program is still connected
  EXPECT_EQ(third.Cmd("close"), "ok");
  EXPECT_FALSE(LockFileExists());

  // Killed while alone: the next program to close deletes the file.
  TPeer lonely;
  ASSERT_EQ(Open(lonely, "lonely"), "ok");
  lonely.Kill();
  EXPECT_TRUE(LockFileExists());
  TConnection c(TPosixFileSystem::Instance(), path_);
  c.Close();
  EXPECT_FALSE(LockFileExists());
}

TEST_F(DbProcesses, TwoReadersAndAWriter) {
  TPeer r1, r2, w;
  ASSERT_EQ(Open(r1, "r1"), "ok");
  ASSERT_EQ(Open(r2, "r2"), "ok");
  ASSERT_EQ(Open(w, "w"), "ok");
  EXPECT_EQ(r1.Cmd("lock 1 read"), "ok 1");
  EXPECT_EQ(r2.Cmd("lock 1 read"), "ok 1");
  // A request that gives up names the other programs connected.
  const std::string pc = " on " + ComputerName();
  const std::string refused =
      "err 10249 A write lock could not be obtained on the table; the plan "
      "is in use by r1" +
      pc + ", r2" + pc;
  EXPECT_EQ(w.Cmd("lock 1 write"), refused);
  EXPECT_EQ(r1.Cmd("unlock 1"), "ok");
  EXPECT_EQ(w.Cmd("lock 1 write"), refused);
  EXPECT_EQ(r2.Cmd("unlock 1"), "ok");
  EXPECT_EQ(w.Cmd("lock 1 write"), "ok 4");
  const std::string refusedRead =
      "err 10249 A read lock could not be obtained on the table; the plan is in use by r2" + pc +
      ", w" + pc;
  EXPECT_EQ(r1.Cmd("lock 1 read"), refusedRead);
  EXPECT_EQ(r1.Cmd("count T"), refusedRead);
  EXPECT_EQ(w.Cmd("unlock 1"), "ok");
  EXPECT_EQ(r1.Cmd("count T"), "ok 0");
}

TEST_F(DbProcesses, ASecondTransactionOnATableFails) {
  TPeer a, b;
  ASSERT_EQ(Open(a, "a"), "ok");
  ASSERT_EQ(Open(b, "b"), "ok");
  // Both open the table first: reading the catalogue inside a transaction would lock it too.
  EXPECT_EQ(a.Cmd("count T"), "ok 0");
  EXPECT_EQ(b.Cmd("count T"), "ok 0");
  EXPECT_EQ(a.Cmd("start"), "ok");
  EXPECT_NE(a.Cmd("add T 1"), "");  // writes take the read and the transaction lock
  EXPECT_EQ(b.Cmd("start"), "ok");
  EXPECT_EQ(b.Cmd("add T 2"),
            "err 10249 A transaction lock could not be obtained; the plan is in use by a on " +
                ComputerName());
  EXPECT_EQ(b.Cmd("rollback"), "ok");
  EXPECT_EQ(b.Cmd("count T"), "ok 0");  // reading outside a transaction is allowed
  EXPECT_EQ(a.Cmd("commit"), "ok");
  EXPECT_EQ(b.Cmd("count T"), "ok 1");
  EXPECT_EQ(b.Cmd("start"), "ok");
  EXPECT_NE(b.Cmd("add T 2").rfind("ok ", 0), std::string::npos);
  EXPECT_EQ(b.Cmd("commit"), "ok");
  EXPECT_EQ(a.Cmd("count T"), "ok 2");
}

TEST_F(DbProcesses, AnUpdateThroughAStaleImageFails) {
  TPeer a, b;
  ASSERT_EQ(Open(a, "a"), "ok");
  ASSERT_EQ(Open(b, "b"), "ok");
  const auto added = Numbers(a.Cmd("add T 7"));
  ASSERT_EQ(added.size(), 1u);
  const std::string address = std::to_string(added[0]);
  EXPECT_EQ(a.Cmd("read T " + address), "ok 0");
  EXPECT_EQ(b.Cmd("read T " + address), "ok 0");
  EXPECT_EQ(b.Cmd("update T fromB"), "ok 1");
  EXPECT_EQ(a.Cmd("update T fromA"), "err 8708 ");
  EXPECT_EQ(a.Cmd("read T " + address), "ok 1");
  EXPECT_EQ(a.Cmd("update T fromA"), "ok 2");
  EXPECT_EQ(b.Cmd("update T again"), "err 8708 ");
}

}  // namespace
}  // namespace zuz::test
