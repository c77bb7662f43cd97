// A GoogleTest environment that creates the Qt application object of a GUI test program, on the
// offscreen platform unless QT_QPA_PLATFORM says otherwise. Register it once per program:
//   const auto* const kQtEnvironment =
//       ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<QApplication>("name"));
#pragma once

#include <gtest/gtest.h>

#include <QtGlobal>

template <class TApplication>
class TQtTestEnvironment : public ::testing::Environment {
 public:
  explicit TQtTestEnvironment(const char* programName) : name_(programName) {}

  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    argv_[0] = const_cast<char*>(name_);
    app_ = new TApplication(argc_, argv_);
  }
  void TearDown() override { delete app_; }

 private:
  const char* name_;
  int argc_ = 1;
  char* argv_[2] = {nullptr, nullptr};
  TApplication* app_ = nullptr;
};
