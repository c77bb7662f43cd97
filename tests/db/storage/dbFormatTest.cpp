// The bytes of a new database file, its headers and the checks made when a file is opened.
#include <cstdio>
#include <fstream>

#include "db/storage/zuzCrypt.h"
#include "db/storage/zuzDbHeader.h"
#include "db/storage/zuzPosixFile.h"
#include "db/storage/zuzSystemInfo.h"
#include "tests/db/dbTestUtil.h"

namespace zuz::test {
namespace {

TEST(DbFormat, NewFileHasSixPagesMapAndGlobalHeader) {
  TMemDb db(false);
  db.disk->CreateNewFile(false);
  db.disk->Close();
  std::vector<uint8_t> f = db.Bytes();
  ASSERT_EQ(f.size(), 24576u);
  // Global header: item 16 and 20 name the first map page, one map page, the rest zero.
  const uint8_t* g = f.data() + 1024;
  EXPECT_EQ(GetU32(g + 16), 20480u);
  EXPECT_EQ(GetU32(g + 20), 20480u);
  EXPECT_EQ(GetU32(g + 24), 1u);
  for (int i = 0; i < 128; ++i) {
    if (i >= 16 && i < 28) continue;
    EXPECT_EQ(g[i], 0) << "global header byte " << i;
  }
  // Map page: index 0, no link, no free entry; pages 0-4 system, page 5 the map page itself.
  EXPECT_EQ(GetU32(f.data() + 20480), 0u);
  EXPECT_EQ(GetU32(f.data() + 20484), 0u);
  EXPECT_EQ(GetU16(f.data() + 20488), 0u);
  for (int p = 0; p < 5; ++p) EXPECT_EQ(MapEntry(f, 20480, p), 0x0001);
  EXPECT_EQ(MapEntry(f, 20480, 5), 0x0002);
  for (int p = 6; p < 2038; ++p) ASSERT_EQ(MapEntry(f, 20480, p), 0) << p;
  // Everything else is zero: the table-header maps and page 0 outside the global header.
  for (std::size_t i = 0; i < 20480; ++i) {
    if (i >= 1024 && i < 1152) continue;
    ASSERT_EQ(f[i], 0) << "byte " << i;
  }
}

TEST(DbFormat, CreateRefusesExistingFileWithoutOverwrite) {
  TMemDb db;
  db.disk->Close();
  EXPECT_EQ(ErrorCodeOf([&] { db.disk->CreateNewFile(false); }), ZUZ_ERR_CREATE);
  EXPECT_EQ(db.Bytes().size(), 24576u);
  db.disk->PageSize = 64;
  EXPECT_EQ(ErrorTextOf([&] { db.disk->CreateNewFile(true); }), "Invalid database page size");
}

TEST(DbFormat, DatabaseHeaderLayout) {
  TDatabaseHeader h;
  h.databaseName = "Vazadod.zuz";
  h.operatingSystem = "XX:  0.6.1.0 6.1.0-test";
  h.creationTime = 45123.5;
  h.userName = "planner";
  h.sortOrder = 1;
  h.securityLevel = 2;
  auto b = h.Encode();
  EXPECT_EQ(GetU16(b.data()), 1);
  EXPECT_EQ(GetU16(b.data() + 2), 'V');
  EXPECT_EQ(GetU16(b.data() + 4), 'a');
  EXPECT_EQ(GetU16(b.data() + 2 + 2 * 11), 0);  // terminating zero
  EXPECT_EQ(GetU16(b.data() + 64), 'X');
  EXPECT_DOUBLE_EQ(GetF64(b.data() + 126), 45123.5);
  EXPECT_EQ(GetU16(b.data() + 134), 'p');
  EXPECT_EQ(GetU32(b.data() + 196), 0u);
  EXPECT_EQ(GetU32(b.data() + 200), 1u);
  EXPECT_EQ(GetUtf16Slot(b.data() + 204, 40), "1.43.02");
  EXPECT_EQ(GetU32(b.data() + 246), 2u);
  TDatabaseHeader back = TDatabaseHeader::Decode(b.data());
  EXPECT_EQ(back.databaseName, h.databaseName);
  EXPECT_EQ(back.operatingSystem, h.operatingSystem);
  EXPECT_EQ(back.userName, "planner");
  EXPECT_EQ(back.MajorVersion(), 1);
  EXPECT_EQ(back.MinorVersion(), 43);
  EXPECT_EQ(back.DiskFormat(), 2);
}

TEST(DbFormat, StringSlotsAreCutToLeaveTheTerminator) {
  uint8_t slot[60];
  PutUtf16Slot(slot, sizeof slot, std::string(40, 'a'));
  EXPECT_EQ(GetUtf16Slot(slot, sizeof slot), std::string(29, 'a'));
  EXPECT_EQ(GetU16(slot + 58), 0);
  // A character outside the basic plane needs two units and is not split at the cut.
  PutUtf16Slot(slot, sizeof slot, std::string(28, 'b') + "\xF0\x9F\x98\x80");
  EXPECT_EQ(GetUtf16Slot(slot, sizeof slot), std::string(28, 'b'));
  PutUtf16Slot(slot, sizeof slot, "d\xC3\xA9j\xC3\xA0 \xF0\x9F\x98\x80");
  EXPECT_EQ(GetUtf16Slot(slot, sizeof slot), "d\xC3\xA9j\xC3\xA0 \xF0\x9F\x98\x80");
  // A lone surrogate read from a file becomes U+FFFD.
  uint8_t bad[6] = {0x00, 0xD8, 'x', 0, 0, 0};
  EXPECT_EQ(GetUtf16Slot(bad, sizeof bad), "\xEF\xBF\xBDx");
}

TEST(DbFormat, OperatingSystemTextHasThePlatformForm) {
  std::string os = OperatingSystemText();
  ASSERT_EQ(os.rfind("XX:  0.", 0), 0u) << os;
  int a, b, c, d;
  EXPECT_EQ(std::sscanf(os.c_str(), "XX:  %d.%d.%d.%d ", &a, &b, &c, &d), 4);
}

// Runs python3 on a script and returns its first output line ("" when python3 is missing).
std::string RunPython(const std::string& script) {
  std::string path = ::testing::TempDir() + "vz_check.py";
  std::ofstream(path) << script;
  FILE* p = popen(("python3 " + path + " 2>&1").c_str(), "r");
  if (!p) return "";
  char buf[512] = {};
  std::string out = fgets(buf, sizeof buf, p) ? buf : "";
  pclose(p);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

std::string HexOf(const uint8_t* data, std::size_t n) {
  std::string s;
  char buf[3];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, "%02x", data[i]);
    s += buf;
  }
  return s;
}

// The checksums are recomputed by Python's zlib and hashlib from the bytes alone, following the
// file format's definitions; the engine's values must match.
TEST(DbFormat, HeaderChecksumAndKeyDigestMatchAnIndependentComputation) {
  if (RunPython("print('ok')") != "ok") GTEST_SKIP() << "python3 is not available";
  TDatabaseHeader h;
  h.databaseName = "Check";
  h.operatingSystem = OperatingSystemText();
  h.creationTime = 45000.25;
  h.userName = "someone";
  auto b = h.Encode();
  std::string crc = RunPython(
      "import zlib\n"
      "h = bytearray.fromhex('" +
      HexOf(b.data(), b.size()) +
      "')\n"
      "h[250:254] = bytes(4)\n"
      "print(zlib.crc32(bytes(range(256)) + bytes(h)))\n");
  EXPECT_EQ(crc, std::to_string(GetU32(b.data() + 250)));

  auto s = TSecurityHeader::Encode("Secret Key 1", 45000.5);
  std::string check = RunPython(
      "import zlib, hashlib, struct\n"
      "s = bytearray.fromhex('" +
      HexOf(s.data(), s.size()) +
      "')\n"
      "words = struct.unpack('>5I', hashlib.sha1(b'Secret Key 1').digest())\n"
      "ok_digest = bytes(s[16:36]) == struct.pack('<5I', *words)\n"
      "crc = struct.unpack('<I', bytes(s[36:40]))[0]\n"
      "s[36:40] = bytes(4)\n"
      "print(ok_digest, crc == zlib.crc32(bytes(s)), struct.unpack('<IdHH', bytes(s[0:16])))\n");
  EXPECT_EQ(check, "True True (40, 45000.5, 1, 1)");
}

TEST(DbFormat, SecurityHeaderDigestOfEmptyKeyIsZero) {
  auto d = MasterKeyDigest("");
  for (uint8_t x : d) EXPECT_EQ(x, 0);
}

TEST(DbOpen, DamagedDatabaseHeaderIs8961) {
  TMemDb db;
  TDatabaseHeader h;
  h.databaseName = "x";
  db.disk->WriteDatabaseHeader(h);
  EXPECT_EQ(db.disk->ReadDatabaseHeader().databaseName, "x");
  db.disk->Close();
  for (int offset : {0, 3, 130, 205, 249, 252}) {
    std::vector<uint8_t> f = db.Bytes();
    f[offset] ^= 0x10;
    db.fs.SetContents(kDbPath, f);
    db.disk->Open();
    try {
      db.disk->ReadDatabaseHeader();
      ADD_FAILURE() << "byte " << offset << " changed, header accepted";
    } catch (const EZuzDatabaseError& e) {
      EXPECT_EQ(e.ErrorCode(), ZUZ_ERR_CORRUPT_HEADER);
      EXPECT_EQ(e.Caller(), "TZuzTable.DoConnect");
      EXPECT_STREQ(e.what(),
                   "The Zezad database engine raised an error\r\n (error code #8961). "
                   "Corrupt Header");
    }
    db.disk->Close();
    f[offset] ^= 0x10;
    db.fs.SetContents(kDbPath, f);
  }
}

TEST(DbOpen, NewerDiskFormatIs12041) {
  TMemDb db;
  TDatabaseHeader h;
  h.version = "1.43.03";
  db.disk->WriteDatabaseHeader(h);
  try {
    db.disk->ReadDatabaseHeader();
    FAIL() << "disk format 3 accepted";
  } catch (const EZuzDatabaseError& e) {
    EXPECT_EQ(e.ErrorCode(), ZUZ_ERR_VERSION);
    EXPECT_EQ(e.CustomMessage(), "Current database disk format is 1.43.03");
    EXPECT_STREQ(e.what(),
                 "The Zezad database engine raised an error\r\n Higher database level required "
                 "(error code #12041) - Current database disk format is 1.43.03");
  }
  h.version = "1.40.02";
  EXPECT_EQ(ErrorCodeOf([&] { h.CheckMinorVersion(43); }), ZUZ_ERR_VERSION);
  EXPECT_EQ(ErrorCodeOf([&] { h.CheckMinorVersion(2); }), 0);
}

TEST(DbOpen, SecurityHeaderChecksCrcThenMasterKey) {
  TMemDb db;
  db.disk->SetMasterKey("correct horse");
  db.disk->WriteSecurityHeader();
  db.disk->ReadSecurityHeader();
  db.disk->SetMasterKey("wrong horse");
  EXPECT_EQ(ErrorTextOf([&] { db.disk->ReadSecurityHeader(); }), "The MasterKey is incorrect");
  db.disk->SetMasterKey("correct horse");
  db.disk->Close();
  std::vector<uint8_t> f = db.Bytes();
  f[768 + 20] ^= 1;
  db.fs.SetContents(kDbPath, f);
  db.disk->Open();
  try {
    db.disk->ReadSecurityHeader();
    FAIL();
  } catch (const EZuzDatabaseError& e) {
    EXPECT_EQ(e.ErrorCode(), ZUZ_ERR_CORRUPT);
    EXPECT_EQ(e.CustomMessage(), "The Security Header CRC is incorrect");
  }
}

TEST(DbOpen, OpenFailures) {
  TMemoryFileSystem fs;
  TDiskMgr disk(fs);
  disk.FileName = "/mem/missing.zuz";
  try {
    disk.Open();
    FAIL();
  } catch (const EZuzDatabaseError& e) {
    EXPECT_EQ(e.ErrorCode(), ZUZ_ERR_NO_SUCH_FILE);
    EXPECT_EQ(e.CustomMessage(), "/mem/missing.zuz");
  }
  disk.PageSize = 0;
  EXPECT_EQ(ErrorTextOf([&] { disk.Open(); }), "PageSize is 0");
  // A file too short for its headers, and a damaged global header, are refused as damaged.
  fs.SetContents("/mem/short.zuz", std::vector<uint8_t>(100, 0));
  disk.PageSize = 4096;
  disk.FileName = "/mem/short.zuz";
  EXPECT_EQ(ErrorCodeOf([&] { disk.Open(); }), ZUZ_ERR_CORRUPT);
  EXPECT_FALSE(disk.IsOpen());
  std::vector<uint8_t> zeros(24576, 0);
  fs.SetContents("/mem/zero.zuz", zeros);
  disk.FileName = "/mem/zero.zuz";
  EXPECT_EQ(ErrorCodeOf([&] { disk.Open(); }), ZUZ_ERR_CORRUPT);
}

TEST(DbOpen, ReadHeaderNeedsTheHeaderLock) {
  TMemDb db;
  try {
    db.disk->ReadHeader();
    FAIL();
  } catch (const EZuzDatabaseError& e) {
    EXPECT_EQ(e.ErrorCode(), ZUZ_ERR_NO_LOCK);
    EXPECT_EQ(e.Caller(), "TDiskMgr.ReadHeader");
  }
  db.disk->LockHeaderRead();
  db.disk->ReadHeader();
  db.disk->UnlockHeader();
}

TEST(DbOpen, ExclusiveOpenRefusesOtherOpeners) {
  std::string path = ::testing::TempDir() + "vz_exclusive.zuz";
  std::remove(path.c_str());
  TPosixFileSystem& fs = TPosixFileSystem::Instance();
  TDiskMgr first(fs), second(fs);
  first.FileName = second.FileName = path;
  first.CreateNewFile(true);
  first.Close();
  first.Exclusive = true;
  first.Open();
  try {
    second.Open();
    FAIL() << "second opener admitted";
  } catch (const EZuzDatabaseError& e) {
    EXPECT_EQ(e.ErrorCode(), ZUZ_ERR_OPEN_FILE);
    EXPECT_EQ(e.CustomMessage().rfind("Unable to open file. Error type of: ", 0), 0u);
  }
  first.Close();
  // A shared opener keeps an exclusive one out, and two shared openers live side by side.
  second.Open();
  first.Exclusive = false;
  first.Open();
  TDiskMgr third(fs);
  third.FileName = path;
  third.Exclusive = true;
  EXPECT_EQ(ErrorCodeOf([&] { third.Open(); }), ZUZ_ERR_OPEN_FILE);
  first.Close();
  second.Close();
  third.Open();
  third.Close();
  std::remove(path.c_str());
}

TEST(DbOpen, LockFileNames) {
  EXPECT_EQ(LockFileNameFor("db/Vazadod.zuz"), "db/Vazadod.lck");
  EXPECT_EQ(LockFileNameFor("/x/DATA.ZUZ"), "/x/DATA.lck");
  EXPECT_EQ(LockFileNameFor("/x/data.dat"), "/x/data_dat.lck");
  EXPECT_EQ(LockFileNameFor("plain"), "plain.lck");
}

TEST(DbOpen, OpenTakesAndReleasesTheHeaderLockAndTheOpenRegion) {
  TMemDb db(false);
  auto provider = std::make_unique<TGrantAllLockProvider>();
  TGrantAllLockProvider* locks = provider.get();
  db.disk->SetLockProvider(std::move(provider));
  db.disk->CreateNewFile(false);
  db.disk->Close();
  db.disk->Open();
  EXPECT_TRUE(db.disk->LockingActive());
  EXPECT_EQ(locks->Setup().lockFileName, "/mem/test.lck");
  EXPECT_TRUE(locks->TableLocks().empty());  // the header lock was released after reading
  db.disk->LockHeaderWrite();
  EXPECT_EQ(locks->TableLockHeld(0), ltWrite);
  db.disk->GlobalHdr().SetItem(ghIndexFirstEmpty, 0);
  db.disk->UnlockHeader();
  EXPECT_EQ(locks->TableLockHeld(0), ltNone);
  // A read-only file is opened without locking.
  db.disk->Close();
  db.fs.SetReadOnly(kDbPath, true);
  db.disk->ReadOnly = true;
  db.disk->Open();
  EXPECT_FALSE(db.disk->LockingActive());
  EXPECT_EQ(db.disk->LockTable(5, ltRead), ltNone);
}

TEST(DbOpen, DirtyGlobalHeaderIsWrittenAtUnlock) {
  TMemDb db;
  db.disk->LockHeaderWrite();
  db.disk->GlobalHdr().SetItem(ghIndexFirstEmpty, 0x12345000);
  EXPECT_EQ(GetU32(db.Bytes().data() + 1024 + 36), 0u);
  db.disk->UnlockHeader();
  EXPECT_EQ(GetU32(db.Bytes().data() + 1024 + 36), 0x12345000u);
  EXPECT_EQ(ErrorTextOf([&] { db.disk->GlobalHdr().SetItem(128, 1); }),
            "DB Header. Item offset is out of range");
  EXPECT_EQ(ErrorTextOf([&] { db.disk->GlobalHdr().Item(0); }),
            "DB Header. Item offset is out of range");
}

}  // namespace
}  // namespace zuz::test
