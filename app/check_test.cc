// The support check on one machine for each condition it must tell apart: on
// each, the check's last line and exit code are what a run then ends with,
// and the check itself changed nothing -- no file, no stored row -- and
// showed no password.

#include "app/check.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "app/program.h"
#include "banklist/refresh.h"
#include "testing/odbc_testing.h"
#include "testing/fault_env.h"
#include "testing/secret_check.h"
#include "testing/silent_server.h"
#include "testing/temp_dir.h"
#include "testing/test_database.h"

namespace quarnel {
namespace {

using testing::kDefaultDbPassword;
using testing::ReadFile;
using testing::WriteFile;

const std::string kList = "HEADER\r\nZZZZ|row\r\n";
constexpr char kWrongPassword[] = "wrong-pw-4711";

int32_t HandOut(char* buffer, int32_t capacity, const char* text) {
  const auto length = static_cast<int32_t>(std::strlen(text));
  if (length >= capacity) return -1;
  std::memcpy(buffer, text, static_cast<size_t>(length) + 1);
  return length;
}
int32_t DefaultUser(char* buffer, int32_t capacity) { return HandOut(buffer, capacity, "tarvo"); }
int32_t WrongPassword(char* buffer, int32_t capacity) {
  return HandOut(buffer, capacity, kWrongPassword);
}

// A PELX whose authentication file holds a password the server refuses.
class WrongPasswordPelx final : public SharedLibrary {
 public:
  void* Function(const char* name) override {
    return std::strcmp(name, "getDbUser") == 0 ? reinterpret_cast<void*>(&DefaultUser)
                                               : reinterpret_cast<void*>(&WrongPassword);
  }
};

// The machine as the check and the run meet it.
class MachineEnv final : public testing::FaultEnv {
 public:
  std::string out;                  // what went to standard output
  std::set<std::string> read_only;  // as Windows' attribute marks them
  bool wrong_password = false;

  bool WriteToStandardOutput(std::string_view bytes) override {
    out += bytes;
    return true;
  }
  bool IsReadOnly(const std::string& path) override {
    return read_only.count(path) > 0 || FaultEnv::IsReadOnly(path);
  }
  std::unique_ptr<SharedLibrary> OpenLibrary(const std::string& name) override {
    if (wrong_password) return std::make_unique<WrongPasswordPelx>();
    return FaultEnv::OpenLibrary(name);
  }
};

// One machine: the installation, its database and what the row did to them.
struct Machine {
  std::string app;
  MachineEnv env;
  testing::TestDatabase* db = nullptr;
  std::unique_ptr<FileLock> lock;                  // another run's
  std::optional<testing::SilentServer> server;     // a server that never answers
  std::string immutable;                           // a file nobody may delete

  std::string List() const { return PathIn(app, "\\sifrant_bank.dat"); }
  void Settings(const std::string& DbName) {
    WriteFile(PathIn(app, "\\PersonalTarvo.ini"), "[Database]\r\nDBName=" + DbName + "\r\n");
  }
  void Execute(const std::string& statement) {
    auto connection = testing::ConnectForTest(db->login);
    connection->ExecuteText(statement);
    connection->Close();
  }
  std::string StoredRows() {
    return testing::QueryColumn(db->login, "select count(*) from " + db->table).front();
  }
  // Whether the system let it make `file` immutable (root, and a file
  // system with flags).
  bool MakeImmutable(const std::string& file) {
    if (std::system(("chattr +i '" + file + "' 2>/dev/null").c_str()) != 0) return false;
    immutable = file;
    return true;
  }
  ~Machine() {
    if (!immutable.empty()) std::system(("chattr -i '" + immutable + "'").c_str());
  }
};

struct Condition {
  const char* name;
  std::function<bool(Machine&)> set_up;  // false: not possible on this machine
  int error;                             // the run's; 0 when it completes
  int exit_code;
  const char* shown = "";                // a fact the report must give
};

// The database step's deadline, short; the grace leaves a driver that keeps
// its login timeout (a second past the deadline) the time to use it.
constexpr DatabaseDeadline kDeadline{std::chrono::seconds(2), std::chrono::seconds(3)};

std::string LastLine(const std::string& report) {
  const size_t end = report.find_last_not_of('\n');
  if (end == std::string::npos) return "";
  const size_t start = report.rfind('\n', end);
  return report.substr(start == std::string::npos ? 0 : start + 1, end - start);
}

int ErrorOf(const std::vector<std::string>& reports) {
  return reports.empty() ? 0 : std::atoi(reports.front().c_str() + std::strlen("error "));
}

TEST(CheckTest, SaysWhatARunThenMeetsAndTouchesNothing) {
  const std::string silent = testing::Variable("QUARNEL_TEST_CHECK_SILENT_DSN");
  const std::string silent_port = testing::Variable("QUARNEL_TEST_CHECK_SILENT_PORT");
  const Condition conditions[] = {
      {"all well, a stored copy", [](Machine&) { return true; }, 0, kExitSuccess, "1 row(s)"},
      {"all well, no stored copy",
       [](Machine& m) {
         m.Execute("delete from " + m.db->table + " where ft_uid='sifrant_bank.dat'");
         return true;
       },
       0, kExitSuccess, "none in"},
      {"no settings file",
       [](Machine& m) { return std::remove(PathIn(m.app, "\\PersonalTarvo.ini").c_str()) == 0; },
       kErrFileNotFound, kExitSettings},
      {"data source not defined",
       [](Machine& m) {
         m.Settings("QuarnelNoSuchSource");
         return true;
       },
       kErrDatabase, kExitDatabase, "defined for them: "},
      {"wrong password",
       [](Machine& m) {
         WriteFile(PathIn(m.app, "\\.tarvoAuthentication.dat"), "");
         m.env.wrong_password = true;
         return true;
       },
       kErrDatabase, kExitDatabase},
      {"a server that never answers",
       [&](Machine& m) {
         if (silent.empty()) return false;
         m.server.emplace(std::stoi(silent_port));
         m.Settings(silent);
         return true;
       },
       kErrDatabaseTimeout, kExitDatabase},
      {"no list", [](Machine& m) { return std::remove(m.List().c_str()) == 0; },
       kErrFileNotFound, kExitListFiles},
      {"a read-only list",
       [](Machine& m) {
         m.env.read_only.insert(m.List());
         return true;
       },
       kErrPermissionDenied, kExitListFiles},
      {"the lock held by another run",
       [](Machine& m) {
         m.lock = m.env.TryLockFile(InstallationLockFile(m.app));
         return m.lock != nullptr;
       },
       kErrListLocked, kExitListLocked},
      {"case A, a root list nobody may delete",
       [](Machine& m) {
         testing::MakeDirs(RsFolder(m.app));
         return m.MakeImmutable(m.List());
       },
       kErrPermissionDenied, kExitListFiles, "may not delete"},
  };
  testing::ScopedTempDir dir;
  std::string missing;
  std::optional<testing::TestDatabase> db = testing::OpenTestDatabase("PostgreSQL", dir.path(), &missing);
  if (!db) GTEST_SKIP() << "not set: " << missing << " (scripts/db/with-databases.sh)";
  int machine_number = 0;
  for (const Condition& condition : conditions) {
    SCOPED_TRACE(condition.name);
    Machine m;
    m.app = dir.Join("machine" + std::to_string(++machine_number));
    m.db = &*db;
    testing::MakeDirs(m.app);
    WriteFile(m.List(), kList);
    m.Settings(db->dsn);
    m.env.app_path = m.app;
    // The run of the row before deleted the stored copy.
    m.Execute("delete from " + db->table + " where ft_uid='sifrant_bank.dat'");
    m.Execute("insert into " + db->table + " (ft_uid) values ('sifrant_bank.dat')");
    if (!condition.set_up(m)) {
      std::cout << "skipped, not possible here: " << condition.name << "\n";
      continue;
    }
    const auto files = testing::Snapshot(m.app);
    const std::string rows = m.StoredRows();

    m.env.argument_text = "--check";
    const int checked = RunQuarnel(m.env, kDeadline);
    const std::string report = m.env.out;
    EXPECT_EQ(testing::Snapshot(m.app), files);
    EXPECT_EQ(m.StoredRows(), rows);
    EXPECT_TRUE(m.env.questions.empty() && m.env.reports.empty());
    for (const char* password : {kDefaultDbPassword, kWrongPassword}) {
      EXPECT_EQ(testing::PasswordRunIn(report, password), "") << report;
    }
    EXPECT_NE(report.find(condition.shown), std::string::npos) << report;

    m.env.argument_text = "-s";
    const int ran = RunQuarnel(m.env, kDeadline);
    const int error = ErrorOf(m.env.reports);
    EXPECT_EQ(ran, condition.exit_code) << (m.env.reports.empty() ? "" : m.env.reports.front());
    EXPECT_EQ(error, condition.error);
    EXPECT_EQ(checked, ran) << report;
    EXPECT_EQ(LastLine(report), error == 0 ? "check: a run started now would complete"
                                           : "check: a run started now would end with error " +
                                                 std::to_string(error))
        << report;
  }
}

}  // namespace
}  // namespace quarnel
