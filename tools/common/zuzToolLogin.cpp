#include "tools/common/zuzToolLogin.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "db/storage/zuzError.h"

namespace zuz {

namespace {

constexpr const char* kDatabasePasswordVariable = "VAZADOD_PASSWORD";
constexpr const char* kUserVariable = "VAZADOD_USER";
constexpr const char* kUserPasswordVariable = "VAZADOD_USER_PASSWORD";

// The terminal whose echo is off, and its settings before, for the interrupt handler.
volatile sig_atomic_t echoTerminal = -1;
termios echoSaved{};

void RestoreEchoAndRaise(int sig) {
  if (echoTerminal >= 0) tcsetattr(echoTerminal, TCSAFLUSH, &echoSaved);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// Closes the terminal when the login is over.
class TTerminal {
 public:
  explicit TTerminal(const TToolLoginSource& source) : source_(source) {}
  ~TTerminal() {
    if (fd_ >= 0) ::close(fd_);
  }
  TTerminal(const TTerminal&) = delete;
  TTerminal& operator=(const TTerminal&) = delete;

  // Asks for the value of the variable; 10015 without a terminal or at the end of its input.
  std::string Ask(const char* what, const char* variable, bool secret) {
    if (fd_ < 0 && source_.OpenTerminal) fd_ = source_.OpenTerminal();
    std::string line;
    if (fd_ < 0) {
      ZuzDatabaseError(
          ZUZ_ERR_INVALID_LOGIN, "TZuzDataBase.DoConnect",
          std::string("No terminal to ask for the ") + what + " (set " + variable + ")");
    }
    std::string prompt(what);
    prompt[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(prompt[0])));
    if (!ReadTerminalLine(fd_, prompt + ": ", !secret, line)) {
      ZuzDatabaseError(ZUZ_ERR_INVALID_LOGIN, "TZuzDataBase.DoConnect", {});
    }
    return line;
  }

 private:
  const TToolLoginSource& source_;
  int fd_ = -1;
};

}  // namespace

TToolLoginSource TToolLoginSource::Process() {
  TToolLoginSource source;
  source.GetEnv = [](const char* name) -> const char* { return std::getenv(name); };
  source.OpenTerminal = [] { return ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC); };
  return source;
}

std::string ToolLoginHelp() {
  return "A database with a password, or with users and groups, takes its login from\n"
         "  VAZADOD_PASSWORD       the database password\n"
         "  VAZADOD_USER           the user name\n"
         "  VAZADOD_USER_PASSWORD  the user's password\n"
         "and asks on the terminal (without echo for passwords) for what they do not hold.\n";
}

bool ReadTerminalLine(int terminal, const std::string& prompt, bool echo, std::string& line) {
  line.clear();
  termios saved{};
  const bool isTerminal = ::tcgetattr(terminal, &saved) == 0;
  bool echoOff = false;
  struct sigaction oldInt {
  }, oldTerm{}, oldQuit{}, oldHup{};
  if (isTerminal && !echo) {
    echoSaved = saved;
    echoTerminal = terminal;
    struct sigaction restore {};
    restore.sa_handler = RestoreEchoAndRaise;
    sigemptyset(&restore.sa_mask);
    ::sigaction(SIGINT, &restore, &oldInt);
    ::sigaction(SIGTERM, &restore, &oldTerm);
    ::sigaction(SIGQUIT, &restore, &oldQuit);
    ::sigaction(SIGHUP, &restore, &oldHup);
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    echoOff = ::tcsetattr(terminal, TCSAFLUSH, &quiet) == 0;
  }
  WriteAll(terminal, prompt);
  bool ended = false;
  for (;;) {
    char c = 0;
    ssize_t n = ::read(terminal, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (c == '\n' || c == '\r') {
      ended = true;
      break;
    }
    line.push_back(c);
  }
  if (isTerminal && !echo) {
    if (echoOff) ::tcsetattr(terminal, TCSAFLUSH, &saved);
    echoTerminal = -1;
    ::sigaction(SIGINT, &oldInt, nullptr);
    ::sigaction(SIGTERM, &oldTerm, nullptr);
    ::sigaction(SIGQUIT, &oldQuit, nullptr);
    ::sigaction(SIGHUP, &oldHup, nullptr);
  }
  if (!ended) line.clear();
  return ended;
}

bool AskNewTerminalPassword(std::string& password, std::string& reason,
                            const TToolLoginSource& source) {
  password.clear();
  const int terminal = source.OpenTerminal ? source.OpenTerminal() : -1;
  if (terminal < 0) {
    reason = "No terminal to ask for the password on";
    return false;
  }
  std::string again;
  const bool read = ReadTerminalLine(terminal, "New password: ", false, password) &&
                    ReadTerminalLine(terminal, "Repeat the new password: ", false, again);
  ::close(terminal);
  if (!read) {
    reason = "No password was given";
  } else if (password != again) {
    reason = "The passwords differ";
  } else {
    return true;
  }
  password.clear();
  return false;
}

void InstallToolLogin(TZuzDataBase& db, TToolLoginSource source) {
  db.BeforeLogin = [source = std::move(source)](TZuzDataBase& database, std::string& user,
                                                std::string& password, std::string& key) {
    const TZuzLoginMode mode = database.LoginMode();
    const bool askKey = mode == TZuzLoginMode::DatabasePassword || mode == TZuzLoginMode::All;
    const bool askUser = mode == TZuzLoginMode::User || mode == TZuzLoginMode::All;
    TTerminal terminal(source);
    auto value = [&](const char* variable, const char* what, bool secret) {
      const char* set = source.GetEnv ? source.GetEnv(variable) : nullptr;
      return set ? std::string(set) : terminal.Ask(what, variable, secret);
    };
    if (askKey) key = value(kDatabasePasswordVariable, "database password", true);
    if (askUser) {
      user = value(kUserVariable, "user name", false);
      password = value(kUserPasswordVariable, "user password", true);
    }
  };
}

}  // namespace zuz
