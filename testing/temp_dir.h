#ifndef QUARNEL_TESTING_TEMP_DIR_H_
#define QUARNEL_TESTING_TEMP_DIR_H_

// Throw-away folders and whole-file helpers for tests on real files.

#include <map>
#include <string>

namespace quarnel::testing {

// A fresh folder under the system's temporary folder, removed with all its
// content when destroyed.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + relative.
  std::string Join(const std::string& relative) const;

 private:
  std::string path_;
};

// Whole-file helpers (binary). ReadFileOr returns `missing` for an absent file.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
std::string ReadFileOr(const std::string& path, const std::string& missing);
bool Exists(const std::string& path);
void MakeDirs(const std::string& path);

// Every file and folder below `dir`, named relative to it, with its content
// ("<dir>" for a folder): two snapshots are equal when nothing changed.
std::map<std::string, std::string> Snapshot(const std::string& dir);

}  // namespace quarnel::testing

#endif  // QUARNEL_TESTING_TEMP_DIR_H_
