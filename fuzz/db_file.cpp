// Fuzz target of the database file readers: a database file with the journal and lock file
// beside it (fuzz/dbFileInput.h for the input) is laid into a file system in memory, opened
// (rolling back a whole journal, joining or cleaning up the lock file), every table's records and
// blobs are read through every index and in block order, and the integrity check runs. Engine
// errors are the expected end of a damaged file; any other exception, crash, hang, leak or
// sanitizer report is a finding.
#include <cstddef>
#include <cstdint>

#include "fuzz/dbFileInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zuz;
  const fuzz::TDecodedFiles decoded = fuzz::DecodeDbFiles(data, size);
  TMemoryFileSystem fs;
  const std::string& path = test::kDamagedDbPath;
  if (decoded.present[0]) fs.SetContents(path, decoded.files.database);
  if (decoded.present[1]) fs.SetContents(JournalFileNameFor(path), decoded.files.journal);
  if (decoded.present[2]) fs.SetContents(LockFileNameFor(path), decoded.files.lockFile);
  test::ReadWholeDatabase(fs, path, 2000);
  return 0;
}
