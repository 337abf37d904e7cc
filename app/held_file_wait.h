#ifndef QUARNEL_APP_HELD_FILE_WAIT_H_
#define QUARNEL_APP_HELD_FILE_WAIT_H_

#include <string>

#include "platform/env.h"

namespace quarnel {

// How long one file operation waits out another program that holds the file
// for a moment: a virus scanner or a backup agent looking at a fresh file,
// the host product reading its list.
inline constexpr int kHeldFileWaitMilliseconds = 10000;

// Waits out a file that another program holds. Opening, creating, copying,
// deleting and renaming are tried again through Pause for as long as they
// fail with error 3045 (kErrFileInUse), at first after 20 ms and then after
// twice as long each time up to 500 ms, until kHeldFileWaitMilliseconds have
// passed; then the last error 3045 ends the run, saying how long it waited.
// Every other failure ends it at once. Everything else is forwarded.
class HeldFileWait final : public EnvWrapper {
 public:
  explicit HeldFileWait(Env* target) : EnvWrapper(target) {}

  void CopyWholeFile(const std::string& from, const std::string& to) override;
  void RemoveFile(const std::string& path) override;
  void RenameOver(const std::string& from, const std::string& to) override;
  std::unique_ptr<LineReader> OpenForReading(const std::string& path) override;
  std::unique_ptr<LineWriter> CreateForWriting(const std::string& path) override;
};

}  // namespace quarnel

#endif  // QUARNEL_APP_HELD_FILE_WAIT_H_
