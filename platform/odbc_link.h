#ifndef QUARNEL_PLATFORM_ODBC_LINK_H_
#define QUARNEL_PLATFORM_ODBC_LINK_H_

// The ODBC handle owners behind OpenOdbcConnection, shared by the platform's
// own files. The handle types are spelled as their plain C types here so that
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

// An open connection: its environment and connection handles. Disconnects
// silently when destroyed unless Close was called. Every failure throws
// RunError kErrDatabase as described for OpenOdbcConnection.
class OdbcLink final : public OdbcConnection {
 public:
  // Connects with `login` as OpenOdbcConnection does.
  explicit OdbcLink(const OdbcLogin& login);
  // For the tests' own connections to their databases (odbc_testing.h):
  // connects with `connection_string` as it is; messages name it only as
  // "(test connection)" and are cleaned of `masked`. The program never
  // connects this way.
  struct ForTests {};
  OdbcLink(ForTests, const std::string& connection_string, const Secret& masked);
  ~OdbcLink() override;
  OdbcLink(const OdbcLink&) = delete;
  OdbcLink& operator=(const OdbcLink&) = delete;

  std::string DbmsName() override;
  void ExecuteText(const std::string& statement) override;
  void Close() override;

  // Executes `statement` and hands over its statement handle, positioned
  // before the first row of any result. "No rows matched" is success.
  // REQUIRES: the handle is destroyed before Close or the link's end, since
  // disconnecting frees it.
  OdbcHandle Execute(const std::string& statement);

  // Throws RunError kErrDatabase: "what: data source: diagnostics of handle",
  // the diagnostics cleaned of the password.
  [[noreturn]] void Fail(const std::string& what, const OdbcHandle& handle) const;

 private:
  // Allocates the environment and connection handles.
  void AllocateHandles();

  std::string data_source_;  // for messages: the DSN, never the whole string
  const Secret& password_;   // masked out of every message
  std::shared_ptr<OdbcCallBound> bound_;  // null for the tests' connections
  OdbcHandle environment_;
  OdbcHandle connection_;
  bool connected_ = false;
};

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_ODBC_LINK_H_
