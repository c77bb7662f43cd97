// The login of the command-line tools on a protected database. The login data come from the
// environment, for scripts, or are asked on the terminal:
//
//   VAZADOD_PASSWORD       the database password (an encrypted database)
//   VAZADOD_USER           the user name         (a database with users and groups)
//   VAZADOD_USER_PASSWORD  the user's password
//
// What the database asks for and the environment does not hold is asked on the controlling
// terminal, passwords without echo; without a terminal the login fails with 10015. Nothing read
// is written anywhere.
#pragma once

#include <functional>
#include <string>

#include "db/objects/zuzDatabase.h"

namespace zuz {

// Where the login data come from: the environment and the terminal (opened when needed).
struct TToolLoginSource {
  // The value of an environment variable, or null.
  std::function<const char*(const char*)> GetEnv;
  // Opens the terminal for reading and writing, or gives -1; the login closes it again.
  std::function<int()> OpenTerminal;

  // The process environment and the controlling terminal (/dev/tty).
  static TToolLoginSource Process();
};

// The lines a tool's --help shows about the login.
std::string ToolLoginHelp();

// Makes the database take its login data from the source (as its BeforeLogin).
void InstallToolLogin(TZuzDataBase& db, TToolLoginSource source = TToolLoginSource::Process());

// Asks for a new password twice on the terminal, without echo: false, with the reason, without
// a terminal or when the two differ.
bool AskNewTerminalPassword(std::string& password, std::string& reason,
                            const TToolLoginSource& source = TToolLoginSource::Process());

// Writes the prompt to the terminal and reads one line (without its end) from it, without echo
// when echo is false (the terminal's settings are restored afterwards, also on an interrupt);
// false at the end of input before a line ended.
bool ReadTerminalLine(int terminal, const std::string& prompt, bool echo, std::string& line);

}  // namespace zuz
