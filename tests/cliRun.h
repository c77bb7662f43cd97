// Running a command from a test through the shell: its exit status and what it printed. With
// VZ_VAZADOD_CLI defined (the program's path, as the test's CMake entry gives it), vazadod-cli.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

struct TCommandRun {
  int Status = -1;  // the exit status; -1 when the command did not exit
  std::string Out;  // its standard output, and what the command line sends there
};

inline TCommandRun RunShellCommand(const std::string& command) {
  TCommandRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buf[4096];
  while (size_t n = std::fread(buf, 1, sizeof buf, pipe)) run.Out.append(buf, n);
  const int raw = ::pclose(pipe);
  run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

#ifdef VZ_VAZADOD_CLI
// vazadod-cli with the arguments; errors is the redirection of its standard error.
inline TCommandRun RunVazadodCli(const std::string& args, const char* errors = "2>&1") {
  return RunShellCommand(std::string(VZ_VAZADOD_CLI) + " " + args + " " + errors);
}
#endif

// The whole number in the environment variable, or fallback when it is unset or empty.
inline int EnvInt(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}
