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

// The connection string of `login`, made here and nowhere else, and wiped
// with its owner. Throws RunError kErrBadSetting for a login that the driver
// would read otherwise than it is meant: a NUL would end it early.
Secret ConnectionString(const OdbcLogin& login) {
  if (login.user.find('\0') != std::string::npos ||
      login.password.view().find('\0') != std::string_view::npos ||
      ConnectionStringCapacity(login) > SHRT_MAX) {
    throw RunError(kErrBadSetting, std::string(kConnecting) + ": " + login.data_source +
                                       ": the user name or password is too long or holds "
                                       "a NUL character");
  }
  Secret text = Secret::WithRoom(ConnectionStringCapacity(login));
  text.Truncate(0);
  text.Append("DSN=");
  text.Append(login.data_source);
  text.Append(";UID=");
  AppendValue(&text, login.user);
  text.Append(";PWD=");
  AppendValue(&text, login.password.view());
  return text;
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

// A new environment handle for ODBC 3. Throws RunError kErrDatabase,
// "what: reason", the driver manager's diagnostics cleaned of `password`.
OdbcHandle NewEnvironment(const std::string& what, const Secret& password) {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle))) {
    throw RunError(kErrDatabase, what + ": the ODBC driver manager cannot be used");
  }
  OdbcHandle environment(SQL_HANDLE_ENV, handle);
  if (!Succeeded(SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION,
                               reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
    throw RunError(kErrDatabase,
                   what + ": " + DiagnosticsText(DiagnosticRecords(environment), password));
  }
  return environment;
}

// Withdraws the call waiting on `statement`, from another thread.
std::function<void()> Canceller(SQLHSTMT statement) {
  return [statement] { SQLCancel(statement); };
}

SQLRETURN ExecDirect(SQLHSTMT statement, const std::string& text) {
  return SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.data())),
                       static_cast<SQLINTEGER>(text.size()));
}

// Reads the first column of the current row as text into *value, a long
// value in pieces, as the driver hands them over; NULL reads "(null)".
SQLRETURN ReadText(SQLHSTMT statement, std::string* value) {
  value->clear();
  for (;;) {
    char piece[512];
    SQLLEN length = 0;
    const SQLRETURN rc = SQLGetData(statement, 1, SQL_C_CHAR, piece, sizeof piece, &length);
    // No data: the previous piece was the last.
    if (rc == SQL_NO_DATA) return SQL_SUCCESS;
    if (!Succeeded(rc)) return rc;
    if (length == SQL_NULL_DATA) {
      *value = "(null)";
      return SQL_SUCCESS;
    }
    // Cut short, the piece fills the buffer but for its closing NUL.
    const bool cut = length == SQL_NO_TOTAL || length >= static_cast<SQLLEN>(sizeof piece);
    value->append(piece, cut ? sizeof piece - 1 : static_cast<size_t>(length));
    if (!cut) return SQL_SUCCESS;
  }
}

// Fetches every row of `statement`'s result and appends its first column to
// *values.
SQLRETURN ReadFirstColumn(SQLHSTMT statement, std::vector<std::string>* values) {
  for (;;) {
    SQLRETURN rc = SQLFetch(statement);
    if (rc == SQL_NO_DATA) return SQL_SUCCESS;
    if (!Succeeded(rc)) return rc;
    std::string value;
    rc = ReadText(statement, &value);
    if (!Succeeded(rc)) return rc;
    values->push_back(std::move(value));
  }
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
    : OdbcLink(ConnectionString(login), login.data_source, login.password, login.bound) {}

OdbcLink::OdbcLink(const Secret& connection_string, std::string data_source,
                   const Secret& password, std::shared_ptr<OdbcCallBound> bound)
    : data_source_(std::move(data_source)), password_(password), bound_(std::move(bound)) {
  AllocateHandles();
  AskConnectTimeouts(connection_.get(), bound_.get());
  auto* text = reinterpret_cast<SQLCHAR*>(const_cast<char*>(connection_string.data()));
  const auto length = static_cast<SQLSMALLINT>(connection_string.size());
  const SQLRETURN rc = Bounded(bound_.get(), OdbcCall::kConnect, {}, [&] {
    return SQLDriverConnect(connection_.get(), nullptr, text, length, nullptr, 0, nullptr,
                            SQL_DRIVER_NOPROMPT);
  });
  if (!Succeeded(rc)) Fail(kConnecting, connection_);
  connected_ = true;
}

void OdbcLink::AllocateHandles() {
  environment_ = NewEnvironment(std::string(kConnecting) + ": " + data_source_, password_);
  SQLHANDLE handle = SQL_NULL_HANDLE;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, environment_.get(), &handle))) {
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

std::string OdbcLink::DbmsName() { return Information(SQL_DBMS_NAME, "Reading the DBMS name"); }

std::string OdbcLink::DbmsVersion() {
  return Information(SQL_DBMS_VER, "Reading the DBMS version");
}

std::string OdbcLink::Information(unsigned short type, const char* what) {
  std::vector<SQLCHAR> text(256);
  for (;;) {
    SQLSMALLINT length = 0;
    const SQLRETURN rc = Bounded(bound_.get(), OdbcCall::kConnect, {}, [&] {
      return SQLGetInfo(connection_.get(), type, text.data(),
                        static_cast<SQLSMALLINT>(text.size()), &length);
    });
    if (!Succeeded(rc)) Fail(what, connection_);
    if (length < static_cast<SQLSMALLINT>(text.size()) || text.size() > SHRT_MAX / 2) {
      return std::string(reinterpret_cast<char*>(text.data()));
    }
    text.resize(static_cast<size_t>(length) + 1);
  }
}

OdbcHandle OdbcLink::NewStatement(const std::string& what) {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, connection_.get(), &handle))) {
    Fail(what, connection_);
  }
  if (bound_ != nullptr) SQLSetStmtAttr(handle, SQL_ATTR_QUERY_TIMEOUT, TimeoutValue(*bound_), 0);
  return OdbcHandle(SQL_HANDLE_STMT, handle);
}

void OdbcLink::ExecuteText(const std::string& statement) {
  const std::string what = "Executing \"" + statement + "\"";
  const OdbcHandle handle = NewStatement(what);
  const SQLRETURN rc = Bounded(bound_.get(), OdbcCall::kExecute, Canceller(handle.get()),
                               [&] { return ExecDirect(handle.get(), statement); });
  // SQL_NO_DATA: a searched DELETE that matched no row, which is no failure.
  if (rc != SQL_NO_DATA && !Succeeded(rc)) Fail(what, handle);
}

std::vector<std::string> OdbcLink::QueryColumn(const std::string& query) {
  const std::string what = "Executing \"" + query + "\"";
  const OdbcHandle handle = NewStatement(what);
  std::vector<std::string> values;
  // The rows may come from the server as they are fetched, so the reading
  // waits under the bound with the query, as one call.
  const SQLRETURN rc = Bounded(bound_.get(), OdbcCall::kQuery, Canceller(handle.get()), [&] {
    const SQLRETURN executed = ExecDirect(handle.get(), query);
    if (executed == SQL_NO_DATA || !Succeeded(executed)) return executed;
    return ReadFirstColumn(handle.get(), &values);
  });
  if (rc != SQL_NO_DATA && !Succeeded(rc)) Fail(what, handle);
  return values;
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

std::vector<DataSourceEntry> ListDataSources() {
  const std::string what = "Listing the ODBC data sources";
  const Secret nothing_secret;
  const OdbcHandle environment = NewEnvironment(what, nothing_secret);
  std::vector<DataSourceEntry> sources;
  for (SQLUSMALLINT direction = SQL_FETCH_FIRST;; direction = SQL_FETCH_NEXT) {
    // Longer texts than these buffers take are cut short, not refused: the
    // entry cannot be asked for again.
    SQLCHAR name[256] = "";
    SQLCHAR driver[1024] = "";
    const SQLRETURN rc = SQLDataSources(environment.get(), direction, name, sizeof name, nullptr,
                                        driver, sizeof driver, nullptr);
    if (rc == SQL_NO_DATA) return sources;
    if (!Succeeded(rc)) {
      throw RunError(kErrDatabase, what + ": " +
                                       DiagnosticsText(DiagnosticRecords(environment),
                                                       nothing_secret));
    }
    sources.push_back({reinterpret_cast<char*>(name), reinterpret_cast<char*>(driver)});
  }
}

}  // namespace quarnel
