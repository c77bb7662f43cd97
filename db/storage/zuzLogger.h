// The engine's diagnostic log: one per program, a bounded list of text lines and a set of named
// counters, both guarded by one mutex.
//
// Line format: "%10s; %30s : %s" (date and time, name, message). Before a line is added the
// oldest one is dropped when more than 500 are held, so the log never exceeds 501 lines.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace zuz {

class TDBLogger {
 public:
  static constexpr std::size_t kMaxLinesBeforeAdd = 500;

  TDBLogger() = default;
  ~TDBLogger();
  TDBLogger(const TDBLogger&) = delete;
  TDBLogger& operator=(const TDBLogger&) = delete;

  // The program's log.
  static TDBLogger& Instance();

  void AddLine(const std::string& name, const std::string& message);
  // Adds amount to the named counter, creating it at zero first.
  void IncCounter(const std::string& name, int64_t amount = 1);
  int64_t Counter(const std::string& name) const;

  std::vector<std::string> Lines() const;
  std::size_t LineCount() const;
  void Clear();

  // Writes every line, then every counter as "name = value", to the file; false on failure.
  bool SaveToFile(const std::string& fileName) const;
  // When set, the log is saved to this file when the logger is destroyed.
  void SetFileName(const std::string& fileName);

 private:
  mutable std::mutex mutex_;
  std::deque<std::string> lines_;
  std::map<std::string, int64_t> counters_;
  std::string fileName_;
};

}  // namespace zuz
