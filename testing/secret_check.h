#ifndef QUARNEL_TESTING_SECRET_CHECK_H_
#define QUARNEL_TESTING_SECRET_CHECK_H_

// For tests of what the program shows: whether any of it gives a password
// away.

#include <string>

namespace quarnel::testing {

// The first run of 4 characters of `password` (in any letter case; a
// shorter password whole) that `text` holds, as `text` writes it; "" when
// there is none.
std::string PasswordRunIn(const std::string& text, const std::string& password);

}  // namespace quarnel::testing

#endif  // QUARNEL_TESTING_SECRET_CHECK_H_
