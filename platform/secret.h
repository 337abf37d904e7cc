#ifndef QUARNEL_PLATFORM_SECRET_H_
#define QUARNEL_PLATFORM_SECRET_H_

// The owner of a secret text (the database password), and the masking of it
// out of texts that others wrote.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quarnel {

// The shortest run of a secret's characters that is masked.
inline constexpr std::size_t kMaskedRun = 4;

// Holds one secret text and overwrites every byte its buffer held when it is
// destroyed or moved from, so that no copy outlives its owner. Move-only:
// the text has exactly one owner at a time.
class Secret {
 public:
  Secret() = default;
  // Copies `text`; a buffer it came from is the caller's to clear (Secret
  // itself serves as such a buffer, see WithRoom).
  explicit Secret(std::string_view text);
  ~Secret();
  Secret(Secret&& other) noexcept;
  Secret& operator=(Secret&& other) noexcept;
  Secret(const Secret&) = delete;
  Secret& operator=(const Secret&) = delete;

  // `size` NUL bytes, for a call that writes a secret into a buffer.
  static Secret WithRoom(std::size_t size) { return Secret(std::string(size, '\0')); }

  std::string_view view() const { return text_; }
  const char* data() const { return text_.data(); }
  char* data() { return text_.data(); }
  std::size_t size() const { return text_.size(); }
  bool empty() const { return text_.empty(); }

  // Keeps only the first `count` characters (all if there are fewer).
  void Truncate(std::size_t count);
  // Appends `piece`; a buffer outgrown on the way is overwritten.
  void Append(std::string_view piece);

  // Which characters of `text` stand in a run of this secret: every window of
  // kMaskedRun characters that is also a piece of the secret, in any ASCII
  // letter case, marks all of them; a shorter secret marks each place it
  // stands whole. Overlapping windows mark the union, so no kMaskedRun
  // characters of the secret stay side by side unmarked.
  std::vector<bool> RunsIn(std::string_view text) const;

 private:
  std::string text_;
};

// Overwrites every character `text` holds or held in its buffer, in a way the
// compiler keeps, and leaves it empty.
void Wipe(std::string* text);

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_SECRET_H_
