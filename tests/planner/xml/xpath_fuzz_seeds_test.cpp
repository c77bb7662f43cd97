// Runs every seed of the path-query fuzz target through its entry point in the ordinary
// (sanitizer) build, so that a seed that crashes or trips a sanitizer fails here too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(XPathFuzzSeeds, EverySeedRuns) {
  const std::filesystem::path folder = std::filesystem::path(VZ_SOURCE_DIR) / "fuzz/corpus/xpath";
  std::vector<std::filesystem::path> seeds;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.is_regular_file()) seeds.push_back(entry.path());
  std::sort(seeds.begin(), seeds.end());
  ASSERT_GE(seeds.size(), 10u) << folder;
  for (const auto& seed : seeds) {
    std::ifstream in(seed, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SCOPED_TRACE(seed.filename().string());
    EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
              0);
  }
}
