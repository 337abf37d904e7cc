#ifndef QUARNEL_TESTING_SMALL_DISK_H_
#define QUARNEL_TESTING_SMALL_DISK_H_

// A real, small file system for tests of a disk that fills up: a tmpfs
// mounted on a folder, where the system allows the test to mount one.

#include <cstddef>
#include <string>

namespace quarnel::testing {

class ScopedSmallDisk {
 public:
  // Mounts a tmpfs of `bytes` on the existing, empty folder `path`.
  ScopedSmallDisk(const std::string& path, size_t bytes);
  // Unmounts it, with everything on it.
  ~ScopedSmallDisk();
  ScopedSmallDisk(const ScopedSmallDisk&) = delete;
  ScopedSmallDisk& operator=(const ScopedSmallDisk&) = delete;

  // False where the system refused the mount (no right to mount).
  bool mounted() const { return mounted_; }
  // Fills the disk with a file of its own until `bytes` are left free.
  void LeaveRoom(size_t bytes);
  // Removes that file again.
  void Free();

 private:
  std::string path_;
  bool mounted_ = false;
};

}  // namespace quarnel::testing

#endif  // QUARNEL_TESTING_SMALL_DISK_H_
