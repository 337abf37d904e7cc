#include "util/byte_match.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace quarnel {
namespace {

// Every byte value against every other, in each of the eight places of a
// word: a carry or borrow between bytes would mark a neighbour.
TEST(ByteMatchTest, WordMarksExactlyTheEqualBytes) {
  for (int c = 0; c < 256; ++c) {
    for (int first = 0; first < 256; first += 8) {
      char bytes[8];
      for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>(first + i);
      uint64_t expected = 0;
      for (int i = 0; i < 8; ++i) {
        if (static_cast<unsigned char>(bytes[i]) == c) expected |= uint64_t{0x80} << (8 * i);
      }
      ASSERT_EQ(BytesEqual(LoadWord(bytes), static_cast<char>(c)), expected) << c << " " << first;
    }
  }
}

TEST(ByteMatchTest, EveryPlaceIsVisitedInOrderUntilTheVisitorStops) {
  for (size_t length = 0; length <= 40; ++length) {
    for (size_t every = 1; every <= 3; ++every) {
      std::string text(length, 'x');
      std::vector<size_t> expected;
      for (size_t i = 0; i < length; i += every) {
        text[i] = '|';
        expected.push_back(i);
      }
      std::vector<size_t> seen;
      ForEachByte(text, '|', [&](size_t i) { return seen.push_back(i), true; });
      EXPECT_EQ(seen, expected) << text;
      seen.clear();
      ForEachByte(text, '|', [&](size_t i) { return seen.push_back(i), seen.size() < 2; });
      expected.resize(std::min<size_t>(expected.size(), 2));
      EXPECT_EQ(seen, expected) << text;
    }
  }
}

}  // namespace
}  // namespace quarnel
