// tarvo-auth-write FILE
//
// Writes an authentication file for the credentials library. The user name
// and the password are read from standard input, one line each, so that they
// never appear on a command line or in a process listing. Nothing of either
// value is ever printed. An empty value, or one holding a NUL, CR or LF, is
// refused: the program that reads the file could not use it whole. Exit
// status 0 on success, 1 on failure or refusal (no file is written), 2 on
// misuse.

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>

#include "pelx/auth_file.h"

namespace {

bool ReadValueLine(std::string* value) {
  if (!std::getline(std::cin, *value)) return false;
  if (!value->empty() && value->back() == '\r') value->pop_back();
  return true;
}

// Why `value` cannot be stored, or nullptr when it can.
const char* Refusal(const std::string& value) {
  if (value.empty()) return "is empty";
  if (value.find_first_of(std::string("\0\r\n", 3)) != std::string::npos) {
    return "holds a NUL, CR or LF character";
  }
  return nullptr;
}

bool WriteAuthFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  // Only the owner may read the credentials, before any of them is written.
  std::error_code ignored;
  std::filesystem::permissions(path,
                               std::filesystem::perms::owner_read |
                                   std::filesystem::perms::owner_write,
                               ignored);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.close();
  return !out.fail();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: tarvo-auth-write FILE\n"
                 "Reads the user name and then the password, one line each, "
                 "from standard input.\n";
    return 2;
  }
#ifdef _WIN32
  // The bytes as given: text mode would take a CR before a line end away
  // unseen, and end the input at a Ctrl-Z.
  _setmode(_fileno(stdin), _O_BINARY);
#endif
  std::string user;
  std::string password;
  if (!ReadValueLine(&user) || !ReadValueLine(&password)) {
    std::cerr << "tarvo-auth-write: expected two lines on standard input: "
                 "the user name and the password\n";
    return 1;
  }
  const std::pair<const char*, const std::string*> values[] = {{"user name", &user},
                                                               {"password", &password}};
  for (const auto& [name, value] : values) {
    if (const char* refusal = Refusal(*value)) {
      std::cerr << "tarvo-auth-write: the " << name << " " << refusal << "; nothing written\n";
      return 1;
    }
  }
  if (!WriteAuthFile(argv[1], pelx::AuthFileContent(user, password))) {
    std::cerr << "tarvo-auth-write: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
