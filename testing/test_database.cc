#include "testing/test_database.h"

#include <cstdlib>

#include "testing/odbc_testing.h"
#include "testing/temp_dir.h"

#ifndef QUARNEL_ACCESS_ODBC_DRIVER
#define QUARNEL_ACCESS_ODBC_DRIVER ""
#endif
#ifndef QUARNEL_TARVO_SCHEMA_EXTENSION
#define QUARNEL_TARVO_SCHEMA_EXTENSION ""
#endif

namespace quarnel::testing {

const std::vector<std::string>& StoredRows() {
  static const std::vector<std::string> rows = {"sifrant_bank.dat", "sifrant_bank.dat.bak",
                                                "sifrant_bank.old", "sifrant_drzava.dat"};
  return rows;
}

std::string Variable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value != nullptr ? value : "";
}

std::vector<std::string> PrivateDataSource(const std::string& folder,
                                           const std::string& attributes) {
  WriteFile(folder + "/odbc.ini", "[QuarnelTest]\n" + attributes);
  WriteFile(folder + "/odbcinst.ini", "");
  return {"ODBCSYSINI=" + folder, "ODBCINI=" + folder + "/odbc.ini"};
}

TestDatabase FileDatabase(const std::string& folder, const std::string& driver,
                          const std::string& extension) {
  const std::string file = folder + "/tarvo.db";
  TestDatabase db;
  db.dsn = "QuarnelTest";
  db.environment = PrivateDataSource(
      folder, "Driver=" + driver + "\nDatabase=" + file + "\n" +
                  (extension.empty() ? "" : "LoadExt=" + extension + "\n"));
  db.login = "DRIVER=" + driver + ";DATABASE=" + file;
  db.table = "tvfiletable";
  return db;
}

namespace {

// A server's database, with the host product's default login. Tests may run
// in parallel and share a server, so each holds a lock on the server while
// it uses the file table.
TestDatabase ServerDatabase(const std::string& dsn, const std::string& lock_statement) {
  TestDatabase db;
  db.dsn = dsn;
  db.login = "DSN=" + dsn + ";UID=tarvo;PWD=" + kDefaultDbPassword;
  db.table = "tarvo.tvfiletable";
  db.lock = ConnectForTest(db.login);
  db.lock->ExecuteText(lock_statement);
  db.lock->ExecuteText("drop table if exists tarvo.tvfiletable");
  return db;
}

}  // namespace

std::optional<TestDatabase> OpenTestDatabase(const std::string& kind,
                                             const std::string& folder, std::string* missing) {
  std::optional<TestDatabase> db;
  if (kind == "SQLite") {
    const std::string driver = Variable(*missing = "QUARNEL_TEST_SQLITE_ODBC_DRIVER");
    const std::string extension = QUARNEL_TARVO_SCHEMA_EXTENSION;
    if (extension.empty()) *missing = "the SQLite schema extension (built on POSIX systems)";
    if (!driver.empty() && !extension.empty()) {
      db = FileDatabase(folder, driver, extension);
      // This driver keeps memory that only its own globals reach; once the
      // driver manager unloads it, a leak check would blame the program.
      db->environment.push_back("LSAN_OPTIONS=detect_leaks=0");
    }
  } else if (kind == "ACCESS") {
    *missing = "the stand-in ACCESS driver (built on POSIX systems)";
    const std::string driver = QUARNEL_ACCESS_ODBC_DRIVER;
    if (!driver.empty()) db = FileDatabase(folder, driver, "");
  } else if (kind == "PostgreSQL") {
    const std::string dsn = Variable(*missing = "QUARNEL_TEST_PG_DSN");
    if (!dsn.empty()) db = ServerDatabase(dsn, "select pg_advisory_lock(7012)");
  } else if (kind == "MariaDB") {
    const std::string dsn = Variable(*missing = "QUARNEL_TEST_MARIADB_DSN");
    if (!dsn.empty()) db = ServerDatabase(dsn, "select get_lock('quarnel_file_table', 600)");
  }
  if (!db) return db;
  auto setup = ConnectForTest(db->login);
  setup->ExecuteText("create table " + db->table +
                     " (ft_uid varchar(100) not null primary key, ft_content varchar(4000))");
  for (const std::string& row : StoredRows()) {
    setup->ExecuteText("insert into " + db->table + " (ft_uid, ft_content) values ('" + row +
                       "', 'stored " + row + "')");
  }
  setup->Close();
  return db;
}

}  // namespace quarnel::testing
