#ifndef QUARNEL_BENCH_BENCH_LIST_H_
#define QUARNEL_BENCH_BENCH_LIST_H_

// A generated bank code list in a throw-away installation folder, shared by
// the benchmarks, and an Env whose application path is that folder.

#include <memory>
#include <string>

#include "platform/env.h"

namespace quarnel::bench {

inline constexpr long kListRows = 1'000'000;

// Row `i` of the generated list: every rule's key and some unknown ones in
// turn, in the older and the current form, some with a seven-digit MTTO.
std::string GeneratedRow(long i);

// The folder and its list, made on first use and removed at exit.
class BenchFolder {
 public:
  static BenchFolder& Get();

  const std::string& path() const { return path_; }
  std::string live_list() const { return path_ + "/sifrant_bank.dat"; }
  long long list_bytes() const { return list_bytes_; }
  // Puts the generated list back in place of the live list.
  void RestoreList() const;

 private:
  BenchFolder();
  ~BenchFolder();
  std::string path_;
  std::string pristine_;
  long long list_bytes_ = 0;
};

// The platform Env with the application path moved to `app_path`.
class FolderEnv : public EnvWrapper {
 public:
  explicit FolderEnv(std::string app_path);
  std::string AppPath() override { return app_path_; }

 private:
  FolderEnv(std::unique_ptr<Env> real, std::string app_path);
  std::unique_ptr<Env> real_;
  std::string app_path_;
};

// The jobs measured side by side, each on the live list of `env`'s folder:
// the whole update, and two plain copies of the list to "copy.dat" -- byte
// for byte, and line by line through the same reader and writer that the
// update uses.
void CopyListFile(Env& env);
void CopyListLines(Env& env);

}  // namespace quarnel::bench

#endif  // QUARNEL_BENCH_BENCH_LIST_H_
