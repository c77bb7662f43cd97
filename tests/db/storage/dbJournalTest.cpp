// The rollback journal of a commit: a commit cut short is rolled back by the next program to open
// the file, or by a program already connected at its next first lock; a journal that is not
// whole is deleted without touching the file; a read-only open refuses a file whose commit was
// cut short; the journal holds encrypted pages as the file does.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "db/storage/zuzCrypt.h"
#include "db/storage/zuzFaultFile.h"
#include "db/storage/zuzJournal.h"
#include "db/storage/zuzLockProvider.h"
#include "tests/db/dbTestUtil.h"

namespace zuz::test {
namespace {

const std::string kJournal = JournalFileNameFor(kDbPath);

// A file whose first appended page holds "before" bytes, and a commit that would replace them
// with "after" bytes, cut short: writes fail from the first database write on, so the journal
// is whole and nothing of the file can be put back by the failing program.
struct TCutShort {
  TMemoryFileSystem memory;
  int64_t page = 0;
  std::vector<uint8_t> before;

  explicit TCutShort(uint32_t ioFlags = ioEncNone, const std::string& key = {}) {
    {
      TDiskMgr disk(memory);
      disk.FileName = kDbPath;
      disk.CreateNewFile(false);
      disk.SetMasterKey(key);
      TZuzTransaction t(disk);
      page = disk.AllocatePages(3, ioFlags, nullptr, 1, usRecord);
      std::vector<uint8_t> data(4096, 'b');
      std::copy_n("SECRET-BEFORE", 13, data.begin());
      disk.WritePages(page, 1, data.data(), ioFlags, 3);
      t.Commit();
      disk.Close();
    }
    before = *memory.Contents(kDbPath);
    TFaultFileSystem fs(memory);
    TDiskMgr disk(fs);
    disk.FileName = kDbPath;
    disk.Open();
    disk.SetMasterKey(key);
    TZuzTransaction t(disk);
    std::vector<uint8_t> data(4096, 'a');
    disk.WritePages(page, 1, data.data(), ioFlags, 3);
    std::vector<uint8_t> more(8192, 'm');
    disk.AllocatePages(3, ioFlags, more.data(), 2, usRecord);  // appended pages too
    // The journal's writes and flushes go through, and the global header (its change counter);
    // the next database write half-succeeds and every later write fails, like a program that
    // dies there.
    fs.Arm(TFaultOp::Write, 4, TFaultMode::ShortTransfer, true);
    EXPECT_EQ(ErrorCodeOf([&] { t.Commit(); }), ZUZ_ERR_WRITE);
    fs.Disarm();
  }
};

TEST(DbJournal, ACommitCutShortIsRolledBackAtTheNextOpen) {
  TCutShort db;
  ASSERT_TRUE(db.memory.Exists(kJournal)) << "the failing program could not undo its commit";
  EXPECT_NE(*db.memory.Contents(kDbPath), db.before) << "the file was written half-way";
  TDiskMgr next(db.memory);
  next.FileName = kDbPath;
  next.Open();
  EXPECT_FALSE(db.memory.Exists(kJournal));
  next.Close();
  EXPECT_EQ(*db.memory.Contents(kDbPath), db.before);
}

TEST(DbJournal, AJournalThatIsNotWholeIsDeletedAndTheFileLeftAlone) {
  TCutShort db;
  std::vector<uint8_t> journal = *db.memory.Contents(kJournal);
  journal[TZuzJournal::kHeaderSize + 40] ^= 1;  // an image byte: the records' checksum fails
  db.memory.SetContents(kJournal, journal);
  const std::vector<uint8_t> file = *db.memory.Contents(kDbPath);
  TDiskMgr next(db.memory);
  next.FileName = kDbPath;
  // The half-written commit's map names the pages it meant to append, which the file lacks:
  // with its journal damaged, the file is damaged too, and is refused as such.
  EXPECT_EQ(ErrorCodeOf([&] { next.Open(); }), ZUZ_ERR_CORRUPT);
  EXPECT_FALSE(db.memory.Exists(kJournal));
  next.Close();
  EXPECT_EQ(*db.memory.Contents(kDbPath), file);
}

// A whole journal whose image or recorded size lies beyond the database file belongs to no
// commit of this file: rolling it back would grow the file to the image's place.
TEST(DbJournal, AWholeJournalThatDoesNotFitTheFileIsRefusedAndBothLeftAlone) {
  for (const int field : {0, 1}) {  // the first image's address, the recorded size
    TCutShort db;
    std::vector<uint8_t> journal = *db.memory.Contents(kJournal);
    if (field == 0) {
      PutU64(journal.data() + TZuzJournal::kHeaderSize, uint64_t{1} << 36);
      PutU64(journal.data() + 16, (uint64_t{1} << 36) + 8192);
    } else {
      PutU64(journal.data() + 16, uint64_t{1} << 36);
    }
    PutU32(journal.data() + 32, Crc32(journal.data() + TZuzJournal::kHeaderSize,
                                      journal.size() - TZuzJournal::kHeaderSize));
    PutU32(journal.data() + 36, Crc32(journal.data(), 36));
    db.memory.SetContents(kJournal, journal);
    ASSERT_TRUE(TZuzJournal::ReadWhole(db.memory, kJournal)) << field;
    const std::vector<uint8_t> file = *db.memory.Contents(kDbPath);
    TDiskMgr next(db.memory);
    next.FileName = kDbPath;
    EXPECT_EQ(ErrorCodeOf([&] { next.Open(); }), ZUZ_ERR_CORRUPT) << field;
    EXPECT_EQ(*db.memory.Contents(kJournal), journal);
    EXPECT_EQ(*db.memory.Contents(kDbPath), file);
  }
}

TEST(DbJournal, AReadOnlyOpenRefusesAFileWhoseCommitWasCutShort) {
  TCutShort db;
  const std::vector<uint8_t> file = *db.memory.Contents(kDbPath);
  TDiskMgr reader(db.memory);
  reader.FileName = kDbPath;
  reader.ReadOnly = true;
  EXPECT_EQ(ErrorCodeOf([&] { reader.Open(); }), ZUZ_ERR_OPEN_FILE);
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_TRUE(db.memory.Exists(kJournal));
  EXPECT_EQ(*db.memory.Contents(kDbPath), file);
}

TEST(DbJournal, AConnectedProgramRollsBackAnothersCommitAtItsNextLock) {
  TCutShort db;
  // A program that was connected all along (the journal appeared after it opened) finds it when
  // it next takes the header lock.
  std::vector<uint8_t> journal = *db.memory.Contents(kJournal);
  const std::vector<uint8_t> torn = *db.memory.Contents(kDbPath);
  db.memory.Delete(kJournal, nullptr);
  db.memory.SetContents(kDbPath, db.before);
  TDiskMgr other(db.memory);
  other.FileName = kDbPath;
  other.Open();
  db.memory.SetContents(kDbPath, torn);
  db.memory.SetContents(kJournal, journal);
  other.LockHeaderRead();
  other.UnlockHeader();
  EXPECT_FALSE(db.memory.Exists(kJournal));
  std::vector<uint8_t> page(4096);
  other.ReadPages(db.page, 1, page.data(), ioEncNone, 3);
  EXPECT_EQ(std::string(page.begin(), page.begin() + 13), "SECRET-BEFORE");
  other.Close();
  EXPECT_EQ(*db.memory.Contents(kDbPath), db.before);
  // Inside a transaction it is an error that asks for a rollback first.
  TCutShort again;
  journal = *again.memory.Contents(kJournal);
  again.memory.Delete(kJournal, nullptr);
  const std::vector<uint8_t> tornAgain = *again.memory.Contents(kDbPath);
  again.memory.SetContents(kDbPath, again.before);
  TDiskMgr inTransaction(again.memory);
  inTransaction.FileName = kDbPath;
  inTransaction.Open();
  TZuzTransaction t(inTransaction);
  again.memory.SetContents(kDbPath, tornAgain);
  again.memory.SetContents(kJournal, journal);
  EXPECT_EQ(ErrorCodeOf([&] { inTransaction.LockHeaderRead(); }), ZUZ_ERR_IN_USE);
  t.Rollback();
  inTransaction.LockHeaderRead();
  inTransaction.UnlockHeader();
  EXPECT_FALSE(again.memory.Exists(kJournal));
}

TEST(DbJournal, EncryptedPagesStayEncryptedInTheJournal) {
  TCutShort db(ioEncStrong, "a master key");
  const std::vector<uint8_t> journal = *db.memory.Contents(kJournal);
  const std::string secret = "SECRET-BEFORE";
  EXPECT_EQ(std::search(journal.begin(), journal.end(), secret.begin(), secret.end()),
            journal.end());
  TDiskMgr next(db.memory);
  next.FileName = kDbPath;
  next.Open();
  next.Close();
  EXPECT_EQ(*db.memory.Contents(kDbPath), db.before);
}

TEST(DbJournal, NamesAndWholeness) {
  EXPECT_EQ(JournalFileNameFor("db/Vazadod.zuz"), "db/Vazadod.zuz.journal");
  TMemoryFileSystem fs;
  EXPECT_FALSE(TZuzJournal::ReadWhole(fs, "/mem/none.journal"));
  TZuzJournal journal(fs, "/mem/j.journal");
  journal.Write(4096, 8192, {{100, {1, 2, 3}}, {5000, std::vector<uint8_t>(10, 9)}});
  const auto read = TZuzJournal::ReadWhole(fs, "/mem/j.journal");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->sizeBefore, 8192);
  ASSERT_EQ(read->images.size(), 2u);
  EXPECT_EQ(read->images[1].address, 5000);
  EXPECT_EQ(read->images[1].bytes, std::vector<uint8_t>(10, 9));
  // An image reaching past the recorded size makes the journal not whole.
  journal.Write(4096, 100, {{90, std::vector<uint8_t>(20, 1)}});
  EXPECT_FALSE(TZuzJournal::ReadWhole(fs, "/mem/j.journal"));
  journal.Write(4096, 8192, {});
  EXPECT_TRUE(journal.Invalidate());
  EXPECT_FALSE(TZuzJournal::ReadWhole(fs, "/mem/j.journal"));
  journal.Remove();
  EXPECT_FALSE(fs.Exists("/mem/j.journal"));
}

}  // namespace
}  // namespace zuz::test
