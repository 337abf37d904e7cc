#ifndef QUARNEL_FUZZ_SCRATCH_ENV_H_
#define QUARNEL_FUZZ_SCRATCH_ENV_H_

// What the fuzz targets share: the real platform Env with the application
// path moved to a scratch folder of its own, and whole-file helpers.

#include <memory>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace quarnel::fuzz {

// The platform's Env, every operation real, except that the application path
// is a fresh folder in memory-backed storage where the system has it, so that
// syncing files costs next to nothing. The folder and its files are removed
// when the Env is destroyed.
class ScratchEnv : public EnvWrapper {
 public:
  ScratchEnv();
  ~ScratchEnv() override;

  std::string AppPath() override { return folder_; }
  // The path of `name` in the folder.
  std::string Path(std::string_view name) const;

 private:
  explicit ScratchEnv(std::unique_ptr<Env> real);

  std::unique_ptr<Env> real_;
  std::string folder_;
};

// Replaces the file's content with `bytes`, creating it if need be.
void WriteWhole(const std::string& path, std::string_view bytes);
// Deletes the file if it exists.
void RemoveIfPresent(const std::string& path);
// The file's bytes; `missing` when there is no such file.
std::string ReadWhole(const std::string& path, const std::string& missing = "<missing>");

// Reports a broken property and aborts, which libFuzzer records as a crash
// together with the input that caused it.
[[noreturn]] void Broken(const std::string& what);

}  // namespace quarnel::fuzz

#endif  // QUARNEL_FUZZ_SCRATCH_ENV_H_
