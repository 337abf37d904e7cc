#include "platform/odbc.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstddef>
#include <functional>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/odbc_link.h"

namespace quarnel {

static_assert(std::is_same_v<SQLSMALLINT, short> && std::is_same_v<SQLHANDLE, void*>,
              "odbc_link.h spells the handle types as plain C types");

static_assert(SQL_MAX_DSN_LENGTH == kMaxDataSourceName, "odbc.h spells the limit out");

namespace {

constexpr char kConnecting[] = "Connecting to ODBC data source";
constexpr std::string_view kMask = "****";

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// Every diagnostic record of `handle`.
std::vector<DiagnosticRecord> DiagnosticRecords(const OdbcHandle& handle) {
  std::vector<DiagnosticRecord> records;
  for (SQLSMALLINT number = 1; number < SHRT_MAX; ++number) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    Secret message = Secret::WithRoom(1024);
    SQLSMALLINT length = 0;
    const SQLRETURN rc =
        SQLGetDiagRec(handle.type(), handle.get(), number, state, &native,
                      reinterpret_cast<SQLCHAR*>(message.data()),
                      static_cast<SQLSMALLINT>(message.size()), &length);
    if (!Succeeded(rc)) break;
    message.Truncate(std::clamp<size_t>(length < 0 ? 0 : length, 0, message.size() - 1));
    records.push_back({reinterpret_cast<char*>(state), static_cast<long>(native),
                       std::move(message)});
  }
  return records;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Appends a connection-string value so that ODBC reads it back unchanged: a
// value that holds ";", "{" or "}", or has blanks at an end (which drivers
// trim), goes in braces with each "}" doubled. Any other value goes in as it
// is.
void AppendValue(Secret* text, std::string_view value) {
  const bool plain = value.find_first_of(";{}") == std::string_view::npos &&
                     (value.empty() || (!IsBlank(value.front()) && !IsBlank(value.back())));
  if (plain) {
    text->Append(value);
    return;
  }
  text->Append("{");
  for (const char& c : value) {
    text->Append(std::string_view(&c, 1));
    if (c == '}') text->Append("}");
  }
  text->Append("}");
}

// The most the connection string of `login` can take: every value braced,
// each of its characters doubled.
size_t ConnectionStringCapacity(const OdbcLogin& login) {
  return sizeof "DSN=;UID={};PWD={}" + login.data_source.size() +
         2 * (login.user.size() + login.password.size());
}

// Connects `connection` to the data source of `login`. The connection string
// is made here and nowhere else, and wiped with its owner.
SQLRETURN DriverConnect(SQLHDBC connection, const OdbcLogin& login) {
  Secret text = Secret::WithRoom(ConnectionStringCapacity(login));
  text.Truncate(0);
  text.Append("DSN=");
  text.Append(login.data_source);
  text.Append(";UID=");
  AppendValue(&text, login.user);
  text.Append(";PWD=");
  AppendValue(&text, login.password.view());
  return SQLDriverConnect(connection, nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                          static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr,
                          SQL_DRIVER_NOPROMPT);
}

// Runs `call`, one that may wait on the server, under `bound` (if any).
template <typename Call>
SQLRETURN Bounded(OdbcCallBound* bound, OdbcCall what, std::function<void()> cancel,
                  Call call) {
  if (bound == nullptr) return call();
  bound->Started(what, std::move(cancel));
  const SQLRETURN rc = call();
  bound->Ended();
  return rc;
}

SQLPOINTER TimeoutValue(OdbcCallBound& bound) {
  return reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(bound.TimeoutSeconds()));
}

// Asks the driver to give up by itself as the bound says. A driver that
// refuses (01S02, or an error) leaves the bound alone to end the call.
void AskConnectTimeouts(SQLHDBC connection, OdbcCallBound* bound) {
  if (bound == nullptr) return;
  SQLSetConnectAttr(connection, SQL_ATTR_LOGIN_TIMEOUT, TimeoutValue(*bound), 0);
  SQLSetConnectAttr(connection, SQL_ATTR_CONNECTION_TIMEOUT, TimeoutValue(*bound), 0);
}

}  // namespace

std::string DiagnosticsText(const std::vector<DiagnosticRecord>& records,
                            const Secret& password) {
  if (records.empty()) return "the driver gave no diagnostics";
  Secret joined;
  for (const DiagnosticRecord& record : records) joined.Append(record.message.view());
  const std::vector<bool> marks = password.RunsIn(joined.view());
  std::string text;
  size_t at = 0;
  for (const DiagnosticRecord& record : records) {
    if (!text.empty()) text += "; ";
    text += '[' + record.state + "] native " + std::to_string(record.native) + ": ";
    const std::string_view message = record.message.view();
    for (size_t i = 0; i < message.size(); ++i, ++at) {
      if (!marks[at]) {
        text += message[i];
      } else if (i == 0 || !marks[at - 1]) {
        text += kMask;
      }
    }
  }
  return text;
}

OdbcHandle::~OdbcHandle() {
  if (handle_ != nullptr) SQLFreeHandle(type_, handle_);
}

OdbcLink::OdbcLink(const OdbcLogin& login)
    : data_source_(login.data_source), password_(login.password), bound_(login.bound) {
  // A NUL would end the login early for the driver.
  if (login.user.find('\0') != std::string::npos ||
      login.password.view().find('\0') != std::string_view::npos ||
      ConnectionStringCapacity(login) > SHRT_MAX) {
    throw RunError(kErrBadSetting, std::string(kConnecting) + ": " + data_source_ +
                                       ": the user name or password is too long or holds "
                                       "a NUL character");
  }
  AllocateHandles();
  AskConnectTimeouts(connection_.get(), bound_.get());
  const SQLRETURN rc = Bounded(bound_.get(), OdbcCall::kConnect, {},
                               [&] { return DriverConnect(connection_.get(), login); });
  if (!Succeeded(rc)) Fail(kConnecting, connection_);
  connected_ = true;
}

OdbcLink::OdbcLink(ForTests, const std::string& connection_string, const Secret& masked)
    : data_source_("(test connection)"), password_(masked) {
  AllocateHandles();
  const SQLRETURN rc = SQLDriverConnect(
      connection_.get(), nullptr,
      reinterpret_cast<SQLCHAR*>(const_cast<char*>(connection_string.data())),
      static_cast<SQLSMALLINT>(connection_string.size()), nullptr, 0, nullptr,
      SQL_DRIVER_NOPROMPT);
  if (!Succeeded(rc)) Fail(kConnecting, connection_);
  connected_ = true;
}

void OdbcLink::AllocateHandles() {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle))) {
    throw RunError(kErrDatabase, std::string(kConnecting) + ": " + data_source_ +
                                     ": the ODBC driver manager cannot be used");
  }
  environment_ = OdbcHandle(SQL_HANDLE_ENV, handle);
  if (!Succeeded(SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION,
                               reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0)) ||
      !Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, environment_.get(), &handle))) {
    Fail(kConnecting, environment_);
  }
  connection_ = OdbcHandle(SQL_HANDLE_DBC, handle);
}

OdbcLink::~OdbcLink() {
  if (!connected_) return;
  try {
    Bounded(bound_.get(), OdbcCall::kDisconnect, {},
            [this] { return SQLDisconnect(connection_.get()); });
  } catch (...) {
    // The run is ending with an error of its own already.
  }
}

std::string OdbcLink::DbmsName() {
  std::vector<SQLCHAR> name(256);
  for (;;) {
    SQLSMALLINT length = 0;
    const SQLRETURN rc = Bounded(bound_.get(), OdbcCall::kConnect, {}, [&] {
      return SQLGetInfo(connection_.get(), SQL_DBMS_NAME, name.data(),
                        static_cast<SQLSMALLINT>(name.size()), &length);
    });
    if (!Succeeded(rc)) Fail("Reading the DBMS name", connection_);
    if (length < static_cast<SQLSMALLINT>(name.size()) || name.size() > SHRT_MAX / 2) {
      return std::string(reinterpret_cast<char*>(name.data()));
    }
    name.resize(static_cast<size_t>(length) + 1);
  }
}

void OdbcLink::ExecuteText(const std::string& statement) { Execute(statement); }

OdbcHandle OdbcLink::Execute(const std::string& statement) {
  const std::string what = "Executing \"" + statement + "\"";
  SQLHANDLE handle = SQL_NULL_HANDLE;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, connection_.get(), &handle))) {
    Fail(what, connection_);
  }
  OdbcHandle owner(SQL_HANDLE_STMT, handle);
  if (bound_ != nullptr) SQLSetStmtAttr(handle, SQL_ATTR_QUERY_TIMEOUT, TimeoutValue(*bound_), 0);
  auto* text = reinterpret_cast<SQLCHAR*>(const_cast<char*>(statement.data()));
  const auto length = static_cast<SQLINTEGER>(statement.size());
  const SQLRETURN rc = Bounded(bound_.get(), OdbcCall::kExecute, [handle] { SQLCancel(handle); },
                               [&] { return SQLExecDirect(handle, text, length); });
  // SQL_NO_DATA: a searched DELETE that matched no row, which is no failure.
  if (rc != SQL_NO_DATA && !Succeeded(rc)) Fail(what, owner);
  return owner;
}

void OdbcLink::Close() {
  if (!connected_) return;
  // A disconnect that failed is not tried again when the link is destroyed,
  // which may be long after the database step.
  connected_ = false;
  const SQLRETURN rc = Bounded(bound_.get(), OdbcCall::kDisconnect, {},
                               [this] { return SQLDisconnect(connection_.get()); });
  if (!Succeeded(rc)) {
    Fail("Disconnecting from ODBC data source", connection_);
  }
}

void OdbcLink::Fail(const std::string& what, const OdbcHandle& handle) const {
  throw RunError(kErrDatabase, what + ": " + data_source_ + ": " +
                                   DiagnosticsText(DiagnosticRecords(handle), password_));
}

std::unique_ptr<OdbcConnection> OpenOdbcConnection(const OdbcLogin& login) {
  return std::make_unique<OdbcLink>(login);
}

}  // namespace quarnel
