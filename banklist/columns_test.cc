#include "banklist/columns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace quarnel {
namespace {

TEST(ColumnsTest, CutJoinAndFindAgreeOnEveryColumnIncludingEmptyOnes) {
  Columns columns;
  std::string joined;
  const struct {
    std::string text;
    int count;
  } cases[] = {{"", 1},          {"AIKB", 1},   {"|", 2},
               {"a||b|", 4},     {"||", 3},     {"a|b c | d", 3},
               // bars on both sides of every 8- and 16-byte block edge
               {"0123456|89abcde|ghijklmnopqrstu|w|||||||||||||||||||", 23}};
  for (const auto& c : cases) {
    columns.Cut(c.text);
    EXPECT_EQ(columns.count(), c.count) << c.text;
    EXPECT_EQ(ColumnCount(c.text), c.count) << c.text;
    columns.Join(&joined);
    EXPECT_EQ(joined, c.text);
    for (int n = 1; n <= c.count; ++n) EXPECT_EQ(FindColumn(c.text, n), columns.Get(n)) << n;
    EXPECT_EQ(FindColumn(c.text, c.count + 1), std::nullopt) << c.text;
    // Cut only up to a column: those columns as before, the rest one column.
    Columns first;
    for (int up_to = 1; up_to <= c.count + 1; ++up_to) {
      first.Cut(c.text, up_to);
      EXPECT_EQ(first.count(), std::min(up_to + 1, c.count)) << c.text << " up to " << up_to;
      for (int n = 1; n < first.count(); ++n) EXPECT_EQ(first.Get(n), columns.Get(n));
      first.Join(&joined);
      EXPECT_EQ(joined, c.text) << " up to " << up_to;
    }
  }
}

TEST(ColumnsTest, SetChangesOnlyThatColumn) {
  Columns columns;
  const std::string text = "MBSO||MBSO|OLD NAME||x|";
  columns.Cut(text);
  ASSERT_TRUE(columns.Has(column::NAME));
  EXPECT_FALSE(columns.Has(8));
  EXPECT_FALSE(columns.Has(0));
  EXPECT_EQ(columns.Get(column::NAME), "OLD NAME");
  columns.Set(column::NAME, "NEW");
  std::string joined;
  columns.Join(&joined);
  EXPECT_EQ(joined, "MBSO||MBSO|NEW||x|");
}

TEST(ColumnsTest, ReusedColumnsForgetTheLongerRowBefore) {
  Columns columns;
  columns.Cut("a|b|c|d|e|f");
  columns.Cut("x|y");
  EXPECT_EQ(columns.count(), 2);
  EXPECT_EQ(columns.Get(2), "y");
  std::string joined = "stale";
  columns.Join(&joined);
  EXPECT_EQ(joined, "x|y");
}

}  // namespace
}  // namespace quarnel
