#include "platform/box_text.h"

#include <gtest/gtest.h>

#include <string>

namespace quarnel {
namespace {

std::string X(size_t n) { return std::string(n, 'x'); }
std::string Y(size_t n) { return std::string(n, 'y'); }

TEST(BoxTextTest, LinesBreakAtBlanksAndInsideWordsLongerThanALine) {
  struct Case {
    std::string text;
    std::string wrapped;
  } cases[] = {
      {"", ""},
      {"Error 53: short", "Error 53: short"},
      {X(80), X(80)},
      {X(81), X(80) + "\n" + X(1)},
      {X(39) + " " + Y(40), X(39) + " " + Y(40)},
      {X(40) + " " + Y(40), X(40) + "\n" + Y(40)},
      {"a: " + X(200), "a:\n" + X(80) + "\n" + X(80) + "\n" + X(40)},
      {X(160) + " b", X(80) + "\n" + X(80) + "\nb"},
      {X(70) + " " + Y(5) + " " + Y(5), X(70) + " " + Y(5) + "\n" + Y(5)},
  };
  for (const Case& c : cases) EXPECT_EQ(WrappedForBox(c.text), c.wrapped) << c.text;
}

// Whatever the words, no line is longer than a box's, and no character but
// a blank that gave way to a line break is lost.
TEST(BoxTextTest, NoLineIsLongerThanABoxAndNothingIsLost) {
  for (size_t first = 1; first < 200; first += 7) {
    for (size_t second = 1; second < 200; second += 11) {
      const std::string text = "Error 70: " + X(first) + " " + Y(second) + " end";
      const std::string wrapped = WrappedForBox(text);
      size_t line = 0;
      std::string kept;
      for (char c : wrapped) {
        line = c == '\n' ? 0 : line + 1;
        ASSERT_LE(line, kBoxLineLength) << text;
        if (c != '\n' && c != ' ') kept += c;
      }
      std::string expected;
      for (char c : text) {
        if (c != ' ') expected += c;
      }
      EXPECT_EQ(kept, expected) << text;
    }
  }
}

}  // namespace
}  // namespace quarnel
