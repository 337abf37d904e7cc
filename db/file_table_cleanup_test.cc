#include "db/file_table_cleanup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/form1.h"
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
  std::vector<std::string> connection_strings;
  std::vector<std::string> statements;

  std::unique_ptr<OdbcConnection> ConnectOdbc(const std::string& connection_string) override {
    connection_strings.push_back(connection_string);
    return std::make_unique<Connection>(this);
  }

 private:
  class Connection final : public OdbcConnection {
   public:
    explicit Connection(DatabaseEnv* env) : env_(env) {}
    std::string DbmsName() override { return env_->dbms_name; }
    void ExecuteText(const std::string& statement) override {
      env_->statements.push_back(statement);
      env_->log.push_back("execute " + statement);
      if (env_->statement_fails) throw RunError(kErrDatabase, "Executing: refused");
    }
    void Close() override { env_->log.push_back("close connection"); }

   private:
    DatabaseEnv* env_;
  };
};

class FileTableCleanupTest : public ::testing::Test {
 protected:
  // The connection string for a login, as the cleanup builds it.
  std::string ConnectionFor(const std::string& user, const std::string& password) {
    DatabaseEnv env;
    CleanUpFileTable(env, "Tarvo", {user, password}, true);
    return env.connection_strings.at(0);
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
};

TEST_F(FileTableCleanupTest, LogsInWithTheDataSourceUserAndPasswordInThatOrder) {
  EXPECT_EQ(ConnectionFor("tarvo", "qtwm52hzkrpad"), "DSN=Tarvo;UID=tarvo;PWD=qtwm52hzkrpad");
  EXPECT_EQ(ConnectionFor("", ""), "DSN=Tarvo;UID=;PWD=");
  EXPECT_EQ(ConnectionFor("a b", "p=w'\"x"), "DSN=Tarvo;UID=a b;PWD=p=w'\"x");
}

TEST_F(FileTableCleanupTest, ValuesThatWouldBreakTheStringGoInBraces) {
  EXPECT_EQ(ConnectionFor("tarvo", "a;PWD=b"), "DSN=Tarvo;UID=tarvo;PWD={a;PWD=b}");
  EXPECT_EQ(ConnectionFor("tarvo", "a}b}"), "DSN=Tarvo;UID=tarvo;PWD={a}}b}}}");
  EXPECT_EQ(ConnectionFor("tarvo", "{x"), "DSN=Tarvo;UID=tarvo;PWD={{x}");
  EXPECT_EQ(ConnectionFor("tarvo", " pw"), "DSN=Tarvo;UID=tarvo;PWD={ pw}");
  EXPECT_EQ(ConnectionFor("tarvo", "pw\t"), "DSN=Tarvo;UID=tarvo;PWD={pw\t}");
  EXPECT_EQ(ConnectionFor("u;x", "pw"), "DSN=Tarvo;UID={u;x};PWD=pw");
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
    const FileTableCleanup cleanup = CleanUpFileTable(env, "Tarvo", {"tarvo", "pw"}, true);
    EXPECT_EQ(env.statements, std::vector<std::string>{statement}) << "[" << name << "]";
    EXPECT_EQ(cleanup.UseSchemaPrefix, std::string(statement) == kWithSchema);
    EXPECT_EQ(cleanup.DbCommand.CommandText, statement);
    EXPECT_EQ(cleanup.DbCommand.ActiveConnection, cleanup.DbConnection.get());
  }
}

TEST_F(FileTableCleanupTest, SuccessIsReportedOnlyInAnInteractiveRun) {
  CleanUpFileTable(env_, "Tarvo", {"tarvo", "pw"}, true);
  EXPECT_TRUE(env_.messages.empty());

  const FileTableCleanup cleanup = CleanUpFileTable(env_, "Tarvo", {"tarvo", "pw"}, false);
  EXPECT_NE(cleanup.DbConnection, nullptr);
  EXPECT_EQ(env_.messages, std::vector<std::string>{kSuccess});
}

TEST_F(FileTableCleanupTest, AFailedDeletionReportsNoSuccess) {
  env_.statement_fails = true;
  EXPECT_THROW(CleanUpFileTable(env_, "Tarvo", {"tarvo", "pw"}, false), RunError);
  EXPECT_EQ(env_.statements.size(), 1u);
  EXPECT_TRUE(env_.messages.empty());
}

TEST_F(FileTableCleanupTest, UnusableDataSourceNamesAreRefusedBeforeConnecting) {
  std::vector<std::string> names = {""};
  for (char c : std::string("[]{}(),;?*=!@\\")) names.push_back(std::string("Tar") + c + "vo");
  for (const std::string& name : names) {
    try {
      CleanUpFileTable(env_, name, {"tarvo", "secret-pw"}, false);
      ADD_FAILURE() << "accepted [" << name << "]";
    } catch (const RunError& error) {
      EXPECT_EQ(error.number(), kErrBadSetting) << name;
      EXPECT_EQ(error.description().find("secret-pw"), std::string::npos);
    }
  }
  EXPECT_TRUE(env_.connection_strings.empty());
  EXPECT_TRUE(env_.messages.empty());

  CleanUpFileTable(env_, "Tarvo DB-2.x_y", {"tarvo", "pw"}, true);
  EXPECT_EQ(env_.connection_strings.size(), 1u);
}

TEST_F(FileTableCleanupTest, TheRunReportsAfterTheDeletionAndClosesBeforeTheList) {
  LoadForm(true);
  EXPECT_LT(LogIndex("open /PersonalTarvo.ini"), LogIndex("execute "));
  EXPECT_LT(LogIndex("execute "), LogIndex("message "));
  EXPECT_LT(LogIndex("message "), LogIndex("close connection"));
  EXPECT_LT(LogIndex("close connection"), LogIndex("present "));
  EXPECT_EQ(env_.messages, std::vector<std::string>{kSuccess});
}

TEST_F(FileTableCleanupTest, AnswerNoOpensNoConnectionAndReadsNoSettings) {
  LoadForm(false);
  EXPECT_TRUE(env_.connection_strings.empty());
  for (const std::string& entry : env_.log) {
    EXPECT_EQ(entry.find("PersonalTarvo.ini"), std::string::npos) << entry;
  }
  EXPECT_TRUE(env_.messages.empty());
  EXPECT_NE(LogIndex("replace "), env_.log.size());
}

}  // namespace
}  // namespace quarnel
