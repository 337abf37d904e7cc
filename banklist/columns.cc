#include "banklist/columns.h"

#include <algorithm>

namespace quarnel {

void Columns::Cut(std::string_view text) {
  columns_.clear();
  for (;;) {
    const size_t bar = text.find('|');
    if (bar == std::string_view::npos) break;
    columns_.push_back(text.substr(0, bar));
    text.remove_prefix(bar + 1);
  }
  columns_.push_back(text);
}

void Columns::Join(std::string* out) const {
  out->clear();
  if (columns_.empty()) return;
  size_t length = columns_.size() - 1;
  for (std::string_view c : columns_) length += c.size();
  // Sized once and filled in place: appending column by column costs more
  // than the copying itself on rows of short columns.
  out->resize(length);
  char* to = out->data();
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (i > 0) *to++ = '|';
    to = std::copy(columns_[i].begin(), columns_[i].end(), to);
  }
}

int ColumnCount(std::string_view text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '|')) + 1;
}

std::optional<std::string_view> FindColumn(std::string_view text, int n) {
  for (int i = 1; i < n; ++i) {
    const size_t bar = text.find('|');
    if (bar == std::string_view::npos) return std::nullopt;
    text.remove_prefix(bar + 1);
  }
  return text.substr(0, text.find('|'));
}

}  // namespace quarnel
