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
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/odbc_link.h"

namespace quarnel {

static_assert(std::is_same_v<SQLSMALLINT, short> && std::is_same_v<SQLHANDLE, void*>,
              "odbc_link.h spells the handle types as plain C types");

static_assert(SQL_MAX_DSN_LENGTH == kMaxDataSourceName, "odbc.h spells the limit out");

namespace {

constexpr char kConnecting[] = "Connecting to ODBC data source";
constexpr std::string_view kMask = "****";
// The shortest run of the password's characters that is masked.
constexpr size_t kMaskedRun = 4;

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

// Which characters of `text` stand in a run of the password: every window
// of 4 characters that is also a piece of the password, in any letter case,
// marks all four; a shorter password marks each place it stands whole.
// Overlapping windows mark the union, so no 4 characters of the password
// stay side by side.
std::vector<bool> PasswordMarks(std::string_view text, std::string_view password) {
  std::vector<bool> marks(text.size(), false);
  if (password.empty()) return marks;
  std::string folded_password = Folded(password);
  std::string folded_text = Folded(text);
  const size_t run = std::min(password.size(), kMaskedRun);
  const std::string_view pieces(folded_password);
  for (size_t at = 0; at + run <= text.size(); ++at) {
    if (pieces.find(std::string_view(folded_text).substr(at, run)) != std::string_view::npos) {
      std::fill_n(marks.begin() + static_cast<std::ptrdiff_t>(at), run, true);
    }
  }
  Overwrite(&folded_password);
  Overwrite(&folded_text);
  return marks;
}

// Every diagnostic record of `handle`.
std::vector<DiagnosticRecord> DiagnosticRecords(const OdbcHandle& handle) {
  std::vector<DiagnosticRecord> records;
  for (SQLSMALLINT number = 1; number < SHRT_MAX; ++number) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    std::vector<SQLCHAR> message(1024);
    SQLSMALLINT length = 0;
    const SQLRETURN rc =
        SQLGetDiagRec(handle.type(), handle.get(), number, state, &native, message.data(),
                      static_cast<SQLSMALLINT>(message.size()), &length);
    if (!Succeeded(rc)) break;
    const size_t shown = std::clamp<size_t>(length < 0 ? 0 : length, 0, message.size() - 1);
    records.push_back({reinterpret_cast<char*>(state), static_cast<long>(native),
                       std::string(reinterpret_cast<char*>(message.data()), shown)});
    std::fill(message.begin(), message.end(), SQLCHAR{0});
  }
  return records;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Appends a connection-string value so that ODBC reads it back unchanged: a
// value that holds ";", "{" or "}", or has blanks at an end (which drivers
// trim), goes in braces with each "}" doubled. Any other value goes in as it
// is.
void AppendValue(std::string* text, std::string_view value) {
  const bool plain = value.find_first_of(";{}") == std::string_view::npos &&
                     (value.empty() || (!IsBlank(value.front()) && !IsBlank(value.back())));
  if (plain) {
    text->append(value);
    return;
  }
  *text += '{';
  for (char c : value) {
    *text += c;
    if (c == '}') *text += '}';
  }
  *text += '}';
}

// The most the connection string of `login` can take: every value braced,
// each of its characters doubled.
size_t ConnectionStringCapacity(const OdbcLogin& login) {
  return sizeof "DSN=;UID={};PWD={}" + login.data_source.size() +
         2 * (login.user.size() + login.password->size());
}

// Connects `connection` to the data source of `login`. The connection string
// is made here and nowhere else, in a buffer reserved whole so that no
// partial copy is left behind, and overwritten before this returns.
SQLRETURN DriverConnect(SQLHDBC connection, const OdbcLogin& login) {
  const std::string& password = *login.password;
  std::string text;
  text.reserve(ConnectionStringCapacity(login));
  text += "DSN=";
  text += login.data_source;
  text += ";UID=";
  AppendValue(&text, login.user);
  text += ";PWD=";
  AppendValue(&text, password);
  const SQLRETURN rc =
      SQLDriverConnect(connection, nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                       static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr,
                       SQL_DRIVER_NOPROMPT);
  Overwrite(&text);
  return rc;
}

// Overwrites the login's password when the connect is over, however it ends.
class PasswordOverwriter {
 public:
  explicit PasswordOverwriter(std::string* password) : password_(password) {}
  ~PasswordOverwriter() { Overwrite(password_); }
  PasswordOverwriter(const PasswordOverwriter&) = delete;
  PasswordOverwriter& operator=(const PasswordOverwriter&) = delete;

 private:
  std::string* password_;
};

}  // namespace

void Overwrite(std::string* secret) {
  secret->resize(secret->capacity());
  volatile char* bytes = secret->data();
  for (size_t i = 0; i < secret->size(); ++i) bytes[i] = '\0';
  secret->clear();
}

std::string DiagnosticsText(const std::vector<DiagnosticRecord>& records,
                            std::string_view password) {
  if (records.empty()) return "the driver gave no diagnostics";
  std::string joined;
  for (const DiagnosticRecord& record : records) joined += record.message;
  const std::vector<bool> marks = PasswordMarks(joined, password);
  Overwrite(&joined);
  std::string text;
  size_t at = 0;
  for (const DiagnosticRecord& record : records) {
    if (!text.empty()) text += "; ";
    text += '[' + record.state + "] native " + std::to_string(record.native) + ": ";
    for (size_t i = 0; i < record.message.size(); ++i, ++at) {
      if (!marks[at]) {
        text += record.message[i];
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

OdbcLink::OdbcLink(const OdbcLogin& login) : data_source_(login.data_source) {
  const PasswordOverwriter overwriter(login.password);
  const std::string& password = *login.password;
  // A NUL would end the login early for the driver.
  if (login.user.find('\0') != std::string::npos ||
      password.find('\0') != std::string::npos ||
      ConnectionStringCapacity(login) > SHRT_MAX) {
    throw RunError(kErrBadSetting, std::string(kConnecting) + ": " + data_source_ +
                                       ": the user name or password is too long or holds "
                                       "a NUL character");
  }
  AllocateHandles();
  if (!Succeeded(DriverConnect(connection_.get(), login))) {
    Fail(kConnecting, connection_, password);
  }
  connected_ = true;
}

OdbcLink::OdbcLink(ForTests, const std::string& connection_string)
    : data_source_("(test connection)") {
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

void OdbcLink::Fail(const std::string& what, const OdbcHandle& handle,
                    std::string_view password) const {
  std::vector<DiagnosticRecord> records = DiagnosticRecords(handle);
  const std::string reason = DiagnosticsText(records, password);
  // What the driver said may hold the password in a form the masking left.
  for (DiagnosticRecord& record : records) Overwrite(&record.message);
  throw RunError(kErrDatabase, what + ": " + data_source_ + ": " + reason);
}

std::unique_ptr<OdbcConnection> OpenOdbcConnection(const OdbcLogin& login) {
  return std::make_unique<OdbcLink>(login);
}

}  // namespace quarnel
