#ifndef QUARNEL_TESTDRIVERS_CONNECTION_ATTRIBUTES_H_
#define QUARNEL_TESTDRIVERS_CONNECTION_ATTRIBUTES_H_

// Reading a connection string the way the test drivers' side of ODBC does.

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace testdrivers {

inline bool SameKey(const std::string& a, const char* b) {
  return std::equal(a.begin(), a.end(), b, b + std::strlen(b), [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) ==
           std::toupper(static_cast<unsigned char>(y));
  });
}

// The value of attribute `key` (any letter case) in an ODBC connection string,
// with braced values unwrapped ("}}" inside braces stands for "}").
inline std::string Attribute(const std::string& text, const char* key) {
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t equals = text.find('=', pos);
    if (equals == std::string::npos) break;
    const std::string name = text.substr(pos, equals - pos);
    std::string value;
    pos = equals + 1;
    if (pos < text.size() && text[pos] == '{') {
      for (++pos; pos < text.size(); ++pos) {
        if (text[pos] == '}') {
          if (pos + 1 < text.size() && text[pos + 1] == '}') {
            ++pos;
          } else {
            ++pos;
            break;
          }
        }
        value += text[pos];
      }
      pos = text.find(';', pos);
    } else {
      const size_t end = text.find(';', pos);
      value = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
      pos = end;
    }
    if (SameKey(name, key)) return value;
    if (pos == std::string::npos) break;
    ++pos;
  }
  return "";
}

}  // namespace testdrivers

#endif  // QUARNEL_TESTDRIVERS_CONNECTION_ATTRIBUTES_H_
