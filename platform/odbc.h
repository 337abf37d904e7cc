#ifndef QUARNEL_PLATFORM_ODBC_H_
#define QUARNEL_PLATFORM_ODBC_H_

// Database access through the ODBC C API and the system's driver manager
// (unixODBC on POSIX, odbc32 on Windows).

#include <cstddef>
#include <memory>
#include <string>

#include "platform/env.h"
#include "platform/secret.h"

namespace quarnel {

// The login to an ODBC data source, as its parts. It has no text form: the
// connection string is made from it only inside the platform, at the moment
// of connecting. `password` is the run's one copy of the password, which
// stays with its owner.
struct OdbcLogin {
  std::string data_source;
  std::string user;
  const Secret& password;
};

// The longest data source name ODBC allows (SQL_MAX_DSN_LENGTH).
inline constexpr std::size_t kMaxDataSourceName = 32;

// Connects to `login.data_source` with its user and password without ever
// prompting. The connection is disconnected and its handles freed when the
// returned object is destroyed. Throws RunError kErrBadSetting, before
// connecting, for a user or password holding a NUL; kErrDatabase for every
// failure of the driver, carrying its diagnostics (SQLSTATE, native code,
// message). No description holds the connection string, and each run of 4 or
// more characters of the password is masked out of the diagnostics of the
// connect and of everything done on the connection.
// REQUIRES: login.password outlives the returned connection.
std::unique_ptr<OdbcConnection> OpenOdbcConnection(const OdbcLogin& login);

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_ODBC_H_
