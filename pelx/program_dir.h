#ifndef PELX_PROGRAM_DIR_H_
#define PELX_PROGRAM_DIR_H_

#include <filesystem>

namespace pelx {

// The path of `file_name` in the directory of the program that loaded the
// library, however long and whatever letters it holds; empty when the system
// does not tell that directory. The only place where the library asks the
// operating system anything.
std::filesystem::path BesideProgram(const char* file_name);

}  // namespace pelx

#endif  // PELX_PROGRAM_DIR_H_
