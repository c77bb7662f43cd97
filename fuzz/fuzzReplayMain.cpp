// The main of a replay program: feeds every file of the folders (or the files) named on the
// command line to the fuzz target's LLVMFuzzerTestOneInput, in name order, one call per file.
// Fails when no file was found; a finding of the target ends the program as it would in the
// fuzzer (a sanitizer report, an abort).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    fs::path p(argv[i]);
    if (fs::is_directory(p)) {
      for (const fs::directory_entry& e : fs::directory_iterator(p)) {
        if (e.is_regular_file()) files.push_back(e.path());
      }
    } else if (fs::is_regular_file(p)) {
      files.push_back(p);
    }
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    std::fprintf(stderr, "no corpus files found\n");
    return 1;
  }
  for (const fs::path& f : files) {
    std::ifstream in(f, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("%zu corpus files replayed\n", files.size());
  return 0;
}
