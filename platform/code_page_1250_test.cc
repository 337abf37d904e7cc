#include "platform/code_page_1250.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace quarnel {
namespace {

// What the C library's own converter makes of `text`, each character it
// refuses as "?": the table must agree with it on everything.
std::string ByIconv(const char* to, const char* from, const std::string& text) {
  iconv_t cd = ::iconv_open(to, from);
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  char out[16] = {};
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size(), out_left = sizeof out;
  char* outp = out;
  const bool failed = ::iconv(cd, &in, &in_left, &outp, &out_left) == static_cast<size_t>(-1);
  ::iconv_close(cd);
  return failed ? "?" : std::string(out, outp);
}

// Character `c` in UTF-8, as the C library writes it.
std::string Utf8(char32_t c) {
  const wchar_t wide = static_cast<wchar_t>(c);
  return ByIconv("UTF-8", "WCHAR_T",
                 std::string(reinterpret_cast<const char*>(&wide), sizeof wide));
}

TEST(CodePage1250Test, EveryByteAndCharacterAsTheCLibraryConvertsThem) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string ansi(1, static_cast<char>(byte));
    EXPECT_EQ(Cp1250ToUtf8(ansi), ByIconv("UTF-8", "CP1250", ansi)) << byte;
  }
  for (char32_t c = 0; c < 0x10000; ++c) {
    if (c >= 0xD800 && c < 0xE000) continue;  // no character
    EXPECT_EQ(Utf8ToCp1250(Utf8(c)), ByIconv("CP1250", "UTF-8", Utf8(c))) << static_cast<long>(c);
  }
}

TEST(CodePage1250Test, MalformedUtf8BecomesOneQuestionMarkPerLeadByte) {
  const struct {
    std::string utf8, ansi;
  } cases[] = {
      {"a\x80\x80" "b", "a?b"},          // stray continuation bytes
      {"\xC3" "A", "?A"},                // a lead byte without its continuation
      {"\xC0\xA0" "x", "?x"},            // overlong form of a blank
      {"\xED\xA0\x80" "x", "?x"},        // a surrogate
      {"\xF0\x9F\x98\x80" "x", "?x"},    // a character outside the code page
      {"\xE2\x82", "?"},                 // cut short at the end
      {"\xC5\xA0\xC4\x8D", "\x8A\xE8"},  // Š č
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToCp1250(c.utf8), c.ansi) << c.utf8;
}

}  // namespace
}  // namespace quarnel
