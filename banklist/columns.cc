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
  out->reserve(length);
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (i > 0) out->push_back('|');
    out->append(columns_[i]);
  }
}

int ColumnCount(std::string_view text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '|')) + 1;
}

}  // namespace quarnel
