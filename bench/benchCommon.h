// What the database benchmarks share: wall-clock timing, failing on an SQLite error, and the
// folder the benchmark writes its files into.
#pragma once

#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Ends the benchmark with SQLite's message when rc is an error.
inline void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "SQLite %s: %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
  }
}

// The folder named by the first argument, or a new folder /tmp/<prefix>-XXXXXX; exits when it
// can't be made.
inline std::string WorkFolder(int argc, char** argv, const std::string& prefix) {
  if (argc > 1) return argv[1];
  std::string pattern = "/tmp/" + prefix + "-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    std::exit(1);
  }
  return pattern;
}

// The median of runs calls of f, in milliseconds. REQUIRES: runs >= 1.
template <typename F>
double MedianMs(int runs, F&& f) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const auto a = Clock::now();
    f();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - a).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

}  // namespace bench
