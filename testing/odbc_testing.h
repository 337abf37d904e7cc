#ifndef QUARNEL_TESTING_ODBC_TESTING_H_
#define QUARNEL_TESTING_ODBC_TESTING_H_

// For tests: their own connections to their databases, to set a database up
// and to read back what a run left in it.

#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/secret.h"

namespace quarnel::testing {

// A connection made with `connection_string` as it is ("DRIVER=...;
// DATABASE=..." or "DSN=...;UID=...;PWD=..."), under no bound. Throws
// RunError as OpenOdbcConnection does, but masks nothing: a test's own login
// is no secret. Messages name it "(test connection)".
std::unique_ptr<OdbcConnection> ConnectForTest(const std::string& connection_string);
// The same, with every message of the connection cleaned of `masked`, as
// the program's connections are cleaned of the password.
// REQUIRES: `masked` outlives the connection.
std::unique_ptr<OdbcConnection> ConnectForTest(const std::string& connection_string,
                                               const Secret& masked);

// What OdbcConnection::QueryColumn returns for `query`, on a connection of
// its own for each call. Throws RunError as ConnectForTest does.
std::vector<std::string> QueryColumn(const std::string& connection_string,
                                     const std::string& query);

}  // namespace quarnel::testing

#endif  // QUARNEL_TESTING_ODBC_TESTING_H_
