#include "app/core/qorUserPlan.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string EnsureUserPlan(const std::string& templatePath, const std::string& planPath) {
  std::error_code ec;
  const fs::path plan(planPath);
  if (fs::exists(fs::symlink_status(plan, ec))) return planPath;
  if (!fs::is_regular_file(templatePath, ec)) {
    throw EqorUserPlanError("The empty planner " + templatePath +
                            " that comes with Vazadod was not found, so your planner " + planPath +
                            " cannot be made. Please reinstall Vazadod.");
  }
  auto fail = [&](const std::string& what, const std::error_code& error) {
    throw EqorUserPlanError("Your planner " + planPath + " cannot be made: " + what + ": " +
                            error.message());
  };
  if (plan.has_parent_path()) {
    fs::create_directories(plan.parent_path(), ec);
    if (ec) fail("the folder " + plan.parent_path().string() + " cannot be created", ec);
  }
  // Written under a name of its own first, so that a copy cut short never stands as the plan.
  const fs::path part = plan.string() + ".part-" + std::to_string(::getpid());
  fs::copy_file(templatePath, part, fs::copy_options::overwrite_existing, ec);
  if (!ec) {
    fs::permissions(part, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add,
                    ec);
  }
  if (!ec) {
    // A link fails when the plan appeared meanwhile (a second start): that plan stays.
    fs::create_hard_link(part, plan, ec);
    if (ec && fs::exists(plan)) {
      ec.clear();
    } else if (ec) {
      // A file system without links: moved in place instead.
      ec.clear();
      fs::rename(part, plan, ec);
    }
  }
  std::error_code ignored;
  fs::remove(part, ignored);
  if (ec) fail("the copy of " + templatePath + " failed", ec);
  return planPath;
}
