#include "app/core/qorReportFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "planner/base/qorStrings.h"
#include "planner/xml/qorXMLParser2.h"
#include "report/qorPDFReporter.h"
#include "report/qorRTFReporter.h"

namespace {

// A new temporary file beside fileName (created with O_EXCL, permissions as for any new file);
// empty when none can be made.
std::string CreateTemporaryFile(const std::string& fileName) {
  const std::filesystem::path target(fileName);
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string suffix;
    for (int i = 0; i < 6; ++i) suffix += kLetters[pick(random)];
    const std::string name =
        (target.parent_path() / ("." + target.filename().string() + "." + suffix + ".part"))
            .string();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return name;
    }
    if (errno != EEXIST) break;
  }
  return {};
}

// Flushes a written file to the disk.
bool SyncFile(const std::string& name) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return ::close(fd) == 0 && synced;
}

}  // namespace

std::string ChangeFileExtension(std::string_view fileName, std::string_view extension) {
  const size_t slash = fileName.rfind('/');
  const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const size_t dot = fileName.rfind('.');
  std::string result(fileName);
  if (dot != std::string_view::npos && dot > nameStart) result.resize(dot);
  result += extension;
  return result;
}

void WriteFileWhole(const std::string& fileName,
                    const std::function<void(const std::string& temporaryName)>& write) {
  const std::string temporary = CreateTemporaryFile(fileName);
  if (temporary.empty()) throw EqorFileError("Cannot create file " + fileName);
  try {
    try {
      write(temporary);
    } catch (const EqorFileError&) {
      // The converter names the temporary file; the user knows the file asked for.
      throw EqorFileError("Cannot write file " + fileName);
    }
    if (!SyncFile(temporary) || std::rename(temporary.c_str(), fileName.c_str()) != 0)
      throw EqorFileError("Cannot write file " + fileName);
  } catch (...) {
    std::remove(temporary.c_str());
    throw;
  }
}

bool RenderReportFile(std::string_view format, std::string_view markup, const std::string& fileName,
                      const std::string& imageFolder, TqorPDFReporter& pdfReporter,
                      TqorRTFReporter& rtfReporter) {
  if (format == "PDF") {
    WriteFileWhole(fileName, [&](const std::string& temporary) {
      pdfReporter.RenderReport(markup, temporary, imageFolder);
    });
    return true;
  }
  if (format == "RTF") {
    WriteFileWhole(fileName, [&](const std::string& temporary) {
      rtfReporter.RenderReport(markup, temporary, imageFolder);
    });
    return true;
  }
  return false;
}

size_t ExportPlannerXml(const TqorXMLParser2& document, const std::string& fileName) {
  size_t dropped = 0;
  const std::string bytes = document.EncodedXml(&dropped);
  WriteFileWhole(fileName,
                 [&](const std::string& temporary) { SaveStringToFile(temporary, bytes); });
  return dropped;
}

std::string XmlLeftOutMessage(size_t count, const std::string& fileName) {
  return std::to_string(count) + (count == 1 ? " character" : " characters") +
         " that XML cannot hold (control characters other than tab, line feed and carriage "
         "return) " +
         (count == 1 ? "was" : "were") + " left out of " + fileName + ".";
}
