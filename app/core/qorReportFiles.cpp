#include "app/core/qorReportFiles.h"

#include <sys/stat.h>

#include <filesystem>

#include "app/core/qorTemporaryFile.h"
#include "db/storage/zuzJournal.h"
#include "db/storage/zuzSystemInfo.h"
#include "planner/base/qorStrings.h"
#include "planner/xml/qorXMLParser2.h"
#include "report/qorPDFReporter.h"
#include "report/qorRTFReporter.h"

namespace {

namespace fs = std::filesystem;

// The file a name leads to: symbolic links followed (a link's relative target is taken from the
// link's folder), the last one even when what it names does not exist yet. EqorFileError for a
// loop of links.
std::string FollowLinks(const std::string& fileName) {
  fs::path path(fileName);
  for (int step = 0; step < 40; ++step) {
    std::error_code error;
    if (!fs::is_symlink(path, error)) return path.string();
    const fs::path next = fs::read_symlink(path, error);
    if (error) return path.string();
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  throw EqorFileError("Cannot write file " + fileName);
}

// Whether two names lead to one file: the same file when both exist, else the same name in the
// same folder.
bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  const bool hasA = ::stat(a.c_str(), &sa) == 0, hasB = ::stat(b.c_str(), &sb) == 0;
  if (hasA && hasB) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (hasA || hasB) return false;
  const fs::path pa(a), pb(b);
  if (pa.filename() != pb.filename()) return false;
  const std::string folderA = pa.parent_path().empty() ? "." : pa.parent_path().string();
  const std::string folderB = pb.parent_path().empty() ? "." : pb.parent_path().string();
  return ::stat(folderA.c_str(), &sa) == 0 && ::stat(folderB.c_str(), &sb) == 0 &&
         sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
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

void CheckNotPlanFile(const std::string& fileName, const std::string& databasePath) {
  const std::string target = FollowLinks(fileName);
  // The journal and the lock file lie beside the name the plan was opened under, which may be
  // a link to the file itself.
  for (const std::string& plan : {databasePath, FollowLinks(databasePath)}) {
    const std::pair<std::string, const char*> files[] = {
        {plan, "it is the plan "},
        {zuz::JournalFileNameFor(plan), "it is the journal of the plan "},
        {zuz::LockFileNameFor(plan), "it is the lock file of the plan "}};
    for (const auto& [file, what] : files) {
      if (SameFile(target, file))
        throw EqorFileError("Cannot write file " + fileName + ": " + what + databasePath);
    }
  }
}

void WriteFileWhole(const std::string& fileName,
                    const std::function<void(const std::string& temporaryName)>& write) {
  const std::string target = FollowLinks(fileName);
  // A file replaced keeps its permissions; until then the temporary file is the user's alone.
  struct stat replaced;
  const bool replaces = ::stat(target.c_str(), &replaced) == 0;
  // Only a file is replaced: never a device, a pipe or a folder.
  if (replaces && !S_ISREG(replaced.st_mode)) throw EqorFileError("Cannot write file " + fileName);
  TqorTemporaryFile temporary(target, replaces ? 0600 : 0666);
  if (temporary.Name().empty()) throw EqorFileError("Cannot create file " + fileName);
  try {
    write(temporary.Name());
  } catch (const EqorFileError&) {
    // The converter names the temporary file; the user knows the file asked for.
    throw EqorFileError("Cannot write file " + fileName);
  }
  if ((replaces && ::chmod(temporary.Name().c_str(), replaced.st_mode & 0777) != 0) ||
      !temporary.CommitTo(target))
    throw EqorFileError("Cannot write file " + fileName);
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

std::string NoFontMessage(size_t count) {
  return std::to_string(count) + (count == 1 ? " character had no font and shows as a box"
                                             : " characters had no font and show as boxes");
}

std::string XmlLeftOutMessage(size_t count, const std::string& fileName) {
  return std::to_string(count) + (count == 1 ? " character" : " characters") +
         " that XML cannot hold (control characters other than tab, line feed and carriage "
         "return) " +
         (count == 1 ? "was" : "were") + " left out of " + fileName + ".";
}
