// A planner database in a folder of its own under the temporary folder, made from the planner's
// schema and removed with the object.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>

#include "app/core/qorPlannerSchema.h"
#include "tests/testFiles.h"

class TTestPlanner {
 public:
  explicit TTestPlanner(const std::string& stem = "planner") {
    static std::atomic<int> serial{0};
    dir_ = std::filesystem::temp_directory_path() /
           ("vz_app_" + stem + "_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "Vazadod.zuz").string();
    CreatePlannerDatabase(path_);
  }
  ~TTestPlanner() { RemoveTestFolder(dir_); }
  TTestPlanner(const TTestPlanner&) = delete;
  TTestPlanner& operator=(const TTestPlanner&) = delete;

  const std::string& Path() const { return path_; }
  const std::filesystem::path& Dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
  std::string path_;
};
