// A SQLite loadable extension for the embedded host database.
//
// The host product's statements name its file table "tarvo.tvfiletable", as
// on the server databases, where "tarvo" is a schema. SQLite has no schemas,
// but it names every attached database like one; so this extension attaches
// the connection's own database file a second time under the name "tarvo".
// Loaded by the SQLite3 ODBC driver through its LoadExt data-source option.
//
// Loading fails, with a message, for a connection without a database file
// (an in-memory database would attach an unrelated empty one). A database
// that another connection has locked is waited for, however long: a driver
// goes on connecting after a failed load, and its statements would then find
// no schema "tarvo" and hide the lock. Whoever connects bounds the wait; the
// program's database step ends a connect that does not come back.

#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1

extern "C" int sqlite3_extension_init(sqlite3* db, char** error,
                                      const sqlite3_api_routines* api) {
  SQLITE_EXTENSION_INIT2(api);
  const char* file = sqlite3_db_filename(db, "main");
  if (file == nullptr || *file == '\0') {
    *error = sqlite3_mprintf("schema tarvo: the database has no file");
    return SQLITE_ERROR;
  }
  char* attach = sqlite3_mprintf("ATTACH DATABASE %Q AS tarvo", file);
  if (attach == nullptr) return SQLITE_NOMEM;
  int result = SQLITE_OK;
  for (;;) {
    // Each try waits as long as the connection's busy timeout says.
    result = sqlite3_exec(db, attach, nullptr, nullptr, error);
    if (result != SQLITE_BUSY && result != SQLITE_LOCKED) break;
    sqlite3_free(*error);
    *error = nullptr;
    sqlite3_sleep(100);
  }
  sqlite3_free(attach);
  return result;
}
