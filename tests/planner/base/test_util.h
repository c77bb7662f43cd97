// Helpers shared by the planner tests.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>
#include <clocale>
#include <cstdio>
#include <string>

#include "planner/base/qorRegionalSettings.h"

// Sets the regional settings every test expects and restores the previous ones afterwards.
class RegionalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TqorRegionalSettings& rs = RegionalSettings();
    rs = TqorRegionalSettings();
    rs.DecimalSeparator = ".";
    rs.ShortDateFormat = "dd.MM.yyyy";
    rs.LongTimeFormat = "hh:nn:ss";
  }

 private:
  TqorRegionalSettingsGuard guard_;
};

// Runs the process under the named C locale (LC_ALL) until the object goes out of scope, as a
// program started with LANG set to it would run. Numbers the program writes must not follow it.
class ProcessLocale {
 public:
  explicit ProcessLocale(const char* name) {
    previous_ = setlocale(LC_ALL, nullptr);
    active_ = setlocale(LC_ALL, name) != nullptr;
  }
  ~ProcessLocale() { setlocale(LC_ALL, previous_.c_str()); }
  // False when the system does not know the locale.
  bool Active() const { return active_; }

 private:
  std::string previous_;
  bool active_ = false;
};

// A file name in the temporary folder, removed when the object goes out of scope.
class TempFile {
 public:
  explicit TempFile(const std::string& stem) {
    char buf[256];
    std::snprintf(buf, sizeof buf, "/tmp/vz_planner_%s_%d.tmp", stem.c_str(),
                  static_cast<int>(getpid()));
    path_ = buf;
  }
  ~TempFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};
