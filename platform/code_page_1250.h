#ifndef QUARNEL_PLATFORM_CODE_PAGE_1250_H_
#define QUARNEL_PLATFORM_CODE_PAGE_1250_H_

// Code page 1250 (Central European), the ANSI code page of the host
// product's files, to and from UTF-8, by table: no conversion module is
// loaded at run time.

#include <string>
#include <string_view>

namespace quarnel {

// `utf8` in code page 1250. A character the code page lacks becomes "?", and
// so does a malformed sequence; either way the lead byte and the
// continuation bytes after it are passed over.
std::string Utf8ToCp1250(std::string_view utf8);

// `ansi` in UTF-8. The five bytes that code page 1250 leaves undefined
// become "?".
std::string Cp1250ToUtf8(std::string_view ansi);

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_CODE_PAGE_1250_H_
