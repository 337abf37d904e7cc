#ifndef QUARNEL_PLATFORM_ODBC_H_
#define QUARNEL_PLATFORM_ODBC_H_

// Database access through the ODBC C API and the system's driver manager
// (unixODBC on POSIX, odbc32 on Windows).

#include <memory>
#include <string>

#include "platform/env.h"

namespace quarnel {

// Connects with `connection_string` without ever prompting. The connection is
// disconnected and its handles freed when the returned object is destroyed.
// Every failure throws RunError kErrDatabase carrying the driver's
// diagnostics (SQLSTATE, native code, message); no description holds the
// connection string, and the password is blanked out of driver messages.
std::unique_ptr<OdbcConnection> OpenOdbcConnection(const std::string& connection_string);

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_ODBC_H_
