#include "platform/box_text.h"

namespace quarnel {

std::string WrappedForBox(std::string_view text) {
  std::string wrapped;
  size_t line = 0;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find(' ', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view word = text.substr(at, end - at);
    if (line > 0 && line + 1 + word.size() > kBoxLineLength) {
      wrapped += '\n';
      line = 0;
    } else if (line > 0) {
      wrapped += ' ';
      ++line;
    }
    while (word.size() > kBoxLineLength) {
      wrapped.append(word.substr(0, kBoxLineLength));
      wrapped += '\n';
      word.remove_prefix(kBoxLineLength);
    }
    wrapped.append(word);
    line += word.size();
    at = end + 1;
  }
  return wrapped;
}

}  // namespace quarnel
