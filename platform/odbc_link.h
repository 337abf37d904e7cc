#ifndef QUARNEL_PLATFORM_ODBC_LINK_H_
#define QUARNEL_PLATFORM_ODBC_LINK_H_

// The ODBC handle owners behind OpenOdbcConnection, shared by the platform's
// own files and the tests' own connections (testing/odbc_testing.h). The
// handle types are spelled as their plain C types here so that
// sql.h (and with it <windows.h>) stays inside the .cc files.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/env.h"
#include "platform/odbc.h"

namespace quarnel {

// Owns one ODBC handle (SQLHANDLE and its SQL_HANDLE_* type); frees it when
// destroyed. Move-only.
class OdbcHandle {
 public:
  OdbcHandle() = default;
  OdbcHandle(short type, void* handle) : type_(type), handle_(handle) {}
  ~OdbcHandle();
  OdbcHandle(OdbcHandle&& other) noexcept
      : type_(other.type_), handle_(std::exchange(other.handle_, nullptr)) {}
  OdbcHandle& operator=(OdbcHandle&& other) noexcept {
    std::swap(type_, other.type_);
    std::swap(handle_, other.handle_);
    return *this;
  }
  OdbcHandle(const OdbcHandle&) = delete;
  OdbcHandle& operator=(const OdbcHandle&) = delete;

  short type() const { return type_; }
  void* get() const { return handle_; }

 private:
  short type_ = 0;
  void* handle_ = nullptr;
};

// One diagnostic record of an ODBC handle.
struct DiagnosticRecord {
  std::string state;  // SQLSTATE
  long native = 0;    // the driver's own error code
  Secret message;     // it may hold the password in a form no masking finds
};

// `records` as one text, "[SQLSTATE] native N: message; ...", or "the driver
// gave no diagnostics". The messages are cleaned of `password` as one text,
// so that a password split over two records is still found: each character
// in a run of 4 or more characters of the password, in any letter case, is
// masked (a password shorter than 4 where it stands whole), and each masked
// stretch reads "****". Each record keeps its SQLSTATE and native code.
std::string DiagnosticsText(const std::vector<DiagnosticRecord>& records,
                            const Secret& password);

namespace testing {
class TestConnector;  // testing/odbc_testing.cc
}  // namespace testing

// An open connection: its environment and connection handles. Disconnects
// silently when destroyed unless Close was called. Every failure throws
// RunError kErrDatabase as described for OpenOdbcConnection.
class OdbcLink final : public OdbcConnection {
 public:
  // Connects with `login` as OpenOdbcConnection does.
  explicit OdbcLink(const OdbcLogin& login);
  ~OdbcLink() override;
  OdbcLink(const OdbcLink&) = delete;
  OdbcLink& operator=(const OdbcLink&) = delete;

  std::string DbmsName() override;
  std::string DbmsVersion() override;
  void ExecuteText(const std::string& statement) override;
  std::vector<std::string> QueryColumn(const std::string& query) override;
  void Close() override;

 private:
  // The tests connect to their own databases with connection strings of
  // their own, through this constructor.
  friend class testing::TestConnector;

  // Connects with `connection_string` as it is, never prompting, under
  // `bound` (may be null). Messages name the connection `data_source` and
  // are cleaned of `password`. REQUIRES: `password` outlives the link.
  OdbcLink(const Secret& connection_string, std::string data_source, const Secret& password,
           std::shared_ptr<OdbcCallBound> bound);

  // Allocates the environment and connection handles.
  void AllocateHandles();
  // The text of the connection's information item `type` (SQL_DBMS_NAME...).
  std::string Information(unsigned short type, const char* what);
  // A new statement handle, asked for the bound's query timeout; `what`
  // names the statement in messages.
  OdbcHandle NewStatement(const std::string& what);
  // Throws RunError kErrDatabase: "what: data source: diagnostics of handle",
  // the diagnostics cleaned of the password.
  [[noreturn]] void Fail(const std::string& what, const OdbcHandle& handle) const;

  std::string data_source_;  // for messages: the DSN, never the whole string
  const Secret& password_;   // masked out of every message
  std::shared_ptr<OdbcCallBound> bound_;  // null: each call waits as its driver does
  OdbcHandle environment_;
  OdbcHandle connection_;
  bool connected_ = false;
};

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_ODBC_LINK_H_
