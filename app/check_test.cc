// The support check on one machine for each condition it must tell apart: on
// each, the check's last line and exit code are what a run then ends with,
// and the check itself changed nothing -- no file, no stored row -- and
// showed no password.

#include "app/check.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <linux/fs.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "app/program.h"
#include "banklist/refresh.h"
#include "testing/fault_env.h"
#include "testing/odbc_testing.h"
#include "testing/secret_check.h"
#include "testing/silent_server.h"
#include "testing/temp_dir.h"
#include "testing/test_database.h"
#ifndef _WIN32
#include "testing/inode_flag.h"
#endif

namespace quarnel {
namespace {

using testing::Variable;
using testing::WriteFile;

constexpr char kDefaultUser[] = "tarvo";
constexpr char kWrongPassword[] = "wrong-pw-4711";

template <const char* kValue>
int32_t HandOut(char* buffer, int32_t capacity) {
  const auto length = static_cast<int32_t>(std::strlen(kValue));
  if (length >= capacity) return -1;
  std::memcpy(buffer, kValue, static_cast<size_t>(length) + 1);
  return length;
}

// A PELX whose authentication file holds a password the server refuses.
class WrongPasswordPelx final : public SharedLibrary {
 public:
  void* Function(const char* name) override {
    return std::strcmp(name, "getDbUser") == 0 ? reinterpret_cast<void*>(&HandOut<kDefaultUser>)
                                               : reinterpret_cast<void*>(&HandOut<kWrongPassword>);
  }
};

// One machine as the check and then the run meet it.
struct Machine final : testing::FaultEnv {
  std::string out;                  // what went to standard output
  std::set<std::string> read_only;  // as Windows' attribute marks them
  bool wrong_password = false;
  std::unique_ptr<FileLock> lock;               // another run's
  std::optional<testing::SilentServer> server;  // a server that never answers
  std::shared_ptr<void> flag;                   // a file nobody may delete

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
  std::string File(const char* literal) const { return PathIn(app_path, literal); }
  void Settings(const std::string& DbName) {
    WriteFile(File("\\PersonalTarvo.ini"), "[Database]\r\nDBName=" + DbName + "\r\n");
  }
  // Whether the system let it make `file` immutable (root, and a file system
  // with flags).
  bool MakeImmutable(const std::string& file) {
#ifdef _WIN32
    (void)file;
    return false;
#else
    auto immutable = std::make_shared<testing::ScopedInodeFlag>(file, FS_IMMUTABLE_FL);
    flag = immutable;
    return immutable->set();
#endif
  }
};

struct Condition {
  const char* name;
  std::function<bool(Machine&)> set_up;  // false: not possible on this machine
  int error;                             // the run's; 0 when it completes
  int exit_code;
  std::string shown = "";                // a fact the report must give
};

// The database step's deadline, short; the grace leaves a driver that keeps
// its login timeout (a second past the deadline) the time to use it.
constexpr DatabaseDeadline kDeadline{std::chrono::seconds(2), std::chrono::seconds(3)};

TEST(CheckTest, SaysWhatARunThenMeetsAndTouchesNothing) {
  testing::ScopedTempDir dir;
  std::string missing;
  std::optional<testing::TestDatabase> db =
      testing::OpenTestDatabase("PostgreSQL", dir.path(), &missing);
  if (!db) GTEST_SKIP() << "not set: " << missing << " (scripts/db/with-databases.sh)";
  auto execute = [&](const std::string& statement) {
    auto connection = testing::ConnectForTest(db->login);
    connection->ExecuteText(statement);
    connection->Close();
  };
  auto stored_rows = [&] {
    return testing::QueryColumn(db->login, "select count(*) from " + db->table).front();
  };
  const std::string silent = Variable("QUARNEL_TEST_CHECK_SILENT_DSN");
  const Condition conditions[] = {
      {"all well, a stored copy", [](Machine&) { return true; }, 0, kExitSuccess, "1 row(s)"},
      {"all well, no stored copy",
       [&](Machine&) {
         execute("delete from " + db->table + " where ft_uid='sifrant_bank.dat'");
         return true;
       },
       0, kExitSuccess, "none in"},
      {"no settings file",
       [](Machine& m) { return std::remove(m.File("\\PersonalTarvo.ini").c_str()) == 0; },
       kErrFileNotFound, kExitSettings},
      // The data sources listed past the first, each with its driver.
      {"data source not defined", [](Machine& m) { return m.Settings("QuarnelNoSuch"), true; },
       kErrDatabase, kExitDatabase, Variable("QUARNEL_TEST_MARIADB_DSN") + " (QuarnelMariaDB)"},
      {"wrong password",
       [](Machine& m) {
         WriteFile(m.File("\\.tarvoAuthentication.dat"), "");
         return m.wrong_password = true;
       },
       kErrDatabase, kExitDatabase},
      {"a server that never answers",
       [&](Machine& m) {
         if (silent.empty()) return false;
         m.server.emplace(std::stoi(Variable("QUARNEL_TEST_CHECK_SILENT_PORT")));
         return m.Settings(silent), true;
       },
       kErrDatabaseTimeout, kExitDatabase},
      {"no list", [](Machine& m) { return std::remove(m.File("\\sifrant_bank.dat").c_str()) == 0; },
       kErrFileNotFound, kExitListFiles},
      {"a read-only list",
       [](Machine& m) { return m.read_only.insert(m.File("\\sifrant_bank.dat")).second; },
       kErrPermissionDenied, kExitListFiles},
      {"the lock held by another run",
       [](Machine& m) {
         m.lock = m.TryLockFile(InstallationLockFile(m.app_path));
         return m.lock != nullptr;
       },
       kErrListLocked, kExitListLocked},
      {"case A, a root list nobody may delete",
       [](Machine& m) {
         testing::MakeDirs(RsFolder(m.app_path));
         return m.MakeImmutable(m.File("\\sifrant_bank.dat"));
       },
       kErrPermissionDenied, kExitListFiles, "may not delete"},
  };
  int machine_number = 0;
  for (const Condition& condition : conditions) {
    SCOPED_TRACE(condition.name);
    Machine m;
    m.app_path = dir.Join("machine" + std::to_string(++machine_number));
    testing::MakeDirs(m.app_path);
    WriteFile(m.File("\\sifrant_bank.dat"), "HEADER\r\nZZZZ|row\r\n");
    m.Settings(db->dsn);
    // The run of the row before deleted the stored copy.
    execute("delete from " + db->table + " where ft_uid='sifrant_bank.dat'");
    execute("insert into " + db->table + " (ft_uid) values ('sifrant_bank.dat')");
    if (!condition.set_up(m)) {
      std::printf("skipped, not possible here: %s\n", condition.name);
      continue;
    }
    const auto files = testing::Snapshot(m.app_path);
    const std::string rows = stored_rows();

    m.argument_text = "--check";
    const int checked = RunQuarnel(m, kDeadline);
    EXPECT_EQ(testing::Snapshot(m.app_path), files);
    EXPECT_EQ(stored_rows(), rows);
    EXPECT_TRUE(m.questions.empty() && m.reports.empty());
    for (const char* password : {testing::kDefaultDbPassword, kWrongPassword}) {
      EXPECT_EQ(testing::PasswordRunIn(m.out, password), "") << m.out;
    }
    EXPECT_NE(m.out.find(condition.shown), std::string::npos) << m.out;

    m.argument_text = "-s";
    const int ran = RunQuarnel(m, kDeadline);
    const int error =
        m.reports.empty() ? 0 : std::atoi(m.reports.front().c_str() + std::strlen("error "));
    EXPECT_EQ(ran, condition.exit_code) << ::testing::PrintToString(m.reports);
    EXPECT_EQ(error, condition.error);
    EXPECT_EQ(checked, ran) << m.out;
    EXPECT_TRUE(m.out.ends_with(error == 0 ? "check: a run started now would complete\n"
                                           : "check: a run started now would end with error " +
                                                 std::to_string(error) + "\n"))
        << m.out;
  }
}

}  // namespace
}  // namespace quarnel
