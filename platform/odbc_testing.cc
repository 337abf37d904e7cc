#include "platform/odbc_testing.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include "platform/odbc_link.h"

namespace quarnel::testing {

namespace {

// What masks nothing: a test's own login is no secret.
const Secret kNothingMasked;

}  // namespace

std::unique_ptr<OdbcConnection> ConnectForTest(const std::string& connection_string) {
  return ConnectForTest(connection_string, kNothingMasked);
}

std::unique_ptr<OdbcConnection> ConnectForTest(const std::string& connection_string,
                                               const Secret& masked) {
  return std::make_unique<OdbcLink>(OdbcLink::ForTests{}, connection_string, masked);
}

std::vector<std::string> QueryColumn(const std::string& connection_string,
                                     const std::string& query) {
  OdbcLink link(OdbcLink::ForTests{}, connection_string, kNothingMasked);
  std::vector<std::string> values;
  {
    // Disconnecting frees the statement, so it must be gone first.
    const OdbcHandle statement = link.Execute(query);
    for (;;) {
      SQLRETURN rc = SQLFetch(statement.get());
      if (rc == SQL_NO_DATA) break;
      if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) link.Fail("Fetching a row", statement);
      char value[1024] = "";
      SQLLEN length = 0;
      rc = SQLGetData(statement.get(), 1, SQL_C_CHAR, value, sizeof value, &length);
      if (rc != SQL_SUCCESS) link.Fail("Reading a value", statement);
      values.push_back(length == SQL_NULL_DATA ? "(null)" : value);
    }
  }
  link.Close();
  return values;
}

}  // namespace quarnel::testing
