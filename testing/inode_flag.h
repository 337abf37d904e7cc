#ifndef QUARNEL_TESTING_INODE_FLAG_H_
#define QUARNEL_TESTING_INODE_FLAG_H_

// POSIX only: a file or folder that nobody, root included, may change for a
// while, as `chattr +i` makes it.

#include <string>

namespace quarnel::testing {

// An inode flag (FS_IOC_SETFLAGS: FS_IMMUTABLE_FL, FS_APPEND_FL, ...) added
// to what stands at `path` for as long as this lives.
class ScopedInodeFlag {
 public:
  ScopedInodeFlag(const std::string& path, int flag);
  ~ScopedInodeFlag();
  ScopedInodeFlag(const ScopedInodeFlag&) = delete;
  ScopedInodeFlag& operator=(const ScopedInodeFlag&) = delete;

  // False where the file system keeps no flags or the process may not set
  // them.
  bool set() const { return set_; }

 private:
  int fd_;
  int before_ = 0;
  bool set_ = false;
};

}  // namespace quarnel::testing

#endif  // QUARNEL_TESTING_INODE_FLAG_H_
