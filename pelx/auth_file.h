#ifndef PELX_AUTH_FILE_H_
#define PELX_AUTH_FILE_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace pelx {

// The file name the host product gives its authentication file.
inline constexpr char kAuthFileName[] = ".tarvoAuthentication.dat";

enum class AuthField { kUser = 0, kPassword = 1 };

// Reads the authentication file at `path` and delivers
// `field` into `buffer` under the contract of pelx.h: the value and a NUL,
// its length returned; or a negative PelxResult with nothing written.
int32_t ReadAuthValue(const std::filesystem::path& path, AuthField field, char* buffer,
                      int32_t capacity);

// The content of an authentication file that holds `user` and `password`.
std::string AuthFileContent(std::string_view user, std::string_view password);

}  // namespace pelx

#endif  // PELX_AUTH_FILE_H_
