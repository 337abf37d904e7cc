#ifndef PELX_CIPHER_H_
#define PELX_CIPHER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pelx {

// `plain` encrypted with the library's key stream, as upper-case hex digits.
std::string EncryptToHex(std::string_view plain);

// Decrypts the `length` hex digits at `text` in place: the plain bytes are
// written from the start of `text`, the rest is left as it was. Returns their
// count, or PELX_BAD_TEXT (nothing written) for an odd length or a byte that
// is no hex digit.
int32_t DecryptHexInPlace(char* text, std::size_t length);

}  // namespace pelx

#endif  // PELX_CIPHER_H_
