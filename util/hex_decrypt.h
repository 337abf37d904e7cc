#ifndef QUARNEL_UTIL_HEX_DECRYPT_H_
#define QUARNEL_UTIL_HEX_DECRYPT_H_

#include <string>

#include "platform/env.h"

namespace quarnel {

// Decrypts the hex text `*text` through decryptFromHex of the credentials
// library PELX, which works in place on a copy of it. On success `*text` is
// rewritten with that copy as the library left it (same length), and its
// first n bytes are returned, n being the library's result (all of it when n
// is larger). Throws RunError 48 or 453 when the library or the function is
// missing and 5 for a negative n; `*text` is then unchanged.
std::string DecryptHex(Env& env, std::string* text);

}  // namespace quarnel

#endif  // QUARNEL_UTIL_HEX_DECRYPT_H_
