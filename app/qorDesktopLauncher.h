// The launcher's platform on a Linux desktop: the PATH of the program's environment, programs
// started detached (they outlive the planner), and the desktop's program for a file type
// through QDesktopServices (xdg-open and the desktop's file associations).
#pragma once

#include "app/core/qorLauncher.h"

class TqorDesktopLauncher : public TqorLauncherPlatform {
 public:
  std::string SearchPath() const override;
  bool IsExecutableFile(const std::string& path) const override;
  bool StartProgram(const std::string& program, const std::string& argument) override;
  bool OpenWithDesktop(const std::string& document) override;
};
