// What the program does before its window: reading the command line, and making the user's
// planner from the template once without ever touching an existing one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/core/qorCommandLine.h"
#include "app/core/qorUserPlan.h"
#include "tests/testFiles.h"

namespace {

namespace fs = std::filesystem;
using A = TqorCommandLine::TAction;

TEST(CommandLine, OneDatabaseByOptionOrByName) {
  struct Case {
    std::vector<std::string> args;
    A action;
    std::string database;
  };
  const std::vector<Case> cases = {
      {{}, A::Run, ""},
      {{"plan.zuz"}, A::Run, "plan.zuz"},
      {{"--database", "plan.zuz"}, A::Run, "plan.zuz"},
      {{"--database=my plan.zuz"}, A::Run, "my plan.zuz"},
      {{"--", "-odd.zuz"}, A::Run, "-odd.zuz"},
      {{"plan.zuz", "--help"}, A::Help, ""},
      {{"-h"}, A::Help, ""},
      {{"--version"}, A::Version, ""},
      {{"--bogus"}, A::Usage, ""},
      {{"-x", "plan.zuz"}, A::Usage, ""},
      {{"a.zuz", "b.zuz"}, A::Usage, ""},
      {{"--database", "a.zuz", "b.zuz"}, A::Usage, ""},
      {{"--database"}, A::Usage, ""},
      {{"--database="}, A::Usage, ""},
  };
  for (const Case& c : cases) {
    const TqorCommandLine line = ParseCommandLine(c.args);
    std::string shown;
    for (const std::string& a : c.args) shown += "[" + a + "]";
    EXPECT_EQ(line.Action, c.action) << shown;
    EXPECT_EQ(line.Database, c.database) << shown;
    EXPECT_EQ(line.Action == A::Usage, !line.Problem.empty()) << shown;
  }
}

class UserPlan : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vz_userplan_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "share" / "db");
    template_ = (dir_ / "share" / "db" / "Vazadod.zuz").string();
    std::ofstream(template_) << "the empty planner";
    fs::permissions(template_, fs::perms::owner_read | fs::perms::group_read);
    plan_ = (dir_ / "home" / ".local" / "Vazadod" / "Vazadod.zuz").string();
  }
  void TearDown() override { RemoveTestFolder(dir_); }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path dir_;
  std::string template_;
  std::string plan_;
};

TEST_F(UserPlan, TheFirstStartCopiesTheTemplateAndLaterStartsKeepThePlan) {
  EXPECT_EQ(EnsureUserPlan(template_, plan_), plan_);
  EXPECT_EQ(Read(plan_), "the empty planner");
  // The copy is the user's to write, although the installed template is read-only.
  EXPECT_NE(fs::status(plan_).permissions() & fs::perms::owner_write, fs::perms::none);
  // No partial copy is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(plan_).parent_path()),
                          fs::directory_iterator()),
            1);

  std::ofstream(plan_, std::ios::trunc) << "a year of work";
  fs::permissions(template_, fs::perms::owner_write, fs::perm_options::add);
  std::ofstream(template_, std::ios::trunc) << "a newer empty planner";
  EnsureUserPlan(template_, plan_);
  EXPECT_EQ(Read(plan_), "a year of work");
  // Even without the template (an uninstalled program) the plan stays and is used.
  fs::remove(template_);
  EXPECT_EQ(EnsureUserPlan(template_, plan_), plan_);
  EXPECT_EQ(Read(plan_), "a year of work");
}

TEST_F(UserPlan, WithoutTheTemplateOrAWritableFolderTheErrorSaysWhat) {
  fs::remove(template_);
  try {
    EnsureUserPlan(template_, plan_);
    ADD_FAILURE() << "no error without the template";
  } catch (const EqorUserPlanError& e) {
    EXPECT_NE(std::string(e.what()).find(template_), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(plan_));

  std::ofstream(template_) << "the empty planner";
  // A file where the folder should be.
  std::ofstream((dir_ / "blocked").string()) << "x";
  EXPECT_THROW(EnsureUserPlan(template_, (dir_ / "blocked" / "Vazadod.zuz").string()),
               EqorUserPlanError);
}

}  // namespace
