#include "db/file_table_cleanup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/form1.h"
#include "testing/data_source_names.h"
#include "testing/fails_cleanly.h"
#include "testing/fault_env.h"
#include "testing/temp_dir.h"

namespace quarnel {
namespace {

constexpr char kSuccess[] = "Deletion of file sifrant_bank.dat was successfull!";
constexpr char kWithSchema[] = "delete from tarvo.tvfiletable where ft_uid='sifrant_bank.dat'";
constexpr char kWithoutSchema[] = "delete from tvfiletable where ft_uid='sifrant_bank.dat'";

// An Env whose database is a script: the DBMS name it reports and whether the
// statement fails. It records what the cleanup asked of it, and logs the
// statement and the close among the file operations.
class DatabaseEnv : public testing::FaultEnv {
 public:
  std::string dbms_name = "PostgreSQL";
  bool statement_fails = false;
  std::vector<std::vector<std::string>> logins;  // data source, user, password
  std::vector<std::string> statements;

  // The password as the connection still sees it at each step, so that a
  // test can tell that it lasts to the end of the database step.
  std::unique_ptr<OdbcConnection> ConnectOdbc(const OdbcLogin& login) override {
    logins.push_back({login.data_source, login.user, std::string(login.password.view())});
    return std::make_unique<Connection>(this, login.password);
  }

 private:
  class Connection final : public OdbcConnection {
   public:
    Connection(DatabaseEnv* env, const Secret& password) : env_(env), password_(password) {}
    std::string DbmsName() override { return env_->dbms_name; }
    // The cleanup reads nothing more; if it did, the statements would show it.
    std::string DbmsVersion() override {
      env_->statements.push_back("(version)");
      return "1.0";
    }
    std::vector<std::string> QueryColumn(const std::string& query) override {
      env_->statements.push_back(query);
      return {};
    }
    void ExecuteText(const std::string& statement) override {
      env_->statements.push_back(statement);
      env_->log.push_back("execute " + statement + " with " + std::string(password_.view()));
      if (env_->statement_fails) throw RunError(kErrDatabase, "Executing: refused");
    }
    void Close() override {
      env_->log.push_back("close connection with " + std::string(password_.view()));
    }

   private:
    DatabaseEnv* env_;
    const Secret& password_;
  };
};

class FileTableCleanupTest : public ::testing::Test {
 protected:
  // Cleans up with data source `DbName` and the password "pw".
  std::unique_ptr<OdbcConnection> CleanUp(DatabaseEnv& env, const std::string& DbName,
                                          bool SilentRun) {
    return CleanUpFileTable(env, {DbName, "tarvo", password_, nullptr}, SilentRun);
  }

  // Runs the whole program in a folder with a settings file and a list.
  void LoadForm(bool yes) {
    env_.app_path = dir_.path();
    testing::WriteFile(dir_.Join("PersonalTarvo.ini"), "DBName=Tarvo\r\n");
    testing::WriteFile(dir_.Join("sifrant_bank.dat"), "HEADER\r\nZZZZ|row\r\n");
    env_.answers = {yes};
    Form1 form(env_);
    form.Load();
  }

  // Where in the log the first entry that begins with `prefix` stands.
  size_t LogIndex(const std::string& prefix) {
    for (size_t i = 0; i < env_.log.size(); ++i) {
      if (env_.log[i].rfind(prefix, 0) == 0) return i;
    }
    ADD_FAILURE() << "not logged: " << prefix;
    return env_.log.size();
  }

  testing::ScopedTempDir dir_;
  DatabaseEnv env_;
  const Secret password_{"pw"};
};

TEST_F(FileTableCleanupTest, LogsInWithTheDataSourceUserAndPasswordAsTheyAre) {
  for (const char* password : {"qtwm52hzkrpad", "", "a;PWD=b", " p}w{ "}) {
    DatabaseEnv env;
    const Secret owner(password);
    CleanUpFileTable(env, {"Tarvo", "a b", owner, nullptr}, true);
    const std::vector<std::vector<std::string>> login = {{"Tarvo", "a b", password}};
    EXPECT_EQ(env.logins, login);
  }
}

TEST_F(FileTableCleanupTest, OnlyTheDbmsNameAccessDropsTheSchema) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"ACCESS", kWithoutSchema},     {"Access", kWithSchema},  {"ACCESS ", kWithSchema},
      {"MS ACCESS", kWithSchema},     {"", kWithSchema},        {"PostgreSQL", kWithSchema},
      {"MariaDB", kWithSchema},       {"SQLite", kWithSchema},
  };
  for (const auto& [name, statement] : cases) {
    DatabaseEnv env;
    env.dbms_name = name;
    CleanUp(env, "Tarvo", true);
    EXPECT_EQ(env.statements, std::vector<std::string>{statement}) << "[" << name << "]";
  }
}

TEST_F(FileTableCleanupTest, SuccessIsReportedOnlyInAnInteractiveRun) {
  CleanUp(env_, "Tarvo", true);
  EXPECT_TRUE(env_.messages.empty());

  EXPECT_NE(CleanUp(env_, "Tarvo", false), nullptr);
  EXPECT_EQ(env_.messages, std::vector<std::string>{kSuccess});
}

TEST_F(FileTableCleanupTest, AFailedDeletionReportsNoSuccess) {
  env_.statement_fails = true;
  EXPECT_THROW(CleanUp(env_, "Tarvo", false), RunError);
  EXPECT_EQ(env_.statements.size(), 1u);
  EXPECT_TRUE(env_.messages.empty());
}

TEST_F(FileTableCleanupTest, UnusableDataSourceNamesAreRefusedBeforeConnecting) {
  for (const auto& [name, shown] : testing::RefusedDataSourceNames()) {
    const RunError error =
        testing::RunErrorOf([&] { CleanUpFileTable(env_, {name, "tarvo", password_, nullptr}, false); });
    EXPECT_EQ(error.number(), kErrBadDataSourceName) << name;
    EXPECT_EQ(error.description().rfind("Connecting to the database: ", 0), 0u);
    EXPECT_NE(error.description().find(shown), std::string::npos) << error.description();
  }
  EXPECT_TRUE(env_.logins.empty());
  EXPECT_TRUE(env_.messages.empty());

  CleanUp(env_, "Tarvo DB-2.x_y", true);
  CleanUp(env_, std::string(32, 'T'), true);
  EXPECT_EQ(env_.logins.size(), 2u);
}

// The password lasts to the end of the database step, so that every driver
// message of the step can be masked with it.
TEST_F(FileTableCleanupTest, TheRunReportsAfterTheDeletionAndClosesBeforeTheList) {
  LoadForm(true);
  EXPECT_NE(LogIndex("execute delete from tarvo.tvfiletable where ft_uid='sifrant_bank.dat' "
                     "with qtwm52hzkrpad"), env_.log.size());
  EXPECT_NE(LogIndex("close connection with qtwm52hzkrpad"), env_.log.size());
  EXPECT_LT(LogIndex("open /PersonalTarvo.ini"), LogIndex("execute "));
  EXPECT_LT(LogIndex("execute "), LogIndex("message "));
  EXPECT_LT(LogIndex("message "), LogIndex("close connection"));
  EXPECT_LT(LogIndex("close connection"), LogIndex("present "));
  EXPECT_EQ(env_.messages, std::vector<std::string>{kSuccess});
}

TEST_F(FileTableCleanupTest, AnswerNoOpensNoConnectionAndReadsNoSettings) {
  LoadForm(false);
  EXPECT_TRUE(env_.logins.empty());
  for (const std::string& entry : env_.log) {
    EXPECT_EQ(entry.find("PersonalTarvo.ini"), std::string::npos) << entry;
  }
  EXPECT_TRUE(env_.messages.empty());
  EXPECT_NE(LogIndex("replace "), env_.log.size());
}

}  // namespace
}  // namespace quarnel
