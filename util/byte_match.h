#ifndef QUARNEL_UTIL_BYTE_MATCH_H_
#define QUARNEL_UTIL_BYTE_MATCH_H_

// Finding a byte value a block of bytes at a time: sixteen in one SSE2
// compare where the target has SSE2, else eight in one 64-bit word, in plain
// C++. The list's columns are a few bytes long: a library search call per
// column costs more to start than the bytes it passes over, and a byte loop
// costs a compare and a branch per byte.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quarnel {

static_assert(std::endian::native == std::endian::little,
              "the first byte of a loaded word is its lowest");

// The eight bytes from `p` as one word, the first byte in the lowest bits.
inline uint64_t LoadWord(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// The high bit of every byte of `word` that equals `c`, and no other bit.
// Exact: no carry crosses from one byte into the next.
inline uint64_t BytesEqual(uint64_t word, char c) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  const uint64_t x = word ^ (0x0101010101010101ULL * static_cast<unsigned char>(c));
  return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// A block of bytes compared with one value at once: sixteen with SSE2, else
// the eight of a word. Marks marks each matching byte, the first byte's mark
// the lowest; FirstMark(marks) is the place in the block of the byte that the
// lowest mark marks (REQUIRES: marks != 0).
#if defined(__SSE2__)
inline constexpr size_t kBlockSize = 16;
using Marks = uint32_t;
inline Marks BlockEqual(const char* p, char c) {
  const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return static_cast<Marks>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(c))));
}
inline size_t FirstMark(Marks marks) { return static_cast<size_t>(std::countr_zero(marks)); }
#else
inline constexpr size_t kBlockSize = 8;
using Marks = uint64_t;
inline Marks BlockEqual(const char* p, char c) { return BytesEqual(LoadWord(p), c); }
inline size_t FirstMark(Marks marks) { return static_cast<size_t>(std::countr_zero(marks)) / 8; }
#endif

// Calls visit(i) for each i at which text[i] == c, in order, until visit
// returns false.
template <typename Visit>
void ForEachByte(std::string_view text, char c, Visit&& visit) {
  const char* p = text.data();
  size_t i = 0;
  for (; i + kBlockSize <= text.size(); i += kBlockSize) {
    for (Marks marks = BlockEqual(p + i, c); marks != 0; marks &= marks - 1) {
      if (!visit(i + FirstMark(marks))) return;
    }
  }
  for (; i < text.size(); ++i) {
    if (p[i] == c && !visit(i)) return;
  }
}

}  // namespace quarnel

#endif  // QUARNEL_UTIL_BYTE_MATCH_H_
