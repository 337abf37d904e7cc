#include "banklist/columns.h"

#include <algorithm>

#include "util/byte_match.h"

namespace quarnel {

void Columns::Cut(std::string_view text, int up_to) {
  columns_.clear();
  size_t start = 0;
  ForEachByte(text, '|', [&](size_t bar) {
    columns_.push_back(text.substr(start, bar - start));
    start = bar + 1;
    return count() < up_to;
  });
  columns_.push_back(text.substr(start));
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
  size_t start = 0;
  int column = 1;
  std::optional<std::string_view> found;
  ForEachByte(text, '|', [&](size_t bar) {
    if (column == n) {
      found = text.substr(start, bar - start);
      return false;
    }
    ++column;
    start = bar + 1;
    return true;
  });
  if (!found && column == n) found = text.substr(start);
  return found;
}

}  // namespace quarnel
