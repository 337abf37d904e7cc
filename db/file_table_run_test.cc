// Whole runs of the program, as a process, against real databases reached
// through the system's ODBC driver manager: the embedded SQLite database (with
// the "tarvo" schema extension), the PostgreSQL and MariaDB servers that
// scripts/db/with-databases.sh starts, and the stand-in ACCESS driver. A
// database whose environment variables are not set is skipped. Runs that must
// end at the database step's deadline run in this process, with a short one.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "platform/odbc.h"
#include "testing/data_source_names.h"
#include "testing/fails_cleanly.h"
#include "testing/fault_env.h"
#include "testing/odbc_testing.h"
#include "testing/process.h"
#include "testing/secret_check.h"
#include "testing/silent_server.h"
#include "testing/test_database.h"
#include "testing/temp_dir.h"

#ifndef QUARNEL_ACCESS_ODBC_DRIVER
#define QUARNEL_ACCESS_ODBC_DRIVER ""
#endif
#ifndef QUARNEL_ECHO_ODBC_DRIVER
#define QUARNEL_ECHO_ODBC_DRIVER ""
#endif
#ifndef QUARNEL_TARVO_SCHEMA_EXTENSION
#define QUARNEL_TARVO_SCHEMA_EXTENSION ""
#endif

namespace quarnel {
namespace {

using testing::ConnectForTest;
using testing::Exists;
using testing::FailsCleanly;
using testing::FileDatabase;
using testing::InstallProgram;
using testing::MakeDirs;
using testing::OpenTestDatabase;
using testing::PrivateDataSource;
using testing::TestDatabase;
using testing::Variable;
using testing::PasswordRunIn;
using testing::ProcessResult;
using testing::QueryColumn;
using testing::ReadFile;
using testing::ReadFileOr;
using testing::RunProcess;
using testing::ScopedTempDir;
using testing::WriteFile;

constexpr auto npos = std::string::npos;
#ifdef _WIN32
// The Windows program takes its answer from a message box, which
// scripts/windows-ui-test.sh presses; the input of a process is no answer.
constexpr char kNoConsoleAnswers[] = "answers come from message boxes on Windows";
#endif
constexpr char kQuestion[] = "Do you want to delete file sifrant_bank.dat from database?";
constexpr char kSuccess[] = "Deletion of file sifrant_bank.dat was successfull!";
constexpr char kDefaultPassword[] = "qtwm52hzkrpad";
const std::string kList = "HEADER\r\nZZZZ|row\r\n";
const std::vector<std::string> kRows = testing::StoredRows();
const std::vector<std::string> kRowsLeft = {"sifrant_bank.dat.bak", "sifrant_bank.old",
                                            "sifrant_drzava.dat"};

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// An installation of the program with a bank code list and the settings file.
class RunFixture : public ::testing::Test {
 protected:
  RunFixture() : app_(dir_.Join("app")) {
    MakeDirs(app_);
    exe_ = InstallProgram(app_);
    WriteFile(app_ + "/sifrant_bank.dat", kList);
  }

  void WriteSettings(const std::string& DbName) {
    WriteFile(app_ + "/PersonalTarvo.ini", "[Database]\r\nDBName=" + DbName + "\r\n");
  }

  // The authentication file, written by the credentials library's tool.
  void WriteLogin(const std::string& user, const std::string& password) {
    const ProcessResult written = RunProcess(
        TARVO_AUTH_WRITE, {app_ + "/.tarvoAuthentication.dat"}, user + "\n" + password + "\n");
    ASSERT_EQ(written.exit_code, 0) << written.err;
  }

  ProcessResult Run(const std::vector<std::string>& arguments, const std::string& input,
                    const std::vector<std::string>& environment) {
    return RunProcess(exe_, arguments, input, environment);
  }

  // A silent run in this process, with a deadline short enough for a test;
  // its report reads as the program's on standard error.
  ProcessResult RunHere() {
    class ReportingEnv final : public testing::FaultEnv {
     public:
      void ReportError(const RunError& error, bool) override {
        reports += "Quarnel: error " + std::to_string(error.number()) + ": " +
                   error.description() + "\n";
      }
      std::string reports;
    } env;
    env.app_path = app_;
    env.argument_text = "-s";
    const int exit_code = RunQuarnel(env, kTestDeadline);
    return {exit_code, "", env.reports};
  }

  // A silent run here ended at the deadline with its own error, having
  // waited for `what`, and left everything as it was.
  void ExpectEndedAtTheDeadline(const std::string& what) {
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult result = RunHere();
    const auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.exit_code, 4);
    EXPECT_EQ(result.err.rfind("Quarnel: error 3234: " + what +
                                   ": the server did not answer within 2 seconds\n", 0),
              0u)
        << result.err;
    EXPECT_EQ(PasswordRunIn(result.err, kDefaultPassword), "") << result.err;
    EXPECT_GE(spent, kTestDeadline.limit);
    EXPECT_LT(spent, kTestDeadline.limit + kTestDeadline.grace);
    EXPECT_EQ(ReadFile(app_ + "/sifrant_bank.dat"), kList);
    for (const char* name : {"/sifrant_bank.old", "/sifrant_bank.txt", "/quarnel.lock"}) {
      EXPECT_FALSE(Exists(app_ + name)) << name;
    }
  }

  // The grace leaves a driver that keeps its login timeout (asked for one
  // second past the deadline, counted in whole seconds) the time to use it.
  static constexpr DatabaseDeadline kTestDeadline{std::chrono::seconds(2),
                                                  std::chrono::seconds(3)};

  bool ListUpdated() {
    return ReadFile(app_ + "/sifrant_bank.dat").rfind("BANKID(C)|", 0) == 0 &&
           ReadFile(app_ + "/sifrant_bank.old") == kList;
  }

  // A run of the installed program that must fail cleanly (see
  // ExpectFailsCleanly), showing nothing of `password`.
  ProcessResult Fails(FailsCleanly row, const std::vector<std::string>& environment,
                      const std::string& password = kDefaultPassword) {
    row.folder = app_;
    return ExpectFailsCleanly(exe_, row, password, environment);
  }

  ScopedTempDir dir_;
  std::string app_;
  std::string exe_;
};

// The same runs on every database.
class FileTableRunTest : public RunFixture, public ::testing::WithParamInterface<std::string> {
 protected:
  void SetUp() override {
    std::string missing;
    db_ = OpenTestDatabase(GetParam(), dir_.path(), &missing);
    if (!db_) GTEST_SKIP() << "not set: " << missing << " (scripts/db/with-databases.sh)";
    WriteSettings(db_->dsn);
  }

  ProcessResult Run(const std::vector<std::string>& arguments, const std::string& input = "") {
    return RunFixture::Run(arguments, input, db_->environment);
  }

  void Execute(const std::string& statement) {
    auto connection = ConnectForTest(db_->login);
    connection->ExecuteText(statement);
    connection->Close();
  }

  std::vector<std::string> Rows() {
    std::vector<std::string> rows = QueryColumn(db_->login, "select ft_uid from " + db_->table);
    std::sort(rows.begin(), rows.end());
    return rows;
  }

  std::optional<TestDatabase> db_;
};

TEST_P(FileTableRunTest, SilentRunDeletesOnlyTheStoredListThenUpdatesTheList) {
  const ProcessResult result = Run({"-s"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(Rows(), kRowsLeft);
  EXPECT_TRUE(ListUpdated());
}

TEST_P(FileTableRunTest, YesDeletesAndReportsItOnceThenUpdatesTheList) {
#ifdef _WIN32
  GTEST_SKIP() << kNoConsoleAnswers;
#endif
  const ProcessResult result = Run({}, "y\n");
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_LT(result.out.find(kQuestion), result.out.find(kSuccess)) << result.out;
  EXPECT_EQ(Count(result.out, kSuccess), 1u) << result.out;
  EXPECT_EQ(Rows(), kRowsLeft);
  EXPECT_TRUE(ListUpdated());
}

TEST_P(FileTableRunTest, YesWithNoStoredListStillReportsSuccess) {
#ifdef _WIN32
  GTEST_SKIP() << kNoConsoleAnswers;
#endif
  Execute("delete from " + db_->table + " where ft_uid='sifrant_bank.dat'");
  const ProcessResult result = Run({}, "y\n");
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(Count(result.out, kSuccess), 1u) << result.out;
  EXPECT_EQ(Rows(), kRowsLeft);
  EXPECT_TRUE(ListUpdated());
}

TEST_P(FileTableRunTest, SuccessIsReportedBeforeTheListIsTouched) {
#ifdef _WIN32
  GTEST_SKIP() << kNoConsoleAnswers;
#endif
  std::filesystem::remove(app_ + "/sifrant_bank.dat");
  const ProcessResult result = Run({}, "y\n");
  EXPECT_EQ(Count(result.out, kSuccess), 1u) << result.out;
  EXPECT_NE(result.err.find("Quarnel: error 53: "), npos) << result.err;
  EXPECT_EQ(Rows(), kRowsLeft);
}

TEST_P(FileTableRunTest, NoReadsNoSettingsLeavesTheTableAndUpdatesTheList) {
  std::filesystem::remove(app_ + "/PersonalTarvo.ini");
  const ProcessResult result = Run({}, "n\n");
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out.find(kSuccess), npos) << result.out;
  EXPECT_EQ(Rows(), kRows);
  EXPECT_TRUE(ListUpdated());
}

TEST_P(FileTableRunTest, AMissingFileTableEndsTheRunBeforeTheList) {
  Execute("drop table " + db_->table);
  Fails({{"-s"}, "", kExitDatabase, kErrDatabase, "tvfiletable"}, db_->environment);
#ifndef _WIN32
  Fails({{}, "", kExitDatabase, kErrDatabase, "tvfiletable", "y\n"}, db_->environment);
#endif
}

INSTANTIATE_TEST_SUITE_P(Databases, FileTableRunTest,
                         ::testing::Values("SQLite", "PostgreSQL", "MariaDB", "ACCESS"),
                         [](const auto& test) { return test.param; });

// Logins, on the servers that check them.
using ServerLoginTest = FileTableRunTest;

TEST_P(ServerLoginTest, AWrongPasswordEndsTheRunWithoutShowingIt) {
  WriteLogin("tarvo", "wrong-pw-4711");
  Fails({{"-s"}, "", kExitDatabase, kErrDatabase, "tarvo"}, db_->environment, "wrong-pw-4711");
  EXPECT_EQ(Rows(), kRows);
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerLoginTest, ::testing::Values("PostgreSQL", "MariaDB"),
                         [](const auto& test) { return test.param; });

using PostgresLoginTest = FileTableRunTest;

TEST_P(PostgresLoginTest, APasswordWithSemicolonAndBracesLogsIn) {
  const std::string user = Variable("QUARNEL_TEST_PG_ODD_USER");
  const std::string password = Variable("QUARNEL_TEST_PG_ODD_PASSWORD");
  if (user.empty()) GTEST_SKIP() << "not set: QUARNEL_TEST_PG_ODD_USER";
  // One character short: refused, and the report shows nothing of it.
  WriteLogin(user, password.substr(1));
  Fails({{"-s"}, "", kExitDatabase, kErrDatabase, user}, db_->environment, password.substr(1));
  EXPECT_EQ(Rows(), kRows);

  WriteLogin(user, password);
  const ProcessResult result = Run({"-s"});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(Rows(), kRowsLeft);
  EXPECT_TRUE(ListUpdated());
}

INSTANTIATE_TEST_SUITE_P(Server, PostgresLoginTest, ::testing::Values("PostgreSQL"),
                         [](const auto& test) { return test.param; });

using PostgresDeadlineTest = FileTableRunTest;

TEST_P(PostgresDeadlineTest, ARowHeldByAnotherSessionEndsTheRunAtTheDeadline) {
  auto holder = ConnectForTest(db_->login);
  holder->ExecuteText("begin");
  holder->ExecuteText("select ft_uid from " + db_->table +
                      " where ft_uid='sifrant_bank.dat' for update");
  ExpectEndedAtTheDeadline("Deleting the stored list: " + db_->dsn);
  holder->ExecuteText("rollback");
  // The DELETE was withdrawn, not left waiting to run once the row is free.
  EXPECT_EQ(Rows(), kRows);

  // Nothing is left behind that keeps the next run from trying again.
  EXPECT_EQ(RunHere().exit_code, 0);
  EXPECT_EQ(Rows(), kRowsLeft);
  EXPECT_TRUE(ListUpdated());
}

INSTANTIATE_TEST_SUITE_P(Server, PostgresDeadlineTest, ::testing::Values("PostgreSQL"),
                         [](const auto& info) { return info.param; });

// Runs that fail before any database is reached, or find no schema.
class FileTableFailureTest : public RunFixture {
 protected:
  // A data source folder of this test's own, with no data source in it.
  std::vector<std::string> NoDataSources() {
    MakeDirs(dir_.Join("odbc"));
    return PrivateDataSource(dir_.Join("odbc"), "");
  }
};

TEST_F(FileTableFailureTest, AServerThatNeverAnswersEndsTheRunAtTheDeadline) {
  const std::string dsn = Variable("QUARNEL_TEST_SILENT_DSN");
  const std::string port = Variable("QUARNEL_TEST_SILENT_PORT");
  if (dsn.empty()) GTEST_SKIP() << "not set: QUARNEL_TEST_SILENT_DSN";
  const testing::SilentServer server(std::stoi(port));
  WriteSettings(dsn);
  ExpectEndedAtTheDeadline("Connecting to the data source: " + dsn);
}

// A call still waiting when the grace after the deadline is over (here the
// driver waits for its own login timeout, asked for a second past the
// deadline) is given up: the run ends from the deadline's watchdog with
// error 3234, reported as any other failure is, and the list is as it was.
// The run ends its process, so it runs in one of its own.
TEST_F(FileTableFailureTest, ACallStillWaitingAfterTheGraceIsGivenUpFromOutside) {
#if GTEST_HAS_DEATH_TEST
  const std::string dsn = Variable("QUARNEL_TEST_HANG_DSN");
  const std::string port = Variable("QUARNEL_TEST_HANG_PORT");
  if (dsn.empty()) GTEST_SKIP() << "not set: QUARNEL_TEST_HANG_DSN";
  WriteSettings(dsn);
  static constexpr DatabaseDeadline kShort{std::chrono::milliseconds(1500),
                                           std::chrono::milliseconds(250)};
  // The platform's own report: standard error on POSIX, the event entry
  // (and a box, or standard error where none can be shown) on Windows.
  class PlatformReportEnv final : public testing::FaultEnv {
   public:
    void ReportError(const RunError& error, bool silent) override {
      target()->ReportError(error, silent);
    }
  };
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EXIT(
      {
        const testing::SilentServer server(std::stoi(port));
        PlatformReportEnv env;
        env.app_path = app_;
        env.argument_text = "-s";
        RunQuarnel(env, kShort);  // returns only where the call came back
      },
      ::testing::ExitedWithCode(kExitDatabase),
      "Quarnel: error 3234: Connecting to the data source: " + dsn +
          ": the server did not answer within 1.5 seconds");
  EXPECT_GE(std::chrono::steady_clock::now() - start, kShort.limit + kShort.grace);
#ifndef _WIN32
  // The run was forked from this one, in this folder; on Windows it is a
  // new start of the test, in a folder of its own.
  EXPECT_EQ(ReadFile(app_ + "/sifrant_bank.dat"), kList);
  for (const char* name : {"/sifrant_bank.old", "/sifrant_bank.txt", "/quarnel.lock"}) {
    EXPECT_FALSE(Exists(app_ + name)) << name;
  }
#endif
#else
  GTEST_SKIP() << "no death tests on this system";
#endif
}

TEST_F(FileTableFailureTest, AnUnknownDataSourceEndsTheRun) {
  WriteSettings("QuarnelNoSuchSource");
  Fails({{"-s"}, "", kExitDatabase, kErrDatabase, "QuarnelNoSuchSource: [IM002]"},
        NoDataSources());
}

TEST_F(FileTableFailureTest, AnEmptyDataSourceNameEndsTheRunBeforeConnecting) {
  WriteSettings("");
  Fails({{"-s"}, "", kExitDatabase, kErrBadDataSourceName, "DBName="}, NoDataSources());
}

TEST_F(FileTableFailureTest, AMissingSettingsFileEndsTheRun) {
  Fails({{"-s"}, "", kExitSettings, kErrFileNotFound, "PersonalTarvo.ini"}, NoDataSources());
}

TEST_F(FileTableFailureTest, WithoutTheSchemaExtensionSQLiteHasNoSchemaTarvo) {
#ifdef _WIN32
  GTEST_SKIP() << "a data source file is named as the driver's own system names it; "
                  "file databases are tested on POSIX systems";
#endif
  const std::string driver = Variable("QUARNEL_TEST_SQLITE_ODBC_DRIVER");
  if (driver.empty()) GTEST_SKIP() << "not set: QUARNEL_TEST_SQLITE_ODBC_DRIVER";
  TestDatabase db = FileDatabase(dir_.path(), driver, "");
  db.environment.push_back("LSAN_OPTIONS=detect_leaks=0");  // as for the SQLite database above
  ConnectForTest(db.login)->ExecuteText("create table tvfiletable (ft_uid varchar(100))");
  WriteSettings(db.dsn);
  Fails({{"-s"}, "", kExitDatabase, kErrDatabase, "no such table: tarvo.tvfiletable"},
        db.environment);
}

// Runs against the echoing driver, which refuses every login and repeats the
// password in its diagnostics. It serves the data sources "QuarnelTest" and
// "Tar"; unixODBC also takes the first data source it knows for an empty name,
// and the data source "Tar" for the name "Tar;vo".
class EchoDriverTest : public RunFixture {
 protected:
  void SetUp() override {
    if (driver_.empty()) GTEST_SKIP() << "the echoing driver is built on POSIX systems only";
    MakeDirs(dir_.Join("odbc"));
  }

  // The data source "QuarnelTest" echoing in `mode`, for a run.
  std::vector<std::string> Echoing(const std::string& mode) {
    std::vector<std::string> environment = PrivateDataSource(
        dir_.Join("odbc"),
        "Driver=" + driver_ + "\nEcho=" + mode + "\n[Tar]\nDriver=" + driver_ + "\n");
    environment.push_back("QUARNEL_ECHO_ODBC_RECORD=" + record_);
    return environment;
  }

  // The connect attempts that reached the driver, one line each.
  size_t Attempts() { return Count(ReadFileOr(record_, ""), "connect DSN="); }

  const std::string driver_ = QUARNEL_ECHO_ODBC_DRIVER;
  const std::string record_ = dir_.Join("attempts.txt");
};

struct EchoCase {
  std::string mode;
  std::string password;
};

TEST_F(EchoDriverTest, NoEchoShowsFourCharactersOfThePasswordInARow) {
  const std::vector<EchoCase> cases = {
      {"plain", "Zq7-fjord;Lamp"},      {"plain", "Qx!"},
      {"trim", "  Zq7 fjord  "},        {"upper", "zq7fjordlamp"},
      {"quotes", "it's'a'pw'Zq7"},      {"split", "Zq7fjordLamp"},
      {"split", "Zq7fjo"},              {"cut:7", "Zq7fjordLamp"},
      {"pad:466", "Zq7fjordLampXyvu"},  {"pad:470", "Zq7fjordLampXyvu"},
      {"string", "x}y;Zq7{w"},
  };
  WriteSettings("QuarnelTest");
  for (const EchoCase& c : cases) {
    WriteLogin("tarvo", c.password);
    const ProcessResult result = Fails(
        {{"-s"}, "", kExitDatabase, kErrDatabase,
         "Connecting to ODBC data source: QuarnelTest: [28000] native 18456: "},
        Echoing(c.mode), c.password);
    const std::string shown = result.out + result.err;
    // The driver did echo it, and the report says where it was masked.
    EXPECT_NE(shown.find("****"), npos) << c.mode << ": " << shown;
  }
  EXPECT_EQ(Attempts(), cases.size());
}

TEST_F(EchoDriverTest, ValuesThatWouldBreakTheStringGoInBracesAndArriveWhole) {
  const std::vector<std::string> users = {"tarvo", "a b",  "a;PWD=b", "a}b}",
                                          "{x",    " u",   "u\t",     "p=w'\"x"};
  WriteSettings("QuarnelTest");
  std::string expected;
  for (const std::string& user : users) {
    WriteLogin(user, "pw-Zq7;{x}");
    Run({"-s"}, "", Echoing("plain"));
    expected += "connect DSN=QuarnelTest UID=" + user + "\n";
  }
  EXPECT_EQ(ReadFileOr(record_, ""), expected);
}

TEST_F(EchoDriverTest, RefusedDataSourceNamesReachNoDriver) {
  WriteLogin("tarvo", "Zq7-fjord;Lamp");
  for (const auto& [name, shown] : testing::RefusedDataSourceNames()) {
    WriteSettings(name);
    const ProcessResult result = Fails(
        {{"-s"}, "", kExitDatabase, kErrBadDataSourceName, "Connecting to the database: "},
        Echoing("plain"));
    EXPECT_LT(result.err.size(), 200u) << result.err;
  }
  EXPECT_EQ(Attempts(), 0u);

  // A name that is fine does reach the driver.
  WriteSettings("QuarnelTest");
  Fails({{"-s"}, "", kExitDatabase, kErrDatabase, "[28000] native 18456"}, Echoing("plain"));
  EXPECT_EQ(Attempts(), 1u);
}

}  // namespace
}  // namespace quarnel
