// The ODBC functions the program calls, each forwarding to the system's
// driver manager, which is loaded at the first call instead of at start:
// a run that never reaches the database (the question answered No, a
// preview, a failure before the database step) never pays for loading
// libodbc and what it needs.
//
// The program is linked without libodbc; these definitions stand in for its
// symbols. They are not exported, so a driver that libodbc loads, which
// defines the same names, still reaches its own.

#include <dlfcn.h>
#include <sql.h>
#include <sqlext.h>

#include <string>

#include "platform/run_error.h"

namespace quarnel {
namespace {

// unixODBC's driver manager, by the name of its ABI.
constexpr char kDriverManager[] = "libodbc.so.2";

[[noreturn]] void ThrowNotLoaded(const char* what) {
  const char* reason = ::dlerror();
  throw RunError(kErrDatabase, std::string(what) + ": " + kDriverManager + ": " +
                                   (reason != nullptr ? reason : "not found"));
}

// The driver manager, loaded once and kept to the end of the process: the
// drivers it loads, and their threads, may live as long.
void* DriverManager() {
  static void* const library = [] {
    void* opened = ::dlopen(kDriverManager, RTLD_NOW | RTLD_LOCAL);
    if (opened == nullptr) ThrowNotLoaded("Loading the ODBC driver manager");
    return opened;
  }();
  return library;
}

// The driver manager's own `name`, of the type of our stand-in `Function`.
template <typename Function>
Function* Real(const char* name) {
  void* found = ::dlsym(DriverManager(), name);
  if (found == nullptr) ThrowNotLoaded((std::string("Finding ") + name + " in").c_str());
  return reinterpret_cast<Function*>(found);
}

}  // namespace
}  // namespace quarnel

#define QUARNEL_REAL(name) \
  static const auto real = quarnel::Real<decltype(name)>(#name)

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  QUARNEL_REAL(SQLAllocHandle);
  return real(type, input, output);
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  QUARNEL_REAL(SQLFreeHandle);
  return real(type, handle);
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value,
                                SQLINTEGER length) {
  QUARNEL_REAL(SQLSetEnvAttr);
  return real(env, attribute, value, length);
}

SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC dbc, SQLINTEGER attribute, SQLPOINTER value,
                                    SQLINTEGER length) {
  QUARNEL_REAL(SQLSetConnectAttr);
  return real(dbc, attribute, value, length);
}

SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT stmt, SQLINTEGER attribute, SQLPOINTER value,
                                 SQLINTEGER length) {
  QUARNEL_REAL(SQLSetStmtAttr);
  return real(stmt, attribute, value, length);
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC dbc, SQLHWND window, SQLCHAR* in, SQLSMALLINT in_length,
                                   SQLCHAR* out, SQLSMALLINT out_size, SQLSMALLINT* out_length,
                                   SQLUSMALLINT completion) {
  QUARNEL_REAL(SQLDriverConnect);
  return real(dbc, window, in, in_length, out, out_size, out_length, completion);
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC dbc) {
  QUARNEL_REAL(SQLDisconnect);
  return real(dbc);
}

SQLRETURN SQL_API SQLGetInfo(SQLHDBC dbc, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT size,
                             SQLSMALLINT* length) {
  QUARNEL_REAL(SQLGetInfo);
  return real(dbc, type, value, size, length);
}

SQLRETURN SQL_API SQLExecDirect(SQLHSTMT stmt, SQLCHAR* text, SQLINTEGER length) {
  QUARNEL_REAL(SQLExecDirect);
  return real(stmt, text, length);
}

SQLRETURN SQL_API SQLCancel(SQLHSTMT stmt) {
  QUARNEL_REAL(SQLCancel);
  return real(stmt);
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT stmt) {
  QUARNEL_REAL(SQLFetch);
  return real(stmt);
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT type,
                             SQLPOINTER value, SQLLEN size, SQLLEN* length) {
  QUARNEL_REAL(SQLGetData);
  return real(stmt, column, type, value, size, length);
}

SQLRETURN SQL_API SQLDataSources(SQLHENV env, SQLUSMALLINT direction, SQLCHAR* name,
                                 SQLSMALLINT name_size, SQLSMALLINT* name_length,
                                 SQLCHAR* driver, SQLSMALLINT driver_size,
                                 SQLSMALLINT* driver_length) {
  QUARNEL_REAL(SQLDataSources);
  return real(env, direction, name, name_size, name_length, driver, driver_size, driver_length);
}

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record,
                                SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                                SQLSMALLINT size, SQLSMALLINT* length) {
  QUARNEL_REAL(SQLGetDiagRec);
  return real(type, handle, record, state, native, message, size, length);
}

}  // extern "C"
