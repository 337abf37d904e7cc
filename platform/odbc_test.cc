// The ODBC layer through the real driver manager, with the stand-in ACCESS
// driver that the build makes for the tests, and the cleaning of what drivers
// say.

#include "platform/odbc.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/odbc_link.h"
#include "testing/fails_cleanly.h"
#include "testing/odbc_testing.h"
#include "testing/secret_check.h"
#include "testing/temp_dir.h"

#ifndef QUARNEL_ACCESS_ODBC_DRIVER
#define QUARNEL_ACCESS_ODBC_DRIVER ""
#endif

namespace quarnel {
namespace {

using testing::ConnectForTest;
using testing::PasswordRunIn;
using testing::QueryColumn;
using testing::ScopedTempDir;

constexpr auto npos = std::string::npos;

// The description of the RunError `number` that `call` must throw.
template <typename Call>
std::string Failure(Call call, int number = kErrDatabase) {
  const RunError error = testing::RunErrorOf(call);
  EXPECT_EQ(error.number(), number);
  return error.description();
}

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

  ScopedTempDir dir_;
};

TEST_F(OdbcTest, ReportsTheDbmsNameAndVersionOfTheDriver) {
  auto connection = ConnectForTest(Database(dir_.Join("t.db")));
  EXPECT_EQ(connection->DbmsName(), "ACCESS");
  EXPECT_EQ(connection->DbmsVersion(), "04.00.0000");
  connection->Close();
}

TEST_F(OdbcTest, StatementsRunAndADeleteMatchingNoRowSucceeds) {
  const std::string db = Database(dir_.Join("t.db"));
  auto connection = ConnectForTest(db);
  connection->ExecuteText("create table t (id varchar(10))");
  connection->ExecuteText("insert into t values ('a')");
  connection->ExecuteText("insert into t values ('b')");
  // This driver answers SQL_NO_DATA here, as ODBC 3 drivers do.
  connection->ExecuteText("delete from t where id='x'");
  connection->ExecuteText("delete from t where id='a'");
  // A query reads NULL as "(null)", and a value the driver hands over in
  // pieces whole.
  const std::string long_value(1500, 'v');
  connection->ExecuteText("insert into t values (null)");
  connection->ExecuteText("insert into t values ('" + long_value + "')");
  EXPECT_EQ(connection->QueryColumn("select id from t order by rowid"),
            (std::vector<std::string>{"b", "(null)", long_value}));
  EXPECT_EQ(connection->QueryColumn("select id from t where id='a'"), std::vector<std::string>{});
  connection->Close();
  EXPECT_EQ(QueryColumn(db, "select id from t where id is not null order by id"),
            (std::vector<std::string>{"b", long_value}));
}

TEST_F(OdbcTest, AFailedStatementCarriesTheDriversDiagnostics) {
  auto connection = ConnectForTest(Database(dir_.Join("t.db")) + ";PWD=pw-never-shown");
  const std::string description = Failure([&] { connection->ExecuteText("delete from gone"); });
  EXPECT_NE(description.find("Executing \"delete from gone\": "), npos) << description;
  EXPECT_NE(description.find("[42S02] native 1: "), npos) << description;
  EXPECT_NE(description.find("no such table: gone"), npos) << description;
  EXPECT_EQ(description.find("pw-never-shown"), npos) << description;

  // The password is masked out of what a statement's failure says too.
  const Secret password("Zq7fjordLamp");
  auto masking = ConnectForTest(Database(dir_.Join("t.db")), password);
  const std::string masked = Failure([&] { masking->ExecuteText("delete from zq7fjordlamp"); });
  EXPECT_NE(masked.find("no such table: ****"), npos) << masked;
  const std::string query = Failure([&] { masking->QueryColumn("select * from zq7fjordlamp"); });
  EXPECT_NE(query.find("no such table: ****"), npos) << query;
}

TEST(OdbcLoginTest, AnUnknownDataSourceIsRefusedWithoutShowingTheLogin) {
  const Secret password("pw-never-shown");
  const std::string description =
      Failure([&] { OpenOdbcConnection({"QuarnelNoSuchSource", "someone", password, nullptr}); });
  EXPECT_EQ(description.rfind("Connecting to ODBC data source: QuarnelNoSuchSource: ", 0), 0u)
      << description;
  EXPECT_NE(description.find("[IM002]"), npos) << description;
  EXPECT_EQ(description.find("pw-never-shown"), npos) << description;
  EXPECT_EQ(description.find("UID="), npos) << description;
}

TEST(OdbcLoginTest, ALoginHoldingANulIsRefusedBeforeConnecting) {
  const Secret password(std::string_view("pw\0rest", 7));
  const std::string description = Failure(
      [&] { OpenOdbcConnection({"QuarnelNoSuchSource", "someone", password, nullptr}); }, kErrBadSetting);
  EXPECT_EQ(description.find("IM002"), npos) << description;
}

struct PlainRecord {
  std::string state;
  long native;
  std::string message;
};

struct CleaningCase {
  std::string password;
  std::vector<PlainRecord> records;
  std::string text;  // what DiagnosticsText makes of them
};

TEST(DiagnosticsTextTest, ThePasswordIsBlankedOutOfDriverMessages) {
  const std::vector<CleaningCase> cases = {
      // A file name that holds the password, plainly and as written in braces.
      {"s3cr}et", {{"08001", 14, "no/s3cr}et/s3cr}}et.db"}},
       "[08001] native 14: no/****/****}et.db"},
      {"Secret12", {{"28000", 1, "login SECRET12 refused"}},
       "[28000] native 1: login **** refused"},
      // Two pieces of the password that overlap in the text, though the text
      // as a whole is no piece of it.
      {"abcdebcdf", {{"S1000", 0, "x abcdf y"}}, "[S1000] native 0: x **** y"},
      {"abcdefgh", {{"S1000", 0, "xxcdefab"}}, "[S1000] native 0: xx****ab"},
      {"1234abcd", {{"S1000", 0, "12345bcd"}}, "[S1000] native 0: ****5bcd"},
      // Split over two records: the pieces are found in the gathered text.
      {"hunter2pw", {{"28000", 7, "pw 'hun"}, {"01000", 8, "ter2pw' wrong"}},
       "[28000] native 7: pw '****; [01000] native 8: ****' wrong"},
      // A password shorter than 4 where it stands whole, in any case.
      {"ab", {{"28000", 1, "Abc ab"}}, "[28000] native 1: ****c ****"},
      {"a", {{"28000", 1, "banana"}}, "[28000] native 1: b****n****n****"},
      // SQLSTATE and native code stay, whatever the password.
      {"28000 native 5", {{"28000", 5, "28000 native 5"}}, "[28000] native 5: ****"},
      {"", {{"42S02", 1, "no such table"}}, "[42S02] native 1: no such table"},
      {"pw", {}, "the driver gave no diagnostics"},
  };
  for (const CleaningCase& c : cases) {
    std::vector<DiagnosticRecord> records;
    for (const PlainRecord& r : c.records) records.push_back({r.state, r.native, Secret(r.message)});
    const std::string text = DiagnosticsText(records, Secret(c.password));
    EXPECT_EQ(text, c.text) << c.password;
    // What the first driver message became (the first header is ours).
    const std::string said = text.substr(text.find(": ") + 2);
    if (c.password.size() >= 4) {
      EXPECT_EQ(PasswordRunIn(said, c.password), "") << text;
    }
  }
}

}  // namespace
}  // namespace quarnel
