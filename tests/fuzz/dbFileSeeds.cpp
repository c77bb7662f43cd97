// Writes the seed corpus of the database file fuzz target into the folder named on the command
// line: the sample database left by a commit that died (journal and lock file beside it) at two
// sizes, the same database without the files beside it and after its journal was rolled back,
// and the damage that once went wrong (kept as regression seeds).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "fuzz/dbFileInput.h"

namespace {

using namespace zuz;

void Write(const std::string& folder, const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream out(folder + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  std::printf("%s: %zu bytes\n", name.c_str(), bytes.size());
}

// The database as it is after the journal was rolled back and the program closed.
test::TDbFiles RolledBack(const test::TDbFiles& sample) {
  TMemoryFileSystem fs;
  sample.Install(fs);
  test::ReadWholeDatabase(fs, test::kDamagedDbPath);
  test::TDbFiles out;
  out.database = *fs.Contents(test::kDamagedDbPath);
  return out;
}

// Where the first Tasks record whose plan takes more than one blob block keeps its reference.
struct TBlobRef {
  uint32_t field = 0;  // file address of the reference (u32 first block, u32 length)
  uint32_t first = 0;
};

TBlobRef FindLongBlob(const std::vector<uint8_t>& database) {
  TMemoryFileSystem fs;
  fs.SetContents(test::kDamagedDbPath, database);
  auto disk = test::detail::OpenDisk(fs, test::kDamagedDbPath);
  TTableMgr tables(*disk, IndexedTableServices());
  tables.Open();
  auto tasks = tables.OpenTable("Tasks");
  const int offset = tasks->Def().InternalFields[6].DataOffset;
  for (uint32_t a : tasks->BlockOrderAddresses()) {
    const uint8_t* ref = database.data() + a + offset;
    if (GetU32(ref + 4) > 248) return {a + static_cast<uint32_t>(offset), GetU32(ref)};
  }
  std::fprintf(stderr, "no long blob in the sample\n");
  std::exit(1);
}

// The address of the Log index's root, an inner node.
uint32_t LogIndexRoot(const std::vector<uint8_t>& database) {
  TMemoryFileSystem fs;
  fs.SetContents(test::kDamagedDbPath, database);
  auto disk = test::detail::OpenDisk(fs, test::kDamagedDbPath);
  TTableMgr tables(*disk, IndexedTableServices());
  tables.Open();
  return IndexManagerOf(*tables.OpenTable("Log")).Item(0).Root;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const test::TDbFiles small = test::BuildDamageSample(1);
  const test::TDbFiles larger = test::BuildDamageSample(4);
  Write(folder, "seed-died-in-commit", fuzz::EncodeDbFiles(larger, 0));
  Write(folder, "seed-died-in-commit-small-sealed",
        fuzz::EncodeDbFiles(small, fuzz::kSealHeader | fuzz::kSealJournal));
  test::TDbFiles noLock = small;
  noLock.lockFile.clear();
  Write(folder, "seed-journal-no-lock-file", fuzz::EncodeDbFiles(noLock, fuzz::kSealJournal));
  Write(folder, "seed-rolled-back", fuzz::EncodeDbFiles(RolledBack(larger), fuzz::kSealHeader));

  // A whole journal whose image lies far beyond the database file: rolling it back grew the file
  // to gigabytes.
  test::TDbFiles farImage = small;
  PutU64(farImage.journal.data() + TZuzJournal::kHeaderSize, 0x3000000000);
  PutU64(farImage.journal.data() + 16, 0x4000000000);
  Write(folder, "regress-journal-image-beyond-file",
        fuzz::EncodeDbFiles(farImage, fuzz::kSealJournal));

  // A blob reference whose length is far beyond the file: reading it reserved the length first.
  test::TDbFiles longBlob = RolledBack(small);
  const TBlobRef ref = FindLongBlob(longBlob.database);
  PutU32(longBlob.database.data() + ref.field + 4, 0x5C000AF4);
  Write(folder, "regress-blob-length-beyond-file", fuzz::EncodeDbFiles(longBlob, 0));
  // A chain of full blocks that leads back to its first block, with a length of millions of
  // blocks: it was followed round and round to the length.
  PutU32(longBlob.database.data() + ref.field + 4, 0xFFFFFF00);
  PutU32(longBlob.database.data() + ref.first, ref.first);
  Write(folder, "regress-blob-chain-loops", fuzz::EncodeDbFiles(longBlob, 0));

  // An inner index entry claiming two billion keys below it: listing the index reserved room
  // for all of them first.
  test::TDbFiles manyKeys = RolledBack(small);
  PutU32(manyKeys.database.data() + LogIndexRoot(manyKeys.database) + 16 + 2, 0x7FFFFFF0);
  Write(folder, "regress-index-count-beyond-file", fuzz::EncodeDbFiles(manyKeys, 0));
  return 0;
}
