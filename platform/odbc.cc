#include "platform/odbc.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <initializer_list>
#include <type_traits>
#include <vector>

#include "platform/odbc_link.h"

namespace quarnel {

static_assert(std::is_same_v<SQLSMALLINT, short> && std::is_same_v<SQLHANDLE, void*>,
              "odbc_link.h spells the handle types as plain C types");

namespace {

constexpr char kConnecting[] = "Connecting to ODBC data source";

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

bool SameKeyword(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != b[i]) return false;
  }
  return i == a.size() && b[i] == '\0';
}

// The value of `keyword` (upper case) in a connection string. Keywords match
// in any letter case; a value in braces may hold ";", and "}}" in it stands
// for "}".
std::string AttributeValue(const std::string& text, const char* keyword) {
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t equals = text.find('=', pos);
    if (equals == std::string::npos) break;
    const std::string name = text.substr(pos, equals - pos);
    std::string value;
    pos = equals + 1;
    const bool braced = pos < text.size() && text[pos] == '{';
    if (braced) {
      for (++pos; pos < text.size(); ++pos) {
        if (text[pos] == '}' && (pos + 1 == text.size() || text[++pos] != '}')) break;
        value += text[pos];
      }
    }
    const size_t end = text.find(';', pos);
    if (!braced) value = text.substr(pos, end == std::string::npos ? end : end - pos);
    if (SameKeyword(name, keyword)) return value;
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  return "";
}

// `text` with every occurrence of `secret` replaced by asterisks.
std::string Blanked(std::string text, const std::string& secret) {
  if (secret.empty()) return text;
  for (size_t at = text.find(secret); at != std::string::npos;
       at = text.find(secret, at + 3)) {
    text.replace(at, secret.size(), "***");
  }
  return text;
}

std::string DoubledBraces(const std::string& text) {
  std::string doubled;
  for (char c : text) {
    doubled += c;
    if (c == '}') doubled += c;
  }
  return doubled;
}

// Every diagnostic record of `handle`: "[SQLSTATE] native N: message".
std::string Diagnostics(const OdbcHandle& handle) {
  std::string text;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    std::vector<SQLCHAR> message(1024);
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRec(handle.type(), handle.get(), record, state, &native,
                                 message.data(), static_cast<SQLSMALLINT>(message.size()),
                                 &length);
    if (!Succeeded(rc)) break;
    const size_t shown = std::clamp<size_t>(length < 0 ? 0 : length, 0, message.size() - 1);
    if (!text.empty()) text += "; ";
    text += '[';
    text += reinterpret_cast<char*>(state);
    text += "] native ";
    text += std::to_string(native);
    text += ": ";
    text.append(reinterpret_cast<char*>(message.data()), shown);
  }
  return text.empty() ? "the driver gave no diagnostics" : text;
}

}  // namespace

OdbcHandle::~OdbcHandle() {
  if (handle_ != nullptr) SQLFreeHandle(type_, handle_);
}

OdbcLink::OdbcLink(const std::string& connection_string)
    : data_source_(AttributeValue(connection_string, "DSN")),
      password_(AttributeValue(connection_string, "PWD")) {
  if (data_source_.empty()) data_source_ = "(no DSN)";
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
  // A NUL would end the string early for the driver, and with it the login.
  if (connection_string.size() > SHRT_MAX ||
      connection_string.find('\0') != std::string::npos) {
    throw RunError(kErrDatabase, std::string(kConnecting) + ": " + data_source_ +
                                     ": the connection string is too long or holds a NUL");
  }
  const SQLRETURN rc = SQLDriverConnect(
      connection_.get(), nullptr,
      reinterpret_cast<SQLCHAR*>(const_cast<char*>(connection_string.data())),
      static_cast<SQLSMALLINT>(connection_string.size()), nullptr, 0, nullptr,
      SQL_DRIVER_NOPROMPT);
  if (!Succeeded(rc)) Fail(kConnecting, connection_);
  connected_ = true;
}

OdbcLink::~OdbcLink() {
  if (connected_) SQLDisconnect(connection_.get());
}

std::string OdbcLink::DbmsName() {
  std::vector<SQLCHAR> name(256);
  for (;;) {
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetInfo(connection_.get(), SQL_DBMS_NAME, name.data(),
                                    static_cast<SQLSMALLINT>(name.size()), &length);
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
  const SQLRETURN rc =
      SQLExecDirect(handle, reinterpret_cast<SQLCHAR*>(const_cast<char*>(statement.data())),
                    static_cast<SQLINTEGER>(statement.size()));
  // SQL_NO_DATA: a searched DELETE that matched no row, which is no failure.
  if (rc != SQL_NO_DATA && !Succeeded(rc)) Fail(what, owner);
  return owner;
}

void OdbcLink::Close() {
  if (!connected_) return;
  if (!Succeeded(SQLDisconnect(connection_.get()))) {
    Fail("Disconnecting from ODBC data source", connection_);
  }
  connected_ = false;
}

void OdbcLink::Fail(const std::string& what, const OdbcHandle& handle) const {
  std::string reason = Diagnostics(handle);
  // A driver that echoes attributes must not carry the password into a report.
  for (const std::string& form : {DoubledBraces(password_), password_}) {
    reason = Blanked(reason, form);
  }
  throw RunError(kErrDatabase, what + ": " + data_source_ + ": " + reason);
}

std::unique_ptr<OdbcConnection> OpenOdbcConnection(const std::string& connection_string) {
  return std::make_unique<OdbcLink>(connection_string);
}

}  // namespace quarnel
