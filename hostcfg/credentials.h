#ifndef QUARNEL_HOSTCFG_CREDENTIALS_H_
#define QUARNEL_HOSTCFG_CREDENTIALS_H_

#include <string>

#include "platform/env.h"
#include "platform/secret.h"

namespace quarnel {

// The login that the database step uses. DbPassword is the run's one copy of
// the password, wiped when its owner goes.
struct DbCredentials {
  std::string DbUser;
  Secret DbPassword;
};

// Bytes offered to the credentials library for each value, its NUL included.
inline constexpr int kCredentialCapacity = 256;

// The database user and password. Without the authentication file
// ".tarvoAuthentication.dat" in the application path: the built-in defaults,
// and the library PELX is not loaded. With it: the file is held open while
// PELX's getDbUser and then getDbPasswd are called once each. Throws
// RunError when the file cannot be opened, the library or a function is
// missing, or the library refuses a value; no message carries a value.
DbCredentials ReadDbCredentials(Env& env);

// The authentication file of the installation in `app_path`.
std::string AuthenticationFile(const std::string& app_path);

}  // namespace quarnel

#endif  // QUARNEL_HOSTCFG_CREDENTIALS_H_
