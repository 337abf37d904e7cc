#include "platform/wide_text_win32.h"

#include <windows.h>

namespace quarnel {

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

std::wstring WidePath(std::string_view path) {
  const std::wstring wide = Wide(path);
  const std::wstring_view long_prefix = L"\\\\?\\";
  if (wide.size() < MAX_PATH || wide.starts_with(long_prefix)) return wide;
  // The \\?\ form is taken literally: no "/" becomes "\", no "." or ".."
  // is resolved and no current folder is prepended, so the system's own
  // full path comes first.
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;  // the file call then says what is wrong
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return wide;
  full.resize(length);
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return std::wstring(long_prefix) + full;
}

std::string AnsiFromUtf8(std::string_view utf8) {
  const UINT code_page = GetACP();
  if (code_page == CP_UTF8 || utf8.empty()) return std::string(utf8);
  const std::wstring wide = Wide(utf8);
  const int size = static_cast<int>(wide.size());
  // No best fit: a character the code page lacks becomes "?", not a
  // look-alike letter.
  const DWORD flags = WC_NO_BEST_FIT_CHARS;
  const int length =
      WideCharToMultiByte(code_page, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(code_page, flags, wide.data(), size, ansi.data(), length, nullptr, nullptr);
  return ansi;
}

std::string Utf8FromAnsi(std::string_view ansi) {
  const UINT code_page = GetACP();
  if (code_page == CP_UTF8 || ansi.empty()) return std::string(ansi);
  const int size = static_cast<int>(ansi.size());
  const int length = MultiByteToWideChar(code_page, 0, ansi.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(code_page, 0, ansi.data(), size, wide.data(), length);
  return Utf8(wide);
}

}  // namespace quarnel
