#ifndef QUARNEL_TESTING_TEST_DATABASE_H_
#define QUARNEL_TESTING_TEST_DATABASE_H_

// The databases of the tests that run against real ones: the embedded SQLite
// database with the schema extension, the stand-in ACCESS driver, and the
// PostgreSQL and MariaDB servers that scripts/db/with-databases.sh starts.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/env.h"

namespace quarnel::testing {

// The rows of the file table that each test database starts with: the
// stored list among other files of the host product.
// A function, so that another file's constants may be made from it.
const std::vector<std::string>& StoredRows();

// The host product's built-in database password.
inline constexpr char kDefaultDbPassword[] = "qtwm52hzkrpad";

// The value of the environment variable `name`, empty when it is not set.
std::string Variable(const std::string& name);

// One database, with a fresh file table, for one test.
struct TestDatabase {
  std::string dsn;                       // the DBName the program is given
  std::vector<std::string> environment;  // added to the program's environment
  std::string login;                     // the test's own connection string
  std::string table;                     // the file table as the test names it
  std::unique_ptr<OdbcConnection> lock;  // held while the test uses a server
};

// The data source "QuarnelTest" with `attributes`, defined in `folder` alone:
// the environment that makes a program see it.
std::vector<std::string> PrivateDataSource(const std::string& folder,
                                           const std::string& attributes);

// A database file in `folder` reached through `driver`, which loads the
// SQLite schema extension `extension` unless it is empty.
TestDatabase FileDatabase(const std::string& folder, const std::string& driver,
                          const std::string& extension);

// The database `kind` ("SQLite", "ACCESS", "PostgreSQL" or "MariaDB") with
// the rows StoredRows(), its files in `folder`; nothing when the environment
// lacks it, and then *missing names what is missing. A server's database is
// locked for the test until the result is destroyed, since tests that share
// a server may run at once.
std::optional<TestDatabase> OpenTestDatabase(const std::string& kind,
                                             const std::string& folder, std::string* missing);

}  // namespace quarnel::testing

#endif  // QUARNEL_TESTING_TEST_DATABASE_H_
