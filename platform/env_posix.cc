// The Env of the program on POSIX systems.

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/code_page_1250.h"
#include "platform/elf_check.h"
#include "platform/env.h"
#include "platform/line_io.h"
#include "platform/odbc.h"
#include "platform/posix_file.h"

namespace quarnel {

std::string PathIn(std::string_view base, std::string_view literal) {
  std::string path(base);
  for (const char c : literal) path += c == '\\' ? '/' : c;
  return path;
}

namespace {

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Makes a completed rename survive a power cut: the directory entry is only
// durable once the directory itself is synced.
void SyncDirectory(const std::string& dir) {
  FileDescriptor fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) ThrowSystemError("Opening folder", dir, errno);
  if (::fsync(fd.get()) != 0 && errno != EINVAL) {
    ThrowSystemError("Syncing folder", dir, errno);
  }
}

// What stands at a name when it is not an ordinary file, for messages.
const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a named pipe (FIFO)";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not an ordinary file";
}

[[noreturn]] void ThrowNotAFile(const std::string& what, const std::string& path, mode_t mode) {
  if (S_ISDIR(mode)) ThrowSystemError(what, path, EISDIR);
  throw RunError(kErrPathFileAccess,
                 what + ": " + path + ": " + KindOf(mode) + " stands there, not a file");
}

// Opens an ordinary file for reading. O_NONBLOCK keeps the open itself from
// waiting for a writer at a named pipe, so such a thing is refused at once
// instead of holding an unattended start-up up for good.
FileDescriptor OpenFileForReading(const std::string& path, const std::string& what) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) ThrowSystemError(what, path, errno);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) ThrowSystemError(what, path, errno);
  if (!S_ISREG(st.st_mode)) ThrowNotAFile(what, path, st.st_mode);
  return fd;
}

// Makes `path` free for a new file: a file or a link standing there is
// removed (a link, never what it points to); anything else is an error.
void ClearName(const std::string& path, const std::string& what) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return;
    ThrowSystemError(what, path, errno);
  }
  if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) ThrowNotAFile(what, path, st.st_mode);
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) ThrowSystemError(what, path, errno);
}

// Creates `path` as a new file of the run's own. O_EXCL with O_NOFOLLOW
// refuses whatever another process put at the name since it was cleared,
// a link included, so nothing is ever written through a link.
FileDescriptor CreateNewFile(const std::string& path, const std::string& what) {
  ClearName(path, what);
  FileDescriptor fd(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (fd.get() < 0) ThrowSystemError(what, path, errno);
  return fd;
}

// How many bytes a long copy or list is written in before they are started
// on their way to the disk.
constexpr size_t kWriteOutStep = 8 << 20;

// Copies what is left of `in` to `out`. The kernel copies without bringing
// the bytes through the program where it can; a file system that cannot gets
// the ordinary read and write. Each step's bytes start on their way to the
// disk at once, so that the sync at the end has little left to wait for; a
// copy shorter than a step is left to that sync.
void CopyContent(int in, int out, const std::string& src, const std::string& dst) {
  bool kernel_copy = true;
  std::vector<char> block;
  off_t copied = 0;
  off_t started = 0;  // the bytes before this are on their way to the disk
  for (;;) {
    ssize_t n = -1;
    if (kernel_copy) {
      n = ::copy_file_range(in, nullptr, out, nullptr, kWriteOutStep, 0);
      // Some file systems answer "nothing copied" instead of refusing.
      const bool refused = n < 0 && (errno == EXDEV || errno == ENOSYS ||
                                     errno == EOPNOTSUPP || errno == EINVAL);
      if (refused || (n == 0 && copied == 0)) {
        kernel_copy = false;
        block.resize(256 * 1024);
        continue;
      }
      // The kernel's copy reads and writes in one call: no room is the
      // destination's fault, anything else the source's.
      if (n < 0 && IsNoRoom(errno)) ThrowSystemError("Writing file", dst, errno);
    } else {
      n = ::read(in, block.data(), block.size());
      if (n > 0) WriteAll(out, block.data(), static_cast<size_t>(n), dst);
    }
    if (n == 0) return;
    if (n < 0 && errno != EINTR) ThrowSystemError("Copying file from", src, errno);
    if (n > 0) {
      copied += n;
      if (copied - started >= static_cast<off_t>(kWriteOutStep)) {
        ::sync_file_range(out, started, copied - started, SYNC_FILE_RANGE_WRITE);
        started = copied;
      }
    }
  }
}

// Refuses a library file that the loader would map beyond its end: a
// truncated or damaged copy would otherwise end the program with a bus error
// and no report at all. Every failure is error 48, whatever the system says.
void CheckLibraryFile(const std::string& path, const std::string& what) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st;
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
    throw RunError(kErrDllLoad, what + ": " + path + ": " + std::strerror(errno));
  }
  if (S_ISDIR(st.st_mode)) {
    throw RunError(kErrDllLoad, what + ": " + path + ": " + std::strerror(EISDIR));
  }
  if (!S_ISREG(st.st_mode)) {
    throw RunError(kErrDllLoad, what + ": " + path + ": " + KindOf(st.st_mode) +
                                    " stands there, not a file");
  }
  const char* damage = ElfImageDamage(
      static_cast<uint64_t>(st.st_size), [&](void* into, size_t length, uint64_t offset) {
        return ::pread(fd.get(), into, length, static_cast<off_t>(offset)) ==
               static_cast<ssize_t>(length);
      });
  if (damage != nullptr) {
    throw RunError(kErrDllLoad, what + ": " + path + ": the library file is damaged: " + damage);
  }
}

// The inode flags (FS_IOC_GETFLAGS) of the ordinary file or, with `folder`,
// the folder at `path`; none where the file system keeps no flags or the
// thing cannot be opened to ask (no right to read it). The open never waits
// on a pipe put there meanwhile, and never follows a link to a file.
int InodeFlags(const std::string& path, bool folder) {
  const int kind = folder ? O_DIRECTORY : O_NOFOLLOW | O_NOCTTY;
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | kind));
  int flags = 0;
  if (fd.get() < 0 || ::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) != 0) return 0;
  return flags;
}

// Whether this process may create and remove entries of `folder`. access(2)
// does not know the append-only flag, which keeps entries from going.
// AT_EACCESS: the rights of this process's effective user, not its real one.
bool MayChangeEntries(const std::string& folder) {
  return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0 &&
         (InodeFlags(folder, true) & FS_APPEND_FL) == 0;
}

// Whether this process has CAP_FOWNER, which overrides a sticky folder.
bool OverridesOwnership() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (::syscall(SYS_capget, &header, data) != 0) return ::geteuid() == 0;
  return (data[CAP_TO_INDEX(CAP_FOWNER)].effective & CAP_TO_MASK(CAP_FOWNER)) != 0;
}

// A sticky folder lets only the owners of a file, and of the folder itself,
// delete it.
bool StickyForbids(const struct stat& folder, const struct stat& file) {
  if ((folder.st_mode & S_ISVTX) == 0) return false;
  const uid_t user = ::geteuid();
  return user != file.st_uid && user != folder.st_uid && !OverridesOwnership();
}

// Removes a new copy again unless it was completed, so that a partial copy
// never stands where a backup is looked for.
class PartialCopy {
 public:
  explicit PartialCopy(const std::string& path) : path_(path) {}
  ~PartialCopy() {
    if (!complete_) ::unlink(path_.c_str());
  }
  PartialCopy(const PartialCopy&) = delete;
  PartialCopy& operator=(const PartialCopy&) = delete;

  void Complete() { complete_ = true; }

 private:
  const std::string& path_;
  bool complete_ = false;
};

// A lock of the whole file through flock: it belongs to the open file, so the
// system drops it with the descriptor when the process ends in any way.
class PosixFileLock final : public FileLock {
 public:
  explicit PosixFileLock(FileDescriptor fd) : fd_(std::move(fd)) {}

 private:
  FileDescriptor fd_;
};

class PosixLineReader final : public BufferedLineReader {
 public:
  PosixLineReader(FileDescriptor fd, std::string path)
      : BufferedLineReader(std::move(path)), fd_(std::move(fd)) {}

  void Close() override { fd_.CloseOrThrow("Closing file", path()); }

 private:
  size_t ReadBlock(char* block, size_t size) override {
    for (;;) {
      const ssize_t n = ::read(fd_.get(), block, size);
      if (n >= 0) return static_cast<size_t>(n);
      if (errno != EINTR) ThrowSystemError("Reading file", path(), errno);
    }
  }
  bool IsOpen() const override { return fd_.get() >= 0; }

  FileDescriptor fd_;
};

class PosixLineWriter final : public BufferedLineWriter {
 public:
  PosixLineWriter(FileDescriptor fd, std::string path)
      : BufferedLineWriter(std::move(path)), fd_(std::move(fd)) {}

 private:
  void WriteBlock(const char* data, size_t size) override {
    WriteAll(fd_.get(), data, size, path());
    // Start writing a long file out while the rest is still being made, so
    // that the sync at the end has little left to wait for.
    written_ += size;
    if (written_ - started_ >= kWriteOutStep) {
      ::sync_file_range(fd_.get(), static_cast<off_t>(started_),
                        static_cast<off_t>(written_ - started_), SYNC_FILE_RANGE_WRITE);
      started_ = written_;
    }
  }
  void SyncAndClose() override {
    if (::fsync(fd_.get()) != 0) ThrowSystemError("Syncing file", path(), errno);
    fd_.CloseOrThrow("Closing file", path());
  }
  bool IsOpen() const override { return fd_.get() >= 0; }

  FileDescriptor fd_;
  size_t written_ = 0;
  size_t started_ = 0;
};

class PosixLibrary final : public SharedLibrary {
 public:
  PosixLibrary(void* handle, std::string name)
      : handle_(handle), name_(std::move(name)) {}
  ~PosixLibrary() override { ::dlclose(handle_); }
  PosixLibrary(const PosixLibrary&) = delete;
  PosixLibrary& operator=(const PosixLibrary&) = delete;

  void* Function(const char* function) override {
    ::dlerror();
    void* address = ::dlsym(handle_, function);
    if (address == nullptr) {
      throw RunError(kErrDllEntryPoint, std::string("Finding function ") +
                                            function + ": " + name_ +
                                            ": Can't find DLL entry point");
    }
    return address;
  }

 private:
  void* handle_;
  std::string name_;
};

// Writes a message to the terminal or whatever stands in for it; a closed or
// full one loses the message, as a message box nobody sees would.
void WriteText(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<size_t>(n));
  }
}

class PosixEnv final : public Env {
 public:
  PosixEnv(int argc, char** argv) : exe_path_(ExecutablePath(argc > 0 ? argv[0] : "")) {
    app_path_ = DirectoryOf(exe_path_);
    std::string name = exe_path_.substr(exe_path_.rfind('/') + 1);
    const size_t dot = name.rfind('.');
    exe_name_ = dot == std::string::npos ? name : name.substr(0, dot);
    for (int i = 1; i < argc; ++i) {
      if (i > 1) arguments_ += ' ';
      arguments_ += argv[i];
    }
  }

  std::string ExeName() override { return exe_name_; }
  std::string ArgumentText() override { return arguments_; }
  std::string AppPath() override { return app_path_; }
  std::string ExePath() override { return exe_path_; }
  // No POSIX system redirects a process's writes.
  std::string VirtualStoreFor(const std::string&) override { return ""; }
  EventSource EventLogSource() override { return EventSource::kNoEventLog; }

  bool AskYesNo(const std::string& prompt) override {
    for (;;) {
      WriteText(STDOUT_FILENO, "Quarnel: " + prompt + " [Y/n] ");
      std::string answer;
      if (!ReadAnswerLine(&answer)) {
        WriteText(STDOUT_FILENO, "\n");
        return false;
      }
      if (!answer.empty() && answer.back() == '\r') answer.pop_back();
      // An answer from a pipe is not echoed by a terminal; show it, so that
      // a transcript reads as a dialogue.
      if (::isatty(STDIN_FILENO) == 0) WriteText(STDOUT_FILENO, answer + "\n");
      for (char& c : answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (answer.empty() || answer == "y" || answer == "yes") return true;
      if (answer == "n" || answer == "no") return false;
    }
  }

  void ShowMessage(const std::string& text) override {
    WriteText(STDOUT_FILENO, "Quarnel: " + text + "\n");
  }

  // Standard error never waits for anybody, silent run or not. One write, so
  // that a report from the watchdog thread is never interleaved with another.
  void ReportError(const RunError& error, bool) override {
    WriteText(STDERR_FILENO, "Quarnel: error " + std::to_string(error.number()) + ": " +
                                 error.description() + "\n");
  }

  void EndProcess(int exit_code) override { std::_Exit(exit_code); }

  // POSIX has no hidden or system files: every name counts but a folder's.
  // Whatever else than a file stands at a list's name is then refused with
  // what it is when the run opens it.
  bool IsPresent(const std::string& path, Presence admits) override {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    return !S_ISDIR(st.st_mode) || admits == Presence::kFilesAndDirectories;
  }

  bool FileExists(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
  }

  void CopyWholeFile(const std::string& from, const std::string& to) override {
    FileDescriptor in = OpenFileForReading(from, "Copying file");
    FileDescriptor out = CreateNewFile(to, "Copying file to");
    PartialCopy copy(to);
    CopyContent(in.get(), out.get(), from, to);
    if (::fsync(out.get()) != 0) ThrowSystemError("Syncing file", to, errno);
    out.CloseOrThrow("Closing file", to);
    copy.Complete();
  }

  void RemoveFile(const std::string& path) override {
    struct stat st;
    // unlink would also take a symbolic link to a folder; only files go.
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      ThrowSystemError("Deleting file", path, EISDIR);
    }
    if (::unlink(path.c_str()) != 0) ThrowSystemError("Deleting file", path, errno);
  }

  void RenameOver(const std::string& from, const std::string& to) override {
    const std::string what = "Renaming " + from + " to";
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
      ThrowNotAFile(what, to, st.st_mode);
    }
    if (::rename(from.c_str(), to.c_str()) != 0) ThrowSystemError(what, to, errno);
    SyncDirectory(DirectoryOf(to));
  }

  void SyncFolder(const std::string& folder) override { SyncDirectory(folder); }

  // A rename replaces a file whatever its mode: nothing keeps a list there.
  bool IsReadOnly(const std::string&) override { return false; }

  std::unique_ptr<LineReader> OpenForReading(const std::string& path) override {
    return std::make_unique<PosixLineReader>(OpenFileForReading(path, "Opening file"), path);
  }

  std::unique_ptr<LineWriter> CreateForWriting(const std::string& path) override {
    return std::make_unique<PosixLineWriter>(CreateNewFile(path, "Creating file"), path);
  }

  std::unique_ptr<FileLock> TryLockFile(const std::string& path) override {
    const std::string what = "Locking file";
    FileDescriptor fd(::open(path.c_str(),
                             O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                             0666));
    if (fd.get() < 0) ThrowSystemError(what, path, errno);
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) ThrowSystemError(what, path, errno);
    if (!S_ISREG(st.st_mode)) ThrowNotAFile(what, path, st.st_mode);
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) return nullptr;
      if (errno != EINTR) ThrowSystemError(what, path, errno);
    }
    return std::make_unique<PosixFileLock>(std::move(fd));
  }

  // Without mandatory locks nothing another program does keeps a file from
  // being deleted: the answer is never kHeld.
  Access DeleteAccess(const std::string& path) override {
    struct stat file;
    if (::lstat(path.c_str(), &file) != 0) {
      return errno == ENOENT || errno == ENOTDIR ? Access::kAllowed : Access::kDenied;
    }
    if (S_ISDIR(file.st_mode)) return Access::kDenied;
    const std::string folder_path = DirectoryOf(path);
    struct stat folder;
    if (!MayChangeEntries(folder_path) || ::stat(folder_path.c_str(), &folder) != 0 ||
        StickyForbids(folder, file)) {
      return Access::kDenied;
    }
    // Links carry no flags; only an ordinary file is opened to ask.
    const int forbidding = FS_IMMUTABLE_FL | FS_APPEND_FL;
    if (S_ISREG(file.st_mode) && (InodeFlags(path, false) & forbidding) != 0) {
      return Access::kDenied;
    }
    return Access::kAllowed;
  }

  Access FolderAccess(const std::string& folder) override {
    return MayChangeEntries(folder) ? Access::kAllowed : Access::kDenied;
  }

  bool WriteToStandardOutput(std::string_view bytes) override {
    if (::fcntl(STDOUT_FILENO, F_GETFD) < 0) return false;
    WriteAll(STDOUT_FILENO, bytes.data(), bytes.size(), "standard output");
    return true;
  }

  std::string ToAnsi(std::string_view utf8) override { return Utf8ToCp1250(utf8); }
  std::string FromAnsi(std::string_view ansi) override { return Cp1250ToUtf8(ansi); }

  std::unique_ptr<SharedLibrary> OpenLibrary(const std::string& name) override {
    // Only the program's own folder: a library found through LD_LIBRARY_PATH
    // or the current folder would be handed the database password.
    const std::string path = app_path_ + "/lib" + name + ".so";
    const std::string what = "Loading library " + name;
    CheckLibraryFile(path, what);
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* reason = ::dlerror();
      throw RunError(kErrDllLoad,
                     what + ": " + (reason != nullptr ? reason : path + ": Error in loading DLL"));
    }
    return std::make_unique<PosixLibrary>(handle, path);
  }

  std::unique_ptr<OdbcConnection> ConnectOdbc(const OdbcLogin& login) override {
    return OpenOdbcConnection(login);
  }

  std::vector<DataSourceEntry> DataSources() override { return ListDataSources(); }

  void Pause(int milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }

  LocalTime Now() override {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                     tm.tm_hour, tm.tm_min, tm.tm_sec};
  }

 private:
  static std::string ExecutablePath(const char* argv0) {
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n > 0) return std::string(buf.data(), static_cast<size_t>(n));
    return argv0;
  }


  // The next line typed or piped in, without its line end; false at the end
  // of the input when nothing is left. What was read past the line waits in
  // input_ for the next question.
  bool ReadAnswerLine(std::string* line) {
    for (;;) {
      const size_t end = input_.find('\n');
      if (end != std::string::npos) {
        line->assign(input_, 0, end);
        input_.erase(0, end + 1);
        return true;
      }
      char block[512];
      const ssize_t n = ::read(STDIN_FILENO, block, sizeof block);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (input_.empty()) return false;
        line->swap(input_);
        input_.clear();
        return true;
      }
      input_.append(block, static_cast<size_t>(n));
    }
  }

  std::string exe_path_;
  std::string exe_name_;
  std::string arguments_;
  std::string app_path_;
  std::string input_;
};

}  // namespace

std::unique_ptr<Env> NewPlatformEnv(int argc, char** argv) {
  return std::make_unique<PosixEnv>(argc, argv);
}

}  // namespace quarnel
