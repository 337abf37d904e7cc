#include "platform/process_info_win32.h"

namespace quarnel {

namespace {

// Blanks as the start-up code counts them: space and every control character.
bool IsBlank(wchar_t c) { return c <= L' '; }

size_t NameStart(std::wstring_view module_path) {
  const size_t separator = module_path.find_last_of(L"\\/");
  return separator == std::wstring_view::npos ? 0 : separator + 1;
}

}  // namespace

std::wstring ArgumentTextOf(std::wstring_view command_line) {
  // The rule of the system's start-up code for GUI programs: a name that
  // starts with a double quote ends at the next one, any other name at the
  // first blank.
  size_t at = 0;
  if (!command_line.empty() && command_line[0] == L'"') {
    at = command_line.find(L'"', 1);
    at = at == std::wstring_view::npos ? command_line.size() : at + 1;
  } else {
    while (at < command_line.size() && !IsBlank(command_line[at])) ++at;
  }
  while (at < command_line.size() && IsBlank(command_line[at])) ++at;
  return std::wstring(command_line.substr(at));
}

std::wstring AppPathOf(std::wstring_view module_path) {
  const size_t start = NameStart(module_path);
  std::wstring folder(module_path.substr(0, start == 0 ? 0 : start - 1));
  if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
  return folder;
}

std::wstring ExeNameOf(std::wstring_view module_path) {
  std::wstring_view name = module_path.substr(NameStart(module_path));
  const size_t dot = name.rfind(L'.');
  if (dot != std::wstring_view::npos) name = name.substr(0, dot);
  return std::wstring(name);
}

}  // namespace quarnel
