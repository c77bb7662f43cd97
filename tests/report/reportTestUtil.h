// Helpers shared by the report tests: a temporary folder, whole files, a small PNG picture and
// a check that an RTF text's groups are balanced.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace report_test {

// A new folder below /tmp, removed with everything in it when the object goes out of scope.
class TempDir {
 public:
  TempDir() {
    std::string pattern = "/tmp/vz_report_XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// An 8 by 8 red RGB picture in PNG form.
inline std::string RedPng() {
  static const unsigned char kBytes[] = {
      0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
      0x52, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x08, 0x08, 0x02, 0x00, 0x00, 0x00, 0x4b,
      0x6d, 0x29, 0xdc, 0x00, 0x00, 0x00, 0x12, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0xf8,
      0xcf, 0xc0, 0x80, 0x15, 0x61, 0x17, 0x1d, 0xb4, 0x12, 0x00, 0x28, 0xff, 0x3f, 0xc1, 0x6e,
      0xec, 0xdf, 0x61, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
  return std::string(reinterpret_cast<const char*>(kBytes), sizeof kBytes);
}

// True when every "{" of the RTF text is closed and no "}" closes more than was opened;
// escaped braces and the bytes of "\\binN " pictures do not count.
inline bool GroupsBalanced(const std::string& rtf) {
  long depth = 0;
  for (size_t i = 0; i < rtf.size() && depth >= 0; ++i) {
    if (rtf.compare(i, 4, "\\bin") == 0) {
      char* end;
      const size_t n = std::strtoul(rtf.c_str() + i + 4, &end, 10);
      i = static_cast<size_t>(end - rtf.c_str()) + n;  // the blank, then n bytes
    } else if (rtf[i] == '\\') {
      ++i;  // the escaped character or the control word's first letter
    } else if (rtf[i] == '{') {
      ++depth;
    } else if (rtf[i] == '}') {
      --depth;
    }
  }
  return depth == 0;
}

}  // namespace report_test
