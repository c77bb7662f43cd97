// The temporary file a report or export is written into before it takes the name asked for:
//
//   <folder of the target>/.<target's name>.<6 random letters>.part
//
// created new (never an existing file), removed when the object goes unless it was committed,
// and removed as well when SIGINT, SIGTERM or SIGHUP ends the program while it exists. The
// signals are caught only while a temporary file exists and only where the program leaves them
// to their default action (which ends it); a signal the program ignores or handles itself is
// left to it. After the removal the signal takes its default action, so the program still ends
// as it would have.
#pragma once

#include <sys/types.h>

#include <string>

class TqorTemporaryFile {
 public:
  // Creates the file beside target with the permissions mode (less the process's umask); Name()
  // is empty when no file could be made there.
  TqorTemporaryFile(const std::string& target, mode_t mode);
  ~TqorTemporaryFile();
  TqorTemporaryFile(const TqorTemporaryFile&) = delete;
  TqorTemporaryFile& operator=(const TqorTemporaryFile&) = delete;

  const std::string& Name() const { return name_; }

  // Flushes the written file to the disk and renames it to target, replacing a file there at
  // once; false (the file stays until the object goes) when any step fails.
  // REQUIRES: Name() is not empty.
  bool CommitTo(const std::string& target);

 private:
  std::string name_;
  int slot_ = -1;
};
