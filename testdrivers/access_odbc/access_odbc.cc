// A minimal ODBC driver, for the tests only, that stands in for the host
// product's Microsoft Access database: it reports the DBMS name "ACCESS" and
// runs each statement on a SQLite database file. It offers just what the
// unixODBC driver manager and the program use: handles, SQLDriverConnect,
// SQLGetInfo, SQLExecDirect, SQLGetDiagRec/SQLGetDiagField and SQLDisconnect,
// and SQLFetch/SQLGetData to read a result back.
//
// The database file is the connection string's DATABASE attribute, or else
// the "Database" entry of the data source in odbc.ini; it is created when
// missing. A searched DELETE or UPDATE that matches no row returns
// SQL_NO_DATA, as ODBC 3 drivers do.

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <string>

#include "testdrivers/connection_attributes.h"

namespace {

using testdrivers::Attribute;

struct Handle {
  bool failed = false;
  std::string state;
  int native = 0;
  std::string message;
};

struct Environment : Handle {};

struct Connection : Handle {
  sqlite3* db = nullptr;
};

struct Statement : Handle {
  Connection* connection = nullptr;
  sqlite3_stmt* rows = nullptr;  // a result not yet read to its end
  // How much of a column of the current row SQLGetData has handed over.
  SQLUSMALLINT column = 0;
  size_t given = 0;
  bool given_all = false;
};

SQLRETURN Fail(Handle* handle, const char* state, int native, std::string message) {
  handle->failed = true;
  handle->state = state;
  handle->native = native;
  handle->message = "[access_odbc] " + std::move(message);
  return SQL_ERROR;
}

void Clear(Handle* handle) { handle->failed = false; }

std::string Text(const SQLCHAR* text, SQLINTEGER length) {
  const char* chars = reinterpret_cast<const char*>(text);
  if (text == nullptr) return "";
  return length == SQL_NTS ? std::string(chars) : std::string(chars, length);
}

// Copies `value` into an application buffer of `size` bytes, NUL included.
// Returns SQL_SUCCESS_WITH_INFO when the value had to be cut short.
SQLRETURN CopyOut(const std::string& value, SQLPOINTER buffer, SQLSMALLINT size,
                  SQLSMALLINT* length) {
  if (length != nullptr) *length = static_cast<SQLSMALLINT>(value.size());
  if (buffer == nullptr || size <= 0) return SQL_SUCCESS;
  const size_t n = std::min(value.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, value.data(), n);
  static_cast<char*>(buffer)[n] = '\0';
  return n == value.size() ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
}

std::string DatabaseFile(const std::string& connection_string) {
  std::string file = Attribute(connection_string, "DATABASE");
  if (!file.empty()) return file;
  const std::string dsn = Attribute(connection_string, "DSN");
  char buffer[4096] = "";
  SQLGetPrivateProfileString(dsn.c_str(), "Database", "", buffer, sizeof buffer,
                             "odbc.ini");
  return buffer;
}

bool ChangesRows(const std::string& statement) {
  std::string word;
  for (char c : statement) {
    if (std::isalpha(static_cast<unsigned char>(c))) {
      word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else if (!word.empty() || !std::isspace(static_cast<unsigned char>(c))) {
      break;
    }
  }
  return word == "delete" || word == "update";
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  if (output == nullptr) return SQL_ERROR;
  switch (type) {
    case SQL_HANDLE_ENV:
      *output = new Environment;
      return SQL_SUCCESS;
    case SQL_HANDLE_DBC:
      *output = new Connection;
      return SQL_SUCCESS;
    case SQL_HANDLE_STMT: {
      auto* statement = new Statement;
      statement->connection = static_cast<Connection*>(input);
      *output = statement;
      return SQL_SUCCESS;
    }
    default:
      return SQL_ERROR;
  }
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  switch (type) {
    case SQL_HANDLE_ENV:
      delete static_cast<Environment*>(handle);
      return SQL_SUCCESS;
    case SQL_HANDLE_DBC: {
      auto* connection = static_cast<Connection*>(handle);
      sqlite3_close(connection->db);
      delete connection;
      return SQL_SUCCESS;
    }
    case SQL_HANDLE_STMT: {
      auto* statement = static_cast<Statement*>(handle);
      sqlite3_finalize(statement->rows);
      delete statement;
      return SQL_SUCCESS;
    }
    default:
      return SQL_ERROR;
  }
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC hdbc, SQLHWND, SQLCHAR* in, SQLSMALLINT in_length,
                                   SQLCHAR* out, SQLSMALLINT out_size,
                                   SQLSMALLINT* out_length, SQLUSMALLINT) {
  auto* connection = static_cast<Connection*>(hdbc);
  Clear(connection);
  const std::string text = Text(in, in_length);
  const std::string file = DatabaseFile(text);
  if (file.empty()) return Fail(connection, "08001", 0, "no database file given");
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(file.c_str(), &db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    const std::string reason = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close(db);
    return Fail(connection, "08001", rc, file + ": " + reason);
  }
  connection->db = db;
  CopyOut(text, out, out_size, out_length);
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC hdbc) {
  auto* connection = static_cast<Connection*>(hdbc);
  Clear(connection);
  sqlite3_close(connection->db);
  connection->db = nullptr;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetInfo(SQLHDBC hdbc, SQLUSMALLINT type, SQLPOINTER value,
                             SQLSMALLINT size, SQLSMALLINT* length) {
  auto* connection = static_cast<Connection*>(hdbc);
  Clear(connection);
  switch (type) {
    case SQL_DBMS_NAME:
      return CopyOut("ACCESS", value, size, length);
    case SQL_DBMS_VER:
      return CopyOut("04.00.0000", value, size, length);
    case SQL_DRIVER_ODBC_VER:
      return CopyOut("03.00", value, size, length);
    default:
      return Fail(connection, "HY096", 0, "information type not supported");
  }
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT hstmt, SQLCHAR* text, SQLINTEGER length) {
  auto* statement = static_cast<Statement*>(hstmt);
  Clear(statement);
  sqlite3* db = statement->connection->db;
  const std::string sql = Text(text, length);
  sqlite3_finalize(statement->rows);
  statement->rows = nullptr;
  sqlite3_stmt* prepared = nullptr;
  int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &prepared, nullptr);
  if (rc == SQLITE_OK && sqlite3_column_count(prepared) > 0) {
    statement->rows = prepared;  // stepped by SQLFetch
    return SQL_SUCCESS;
  }
  if (rc == SQLITE_OK) rc = sqlite3_step(prepared);
  sqlite3_finalize(prepared);
  if (rc != SQLITE_OK && rc != SQLITE_DONE) {
    const std::string reason = sqlite3_errmsg(db);
    const bool missing = reason.rfind("no such table", 0) == 0;
    return Fail(statement, missing ? "42S02" : "HY000", rc, reason);
  }
  if (ChangesRows(sql) && sqlite3_changes(db) == 0) return SQL_NO_DATA;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT hstmt) {
  auto* statement = static_cast<Statement*>(hstmt);
  Clear(statement);
  if (statement->rows == nullptr) return SQL_NO_DATA;
  statement->column = 0;
  const int rc = sqlite3_step(statement->rows);
  if (rc == SQLITE_ROW) return SQL_SUCCESS;
  sqlite3_finalize(statement->rows);
  statement->rows = nullptr;
  if (rc == SQLITE_DONE) return SQL_NO_DATA;
  return Fail(statement, "HY000", rc, sqlite3_errmsg(statement->connection->db));
}

// Columns come back as text only; a value longer than the buffer comes in
// pieces over several calls, then SQL_NO_DATA, as ODBC hands values over.
SQLRETURN SQL_API SQLGetData(SQLHSTMT hstmt, SQLUSMALLINT column, SQLSMALLINT type,
                             SQLPOINTER value, SQLLEN size, SQLLEN* length) {
  auto* statement = static_cast<Statement*>(hstmt);
  Clear(statement);
  if (statement->rows == nullptr || type != SQL_C_CHAR || column < 1 ||
      column > sqlite3_column_count(statement->rows)) {
    return Fail(statement, "07009", 0, "only text columns of the current row can be read");
  }
  const unsigned char* text = sqlite3_column_text(statement->rows, column - 1);
  SQLLEN ignored = 0;
  if (length == nullptr) length = &ignored;
  if (text == nullptr) {
    *length = SQL_NULL_DATA;
    return SQL_SUCCESS;
  }
  if (column != statement->column) {
    statement->column = column;
    statement->given = 0;
    statement->given_all = false;
  }
  if (statement->given_all) return SQL_NO_DATA;
  const std::string rest =
      std::string(reinterpret_cast<const char*>(text)).substr(statement->given);
  const auto room = static_cast<SQLSMALLINT>(std::min<SQLLEN>(size, SHRT_MAX));
  const SQLRETURN rc = CopyOut(rest, value, room, nullptr);
  *length = static_cast<SQLLEN>(rest.size());
  if (rc == SQL_SUCCESS) {
    statement->given_all = true;
  } else {
    statement->given += static_cast<size_t>(room - 1);
  }
  return rc;
}

SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT, SQLHANDLE handle, SQLSMALLINT record,
                                  SQLSMALLINT field, SQLPOINTER value, SQLSMALLINT,
                                  SQLSMALLINT*) {
  auto* h = static_cast<Handle*>(handle);
  if (record != 0 || field != SQL_DIAG_NUMBER) return SQL_NO_DATA;
  *static_cast<SQLINTEGER*>(value) = h->failed ? 1 : 0;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT, SQLHANDLE handle, SQLSMALLINT record,
                                SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                                SQLSMALLINT size, SQLSMALLINT* length) {
  auto* h = static_cast<Handle*>(handle);
  if (record != 1 || !h->failed) return SQL_NO_DATA;
  if (state != nullptr) std::memcpy(state, h->state.c_str(), 6);
  if (native != nullptr) *native = h->native;
  return CopyOut(h->message, message, size, length);
}

}  // extern "C"
