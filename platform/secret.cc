#include "platform/secret.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace quarnel {

namespace {

// `text` in lower case, in a Secret so that the copy is wiped too.
Secret Folded(std::string_view text) {
  Secret folded(text);
  char* chars = folded.data();
  for (std::size_t i = 0; i < folded.size(); ++i) {
    chars[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(chars[i])));
  }
  return folded;
}

}  // namespace

void Wipe(std::string* text) {
  text->resize(text->capacity());
  volatile char* bytes = text->data();
  for (std::size_t i = 0; i < text->size(); ++i) bytes[i] = '\0';
  text->clear();
}

Secret::Secret(std::string_view text) : text_(text) {}

Secret::~Secret() { Wipe(&text_); }

// A moved std::string may leave its bytes behind in the source's own small
// buffer: the source is wiped whatever the move did.
Secret::Secret(Secret&& other) noexcept : text_(std::move(other.text_)) { Wipe(&other.text_); }

Secret& Secret::operator=(Secret&& other) noexcept {
  if (this != &other) {
    Wipe(&text_);
    text_ = std::move(other.text_);
    Wipe(&other.text_);
  }
  return *this;
}

void Secret::Truncate(std::size_t count) {
  if (count < text_.size()) text_.resize(count);
}

void Secret::Append(std::string_view piece) {
  if (text_.size() + piece.size() > text_.capacity()) {
    std::string larger;
    larger.reserve(2 * (text_.size() + piece.size()));
    larger = text_;
    Wipe(&text_);
    text_.swap(larger);
  }
  text_.append(piece);
}

std::vector<bool> Secret::RunsIn(std::string_view text) const {
  std::vector<bool> marks(text.size(), false);
  if (empty()) return marks;
  const Secret folded_secret = Folded(view());
  const Secret folded_text = Folded(text);
  const std::size_t run = std::min(size(), kMaskedRun);
  for (std::size_t at = 0; at + run <= text.size(); ++at) {
    if (folded_secret.view().find(folded_text.view().substr(at, run)) != std::string_view::npos) {
      std::fill_n(marks.begin() + static_cast<std::ptrdiff_t>(at), run, true);
    }
  }
  return marks;
}

}  // namespace quarnel
