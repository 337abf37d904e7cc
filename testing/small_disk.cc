#include "testing/small_disk.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <stdexcept>

namespace quarnel::testing {

ScopedSmallDisk::ScopedSmallDisk(const std::string& path, size_t bytes) : path_(path) {
  const std::string options = "size=" + std::to_string(bytes) + ",mode=755";
  mounted_ = ::mount("tmpfs", path.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

ScopedSmallDisk::~ScopedSmallDisk() {
  if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
}

void ScopedSmallDisk::LeaveRoom(size_t bytes) {
  Free();
  struct statvfs fs;
  if (::statvfs(path_.c_str(), &fs) != 0) throw std::runtime_error("statvfs " + path_);
  const size_t free = static_cast<size_t>(fs.f_bavail) * fs.f_frsize;
  if (free < bytes) throw std::runtime_error("the disk has less room than asked for");
  const int fd = ::open((path_ + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const bool filled = fd >= 0 && (free == bytes ||
                                  ::posix_fallocate(fd, 0, static_cast<off_t>(free - bytes)) == 0);
  if (fd >= 0) ::close(fd);
  if (!filled) throw std::runtime_error("cannot fill " + path_);
}

void ScopedSmallDisk::Free() { ::unlink((path_ + "/filler").c_str()); }

}  // namespace quarnel::testing
