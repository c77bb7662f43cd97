#include "app/qorAppDir.h"

#include <QStandardPaths>

#include <filesystem>
#include <system_error>

namespace {

std::string WithSeparator(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

bool HasHelp(const std::filesystem::path& dir) {
  std::error_code ec;
  return std::filesystem::is_directory(dir / "help", ec);
}

}  // namespace

std::string ResolveAppDir(const std::string& exeDir) {
  const std::filesystem::path exe(exeDir);
  if (HasHelp(exe)) return WithSeparator(exeDir);
  const std::filesystem::path shared = exe / ".." / "share" / "vazadod";
  if (HasHelp(shared)) {
    std::error_code ec;
    const auto canonical = std::filesystem::weakly_canonical(shared, ec);
    return WithSeparator(ec ? shared.string() : canonical.string());
  }
  return WithSeparator(exeDir);
}

std::string UserPlanPath() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (folder.isEmpty()) return {};
  return WithSeparator(folder.toStdString()) + "Vazadod.zuz";
}
