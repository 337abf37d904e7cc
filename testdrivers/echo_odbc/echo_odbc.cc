// A minimal ODBC driver, for the tests only, that refuses every login and
// echoes the password it was given in its diagnostics, the way careless
// drivers do. The "Echo" entry of the data source in odbc.ini says how:
//
//   plain     the password as given
//   trim      without blanks at either end
//   upper     in upper case
//   quotes    with each "'" doubled, as an SQL literal writes it
//   split     its first half in one diagnostic record, the rest in a second
//   cut:N     its first N characters
//   pad:N     after N dots, so that the driver manager's message limit cuts it
//   string    the whole connection string the driver was given
//
// Each record carries SQLSTATE 28000 and native code 18456. When the variable
// QUARNEL_ECHO_ODBC_RECORD names a file, each connect attempt appends the
// line "connect DSN=<name> UID=<user>" to it, the values as the driver reads
// them back (never the password), so that a test can tell whether and how the
// program tried to connect.

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "testdrivers/connection_attributes.h"

namespace {

using testdrivers::Attribute;

constexpr char kState[] = "28000";
constexpr int kNative = 18456;

struct Handle {
  std::vector<std::string> messages;  // the diagnostic records, in order
};

std::string Text(const SQLCHAR* text, SQLINTEGER length) {
  const char* chars = reinterpret_cast<const char*>(text);
  if (text == nullptr) return "";
  return length == SQL_NTS ? std::string(chars) : std::string(chars, length);
}

SQLRETURN CopyOut(const std::string& value, SQLCHAR* buffer, SQLSMALLINT size,
                  SQLSMALLINT* length) {
  if (length != nullptr) *length = static_cast<SQLSMALLINT>(value.size());
  if (buffer == nullptr || size <= 0) return SQL_SUCCESS;
  const size_t n = std::min(value.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return n == value.size() ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
}

void Record(const std::string& dsn, const std::string& user) {
  const char* file = std::getenv("QUARNEL_ECHO_ODBC_RECORD");
  if (file == nullptr || *file == '\0') return;
  if (FILE* out = std::fopen(file, "a")) {
    std::fprintf(out, "connect DSN=%s UID=%s\n", dsn.c_str(), user.c_str());
    std::fclose(out);
  }
}

// The number after "mode:" in `mode`, or 0.
size_t Count(const std::string& mode) {
  const size_t colon = mode.find(':');
  return colon == std::string::npos ? 0 : std::strtoul(mode.c_str() + colon + 1, nullptr, 10);
}

// The diagnostic records that echo `password` (or `text`) in `mode`.
std::vector<std::string> Echo(const std::string& mode, const std::string& text,
                              std::string password) {
  const std::string refused = "[echo_odbc] login refused, password '";
  if (mode == "trim") {
    const size_t first = password.find_first_not_of(" \t");
    const size_t last = password.find_last_not_of(" \t");
    password = first == std::string::npos ? "" : password.substr(first, last - first + 1);
  } else if (mode == "upper") {
    for (char& c : password) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  } else if (mode == "quotes") {
    std::string doubled;
    for (char c : password) doubled += c == '\'' ? std::string(2, c) : std::string(1, c);
    password = doubled;
  } else if (mode == "split") {
    const size_t half = password.size() / 2;
    return {refused + password.substr(0, half), password.substr(half) + "' is wrong"};
  } else if (mode.rfind("cut:", 0) == 0) {
    password = password.substr(0, Count(mode));
  } else if (mode.rfind("pad:", 0) == 0) {
    password = std::string(Count(mode), '.') + password;
  } else if (mode == "string") {
    return {"[echo_odbc] cannot log in with " + text};
  }
  return {refused + password + "' is wrong"};
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT, SQLHANDLE, SQLHANDLE* output) {
  if (output == nullptr) return SQL_ERROR;
  *output = new Handle;
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT, SQLHANDLE handle) {
  delete static_cast<Handle*>(handle);
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC hdbc, SQLHWND, SQLCHAR* in, SQLSMALLINT in_length,
                                   SQLCHAR*, SQLSMALLINT, SQLSMALLINT*, SQLUSMALLINT) {
  auto* connection = static_cast<Handle*>(hdbc);
  const std::string text = Text(in, in_length);
  const std::string dsn = Attribute(text, "DSN");
  Record(dsn, Attribute(text, "UID"));
  char mode[64] = "";
  SQLGetPrivateProfileString(dsn.c_str(), "Echo", "plain", mode, sizeof mode, "odbc.ini");
  connection->messages = Echo(mode, text, Attribute(text, "PWD"));
  return SQL_ERROR;
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC) { return SQL_SUCCESS; }

SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT, SQLHANDLE handle, SQLSMALLINT record,
                                  SQLSMALLINT field, SQLPOINTER value, SQLSMALLINT,
                                  SQLSMALLINT*) {
  if (record != 0 || field != SQL_DIAG_NUMBER) return SQL_NO_DATA;
  *static_cast<SQLINTEGER*>(value) =
      static_cast<SQLINTEGER>(static_cast<Handle*>(handle)->messages.size());
  return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT, SQLHANDLE handle, SQLSMALLINT record,
                                SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                                SQLSMALLINT size, SQLSMALLINT* length) {
  const auto& messages = static_cast<Handle*>(handle)->messages;
  if (record < 1 || static_cast<size_t>(record) > messages.size()) return SQL_NO_DATA;
  if (state != nullptr) std::memcpy(state, kState, sizeof kState);
  if (native != nullptr) *native = kNative;
  return CopyOut(messages[static_cast<size_t>(record) - 1], message, size, length);
}

}  // extern "C"
