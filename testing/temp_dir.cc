#include "testing/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace quarnel::testing {

namespace fs = std::filesystem;

ScopedTempDir::ScopedTempDir() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = fs::temp_directory_path() /
                         ("quarnel-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) {
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::string ScopedTempDir::Join(const std::string& relative) const {
  return path_ + "/" + relative;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string ReadFileOr(const std::string& path, const std::string& missing) {
  return fs::is_regular_file(path) ? ReadFile(path) : missing;
}

bool Exists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(path, ignored));
}

void MakeDirs(const std::string& path) { fs::create_directories(path); }

}  // namespace quarnel::testing
