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

// The UTF-8 `path` for the wide file calls. A path too long for MAX_PATH is
// made full and given the \\?\ form (\\?\UNC\ for a share), which the
// system opens whether or not long paths are switched on; a shorter path is
// left as it is, relative or not.
std::wstring WidePath(std::string_view path);

// Text in UTF-8 and in the machine's ANSI code page, one into the other. A
// character the code page lacks becomes "?", never a look-alike letter.
std::string AnsiFromUtf8(std::string_view utf8);
std::string Utf8FromAnsi(std::string_view ansi);

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_WIDE_TEXT_WIN32_H_
