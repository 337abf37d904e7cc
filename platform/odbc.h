#ifndef QUARNEL_PLATFORM_ODBC_H_
#define QUARNEL_PLATFORM_ODBC_H_

// Database access through the ODBC C API and the system's driver manager
// (unixODBC on POSIX, odbc32 on Windows).

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/secret.h"

namespace quarnel {

// The calls of a connection that may wait on the server. kQuery covers a
// query and the reading of its rows.
enum class OdbcCall { kConnect, kExecute, kQuery, kDisconnect };

// What bounds those calls; the program's is the database step's deadline
// (db/step_deadline.h). Called on the thread that makes the calls.
class OdbcCallBound {
 public:
  virtual ~OdbcCallBound() = default;
  // The seconds, at least 1, to ask of the driver's own timeouts for the
  // next call.
  virtual long TimeoutSeconds() = 0;
  // Around each call that may wait. `cancel`, unless empty, withdraws the
  // call from another thread. Ended returns only once no withdrawal of the
  // call is still running, and throws RunError when the call came back too
  // late.
  virtual void Started(OdbcCall call, std::function<void()> cancel) = 0;
  virtual void Ended() = 0;
};

// The login to an ODBC data source, as its parts. It has no text form: the
// connection string is made from it only inside the platform, at the moment
// of connecting. `password` is the run's one copy of the password, which
// stays with its owner.
struct OdbcLogin {
  std::string data_source;
  std::string user;
  const Secret& password;
  // Bounds every call of the connection that may wait on the server, the
  // disconnect included; kept by the connection. Null: each waits as long
  // as its driver does.
  std::shared_ptr<OdbcCallBound> bound;
};

// The longest data source name ODBC allows (SQL_MAX_DSN_LENGTH).
inline constexpr std::size_t kMaxDataSourceName = 32;

// Connects to `login.data_source` with its user and password without ever
// prompting. Under `login.bound` the driver is asked for its login,
// connection and query timeouts (one it refuses is no error), and a call the
// bound ends throws the bound's error. The connection is disconnected and its
// handles freed when the returned object is destroyed. Throws RunError
// kErrBadSetting, before connecting, for a user or password holding a NUL;
// kErrDatabase for every failure of the driver, carrying its diagnostics
// (SQLSTATE, native code, message). No description holds the connection
// string, and each run of 4 or more characters of the password is masked out
// of the diagnostics of the connect and of everything done on the connection.
// REQUIRES: login.password outlives the returned connection.
std::unique_ptr<OdbcConnection> OpenOdbcConnection(const OdbcLogin& login);

// The data sources the driver manager defines, user and system ones, in its
// order (Env::DataSources). Throws RunError kErrDatabase, with the driver
// manager's diagnostics, when it cannot be used.
std::vector<DataSourceEntry> ListDataSources();

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_ODBC_H_
