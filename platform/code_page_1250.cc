#include "platform/code_page_1250.h"

#include <cstdint>

namespace quarnel {

namespace {

// The characters of bytes 0x80 to 0xFF; 0 where the byte is undefined.
constexpr char16_t kUpperHalf[128] = {
    0x20AC, 0x0000, 0x201A, 0x0000, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x0000, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  // 88
    0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  // 98
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  // A0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  // A8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  // B8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  // C0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  // C8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  // D0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  // D8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  // E0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  // E8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  // F0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,  // F8
};

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The character of the well-formed sequence at `text[*at]`, which is not
// ASCII, advancing *at past it; or -1, leaving *at alone.
int32_t DecodeSequence(std::string_view text, size_t* at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[*at + i]); };
  const unsigned char lead = byte(0);
  size_t length;
  int32_t value;
  // The lowest and highest second byte that the lead allows: no overlong
  // form, no surrogate, nothing past U+10FFFF.
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return -1;
  }
  if (text.size() - *at < length || byte(1) < low || byte(1) > high) return -1;
  for (size_t i = 1; i < length; ++i) {
    if (!IsContinuation(byte(i))) return -1;
    value = (value << 6) | (byte(i) & 0x3F);
  }
  *at += length;
  return value;
}

}  // namespace

std::string Utf8ToCp1250(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t at = 0;
  while (at < utf8.size()) {
    // The program's texts are nearly all ASCII, which stays as it is: taken
    // over a run at a time.
    size_t ascii = at;
    while (ascii < utf8.size() && static_cast<unsigned char>(utf8[ascii]) < 0x80) ++ascii;
    out.append(utf8.data() + at, ascii - at);
    at = ascii;
    if (at == utf8.size()) break;
    size_t next = at;
    const int32_t value = DecodeSequence(utf8, &next);
    char mapped = 0;
    for (int i = 0; value > 0 && i < 128 && mapped == 0; ++i) {
      if (kUpperHalf[i] == value) mapped = static_cast<char>(0x80 + i);
    }
    if (mapped != 0) {
      out += mapped;
      at = next;
      continue;
    }
    out += '?';
    ++at;
    while (at < utf8.size() && IsContinuation(static_cast<unsigned char>(utf8[at]))) ++at;
  }
  return out;
}

std::string Cp1250ToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size());
  for (const char c : ansi) {
    const auto byte = static_cast<unsigned char>(c);
    const char16_t value = byte < 0x80 ? byte : kUpperHalf[byte - 0x80];
    if (byte >= 0x80 && value == 0) {
      out += '?';
    } else if (value < 0x80) {
      out += static_cast<char>(value);
    } else if (value < 0x800) {
      out += static_cast<char>(0xC0 | (value >> 6));
      out += static_cast<char>(0x80 | (value & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (value >> 12));
      out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (value & 0x3F));
    }
  }
  return out;
}

}  // namespace quarnel
