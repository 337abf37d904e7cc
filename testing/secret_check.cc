#include "testing/secret_check.h"

#include <algorithm>
#include <cctype>

namespace quarnel::testing {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string PasswordRunIn(const std::string& text, const std::string& password) {
  if (password.empty()) return "";
  const std::string lower_text = Lower(text);
  const std::string lower_password = Lower(password);
  const size_t run = std::min<size_t>(password.size(), 4);
  for (size_t at = 0; at + run <= password.size(); ++at) {
    const size_t found = lower_text.find(lower_password.substr(at, run));
    if (found != std::string::npos) return text.substr(found, run);
  }
  return "";
}

}  // namespace quarnel::testing
