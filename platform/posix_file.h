#ifndef QUARNEL_PLATFORM_POSIX_FILE_H_
#define QUARNEL_PLATFORM_POSIX_FILE_H_

// Small pieces the POSIX Env shares: the error number of a system error, an
// owner for a file descriptor and a write that handles short writes.

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "platform/run_error.h"

namespace quarnel {

// The classic error number that matches a system error, the same wherever
// the error occurs.
inline int ErrorNumberFor(int err) {
  switch (err) {
    case ENOENT: return kErrFileNotFound;
    case ENOTDIR: return kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: return kErrPermissionDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return kErrDiskFull;
    case ENOMEM: return kErrOutOfMemory;
    default: return kErrPathFileAccess;
  }
}

// True for the errors that mean the destination of a write has no room.
inline bool IsNoRoom(int err) { return err == ENOSPC || err == EDQUOT || err == EFBIG; }

[[noreturn]] inline void ThrowSystemError(const std::string& what, const std::string& path,
                                          int err) {
  throw RunError(ErrorNumberFor(err), what + ": " + path + ": " + std::strerror(err));
}

// Owns one file descriptor; closes it silently when destroyed.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }

  // Closes the descriptor; a failing close (a delayed write error) throws.
  void CloseOrThrow(const std::string& what, const std::string& path) {
    const int fd = std::exchange(fd_, -1);
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) ThrowSystemError(what, path, errno);
  }

 private:
  int fd_;
};

// Writes all `size` bytes or throws with the system's reason.
inline void WriteAll(int fd, const char* data, size_t size, const std::string& path) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowSystemError("Writing file", path, errno);
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
}

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_POSIX_FILE_H_
