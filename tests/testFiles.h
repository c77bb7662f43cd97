// The files tests write go into folders of their own below the system's temporary folder, which
// CTest points into the test program's folder of the build tree (tmp/). With VZ_KEEP_TEST_FILES
// set, as CTest sets it, a test's folder stays when the test ends: the suite's last test checks
// every database the tests left there (scripts/check-test-databases.py) and then clears them.
#pragma once

#include <cstdlib>
#include <filesystem>

// Removes the test's folder unless the test files are kept.
inline void RemoveTestFolder(const std::filesystem::path& dir) {
  if (std::getenv("VZ_KEEP_TEST_FILES")) return;
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}
