#ifndef QUARNEL_PLATFORM_WIDE_TEXT_WIN32_H_
#define QUARNEL_PLATFORM_WIDE_TEXT_WIN32_H_

// The program keeps paths and its own texts in UTF-8; the wide Win32 API
// takes UTF-16. These convert at that border. A byte sequence that is not
// UTF-8 (or a lone surrogate) becomes U+FFFD rather than failing.

#include <string>
#include <string_view>

namespace quarnel {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_WIDE_TEXT_WIN32_H_
