// A GoogleTest environment that creates the Qt application object of a GUI test program. Unless
// QT_QPA_PLATFORM names another platform, it runs on the offscreen platform with one screen of
// the given size (a common desktop by default), optionally scaled as QT_SCALE_FACTOR does.
// Register it once per program:
//   const auto* const kQtEnvironment =
//       ::testing::AddGlobalTestEnvironment(new TQtTestEnvironment<QApplication>("name"));
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QtGlobal>
#include <cstdio>
#include <string>

template <class TApplication>
class TQtTestEnvironment : public ::testing::Environment {
 public:
  explicit TQtTestEnvironment(const char* programName, int screenWidth = 1280,
                              int screenHeight = 1024, const char* scaleFactor = nullptr)
      : name_(programName), width_(screenWidth), height_(screenHeight), scale_(scaleFactor) {}

  void SetUp() override {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen") {
      config_ = "/tmp/vz-qt-screen-" + std::to_string(::getpid()) + ".json";
      if (FILE* f = std::fopen(config_.c_str(), "w")) {
        std::fprintf(f,
                     "{\"synchronousWindowSystemEvents\": false, \"windowFrameMargins\": true,"
                     " \"screens\": [{\"name\": \"Screen\", \"x\": 0, \"y\": 0, \"width\": %d,"
                     " \"height\": %d, \"logicalDpi\": 96, \"logicalBaseDpi\": 96,"
                     " \"dpr\": 1}]}\n",
                     width_, height_);
        std::fclose(f);
      }
      qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + config_.c_str());
    }
    if (scale_) qputenv("QT_SCALE_FACTOR", scale_);
    argv_[0] = const_cast<char*>(name_);
    app_ = new TApplication(argc_, argv_);
  }
  void TearDown() override {
    delete app_;
    if (!config_.empty()) std::remove(config_.c_str());
  }

 private:
  const char* name_;
  int width_, height_;
  const char* scale_;
  std::string config_;
  int argc_ = 1;
  char* argv_[2] = {nullptr, nullptr};
  TApplication* app_ = nullptr;
};
