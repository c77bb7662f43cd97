// Helpers of the PDF tests: a scratch folder, running the PDF checkers (qpdf, poppler) and
// reading the pictures pdftoppm renders (binary PPM: "P6\n<w> <h>\n255\n" + RGB bytes).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace pdftest {

// A fresh folder below /tmp, removed with everything in it when the object goes.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = "/tmp/vz_pdf_test-XXXXXX";
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

struct CommandResult {
  int Status = -1;
  std::string Output;  // standard output and standard error
};

inline CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) result.Output.append(buf, n);
  int status = pclose(pipe);
  result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// qpdf --check passes the file.
inline ::testing::AssertionResult QpdfAccepts(const std::string& path) {
  CommandResult r = RunCommand("qpdf --check '" + path + "'");
  if (r.Status == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "qpdf --check: status " << r.Status << "\n" << r.Output;
}

// The text pdftotext extracts from the file (-raw: in the order it was drawn).
inline std::string ExtractedText(const std::string& path) {
  return RunCommand("pdftotext -raw -enc UTF-8 '" + path + "' -").Output;
}

// A page rendered by pdftoppm.
class Picture {
 public:
  // Renders a page of the file (the first by default) at dpi (one pixel per point at 72).
  bool Render(const std::string& pdf, int dpi, const std::string& stem, int page = 1) {
    const std::string n = std::to_string(page);
    CommandResult r = RunCommand("pdftoppm -r " + std::to_string(dpi) + " -f " + n + " -l " + n +
                                 " -singlefile '" + pdf + "' '" + stem + "'");
    if (r.Status != 0) return false;
    std::string data = ReadFile(stem + ".ppm");
    std::istringstream in(data);
    std::string magic;
    int max = 0;
    in >> magic >> width_ >> height_ >> max;
    if (magic != "P6" || max != 255) return false;
    in.get();
    pixels_ = data.substr(static_cast<size_t>(in.tellg()));
    return pixels_.size() == static_cast<size_t>(width_) * static_cast<size_t>(height_) * 3;
  }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Red, green and blue of the pixel at column x, row y (0,0 top-left).
  int R(int x, int y) const { return Byte(x, y, 0); }
  int G(int x, int y) const { return Byte(x, y, 1); }
  int B(int x, int y) const { return Byte(x, y, 2); }
  bool IsWhite(int x, int y) const { return R(x, y) > 240 && G(x, y) > 240 && B(x, y) > 240; }
  bool IsDark(int x, int y) const { return R(x, y) < 100 && G(x, y) < 100 && B(x, y) < 100; }
  // Any dark pixel in the rectangle of columns x0..x1 and rows y0..y1.
  bool AnyDark(int x0, int y0, int x1, int y1) const {
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x)
        if (IsDark(x, y)) return true;
    return false;
  }

 private:
  int Byte(int x, int y, int c) const {
    size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 3 +
               static_cast<size_t>(c);
    return i < pixels_.size() ? static_cast<unsigned char>(pixels_[i]) : -1;
  }
  int width_ = 0;
  int height_ = 0;
  std::string pixels_;
};

}  // namespace pdftest
