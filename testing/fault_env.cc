#include "testing/fault_env.h"

#include <utility>

namespace quarnel::testing {

namespace {

// The path for the log, below the application path and with "/" between
// its parts whatever the system's separator, so that tests read the same log
// on every system.
std::string Relative(const FaultEnv& env, const std::string& path) {
  const auto slashed = [](std::string text) {
    for (char& c : text) {
      if (c == '\\') c = '/';
    }
    return text;
  };
  const std::string full = slashed(path);
  const std::string base = slashed(env.app_path);
  if (full.compare(0, base.size(), base) == 0) return full.substr(base.size());
  return full;
}

class FaultReader final : public LineReader {
 public:
  FaultReader(FaultEnv* env, std::unique_ptr<LineReader> real, std::string name)
      : env_(env), real_(std::move(real)), name_(std::move(name)) {}
  bool AtEnd() override { return real_->AtEnd(); }
  void ReadLine(std::string* line) override {
    env_->Step("read " + name_);
    real_->ReadLine(line);
  }
  void Close() override {
    env_->Step("close " + name_);
    real_->Close();
  }

 private:
  FaultEnv* env_;
  std::unique_ptr<LineReader> real_;
  std::string name_;
};

class FaultWriter final : public LineWriter {
 public:
  FaultWriter(FaultEnv* env, std::unique_ptr<LineWriter> real, std::string name)
      : env_(env), real_(std::move(real)), name_(std::move(name)) {}
  void WriteLine(std::string_view line) override {
    env_->Step("write " + name_);
    real_->WriteLine(line);
  }
  void Close() override {
    env_->Step("close " + name_);
    real_->Close();
  }

 private:
  FaultEnv* env_;
  std::unique_ptr<LineWriter> real_;
  std::string name_;
};

}  // namespace

FaultEnv::FaultEnv() : FaultEnv(NewPlatformEnv(0, nullptr)) {}

FaultEnv::FaultEnv(std::unique_ptr<Env> real)
    : EnvWrapper(real.get()), real_(std::move(real)) {}

FaultEnv::~FaultEnv() = default;

void FaultEnv::FailOperation(int n, int error_number) {
  fail_at_ = n;
  fail_error_ = error_number;
}

void FaultEnv::Step(const std::string& what) {
  ++operations;
  log.push_back(what);
  if (paused_ms < held_until_ms) throw RunError(kErrFileInUse, "Injected holder: " + what);
  if (operations == fail_at_) {
    throw RunError(fail_error_, "Injected failure: " + what);
  }
}

bool FaultEnv::AskYesNo(const std::string& prompt) {
  questions.push_back(prompt);
  log.push_back("ask");
  if (answers.empty()) return false;
  const bool yes = answers.front();
  answers.pop_front();
  return yes;
}

void FaultEnv::ShowMessage(const std::string& text) {
  messages.push_back(text);
  log.push_back("message " + text);
}

bool FaultEnv::IsPresent(const std::string& path, Presence admits) {
  Step("present " + Relative(*this, path));
  return EnvWrapper::IsPresent(path, admits);
}

bool FaultEnv::FileExists(const std::string& path) {
  Step("exists " + Relative(*this, path));
  return EnvWrapper::FileExists(path);
}

void FaultEnv::CopyWholeFile(const std::string& from, const std::string& to) {
  Step("copy " + Relative(*this, from) + " -> " + Relative(*this, to));
  EnvWrapper::CopyWholeFile(from, to);
}

void FaultEnv::RemoveFile(const std::string& path) {
  Step("delete " + Relative(*this, path));
  EnvWrapper::RemoveFile(path);
}

void FaultEnv::RenameOver(const std::string& from, const std::string& to) {
  Step("replace " + Relative(*this, from) + " -> " + Relative(*this, to));
  EnvWrapper::RenameOver(from, to);
}

void FaultEnv::SyncFolder(const std::string& folder) {
  const std::string name = Relative(*this, folder);
  Step("sync " + (name.empty() ? "/" : name));
  EnvWrapper::SyncFolder(folder);
}

std::unique_ptr<LineReader> FaultEnv::OpenForReading(const std::string& path) {
  const std::string name = Relative(*this, path);
  Step("open " + name);
  return std::make_unique<FaultReader>(this, EnvWrapper::OpenForReading(path), name);
}

std::unique_ptr<LineWriter> FaultEnv::CreateForWriting(const std::string& path) {
  const std::string name = Relative(*this, path);
  Step("create " + name);
  return std::make_unique<FaultWriter>(this, EnvWrapper::CreateForWriting(path), name);
}

std::unique_ptr<FileLock> FaultEnv::TryLockFile(const std::string& path) {
  Step("lock " + Relative(*this, path));
  return EnvWrapper::TryLockFile(path);
}

std::unique_ptr<SharedLibrary> FaultEnv::OpenLibrary(const std::string& name) {
  if (no_library) throw RunError(kErrDllLoad, "Loading library " + name + ": missing");
  return EnvWrapper::OpenLibrary(name);
}

void FaultEnv::Pause(int milliseconds) {
  paused_ms += milliseconds;
  if (on_pause) on_pause(paused_ms);
}

}  // namespace quarnel::testing
