// The three exports of the credentials library.

#include "pelx/pelx.h"

#include <cstring>

#include "pelx/auth_file.h"
#include "pelx/cipher.h"
#include "pelx/program_dir.h"

extern "C" {

PELX_API int32_t getDbUser(char* buffer, int32_t capacity) {
  return pelx::ReadAuthValue(pelx::BesideProgram(pelx::kAuthFileName),
                             pelx::AuthField::kUser, buffer, capacity);
}

PELX_API int32_t getDbPasswd(char* buffer, int32_t capacity) {
  return pelx::ReadAuthValue(pelx::BesideProgram(pelx::kAuthFileName),
                             pelx::AuthField::kPassword, buffer, capacity);
}

PELX_API int32_t decryptFromHex(char* text, int32_t capacity) {
  if (text == nullptr || capacity < 1) return PELX_BAD_CALL;
  // The text must end inside the buffer; nothing past it is looked at.
  const void* end = std::memchr(text, '\0', static_cast<std::size_t>(capacity));
  if (end == nullptr) return PELX_BAD_TEXT;
  return pelx::DecryptHexInPlace(
      text, static_cast<std::size_t>(static_cast<const char*>(end) - text));
}

}  // extern "C"
