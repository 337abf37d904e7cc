#include "testing/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace quarnel::testing {

namespace fs = std::filesystem;

namespace {

// The tests keep paths in UTF-8, as the program does; the library's narrow
// paths would mean the ANSI code page on Windows.
fs::path FsPath(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

ScopedTempDir::ScopedTempDir() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = fs::temp_directory_path() /
                         ("quarnel-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) {
      path_ = Utf8(candidate);
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ignored;
  fs::permissions(FsPath(path_), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(FsPath(path_), ignored);
}

std::string ScopedTempDir::Join(const std::string& relative) const {
  return path_ + "/" + relative;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string ReadFileOr(const std::string& path, const std::string& missing) {
  return fs::is_regular_file(FsPath(path)) ? ReadFile(path) : missing;
}

bool Exists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(FsPath(path), ignored));
}

void MakeDirs(const std::string& path) { fs::create_directories(FsPath(path)); }

std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(FsPath(dir))) {
    tree[Utf8(fs::relative(entry.path(), FsPath(dir)))] =
        entry.is_directory() ? "<dir>" : ReadFile(Utf8(entry.path()));
  }
  return tree;
}

}  // namespace quarnel::testing
