// Writes the seed corpus of the database file fuzz target into the folder named on the command
// line: the sample database left by a commit that died (journal and lock file beside it) at two
// sizes, the same database without the files beside it and after its journal was rolled back,
// and the damage that once went wrong (kept as regression seeds).
#include <cstdio>
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
  return 0;
}
