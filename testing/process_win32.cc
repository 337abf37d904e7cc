#include "testing/process.h"

#include <windows.h>

#include <filesystem>
#include <stdexcept>
#include <utility>

#include "platform/wide_text_win32.h"
#include "testing/temp_dir.h"

namespace quarnel::testing {

const char kLibraryFile[] = "PELX.dll";

namespace {

namespace fs = std::filesystem;

// The build writes the paths of what it built into the tests as paths of the
// build machine; under Wine that machine's root is drive Z:.
std::string WindowsPath(const std::string& path) {
  return !path.empty() && path[0] == '/' ? "Z:" + path : path;
}

fs::path FsPath(const std::string& utf8) { return fs::path(Wide(WindowsPath(utf8))); }

// Quotes one argument so that the C runtime's parser hands it back unchanged.
std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L'"';
}

// The test's own environment with `added` entries set over it, as a block
// for CreateProcessW.
std::wstring EnvironmentBlock(const std::vector<std::string>& added) {
  std::vector<std::wstring> entries;
  wchar_t* own = GetEnvironmentStringsW();
  for (const wchar_t* entry = own; *entry != L'\0'; entry += wcslen(entry) + 1) {
    entries.emplace_back(entry);
  }
  FreeEnvironmentStringsW(own);
  for (const std::string& entry : added) {
    const std::wstring wide = Wide(entry);
    const size_t equals = wide.find(L'=');
    const std::wstring name =
        wide.substr(0, equals == std::wstring::npos ? wide.size() : equals + 1);
    std::erase_if(entries, [&](const std::wstring& old) {
      return _wcsnicmp(old.c_str(), name.c_str(), name.size()) == 0;
    });
    entries.push_back(wide);
  }
  std::wstring block;
  for (const std::wstring& entry : entries) block += entry + L'\0';
  return block + L'\0';
}

// Owns one handle that the child inherits.
class Inherited {
 public:
  Inherited(const std::string& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    handle_ = CreateFileW(Wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
  }
  ~Inherited() { CloseHandle(handle_); }
  Inherited(const Inherited&) = delete;
  Inherited& operator=(const Inherited&) = delete;

  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

int RunAndWait(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment, STARTUPINFOW* startup) {
  // A program in a folder past MAX_PATH starts only from its long form.
  const std::wstring application = WidePath(WindowsPath(program));
  std::wstring command_line = Quoted(Wide(WindowsPath(program)));
  for (const std::string& argument : arguments) command_line += L' ' + Quoted(Wide(argument));
  std::wstring block = EnvironmentBlock(environment);
  PROCESS_INFORMATION child{};
  if (!CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                      CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, startup, &child)) {
    throw std::runtime_error("cannot start " + program);
  }
  CloseHandle(child.hThread);
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD exit_code = 0;
  GetExitCodeProcess(child.hProcess, &exit_code);
  CloseHandle(child.hProcess);
  return static_cast<int>(exit_code);
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& input,
                         const std::vector<std::string>& environment) {
  ScopedTempDir scratch;
  WriteFile(scratch.Join("in"), input);
  ProcessResult result;
  {
    Inherited in(scratch.Join("in"), GENERIC_READ, OPEN_EXISTING);
    Inherited out(scratch.Join("out"), GENERIC_WRITE, CREATE_ALWAYS);
    Inherited err(scratch.Join("err"), GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.get();
    startup.hStdOutput = out.get();
    startup.hStdError = err.get();
    result.exit_code = RunAndWait(program, arguments, environment, &startup);
  }
  result.out = ReadFileOr(scratch.Join("out"), "");
  result.err = ReadFileOr(scratch.Join("err"), "");
  return result;
}

std::string InstallProgram(const std::string& folder, const std::string& name) {
  const fs::path built = FsPath(QUARNEL_EXE);
  // The system starts only a file that carries its extension.
  const std::string file = name.find('.') == std::string::npos ? name + ".exe" : name;
  const fs::path target = FsPath(folder) / Wide(file);
  fs::copy_file(built, target, fs::copy_options::overwrite_existing);
  const fs::path library = built.parent_path() / kLibraryFile;
  if (fs::exists(library)) {
    fs::copy_file(library, FsPath(folder) / kLibraryFile, fs::copy_options::overwrite_existing);
  }
  return Utf8(target.wstring());
}

}  // namespace quarnel::testing
