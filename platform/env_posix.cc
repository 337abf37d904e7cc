// The Env of the program on POSIX systems.

#include <dlfcn.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/env.h"
#include "platform/line_io.h"
#include "platform/odbc.h"
#include "platform/posix_file.h"

namespace quarnel {

std::string NativePath(std::string_view path) {
  std::string native(path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

namespace {

// The classic error number that matches a system error.
int ErrorNumberFor(int err) {
  switch (err) {
    case ENOENT: return kErrFileNotFound;
    case ENOTDIR: return kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: return kErrPermissionDenied;
    case ENOSPC:
    case EDQUOT: return kErrDiskFull;
    default: return kErrPathFileAccess;
  }
}

[[noreturn]] void ThrowSystemError(const std::string& what,
                                   const std::string& path, int err) {
  throw RunError(ErrorNumberFor(err),
                 what + ": " + path + ": " + std::strerror(err));
}

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

// How many bytes a long copy or list is written in before they are started
// on their way to the disk.
constexpr size_t kWriteOutStep = 8 << 20;

// Copies what is left of `in` to `out`. The kernel copies without bringing
// the bytes through the program where it can; a file system that cannot gets
// the ordinary read and write. Each step's bytes start on their way to the
// disk at once, so that the sync at the end has little left to wait for.
void CopyContent(int in, int out, const std::string& src, const std::string& dst) {
  bool kernel_copy = true;
  std::vector<char> block;
  off_t copied = 0;
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
    } else {
      n = ::read(in, block.data(), block.size());
      if (n > 0) WriteAll(out, block.data(), static_cast<size_t>(n), dst);
    }
    if (n == 0) return;
    if (n < 0 && errno != EINTR) ThrowSystemError("Copying file from", src, errno);
    if (n > 0) {
      ::sync_file_range(out, copied, n, SYNC_FILE_RANGE_WRITE);
      copied += n;
    }
  }
}

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

class PosixEnv final : public Env {
 public:
  PosixEnv(int argc, char** argv) {
    std::string exe = ExecutablePath(argc > 0 ? argv[0] : "");
    app_path_ = DirectoryOf(exe);
    std::string name = exe.substr(exe.rfind('/') + 1);
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

  bool AskYesNo(const std::string& prompt) override {
    for (;;) {
      std::cout << "Quarnel: " << prompt << " [Y/n] " << std::flush;
      std::string answer;
      if (!std::getline(std::cin, answer)) {
        std::cout << std::endl;
        return false;
      }
      if (!answer.empty() && answer.back() == '\r') answer.pop_back();
      // An answer from a pipe is not echoed by a terminal; show it, so that
      // a transcript reads as a dialogue.
      if (::isatty(STDIN_FILENO) == 0) std::cout << answer << std::endl;
      for (char& c : answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (answer.empty() || answer == "y" || answer == "yes") return true;
      if (answer == "n" || answer == "no") return false;
    }
  }

  void ShowMessage(const std::string& text) override {
    std::cout << "Quarnel: " << text << std::endl;
  }

  // Standard error never waits for anybody, silent run or not.
  void ReportError(const RunError& error, bool) override {
    std::cout << std::flush;
    std::cerr << "Quarnel: error " << error.number() << ": "
              << error.description() << std::endl;
  }

  bool IsPresent(const std::string& path, Presence admits) override {
    struct stat st;
    if (::stat(NativePath(path).c_str(), &st) != 0) return false;
    if (S_ISREG(st.st_mode)) return true;
    return admits == Presence::kFilesAndDirectories && S_ISDIR(st.st_mode);
  }

  bool FileExists(const std::string& path) override {
    struct stat st;
    return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

  void CopyWholeFile(const std::string& from, const std::string& to) override {
    const std::string src = NativePath(from);
    const std::string dst = NativePath(to);
    FileDescriptor in(OpenRegular(src, O_RDONLY, "Copying file"));
    FileDescriptor out(::open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (out.get() < 0) ThrowSystemError("Copying file to", dst, errno);
    CopyContent(in.get(), out.get(), src, dst);
    if (::fsync(out.get()) != 0) ThrowSystemError("Syncing file", dst, errno);
    out.CloseOrThrow("Closing file", dst);
  }

  void RemoveFile(const std::string& path) override {
    const std::string native = NativePath(path);
    struct stat st;
    // unlink would also take a symbolic link to a folder; only files go.
    if (::lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      ThrowSystemError("Deleting file", native, EISDIR);
    }
    if (::unlink(native.c_str()) != 0) ThrowSystemError("Deleting file", native, errno);
  }

  void RenameOver(const std::string& from, const std::string& to) override {
    const std::string src = NativePath(from);
    const std::string dst = NativePath(to);
    struct stat st;
    if (::stat(dst.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      ThrowSystemError("Renaming " + src + " to", dst, EISDIR);
    }
    if (::rename(src.c_str(), dst.c_str()) != 0) {
      ThrowSystemError("Renaming " + src + " to", dst, errno);
    }
    SyncDirectory(DirectoryOf(dst));
  }

  std::unique_ptr<LineReader> OpenForReading(const std::string& path) override {
    const std::string native = NativePath(path);
    return std::make_unique<PosixLineReader>(
        FileDescriptor(OpenRegular(native, O_RDONLY, "Opening file")), native);
  }

  std::unique_ptr<LineWriter> CreateForWriting(const std::string& path) override {
    const std::string native = NativePath(path);
    struct stat st;
    if (::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      ThrowSystemError("Creating file", native, EISDIR);
    }
    FileDescriptor fd(::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (fd.get() < 0) ThrowSystemError("Creating file", native, errno);
    return std::make_unique<PosixLineWriter>(std::move(fd), native);
  }

  std::string ToAnsi(std::string_view utf8) override { return Utf8ToCp1250(utf8); }
  std::string FromAnsi(std::string_view ansi) override { return Cp1250ToUtf8(ansi); }

  std::unique_ptr<SharedLibrary> OpenLibrary(const std::string& name) override {
    const std::string file = "lib" + name + ".so";
    // Beside the program first, as the system does for the host product's
    // libraries; then the ordinary library search.
    void* handle = ::dlopen((app_path_ + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* reason = ::dlerror();
      throw RunError(kErrDllLoad, "Loading library " + name + ": " + file + ": " +
                                      (reason != nullptr ? reason : "Error in loading DLL"));
    }
    return std::make_unique<PosixLibrary>(handle, file);
  }

  std::unique_ptr<OdbcConnection> ConnectOdbc(const OdbcLogin& login) override {
    return OpenOdbcConnection(login);
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

  // Opens a path that must be an ordinary file: a folder of that name is
  // refused at once rather than failing at the first read.
  static int OpenRegular(const std::string& path, int flags, const std::string& what) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) ThrowSystemError(what, path, errno);
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
      ::close(fd);
      ThrowSystemError(what, path, EISDIR);
    }
    return fd;
  }

  static std::string Utf8ToCp1250(std::string_view utf8) {
    iconv_t cd = ::iconv_open("CP1250", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      throw RunError(kErrInvalidCall, "Converting text to code page 1250: " +
                                          std::string(std::strerror(errno)));
    }
    std::string out;
    std::string in(utf8);
    char* inp = in.data();
    size_t inleft = in.size();
    char chunk[256];
    while (inleft > 0) {
      char* outp = chunk;
      size_t outleft = sizeof chunk;
      const size_t rc = ::iconv(cd, &inp, &inleft, &outp, &outleft);
      out.append(chunk, static_cast<size_t>(outp - chunk));
      if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
        // A character the code page lacks becomes "?"; skip its UTF-8 bytes.
        out += '?';
        do {
          ++inp;
          --inleft;
        } while (inleft > 0 && (static_cast<unsigned char>(*inp) & 0xC0) == 0x80);
      }
    }
    ::iconv_close(cd);
    return out;
  }

  static std::string Cp1250ToUtf8(std::string_view ansi) {
    iconv_t cd = ::iconv_open("UTF-8", "CP1250");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      throw RunError(kErrInvalidCall, "Converting text from code page 1250: " +
                                          std::string(std::strerror(errno)));
    }
    std::string out;
    std::string in(ansi);
    char* inp = in.data();
    size_t inleft = in.size();
    char chunk[256];
    while (inleft > 0) {
      char* outp = chunk;
      size_t outleft = sizeof chunk;
      const size_t rc = ::iconv(cd, &inp, &inleft, &outp, &outleft);
      out.append(chunk, static_cast<size_t>(outp - chunk));
      if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
        // One of the few bytes the code page leaves undefined.
        out += '?';
        ++inp;
        --inleft;
      }
    }
    ::iconv_close(cd);
    return out;
  }

  std::string exe_name_;
  std::string arguments_;
  std::string app_path_;
};

}  // namespace

std::unique_ptr<Env> NewPlatformEnv(int argc, char** argv) {
  return std::make_unique<PosixEnv>(argc, argv);
}

}  // namespace quarnel
