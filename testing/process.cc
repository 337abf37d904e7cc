#include "testing/process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "testing/temp_dir.h"

namespace quarnel::testing {

namespace fs = std::filesystem;

const char kLibraryFile[] = "libPELX.so";

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& input,
                         const std::vector<std::string>& environment) {
  ScopedTempDir scratch;
  const std::string in_path = scratch.Join("in");
  const std::string out_path = scratch.Join("out");
  const std::string err_path = scratch.Join("err");
  WriteFile(in_path, input);

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int in = ::open(in_path.c_str(), O_RDONLY);
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    for (const std::string& entry : environment) ::putenv(const_cast<char*>(entry.c_str()));
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
  }
  ProcessResult result;
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadFileOr(out_path, "");
  result.err = ReadFileOr(err_path, "");
  return result;
}

std::string InstallProgram(const std::string& folder, const std::string& name) {
  const fs::path built(QUARNEL_EXE);
  const fs::path target = fs::path(folder) / name;
  fs::copy_file(built, target, fs::copy_options::overwrite_existing);
  const fs::path library = built.parent_path() / kLibraryFile;
  if (fs::exists(library)) {
    fs::copy_file(library, fs::path(folder) / kLibraryFile, fs::copy_options::overwrite_existing);
  }
  return target.string();
}

}  // namespace quarnel::testing
