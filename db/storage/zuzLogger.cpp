#include "db/storage/zuzLogger.h"

#include <cstdio>
#include <ctime>
#include <fstream>

namespace zuz {

namespace {

std::string NowText() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

}  // namespace

TDBLogger::~TDBLogger() {
  if (!fileName_.empty()) SaveToFile(fileName_);
}

TDBLogger& TDBLogger::Instance() {
  static TDBLogger logger;
  return logger;
}

void TDBLogger::AddLine(const std::string& name, const std::string& message) {
  std::string now = NowText();
  int n = std::snprintf(nullptr, 0, "%10s; %30s : %s", now.c_str(), name.c_str(), message.c_str());
  std::string line(static_cast<std::size_t>(n), '\0');
  std::snprintf(line.data(), line.size() + 1, "%10s; %30s : %s", now.c_str(), name.c_str(),
                message.c_str());
  std::lock_guard<std::mutex> lock(mutex_);
  if (lines_.size() > kMaxLinesBeforeAdd) lines_.pop_front();
  lines_.push_back(std::move(line));
}

void TDBLogger::IncCounter(const std::string& name, int64_t amount) {
  std::lock_guard<std::mutex> lock(mutex_);
  counters_[name] += amount;
}

int64_t TDBLogger::Counter(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = counters_.find(name);
  return it == counters_.end() ? 0 : it->second;
}

std::vector<std::string> TDBLogger::Lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {lines_.begin(), lines_.end()};
}

std::size_t TDBLogger::LineCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_.size();
}

void TDBLogger::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
  counters_.clear();
}

bool TDBLogger::SaveToFile(const std::string& fileName) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  for (const std::string& line : lines_) out << line << "\r\n";
  for (const auto& [name, value] : counters_) out << name << " = " << value << "\r\n";
  return static_cast<bool>(out);
}

void TDBLogger::SetFileName(const std::string& fileName) {
  std::lock_guard<std::mutex> lock(mutex_);
  fileName_ = fileName;
}

}  // namespace zuz
