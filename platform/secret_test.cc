#include "platform/secret.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

namespace quarnel {
namespace {

// True when the `size` bytes at `bytes` (a buffer that is still alive) are
// all zero.
bool Cleared(const char* bytes, size_t size) {
  return std::all_of(bytes, bytes + size, [](char c) { return c == '\0'; });
}

TEST(SecretTest, WipeClearsTheWholeBuffer) {
  std::string text = "qtwm52hzkrpad-and-more-than-a-small-buffer";
  text.resize(5);  // the rest of the password still stands in the buffer
  const char* buffer = text.data();
  const size_t capacity = text.capacity();
  Wipe(&text);
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(text.data(), buffer);
  EXPECT_TRUE(Cleared(buffer, capacity));
}

// A move leaves nothing behind in the source, short text or long.
TEST(SecretTest, AMovedSecretLeavesNoCopyBehind) {
  for (const std::string& text : {std::string("pw"), std::string("qtwm52hzkrpad"),
                                  std::string(100, 'p')}) {
    Secret source(text);
    const char* left = source.data();
    const size_t size = source.size();
    Secret owner(std::move(source));
    EXPECT_EQ(owner.view(), text);
    EXPECT_TRUE(source.empty());
    if (left != owner.data()) {
      EXPECT_TRUE(Cleared(left, size)) << text;
    }

    Secret other("x");
    other = std::move(owner);
    EXPECT_EQ(other.view(), text);
    EXPECT_TRUE(owner.empty());
  }
}

}  // namespace
}  // namespace quarnel
