// The ODBC layer through the real driver manager, with the stand-in ACCESS
// driver that the build makes for the tests.

#include "platform/odbc.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/odbc_testing.h"
#include "testing/temp_dir.h"

#ifndef QUARNEL_ACCESS_ODBC_DRIVER
#define QUARNEL_ACCESS_ODBC_DRIVER ""
#endif

namespace quarnel {
namespace {

using testing::QueryColumn;
using testing::ScopedTempDir;

constexpr auto npos = std::string::npos;

class OdbcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string(QUARNEL_ACCESS_ODBC_DRIVER).empty()) {
      GTEST_SKIP() << "the stand-in ACCESS driver is built on POSIX systems only";
    }
  }

  std::string Database(const std::string& file) {
    return std::string("DRIVER=") + QUARNEL_ACCESS_ODBC_DRIVER + ";DATABASE=" + file;
  }

  // The description of the RunError that `call` must throw.
  template <typename Call>
  std::string Failure(Call call) {
    try {
      call();
    } catch (const RunError& error) {
      EXPECT_EQ(error.number(), kErrDatabase);
      return error.description();
    }
    ADD_FAILURE() << "no error";
    return "";
  }

  ScopedTempDir dir_;
};

TEST_F(OdbcTest, ReportsTheDbmsNameOfTheDriver) {
  auto connection = OpenOdbcConnection(Database(dir_.Join("t.db")));
  EXPECT_EQ(connection->DbmsName(), "ACCESS");
  connection->Close();
}

TEST_F(OdbcTest, StatementsRunAndADeleteMatchingNoRowSucceeds) {
  const std::string db = Database(dir_.Join("t.db"));
  auto connection = OpenOdbcConnection(db);
  connection->ExecuteText("create table t (id varchar(10))");
  connection->ExecuteText("insert into t values ('a')");
  connection->ExecuteText("insert into t values ('b')");
  // This driver answers SQL_NO_DATA here, as ODBC 3 drivers do.
  connection->ExecuteText("delete from t where id='x'");
  connection->ExecuteText("delete from t where id='a'");
  connection->Close();
  EXPECT_EQ(QueryColumn(db, "select id from t"), std::vector<std::string>{"b"});
}

TEST_F(OdbcTest, AFailedStatementCarriesTheDriversDiagnostics) {
  auto connection = OpenOdbcConnection(Database(dir_.Join("t.db")) + ";PWD=pw-never-shown");
  const std::string description = Failure([&] { connection->ExecuteText("delete from gone"); });
  EXPECT_NE(description.find("Executing \"delete from gone\": "), npos) << description;
  EXPECT_NE(description.find("[42S02] native 1: "), npos) << description;
  EXPECT_NE(description.find("no such table: gone"), npos) << description;
  EXPECT_EQ(description.find("pw-never-shown"), npos) << description;
}

TEST_F(OdbcTest, AnUnknownDataSourceIsRefusedWithoutShowingTheLogin) {
  const std::string description = Failure(
      [] { OpenOdbcConnection("DSN=QuarnelNoSuchSource;UID=someone;PWD=pw-never-shown"); });
  EXPECT_EQ(description.rfind("Connecting to ODBC data source: QuarnelNoSuchSource: ", 0), 0u)
      << description;
  EXPECT_NE(description.find("[IM002]"), npos) << description;
  EXPECT_EQ(description.find("pw-never-shown"), npos) << description;
  EXPECT_EQ(description.find("UID="), npos) << description;
}

TEST_F(OdbcTest, ThePasswordIsBlankedOutOfDriverMessages) {
  // This driver names the file it cannot open; here that name holds the
  // password, plainly and as written in braces.
  const std::string file = dir_.Join("no/s3cr}et/s3cr}}et.db");
  const std::string description =
      Failure([&] { OpenOdbcConnection(Database(file) + ";PWD={s3cr}}et}"); });
  EXPECT_NE(description.find("[08001]"), npos) << description;
  EXPECT_NE(description.find("no/***/***.db"), npos) << description;
}

}  // namespace
}  // namespace quarnel
