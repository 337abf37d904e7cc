#include "util/hex_decrypt.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "pelx/pelx.h"

namespace quarnel {

std::string DecryptHex(Env& env, std::string* text) {
  std::unique_ptr<SharedLibrary> library = env.OpenLibrary("PELX");
  const auto decrypt = reinterpret_cast<PelxFunction>(library->Function("decryptFromHex"));
  // The copy carries its NUL, and the library is told the copy's size, so
  // it can neither read nor write past it.
  std::vector<char> buffer(text->begin(), text->end());
  buffer.push_back('\0');
  const int32_t length =
      buffer.size() <= static_cast<std::size_t>(std::numeric_limits<int32_t>::max())
          ? decrypt(buffer.data(), static_cast<int32_t>(buffer.size()))
          : PELX_BAD_CALL;
  if (length < 0) {
    throw RunError(kErrInvalidCall, "Decrypting a hex text through PELX decryptFromHex: "
                                    "invalid length " + std::to_string(length) +
                                        ": Invalid procedure call or argument");
  }
  text->assign(buffer.data(), text->size());
  return text->substr(0, std::min(static_cast<std::size_t>(length), text->size()));
}

}  // namespace quarnel
