// Helpers shared by the planner tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

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
