// zuzsql end to end: a script of statements in and CSV out, errors with the engine's message
// and exit status 1, and the interactive shell driven through a pseudo-terminal.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "db/objects/zuzDatabase.h"
#include "db/objects/zuzSQL.h"
#include "tests/testFiles.h"

namespace {

struct TRun {
  std::string out;
  std::string err;
  int status = -1;
};

class ZuzSql : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("vz-zuzsql-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    db_ = (dir_ / "test.zuz").string();
  }
  void TearDown() override { RemoveTestFolder(dir_); }

  // Runs the shell with the arguments (shell-quoted by the caller), input on standard input.
  TRun Run(const std::string& arguments, const std::string& input = "",
           const std::string& prefix = "") {
    std::string in = (dir_ / "stdin.txt").string();
    std::ofstream(in, std::ios::binary) << input;
    std::string out = (dir_ / "stdout.txt").string();
    std::string err = (dir_ / "stderr.txt").string();
    std::string command =
        prefix + std::string(VZ_ZUZSQL) + " " + arguments + " <" + in + " >" + out + " 2>" + err;
    TRun r;
    int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = Read(out);
    r.err = Read(err);
    return r;
  }
  static std::string Read(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
  std::string Write(const std::string& name, const std::string& text) {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  std::filesystem::path dir_;
  std::string db_;
};

TEST_F(ZuzSql, ScriptInCsvOut) {
  std::string script = Write("script.sql",
                             "CREATE TABLE People (Id AUTOINC, Name VARCHAR(20), Born DATE,\n"
                             "  Score FLOAT, Active BOOLEAN, PRIMARY KEY (Id));\n"
                             "INSERT INTO People (Name, Born, Score, Active)\n"
                             "  VALUES ('O''Neil, \"Jr\"', '1970-01-02', 0.1, -1);\n"
                             "INSERT INTO People (Name, Score) VALUES ('a;b', 2.5);\n"
                             "/* a comment; with a semicolon */\n"
                             "SELECT Id, Name, Born, Score, Active, Score * 3 AS Triple\n"
                             "  FROM People ORDER BY Id;\n");
  TRun r = Run("--create --csv -f " + script + " " + db_);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "Id,Name,Born,Score,Active,Triple\r\n"
            "1,\"O'Neil, \"\"Jr\"\"\",1970-01-02,0.1,True,0.30000000000000004\r\n"
            "2,a;b,,2.5,,7.5\r\n");
  // The database stays: a second run reads it, a statement per -c.
  r = Run("--csv -c \"SELECT COUNT(*) AS N FROM People\" -c \"SELECT MAX(Id) FROM People\" " + db_);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "N\r\n2\r\nMAX(Id)\r\n2\r\n");
  // Standard input that is no terminal is a script too, printed as a table.
  r = Run(db_, "SELECT Name FROM People WHERE Id = 2;\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Name\n----\na;b\n(1 row)\n");
}

TEST_F(ZuzSql, ErrorsGiveTheEngineMessageAndStatusOne) {
  TRun r = Run("--create -c \"CREATE TABLE t (A INTEGER)\" " + db_);
  ASSERT_EQ(r.status, 0) << r.err;
  r = Run("-c \"SELECT B FROM t\" " + db_);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "The Zezad database engine raised an error\r\n SQL Error (error code #9645) - "
            "Field not found Line 1, Character 8. Token 'B'. \n");
  // A script stops at its first error; what ran before stays.
  std::string script = Write("s.sql",
                             "INSERT INTO t VALUES (1);\nINSERT INTO u VALUES (2);\n"
                             "INSERT INTO t VALUES (3);\n");
  r = Run("-f " + script + " " + db_);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Table not found - u"), std::string::npos) << r.err;
  r = Run("--csv -c \"SELECT A FROM t\" " + db_);
  EXPECT_EQ(r.out, "A\r\n1\r\n");
  r = Run("/nonexistent/dir/x.zuz -c \"SELECT 1 FROM t\"");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("error code #9988"), std::string::npos) << r.err;
}

// A NUL character of a value or a name is written \0, and the rest of the value, the other
// columns and the other rows follow, in the table and in CSV.
TEST_F(ZuzSql, NulCharactersArePrintedEscapedWithTheRestOfTheRow) {
  const std::string nul(1, '\0');
  std::string script = Write("nul.sql",
                             "CREATE TABLE n (A INTEGER, S VARCHAR(10), Z INTEGER);\n"
                             "INSERT INTO n VALUES (1, 'a" +
                                 nul +
                                 "b', 2);\n"
                                 "INSERT INTO n VALUES (3, '" +
                                 nul +
                                 "', 4);\n"
                                 "SELECT A, S AS 's" +
                                 nul + "t', Z FROM n ORDER BY A;\n");
  TRun r = Run("--create -f " + script + " " + db_);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "A | s\\0t | Z\n"
            "--+------+--\n"
            "1 | a\\0b | 2\n"
            "3 | \\0   | 4\n"
            "(2 rows)\n");
  r = Run("--csv -c \"SELECT * FROM n ORDER BY A\" " + db_);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "A,S,Z\r\n1,a\\0b,2\r\n3,\\0,4\r\n");
}

// A protected database: the login from the environment, and without it no terminal to ask on.
TEST_F(ZuzSql, ProtectedDatabasesTakeTheLoginFromTheEnvironment) {
  // No variables of the test's own environment, and no controlling terminal.
  auto login = [](const std::string& variables) {
    return "env -u VAZADOD_PASSWORD -u VAZADOD_USER -u VAZADOD_USER_PASSWORD " + variables +
           " setsid -w ";
  };
  auto run = [&](const std::string& variables, const std::string& arguments) {
    return Run(arguments, "", login(variables));
  };
  TRun r = run("VAZADOD_PASSWORD=Open-Sesame-99",
               "--create -c \"CREATE TABLE Vault (Item VARCHAR(20))\" -c \"INSERT INTO Vault "
               "VALUES ('gold')\" " +
                   db_);
  ASSERT_EQ(r.status, 0) << r.err;
  r = run("VAZADOD_PASSWORD=Open-Sesame-99", "--csv -c \"SELECT Item FROM Vault\" " + db_);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Item\r\ngold\r\n");
  r = run("VAZADOD_PASSWORD=Open-Sesame-98", "-c \"SELECT Item FROM Vault\" " + db_);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("error code #8451"), std::string::npos) << r.err;
  r = run("", "-c \"SELECT Item FROM Vault\" " + db_);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("error code #10015"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("VAZADOD_PASSWORD"), std::string::npos) << r.err;
  // Users and groups: the administrator's first log-on, then a wrong password.
  std::string users = (dir_ / "users.zuz").string();
  const std::string admin = "VAZADOD_PASSWORD= VAZADOD_USER=administrator ";
  r = run(admin + "VAZADOD_USER_PASSWORD=x",
          "--create --users -c \"CREATE TABLE t (A INTEGER)\" " + users);
  EXPECT_EQ(r.status, 0) << r.err;
  r = run(admin + "VAZADOD_USER_PASSWORD=x", "-c \"SELECT A FROM t\" " + users);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("error code #10036"), std::string::npos) << r.err;
  // --help and --version answer on standard output; a wrong option is a usage error.
  r = Run("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("VAZADOD_USER_PASSWORD"), std::string::npos) << r.out;
  r = Run("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("zuzsql (Vazadod) ", 0), 0u) << r.out;
  r = Run("--frobnicate");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("usage: zuzsql"), std::string::npos) << r.err;
}

// A user of a database with users and groups sees, of the tables and users, what it may read.
TEST_F(ZuzSql, AUserSeesOnlyTheTablesAndUsersItMayRead) {
  {
    zuz::TZuzDataBase db;
    db.SetDataBaseName(db_);
    db.UserSecurity = true;
    db.CreateDatabase();
    db.BeforeLogin = [](zuz::TZuzDataBase&, std::string& u, std::string& p, std::string&) {
      u = "administrator";
      p = "nimbus";
    };
    db.Open();
    for (const char* sql : {"CREATE TABLE Tasks (Id INTEGER, PRIMARY KEY (Id))",
                            "CREATE TABLE Salaries (Person VARCHAR(20), Amount FLOAT)"}) {
      zuz::TZuzQuery q;
      q.SetDataBase(&db);
      q.SetSQL(sql);
      q.ExecSQL();
    }
    zuz::TSecurityManager& s = *db.Security();
    s.AddGroup("staff");
    s.AddGroup("payroll");
    s.AddUser("ann", "ann-pw", "staff");
    s.AddUser("pat", "pat-pw", "payroll");
    s.Grant("staff", "Tasks", zuz::TZuzPrivilege::Open);
  }
  auto as = [&](const std::string& user, const std::string& password, const std::string& cmds) {
    return Run(cmds + " " + db_, "",
               "env VAZADOD_PASSWORD= VAZADOD_USER=" + user + " VAZADOD_USER_PASSWORD=" + password +
                   " setsid -w ");
  };
  TRun r = as("ann", "ann-pw", "-c .tables -c .schema -c .users");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Tasks\nCREATE TABLE Tasks (\n  Id INTEGER,\n  PRIMARY KEY (Id)\n);\n"
            "Users: ann \nGroups: staff \n");
  r = as("ann", "ann-pw", "-c \".schema salaries\"");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("Salaries"), std::string::npos) << r.err;
  r = as("administrator", "nimbus", "-c .tables -c .users");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Salaries\nTasks\nUsers: administrator ann pat \n"
            "Groups: administrators payroll staff \n");
}

// The interactive shell on a pseudo-terminal.
class TPty {
 public:
  explicit TPty(const std::string& db) {
    pid_ = ::forkpty(&fd_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      ::setenv("TERM", "dumb", 1);
      for (const char* v : {"VAZADOD_PASSWORD", "VAZADOD_USER", "VAZADOD_USER_PASSWORD"}) {
        ::unsetenv(v);
      }
      ::execl(VZ_ZUZSQL, VZ_ZUZSQL, db.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  ~TPty() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (fd_ >= 0) ::close(fd_);
  }
  void Send(const std::string& text) {
    ASSERT_EQ(::write(fd_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  // Reads until the text has appeared (or ten seconds passed); returns everything read.
  std::string ReadUntil(const std::string& text) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (seen_.find(text, from_) == std::string::npos && std::chrono::steady_clock::now() < end) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buf[4096];
      ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) break;
      seen_.append(buf, static_cast<size_t>(n));
    }
    size_t at = seen_.find(text, from_);
    std::string out = seen_.substr(from_);
    if (at != std::string::npos) from_ = at + text.size();
    return out;
  }
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  int fd_ = -1;
  pid_t pid_ = -1;
  std::string seen_;
  size_t from_ = 0;
};

TEST_F(ZuzSql, InteractiveThroughAPseudoTerminal) {
  ASSERT_EQ(Run("--create -c \"CREATE TABLE Tasks (Id INTEGER, Name VARCHAR(10))\" " + db_).status,
            0);
  TPty pty(db_);
  EXPECT_NE(pty.ReadUntil("zuzsql> ").find(".help lists the commands"), std::string::npos);
  // A statement over two lines: the continuation prompt, then the result.
  pty.Send("INSERT INTO Tasks\r");
  EXPECT_NE(pty.ReadUntil("...> ").find("INSERT INTO Tasks"), std::string::npos);
  pty.Send("VALUES (1, 'plan');\r");
  EXPECT_NE(pty.ReadUntil("zuzsql> ").find("(1 rows affected)"), std::string::npos);
  pty.Send("SELECT * FROM Tasks;\r");
  std::string out = pty.ReadUntil("zuzsql> ");
  EXPECT_NE(out.find("Id | Name"), std::string::npos) << out;
  EXPECT_NE(out.find(" 1 | plan"), std::string::npos) << out;
  pty.Send(".tables\r");
  EXPECT_NE(pty.ReadUntil("zuzsql> ").find("Tasks"), std::string::npos);
  pty.Send(".schema tasks\r");
  EXPECT_NE(pty.ReadUntil("zuzsql> ").find("CREATE TABLE Tasks (\r\n  Id INTEGER,"),
            std::string::npos);
  // An error is reported and the shell goes on.
  pty.Send("SELECT * FROM Nothing;\r");
  EXPECT_NE(pty.ReadUntil("zuzsql> ").find("Table not found - Nothing"), std::string::npos);
  pty.Send(".help\r");
  EXPECT_NE(pty.ReadUntil("zuzsql> ").find(".schema NAME"), std::string::npos);
  pty.Send(".quit\r");
  EXPECT_EQ(pty.Wait(), 1);  // an error happened in the session
}

TEST_F(ZuzSql, AsksForThePasswordOnTheTerminalWithoutEcho) {
  ASSERT_EQ(Run("--create -c \"CREATE TABLE Vault (Item VARCHAR(20))\" " + db_, "",
                "env VAZADOD_PASSWORD=Open-Sesame-99 ")
                .status,
            0);
  TPty pty(db_);
  pty.ReadUntil("Database password: ");
  pty.Send("Open-Sesame-99\r");
  std::string out = pty.ReadUntil("zuzsql> ");
  EXPECT_EQ(out.find("Open-Sesame"), std::string::npos) << out;
  EXPECT_NE(out.find(".help lists the commands"), std::string::npos) << out;
  pty.Send("SELECT COUNT(*) AS N FROM Vault;\r");
  EXPECT_NE(pty.ReadUntil("zuzsql> ").find("(1 row)"), std::string::npos);
  pty.Send(".quit\r");
  EXPECT_EQ(pty.Wait(), 0);
  // A wrong password ends the run.
  TPty wrong(db_);
  wrong.ReadUntil("Database password: ");
  wrong.Send("Open-Sesame-98\r");
  EXPECT_NE(wrong.ReadUntil("#8451").find("The MasterKey is incorrect"), std::string::npos);
  EXPECT_EQ(wrong.Wait(), 1);
}

// Users, groups and privileges from the shell, passwords asked on the terminal.
TEST_F(ZuzSql, ManagesUsersOnTheTerminal) {
  const std::string admin =
      "env VAZADOD_PASSWORD= VAZADOD_USER=administrator VAZADOD_USER_PASSWORD=";
  ASSERT_EQ(
      Run("--create --users -c \"CREATE TABLE t (A INTEGER)\" " + db_, "", admin + "x ").status, 0);
  TPty pty(db_);
  pty.ReadUntil("Database password: ");
  pty.Send("\r");
  pty.ReadUntil("User name: ");
  pty.Send("administrator\r");
  pty.ReadUntil("User password: ");
  pty.Send("nimbus\r");
  pty.ReadUntil("zuzsql> ");
  pty.Send(".password\r");
  pty.ReadUntil("New password: ");
  pty.Send("s3cret\r");
  pty.ReadUntil("Repeat the new password: ");
  pty.Send("s3cret\r");
  pty.ReadUntil("zuzsql> ");
  pty.Send(".addgroup staff\r");
  pty.ReadUntil("zuzsql> ");
  pty.Send(".adduser ann staff\r");
  pty.ReadUntil("New password: ");
  pty.Send("ann-pw\r");
  pty.ReadUntil("Repeat the new password: ");
  pty.Send("ann-typo\r");
  EXPECT_NE(pty.ReadUntil("zuzsql> ").find("The passwords differ"), std::string::npos);
  pty.Send(".adduser ann staff\r");
  pty.ReadUntil("New password: ");
  pty.Send("ann-pw\r");
  pty.ReadUntil("Repeat the new password: ");
  pty.Send("ann-pw\r");
  pty.ReadUntil("zuzsql> ");
  pty.Send(".grant staff ALL open\r");
  pty.ReadUntil("zuzsql> ");
  pty.Send(".grant staff t\r");
  EXPECT_NE(pty.ReadUntil("zuzsql> ").find("usage: .grant"), std::string::npos);
  pty.Send(".users\r");
  std::string out = pty.ReadUntil("zuzsql> ");
  EXPECT_NE(out.find("Users: administrator ann"), std::string::npos) << out;
  EXPECT_NE(out.find("Groups: administrators staff"), std::string::npos) << out;
  pty.Send(".quit\r");
  EXPECT_EQ(pty.Wait(), 0);

  // The new passwords hold; the group reads but does not write.
  const std::string ann = "env VAZADOD_PASSWORD= VAZADOD_USER=ann VAZADOD_USER_PASSWORD=ann-pw ";
  TRun r = Run("-c \"INSERT INTO t VALUES (1)\" " + db_, "", admin + "s3cret ");
  EXPECT_EQ(r.status, 0) << r.err;
  r = Run("--csv -c \"SELECT A FROM t\" " + db_, "", ann);
  EXPECT_EQ(r.out, "A\r\n1\r\n") << r.err;
  r = Run("-c \"DELETE FROM t\" " + db_, "", ann);
  EXPECT_NE(r.err.find("error code #10624"), std::string::npos) << r.err;
  r = Run("-c \".adduser bob staff\" " + db_, "", ann);
  EXPECT_NE(r.err.find("error code #10624"), std::string::npos) << r.err;
  r = Run("-c \"SELECT A FROM t\" " + db_, "", admin + "nimbus ");
  EXPECT_NE(r.err.find("error code #10036"), std::string::npos) << r.err;
}

}  // namespace
