#include "pelx/cipher.h"

#include "pelx/pelx.h"

namespace pelx {
namespace {

// The position enters the key stream so that a repeated character does not
// show as a repeated pair of hex digits.
unsigned char KeyByte(std::size_t i) {
  static constexpr unsigned char kKey[16] = {0x5A, 0xC3, 0x17, 0x8E, 0x39, 0xF2,
                                             0x64, 0xAD, 0x0B, 0xD6, 0x71, 0x28,
                                             0xE5, 0x4F, 0x93, 0xBC};
  return kKey[i % sizeof kKey] ^ static_cast<unsigned char>(i * 151 + 73);
}

int HexValue(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  return -1;
}

}  // namespace

std::string EncryptToHex(std::string_view plain) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(plain.size() * 2);
  for (std::size_t i = 0; i < plain.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(plain[i]) ^ KeyByte(i);
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0x0F]);
  }
  return hex;
}

int32_t DecryptHexInPlace(char* text, std::size_t length) {
  if (length % 2 != 0 || length / 2 > INT32_MAX) return PELX_BAD_TEXT;
  // Checked in full first, so that bad input leaves the text untouched.
  for (std::size_t i = 0; i < length; ++i) {
    if (HexValue(text[i]) < 0) return PELX_BAD_TEXT;
  }
  // Byte i is read from positions 2i and 2i+1, never behind the write at i.
  for (std::size_t i = 0; i < length / 2; ++i) {
    const int byte = HexValue(text[2 * i]) * 16 + HexValue(text[2 * i + 1]);
    text[i] = static_cast<char>(static_cast<unsigned char>(byte) ^ KeyByte(i));
  }
  return static_cast<int32_t>(length / 2);
}

}  // namespace pelx
