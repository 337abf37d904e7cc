#include "app/held_file_wait.h"

#include <algorithm>

namespace quarnel {

namespace {

constexpr int kFirstPauseMilliseconds = 20;
constexpr int kLongestPauseMilliseconds = 500;

// Runs `attempt` until it does not fail with error 3045 or the wait is over.
template <typename Attempt>
auto Patiently(Env& env, Attempt attempt) {
  int waited = 0;
  int pause = kFirstPauseMilliseconds;
  for (;;) {
    try {
      return attempt();
    } catch (const RunError& error) {
      if (error.number() != kErrFileInUse) throw;
      if (waited >= kHeldFileWaitMilliseconds) {
        throw RunError(kErrFileInUse, error.description() + "; it did not let go within " +
                                          std::to_string(kHeldFileWaitMilliseconds / 1000) +
                                          " seconds");
      }
    }
    env.Pause(pause);
    waited += pause;
    pause = std::min(pause * 2, kLongestPauseMilliseconds);
  }
}

}  // namespace

void HeldFileWait::CopyWholeFile(const std::string& from, const std::string& to) {
  Patiently(*this, [&] { EnvWrapper::CopyWholeFile(from, to); });
}

void HeldFileWait::RemoveFile(const std::string& path) {
  Patiently(*this, [&] { EnvWrapper::RemoveFile(path); });
}

void HeldFileWait::RenameOver(const std::string& from, const std::string& to) {
  Patiently(*this, [&] { EnvWrapper::RenameOver(from, to); });
}

std::unique_ptr<LineReader> HeldFileWait::OpenForReading(const std::string& path) {
  return Patiently(*this, [&] { return EnvWrapper::OpenForReading(path); });
}

std::unique_ptr<LineWriter> HeldFileWait::CreateForWriting(const std::string& path) {
  return Patiently(*this, [&] { return EnvWrapper::CreateForWriting(path); });
}

}  // namespace quarnel
