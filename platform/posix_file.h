#ifndef QUARNEL_PLATFORM_POSIX_FILE_H_
#define QUARNEL_PLATFORM_POSIX_FILE_H_

// Small pieces the POSIX Env shares: an owner for a file descriptor and a
// write that handles short writes.

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "platform/run_error.h"

namespace quarnel {

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
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) {
      const int err = errno;
      throw RunError(err == ENOSPC ? kErrDiskFull : kErrPathFileAccess,
                     what + ": " + path + ": " + std::strerror(err));
    }
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
      const int err = errno;
      throw RunError(err == ENOSPC || err == EDQUOT ? kErrDiskFull : kErrPathFileAccess,
                     "Writing file: " + path + ": " + std::strerror(err));
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
}

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_POSIX_FILE_H_
