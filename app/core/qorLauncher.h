// Opens a finished report in a viewer: the named viewer program when it is found on the PATH,
// started with the document as its one argument; otherwise (or when it cannot be started) the
// program the desktop associates with the document's type. What the launcher needs of the
// system goes through TqorLauncherPlatform, which tests replace.
#pragma once

#include <memory>
#include <string>
#include <string_view>

// The viewers looked up for the two report formats: a PDF viewer and a word processor found
// on most Debian desktops.
inline constexpr std::string_view kPDFViewerProgram = "evince";
inline constexpr std::string_view kRTFViewerProgram = "lowriter";

class TqorLauncherPlatform {
 public:
  virtual ~TqorLauncherPlatform() = default;
  // The PATH variable of the environment (folders separated by ":").
  virtual std::string SearchPath() const = 0;
  // True for a regular file that the user may run.
  virtual bool IsExecutableFile(const std::string& path) const = 0;
  // Starts the program with one argument, not waiting for it; false when it did not start.
  virtual bool StartProgram(const std::string& program, const std::string& argument) = 0;
  // Opens the document with the desktop's program for its type; false when that failed.
  virtual bool OpenWithDesktop(const std::string& document) = 0;
};

class TqorLauncher {
 public:
  explicit TqorLauncher(std::unique_ptr<TqorLauncherPlatform> platform);

  // The first folder of the PATH (without a trailing "/") holding an executable file of that
  // name; empty when none does, and for a name that is empty or holds a "/". Empty PATH
  // entries (which would mean the working folder) are skipped.
  std::string FindViewerPath(std::string_view programName) const;
  // Starts the viewer found with the document, or else opens the document with the desktop's
  // program for its type (also when the viewer does not start). False when neither opened it.
  bool OpenDocument(const std::string& document, std::string_view programName);

  TqorLauncherPlatform& Platform() { return *platform_; }

 private:
  std::unique_ptr<TqorLauncherPlatform> platform_;
};
