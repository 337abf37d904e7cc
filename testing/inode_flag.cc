#include "testing/inode_flag.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quarnel::testing {

ScopedInodeFlag::ScopedInodeFlag(const std::string& path, int flag)
    : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
  set_ = fd_ >= 0 && ::ioctl(fd_, FS_IOC_GETFLAGS, &before_) == 0;
  int flags = before_ | flag;
  set_ = set_ && ::ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0;
}

ScopedInodeFlag::~ScopedInodeFlag() {
  if (set_) ::ioctl(fd_, FS_IOC_SETFLAGS, &before_);
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace quarnel::testing
