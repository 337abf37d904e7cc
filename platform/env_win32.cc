// The Env of the program on Windows, over the wide-character Win32 API.
// Paths arrive as UTF-8 and are converted at each call; list lines are the
// file's own bytes in the ANSI code page and pass through untouched.

#include <windows.h>

#include <cctype>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/box_text.h"
#include "platform/env.h"
#include "platform/line_io.h"
#include "platform/odbc.h"
#include "platform/process_info_win32.h"
#include "platform/system_error_win32.h"
#include "platform/wide_text_win32.h"

namespace quarnel {

std::string PathIn(std::string_view base, std::string_view literal) {
  return std::string(base) + std::string(literal);
}

namespace {

constexpr wchar_t kTitle[] = L"Quarnel";
// Where the event log keeps what it knows of the source kTitle.
constexpr wchar_t kEventSourceKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quarnel";

// Owns one file handle; closes it silently when destroyed.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  FileHandle(FileHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  FileHandle& operator=(FileHandle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

  // Closes the handle; a failing close throws.
  void CloseOrThrow(const std::string& what, const std::string& path) {
    const HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
    if (handle != INVALID_HANDLE_VALUE && !CloseHandle(handle)) ThrowLastError(what, path);
  }

 private:
  HANDLE handle_;
};

// Owns one directory search.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (valid()) FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;

  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

bool IsSharingError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Access denied means a holder only where nothing about the name itself
// explains it: a folder or a read-only file stays as it is however long the
// run waits, and where no file exists nobody holds one: the folder refuses
// the new file (no right to write there). A file that is being deleted
// while someone still holds it cannot be looked at either, and is waited for.
bool MayBeHeld(DWORD error, const std::wstring& path) {
  if (IsSharingError(error)) return true;
  if (error != ERROR_ACCESS_DENIED) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD lookup = GetLastError();
    return lookup != ERROR_FILE_NOT_FOUND && lookup != ERROR_PATH_NOT_FOUND;
  }
  return !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
}

// True when another handle keeps `path` from being deleted or replaced: what
// an access denied on renaming over or deleting a held file comes from.
bool HeldWithoutDeleteSharing(const std::wstring& path) {
  const HANDLE probe =
      CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    CloseHandle(probe);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

// True when `error`, met on `path`, comes from another program that holds
// the file open for the moment.
bool HeldByAnotherProgram(DWORD error, const std::string& path) {
  const std::wstring wide = WidePath(path);
  return MayBeHeld(error, wide) && (IsSharingError(error) || HeldWithoutDeleteSharing(wide));
}

// What an error met on looking at `path` says about deleting it: where
// nothing stands, nothing keeps it.
Access DeleteAccessAfter(DWORD error) {
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Access::kAllowed;
  return IsSharingError(error) ? Access::kHeld : Access::kDenied;
}

// Whether the system sends this process's writes to protected folders to the
// user's VirtualStore (UAC file virtualization). A token that cannot be
// asked counts as not virtualized.
bool WritesVirtualized() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  const FileHandle token(raw);
  DWORD enabled = 0;
  DWORD length = 0;
  return GetTokenInformation(token.get(), TokenVirtualizationEnabled, &enabled, sizeof enabled,
                             &length) &&
         enabled != 0;
}

// The environment variable `name`; empty when it is not set.
std::wstring EnvironmentVariable(const wchar_t* name) {
  std::wstring value(64, L'\0');
  for (;;) {
    const DWORD length =
        GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);
  }
}

// Whether the rights of the folder `folder` grant this process `wanted`,
// checked as the system checks an open: against a copy of the process's
// token made for impersonation, which AccessCheck requires. Rights that
// cannot be read grant nothing.
bool FolderGrants(const std::wstring& folder, DWORD wanted) {
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  // AccessCheck refuses a descriptor without its owner and group.
  const SECURITY_INFORMATION parts =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  std::vector<unsigned char> descriptor(1024);
  DWORD needed = 0;
  while (!GetFileSecurityW(folder.c_str(), parts, descriptor.data(),
                           static_cast<DWORD>(descriptor.size()), &needed)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= descriptor.size()) return false;
    descriptor.resize(needed);
  }
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &raw)) return false;
  const FileHandle process_token(raw);
  if (!DuplicateToken(process_token.get(), SecurityImpersonation, &raw)) return false;
  const FileHandle token(raw);
  GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                             FILE_ALL_ACCESS};
  PRIVILEGE_SET privileges{};
  DWORD privileges_size = sizeof privileges;
  DWORD granted = 0;
  BOOL allowed = FALSE;
  return AccessCheck(descriptor.data(), token.get(), wanted, &mapping, &privileges,
                     &privileges_size, &granted, &allowed) &&
         allowed;
}

// A failed operation on `path`: error 3045 while another program holds the
// file (waiting it out is the caller's choice), the system's own error
// otherwise.
[[noreturn]] void ThrowFileError(const std::string& what, const std::string& path, DWORD error) {
  if (HeldByAnotherProgram(error, path)) {
    throw RunError(kErrFileInUse, what + ": " + path + ": another program holds the file (" +
                                      SystemReason(error) + ")");
  }
  ThrowSystemError(what, path, error);
}

FileHandle OpenHandle(const std::string& path, DWORD access, DWORD disposition, DWORD flags,
                      const std::string& what) {
  FileHandle file(CreateFileW(WidePath(path).c_str(), access, FILE_SHARE_READ, nullptr,
                              disposition, flags, nullptr));
  if (!file.valid()) ThrowFileError(what, path, GetLastError());
  return file;
}

// Deletes a file or, for a link to a folder, the link. A name that is
// already gone is an error unless `gone_is_fine`.
void DeleteName(const std::string& path, bool folder_link, bool gone_is_fine,
                const std::string& what) {
  const std::wstring wide = WidePath(path);
  if (folder_link ? RemoveDirectoryW(wide.c_str()) : DeleteFileW(wide.c_str())) return;
  const DWORD error = GetLastError();
  if (!(gone_is_fine && error == ERROR_FILE_NOT_FOUND)) ThrowFileError(what, path, error);
}

// The names the run writes are its own: a read-only attribute that a copy
// left there carries must not stop the run from replacing it.
void ClearReadOnly(const std::wstring& path, DWORD attributes) {
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
}

void WriteAll(HANDLE file, const char* data, size_t size, const std::string& path) {
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, data, chunk, &written, nullptr)) ThrowLastError("Writing file", path);
    data += written;
    size -= written;
  }
}

[[noreturn]] void ThrowNotAFile(const std::string& what, const std::string& path,
                               const char* kind) {
  throw RunError(kErrPathFileAccess, what + ": " + path + ": " + kind + " stands there, not a file");
}

// Opens an ordinary file for reading; a device behind the name (a pipe, a
// console) is refused at once, before anything could wait on it.
FileHandle OpenFileForReading(const std::string& path, DWORD flags, const std::string& what) {
  FileHandle file = OpenHandle(path, GENERIC_READ, OPEN_EXISTING, flags, what);
  if (GetFileType(file.get()) != FILE_TYPE_DISK) ThrowNotAFile(what, path, "a device");
  return file;
}

// Makes `path` free for a new file: a file or a link (a reparse point, never
// what it points to) standing there is removed; a folder is an error.
void ClearName(const std::string& path, const std::string& what) {
  const std::wstring wide = WidePath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
    ThrowSystemError(what, path, error);
  }
  const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folder && !link) ThrowNotAFile(what, path, "a folder");
  ClearReadOnly(wide, attributes);
  DeleteName(path, folder, true, what);
}

// Creates `path` as a new file of the run's own: CREATE_NEW refuses whatever
// another process put at the name since it was cleared, a link included.
// The file carries no attribute of any other file, read-only least of all.
FileHandle CreateNewFile(const std::string& path, DWORD access, const std::string& what) {
  ClearName(path, what);
  return OpenHandle(path, access, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, what);
}

// Closes and removes a new copy again unless it was completed, so that a
// partial copy never stands where a backup is looked for.
class PartialCopy {
 public:
  PartialCopy(FileHandle* file, const std::string& path) : file_(file), path_(path) {}
  ~PartialCopy() {
    if (complete_) return;
    *file_ = FileHandle();
    DeleteFileW(WidePath(path_).c_str());
  }
  PartialCopy(const PartialCopy&) = delete;
  PartialCopy& operator=(const PartialCopy&) = delete;

  void Complete() { complete_ = true; }

 private:
  FileHandle* file_;
  const std::string& path_;
  bool complete_ = false;
};

// Holds a byte-range lock through its handle; closing the handle, which the
// system does when the process ends in any way, releases it.
class WinFileLock final : public FileLock {
 public:
  explicit WinFileLock(FileHandle file) : file_(std::move(file)) {}

 private:
  FileHandle file_;
};

class WinLineReader final : public BufferedLineReader {
 public:
  WinLineReader(FileHandle file, std::string path)
      : BufferedLineReader(std::move(path)), file_(std::move(file)) {}

  void Close() override { file_.CloseOrThrow("Closing file", path()); }

 private:
  size_t ReadBlock(char* block, size_t size) override {
    DWORD read = 0;
    if (!ReadFile(file_.get(), block, static_cast<DWORD>(size), &read, nullptr)) {
      ThrowLastError("Reading file", path());
    }
    return read;
  }
  bool IsOpen() const override { return file_.valid(); }

  FileHandle file_;
};

class WinLineWriter final : public BufferedLineWriter {
 public:
  WinLineWriter(FileHandle file, std::string path)
      : BufferedLineWriter(std::move(path)), file_(std::move(file)) {}

 private:
  void WriteBlock(const char* data, size_t size) override {
    WriteAll(file_.get(), data, size, path());
  }
  void SyncAndClose() override {
    if (!FlushFileBuffers(file_.get())) ThrowLastError("Flushing file", path());
    file_.CloseOrThrow("Closing file", path());
  }
  bool IsOpen() const override { return file_.valid(); }

  FileHandle file_;
};

class WinLibrary final : public SharedLibrary {
 public:
  WinLibrary(HMODULE module, std::string name) : module_(module), name_(std::move(name)) {}
  ~WinLibrary() override { FreeLibrary(module_); }
  WinLibrary(const WinLibrary&) = delete;
  WinLibrary& operator=(const WinLibrary&) = delete;

  void* Function(const char* function) override {
    const FARPROC address = GetProcAddress(module_, function);
    if (address == nullptr) {
      throw RunError(kErrDllEntryPoint, std::string("Finding function ") + function + ": " +
                                            name_ + ": " + SystemReason(GetLastError()));
    }
    return reinterpret_cast<void*>(address);
  }

 private:
  HMODULE module_;
  std::string name_;
};

// The full path of the running program, however long.
std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

class WinEnv final : public Env {
 public:
  WinEnv() {
    const std::wstring module = ModulePath();
    exe_path_ = Utf8(module);
    exe_name_ = Utf8(ExeNameOf(module));
    app_path_ = Utf8(AppPathOf(module));
    arguments_ = Utf8(ArgumentTextOf(GetCommandLineW()));
  }

  std::string ExeName() override { return exe_name_; }
  std::string ArgumentText() override { return arguments_; }
  std::string AppPath() override { return app_path_; }
  std::string ExePath() override { return exe_path_; }

  // The system virtualizes only folders on the machine's own drives; the
  // VirtualStore holds each under its path less the drive.
  std::string VirtualStoreFor(const std::string& folder) override {
    const bool on_drive = folder.size() >= 2 && folder[1] == ':' &&
                          std::isalpha(static_cast<unsigned char>(folder[0]));
    if (!on_drive || !WritesVirtualized()) return "";
    const std::wstring local = EnvironmentVariable(L"LOCALAPPDATA");
    if (local.empty()) return "";
    std::string store = Utf8(local) + "\\VirtualStore";
    const size_t rest = folder.find_first_not_of('\\', 2);
    if (rest != std::string::npos) store.append("\\").append(folder, rest);
    return store;
  }

  // A key this user may not read is there all the same.
  EventSource EventLogSource() override {
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, KEY_READ, &key);
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    return status == ERROR_SUCCESS || status == ERROR_ACCESS_DENIED ? EventSource::kRegistered
                                                                   : EventSource::kNotRegistered;
  }

  bool AskYesNo(const std::string& prompt) override {
    // Only Yes confirms: No, Escape or a box that could not be shown do not.
    return ShowBox(prompt, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON1, prompt) == IDYES;
  }

  void ShowMessage(const std::string& text) override { ShowBox(text, MB_OK, text); }

  void ReportError(const RunError& error, bool silent_run) override {
    const std::string number = std::to_string(error.number());
    // First the trace that stays when nobody saw the box.
    WriteToEventLog("Error " + number + ": " + error.description(), error.number());
    // The start-up runner waits for the program; at an unattended machine a
    // box nobody clicks would hold the start-up up for good.
    const UINT_PTR timer =
        silent_run ? SetTimer(nullptr, 0, kSilentReportSeconds * 1000, EndReportBox) : 0;
    ShowBox(WrappedForBox("Error " + number + ": " + error.description()), MB_OK | MB_ICONERROR,
            "error " + number + ": " + error.description());
    if (timer != 0) KillTimer(nullptr, timer);
  }

  // Not ExitProcess: that would first call into every loaded library, the
  // ODBC driver that still holds the waiting call among them.
  void EndProcess(int exit_code) override {
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exit_code));
  }

  bool IsPresent(const std::string& path, Presence admits) override {
    DWORD refused = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (admits == Presence::kFilesOnly) refused |= FILE_ATTRIBUTE_DIRECTORY;
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW(WidePath(path).c_str(), &found));
    if (!search.valid()) return false;
    do {
      if ((found.dwFileAttributes & refused) == 0) return true;
    } while (FindNextFileW(search.get(), &found));
    return false;
  }

  bool FileExists(const std::string& path) override {
    const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }

  void CopyWholeFile(const std::string& from, const std::string& to) override {
    FileHandle in = OpenFileForReading(from, FILE_FLAG_SEQUENTIAL_SCAN, "Copying file");
    FileHandle out = CreateNewFile(to, GENERIC_WRITE, "Copying file to");
    PartialCopy copy(&out, to);
    std::vector<char> block(1 << 20);
    for (;;) {
      DWORD read = 0;
      if (!ReadFile(in.get(), block.data(), static_cast<DWORD>(block.size()), &read, nullptr)) {
        ThrowLastError("Copying file from", from);
      }
      if (read == 0) break;
      WriteAll(out.get(), block.data(), read, to);
    }
    // The live list is only ever replaced once its backup is on the disk.
    if (!FlushFileBuffers(out.get())) ThrowLastError("Flushing file", to);
    out.CloseOrThrow("Closing file", to);
    copy.Complete();
  }

  void RemoveFile(const std::string& path) override {
    const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      ThrowNotAFile("Deleting file", path, "a folder");
    }
    DeleteName(path, false, false, "Deleting file");
  }

  void RenameOver(const std::string& from, const std::string& to) override {
    const std::string what = "Renaming " + from + " to";
    const DWORD attributes = GetFileAttributesW(WidePath(to).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      ThrowNotAFile(what, to, "a folder");
    }
    // A read-only file there is one of the run's own (an old backup); the
    // live list has been checked for the attribute before anything changed.
    ClearReadOnly(WidePath(to), attributes);
    if (!MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      ThrowFileError(what, to, GetLastError());
    }
  }

  // Windows cannot flush a folder: the write-through rename is what it offers.
  void SyncFolder(const std::string&) override {}

  bool IsReadOnly(const std::string& path) override {
    const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
  }

  std::unique_ptr<LineReader> OpenForReading(const std::string& path) override {
    return std::make_unique<WinLineReader>(
        OpenFileForReading(path, FILE_FLAG_SEQUENTIAL_SCAN, "Opening file"), path);
  }

  std::unique_ptr<LineWriter> CreateForWriting(const std::string& path) override {
    return std::make_unique<WinLineWriter>(CreateNewFile(path, GENERIC_WRITE, "Creating file"),
                                           path);
  }

  std::unique_ptr<FileLock> TryLockFile(const std::string& path) override {
    const std::string what = "Locking file";
    FileHandle file(CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                nullptr));
    if (!file.valid()) ThrowLastError(what, path);
    if (GetFileType(file.get()) != FILE_TYPE_DISK) ThrowNotAFile(what, path, "a device");
    OVERLAPPED whole{};
    if (!LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                    &whole)) {
      const DWORD error = GetLastError();
      if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return nullptr;
      ThrowSystemError(what, path, error);
    }
    return std::make_unique<WinFileLock>(std::move(file));
  }

  Access DeleteAccess(const std::string& path) override {
    const std::wstring wide = WidePath(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return DeleteAccessAfter(GetLastError());
    // RemoveFile refuses both.
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return Access::kDenied;
    // Opening for DELETE with full sharing asks what deleting asks, of the
    // rights and of the other handles; the handle, closed unused, changes
    // nothing. A link is asked about itself, as it is what RemoveFile takes.
    const FileHandle probe(CreateFileW(wide.c_str(), DELETE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                       nullptr));
    return probe.valid() ? Access::kAllowed : DeleteAccessAfter(GetLastError());
  }

  // Where the process's writes are virtualized, a write that a protected
  // folder refuses goes to the VirtualStore and succeeds there.
  Access FolderAccess(const std::string& folder) override {
    if (!VirtualStoreFor(folder).empty()) return Access::kAllowed;
    return FolderGrants(WidePath(folder), FILE_ADD_FILE | FILE_DELETE_CHILD) ? Access::kAllowed
                                                                             : Access::kDenied;
  }

  // A program of the GUI subsystem has a standard output only when its
  // starter handed one over, as a command prompt does for "> preview.txt".
  bool WriteToStandardOutput(std::string_view bytes) override {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return false;
    if (GetFileType(out) == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR) return false;
    // A handle handed over for a file the starter had already closed leads
    // nowhere either; that shows only at the first write.
    DWORD written = 0;
    const DWORD first = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1 << 16));
    if (!WriteFile(out, bytes.data(), first, &written, nullptr)) {
      if (GetLastError() == ERROR_INVALID_HANDLE) return false;
      ThrowLastError("Writing file", "standard output");
    }
    bytes.remove_prefix(written);
    WriteAll(out, bytes.data(), bytes.size(), "standard output");
    return true;
  }

  std::string ToAnsi(std::string_view utf8) override { return AnsiFromUtf8(utf8); }
  std::string FromAnsi(std::string_view ansi) override { return Utf8FromAnsi(ansi); }

  std::unique_ptr<SharedLibrary> OpenLibrary(const std::string& name) override {
    // The program's folder first, then the system's folders; never the
    // current folder or PATH, where anyone could leave a library that would
    // be handed the database password.
    const HMODULE module =
        LoadLibraryExW(Wide(name).c_str(), nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (module == nullptr) {
      throw RunError(kErrDllLoad,
                     "Loading library " + name + ": " + SystemReason(GetLastError(), name + ".dll"));
    }
    return std::make_unique<WinLibrary>(module, name);
  }

  std::unique_ptr<OdbcConnection> ConnectOdbc(const OdbcLogin& login) override {
    return OpenOdbcConnection(login);
  }

  std::vector<DataSourceEntry> DataSources() override { return ListDataSources(); }

  void Pause(int milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }

  LocalTime Now() override {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
  }

 private:
  // A modal box titled with the application title. Where no box can be
  // shown (no desktop), `console_text` goes to the standard error handle that
  // the starting process gave, if any, in the form the console build uses,
  // so that no report is silently lost.
  // A quit message ends a message box's modal loop as if it were answered.
  static void CALLBACK EndReportBox(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); }

  // One error entry of the source "Quarnel" in the Application log. A source
  // nobody registered is fine: the log shows the text as it is.
  static void WriteToEventLog(const std::string& text, int number) {
    const HANDLE source = RegisterEventSourceW(nullptr, kTitle);
    if (source == nullptr) return;
    const std::wstring wide = Wide(text);
    const wchar_t* strings[] = {wide.c_str()};
    ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, static_cast<DWORD>(number), nullptr, 1, 0,
                 strings, nullptr);
    DeregisterEventSource(source);
  }

  static int ShowBox(const std::string& text, UINT flags, const std::string& console_text) {
    const int pressed = MessageBoxW(nullptr, Wide(text).c_str(), kTitle, flags);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (pressed <= 0 && err != nullptr && err != INVALID_HANDLE_VALUE) {
      const std::string line = "Quarnel: " + console_text + "\r\n";
      DWORD written = 0;
      WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    return pressed;
  }

  std::string exe_path_;
  std::string exe_name_;
  std::string arguments_;
  std::string app_path_;
};

}  // namespace

std::unique_ptr<Env> NewPlatformEnv(int, char**) {
  // Nobody may be at the machine: the system must never stop the run with a
  // dialog of its own, a crash or a missing drive included.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  return std::make_unique<WinEnv>();
}

}  // namespace quarnel
