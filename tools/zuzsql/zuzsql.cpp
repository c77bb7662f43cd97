// zuzsql: an SQL shell on a database file.
//
//   zuzsql [--create [--users]] [--csv] [-c STATEMENT]... [-f FILE] DBFILE
//
// The statements of -c (each one statement) and of the file run in order; without either,
// standard input is read: on a terminal interactively (prompt, statements ending in ";",
// history and line editing, the dot commands of .help), otherwise as a script. --create makes
// the database when the file does not exist (encrypted under VAZADOD_PASSWORD when that is set;
// with users and groups for --users). Results print as aligned tables, or with --csv as CSV. An
// engine error prints as the engine formats it and ends the run with exit status 1 (the
// interactive shell goes on and ends with status 1). A protected database takes its login from
// the environment or asks on the terminal (tools/common/zuzToolLogin.h).
#include <editline/readline.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "db/objects/zuzDataSet.h"
#include "db/storage/zuzError.h"
#include "tools/common/zuzToolLogin.h"
#include "tools/zuzsql/zuzsqlShell.h"

using namespace zuz;

namespace {

// The usage text: on standard output for --help, on standard error after a wrong command line.
void Usage(std::FILE* out = stderr) {
  std::fprintf(out,
               "usage: zuzsql [--create [--users]] [--csv] [-c STATEMENT]... [-f FILE] DBFILE\n"
               "       zuzsql --help | --version\n"
               "Runs SQL statements on a Vazadod database: each -c STATEMENT and each -f FILE\n"
               "in turn, or those typed at the prompt when neither is given.\n"
               "--create makes the database when it does not exist, encrypted when\n"
               "VAZADOD_PASSWORD is set, with users and groups for --users.\n"
               "--csv prints results as comma-separated values.\n%s",
               ToolLoginHelp().c_str());
}

// Runs one statement, printing an error; false when it failed.
bool RunReported(TZuzSqlShell& shell, const std::string& statement, bool* quit) {
  try {
    if (!shell.Run(statement)) *quit = true;
    return true;
  } catch (const EZuzDatabaseError& e) {
    std::fprintf(stderr, "%s\n", e.what());
  } catch (const EZuzDataSetError& e) {
    std::fprintf(stderr, "%s\n", e.what());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  }
  return false;
}

int RunScript(TZuzSqlShell& shell, const std::string& text) {
  std::string rest;
  std::vector<std::string> statements = SplitSqlScript(text, &rest);
  if (!rest.empty()) statements.push_back(rest);
  bool quit = false;
  for (const std::string& s : statements) {
    if (!RunReported(shell, s, &quit)) return 1;
    if (quit) break;
  }
  return 0;
}

int Interactive(TZuzSqlShell& shell, const std::string& dbName) {
  std::printf("zuzsql on %s. Statements end with \";\"; .help lists the commands.\n",
              dbName.c_str());
  std::string pending;
  int status = 0;
  bool quit = false;
  using_history();
  while (!quit) {
    const char* prompt = pending.empty() ? "zuzsql> " : "   ...> ";
    char* line = readline(prompt);
    if (!line) break;
    std::string text(line);
    std::free(line);
    if (text.find_first_not_of(" \t") != std::string::npos) add_history(text.c_str());
    if (pending.empty() && IsDotCommand(text)) {
      if (!RunReported(shell, text, &quit)) status = 1;
      std::fflush(stdout);
      continue;
    }
    pending += text;
    pending += "\n";
    std::string rest;
    std::vector<std::string> statements = SplitSqlScript(pending, &rest);
    pending = rest.empty() ? "" : rest + "\n";
    for (const std::string& s : statements) {
      if (!RunReported(shell, s, &quit)) status = 1;
      if (quit) break;
    }
    std::fflush(stdout);
  }
  if (!quit) std::printf("\n");
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  bool create = false;
  bool users = false;
  bool csv = false;
  std::vector<std::pair<char, std::string>> sources;  // 'c' statement or 'f' file
  std::string dbFile;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--create") {
      create = true;
    } else if (a == "--users") {
      users = true;
    } else if (a == "--csv") {
      csv = true;
    } else if ((a == "-c" || a == "-f") && i + 1 < argc) {
      sources.emplace_back(a[1], argv[++i]);
    } else if (a == "-h" || a == "--help") {
      Usage(stdout);
      return 0;
    } else if (a == "--version") {
      std::printf("zuzsql (Vazadod) %s\n", VAZADOD_VERSION);
      return 0;
    } else if (!a.empty() && a[0] == '-') {
      Usage();
      return 2;
    } else if (dbFile.empty()) {
      dbFile = a;
    } else {
      Usage();
      return 2;
    }
  }
  if (dbFile.empty()) {
    Usage();
    return 2;
  }
  TZuzDataBase db;
  InstallToolLogin(db);
  try {
    db.SetDataBaseName(dbFile);
    if (create && !db.IsMemory() && !db.FileSystem().Exists(db.FullPath())) {
      const char* key = std::getenv("VAZADOD_PASSWORD");
      db.SetMasterKey(key ? key : "");
      db.UserSecurity = users;
      db.CreateDatabase();
      db.SetMasterKey("");
    }
    // Alone on the file the schema statements can restructure tables; shared otherwise.
    try {
      db.SetExclusive(true);
      db.Open();
    } catch (const EZuzDatabaseError& e) {
      if (e.ErrorCode() != ZUZ_ERR_OPEN_FILE) throw;
      db.SetExclusive(false);
      db.Open();
    }
  } catch (const EZuzDatabaseError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  TZuzSqlShell shell(db, stdout);
  shell.Csv = csv;
  shell.AskNewPassword = [](std::string& password, std::string& reason) {
    return AskNewTerminalPassword(password, reason);
  };
  int status = 0;
  if (!sources.empty()) {
    for (const auto& [kind, value] : sources) {
      std::string text = value;
      if (kind == 'f') {
        std::ifstream in(value, std::ios::binary);
        if (!in) {
          std::fprintf(stderr, "zuzsql: cannot read %s\n", value.c_str());
          return 1;
        }
        std::ostringstream ss;
        ss << in.rdbuf();
        text = ss.str();
        status = RunScript(shell, text);
      } else {
        bool quit = false;
        status = RunReported(shell, text, &quit) ? 0 : 1;
      }
      if (status != 0) break;
    }
  } else if (::isatty(STDIN_FILENO)) {
    shell.Verbose = true;
    status = Interactive(shell, dbFile);
  } else {
    std::ostringstream ss;
    ss << std::cin.rdbuf();
    status = RunScript(shell, ss.str());
  }
  std::fflush(stdout);
  try {
    db.Close();
  } catch (const EZuzDatabaseError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    status = 1;
  }
  return status;
}
