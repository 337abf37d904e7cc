#include "fuzz/scratch_env.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <utility>

namespace quarnel::fuzz {

namespace fs = std::filesystem;

namespace {

fs::path ScratchParent() {
  std::error_code ignored;
  if (fs::is_directory("/dev/shm", ignored)) return "/dev/shm";
  return fs::temp_directory_path();
}

std::string NewScratchFolder() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = ScratchParent() / ("quarnel-fuzz-" + std::to_string(random()));
    if (fs::create_directory(candidate)) return candidate.string();
  }
  throw std::runtime_error("cannot create a scratch folder");
}

}  // namespace

ScratchEnv::ScratchEnv() : ScratchEnv(NewPlatformEnv(0, nullptr)) {}

ScratchEnv::ScratchEnv(std::unique_ptr<Env> real)
    : EnvWrapper(real.get()), real_(std::move(real)), folder_(NewScratchFolder()) {}

ScratchEnv::~ScratchEnv() {
  std::error_code ignored;
  fs::remove_all(folder_, ignored);
}

std::string ScratchEnv::Path(std::string_view name) const {
  return folder_ + "/" + std::string(name);
}

void WriteWhole(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void RemoveIfPresent(const std::string& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}

std::string ReadWhole(const std::string& path, const std::string& missing) {
  std::error_code ignored;
  if (!fs::is_regular_file(path, ignored)) return missing;
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Broken(const std::string& what) {
  std::fprintf(stderr, "==BROKEN PROPERTY== %s\n", what.c_str());
  std::abort();
}

}  // namespace quarnel::fuzz
