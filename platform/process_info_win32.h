#ifndef QUARNEL_PLATFORM_PROCESS_INFO_WIN32_H_
#define QUARNEL_PLATFORM_PROCESS_INFO_WIN32_H_

// What the program learns about itself on Windows, taken apart from the raw
// texts that the system hands over (the module's path and the command line).

#include <string>
#include <string_view>

namespace quarnel {

// The command line less the program's name, quoted or not, and less the
// blanks that follow the name. The rest is kept exactly, trailing blanks and
// all.
std::wstring ArgumentTextOf(std::wstring_view command_line);

// The folder of `module_path` as application paths are given: without a
// trailing separator, except at a drive root ("C:\").
std::wstring AppPathOf(std::wstring_view module_path);

// The file name of `module_path` without folder and without its extension.
std::wstring ExeNameOf(std::wstring_view module_path);

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_PROCESS_INFO_WIN32_H_
