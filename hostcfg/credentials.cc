#include "hostcfg/credentials.h"

#include <algorithm>
#include <memory>

#include "pelx/pelx.h"

namespace quarnel {

namespace {

constexpr char kAuthFile[] = "\\.tarvoAuthentication.dat";
constexpr char kDefaultUser[] = "tarvo";
constexpr char kDefaultPassword[] = "qtwm52hzkrpad";

struct Refusal {
  int32_t result;
  const char* reason;
};

// What the library's negative results mean, for the support staff who read
// the report.
constexpr Refusal kRefusals[] = {
    {PELX_NO_FILE, "the library cannot read the authentication file"},
    {PELX_BAD_TEXT, "the authentication file is not in the library's form"},
    {PELX_NO_ROOM, "the value is longer than the program accepts"},
    {PELX_BAD_CALL, "the library refused the buffer"},
};

std::string RefusalText(int32_t result) {
  for (const Refusal& refusal : kRefusals) {
    if (refusal.result == result) return refusal.reason;
  }
  return "invalid length " + std::to_string(result);
}

// One value, through a buffer whose size the library is told. Only the
// result code, never the buffer's content, goes into an error.
Secret CallForValue(SharedLibrary& library, const char* function, const std::string& auth_path) {
  const auto call = reinterpret_cast<PelxFunction>(library.Function(function));
  Secret value = Secret::WithRoom(kCredentialCapacity);
  const int32_t length = call(value.data(), kCredentialCapacity);
  if (length < 0) {
    throw RunError(kErrInvalidCall, "Reading the database credentials through PELX " +
                                        std::string(function) + ": " +
                                        auth_path + ": " + RefusalText(length));
  }
  // A length beyond the delivered text yields the whole text.
  value.Truncate(std::min(static_cast<std::size_t>(length), value.view().find('\0')));
  return value;
}

}  // namespace

DbCredentials ReadDbCredentials(Env& env) {
  const std::string auth_path = AuthenticationFile(env.AppPath());
  if (!env.FileExists(auth_path)) return {kDefaultUser, Secret(kDefaultPassword)};
  // The library reads the file itself; opening it here first makes an
  // unreadable file fail with the program's own report and path.
  std::unique_ptr<LineReader> auth_file = env.OpenForReading(auth_path);
  std::unique_ptr<SharedLibrary> library = env.OpenLibrary("PELX");
  // In this order: getDbUser first.
  DbCredentials credentials{std::string(CallForValue(*library, "getDbUser", auth_path).view()),
                            CallForValue(*library, "getDbPasswd", auth_path)};
  auth_file->Close();
  return credentials;
}

std::string AuthenticationFile(const std::string& app_path) {
  return PathIn(app_path, kAuthFile);
}

}  // namespace quarnel
