#include "app/core/qorLauncher.h"

TqorLauncher::TqorLauncher(std::unique_ptr<TqorLauncherPlatform> platform)
    : platform_(std::move(platform)) {}

std::string TqorLauncher::FindViewerPath(std::string_view programName) const {
  if (programName.empty() || programName.find('/') != std::string_view::npos) return {};
  const std::string path = platform_->SearchPath();
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string folder = path.substr(start, end - start);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (!folder.empty() &&
        platform_->IsExecutableFile((folder == "/" ? "" : folder) + "/" + std::string(programName)))
      return folder;
    start = end + 1;
  }
  return {};
}

bool TqorLauncher::OpenDocument(const std::string& document, std::string_view programName) {
  std::string program;
  if (!programName.empty()) {
    const std::string folder = FindViewerPath(programName);
    if (!folder.empty()) program = (folder == "/" ? "" : folder) + "/" + std::string(programName);
  }
  if (!program.empty() && platform_->StartProgram(program, document)) return true;
  return platform_->OpenWithDesktop(document);
}
