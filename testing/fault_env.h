#ifndef QUARNEL_TESTING_FAULT_ENV_H_
#define QUARNEL_TESTING_FAULT_ENV_H_

// An Env for tests: a fixed application path, executable name and argument
// text, scripted answers to message boxes, and a countdown that makes the Nth
// file operation fail, the way a full disk or a locked file would.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/env.h"

namespace quarnel::testing {

class FaultEnv : public EnvWrapper {
 public:
  // Wraps the real platform Env.
  FaultEnv();
  ~FaultEnv() override;

  // --- What the test sets up ---
  std::string app_path;
  std::string exe_name = "quarnel";
  std::string argument_text;
  std::deque<bool> answers;  // AskYesNo pops from here; none left means No
  LocalTime now;
  bool no_library = false;  // OpenLibrary fails as for a missing library

  // Makes file operation number `n` (counting from 1) fail with `error`.
  // 0 fails none.
  void FailOperation(int n, int error_number = kErrDiskFull);

  // Every file operation fails with error 3045, as if another program held
  // the file, until Pause has let `held_until_ms` pass.
  int held_until_ms = 0;

  // Pause never waits: it adds to paused_ms, then calls on_pause (if set)
  // with the total, so that a test can act at a given moment of a wait.
  std::function<void(int paused_ms)> on_pause;

  // --- What the test reads afterwards ---
  int paused_ms = 0;
  int operations = 0;                   // file operations so far
  std::vector<std::string> questions;   // prompts of AskYesNo
  std::vector<std::string> messages;    // texts of ShowMessage
  std::vector<std::string> reports;     // "error N: description" of ReportError
  // One entry per call, e.g. "copy /sifrant_bank.dat -> /sifrant_bank.old":
  // paths below app_path, their parts separated by "/" on every system.
  std::vector<std::string> log;

  std::string ExeName() override { return exe_name; }
  std::string ArgumentText() override { return argument_text; }
  std::string AppPath() override { return app_path; }
  bool AskYesNo(const std::string& prompt) override;
  void ShowMessage(const std::string& text) override;
  void ReportError(const RunError& error, bool) override {
    reports.push_back("error " + std::to_string(error.number()) + ": " + error.description());
  }
  LocalTime Now() override { return now; }
  std::unique_ptr<SharedLibrary> OpenLibrary(const std::string& name) override;

  bool IsPresent(const std::string& path, Presence admits) override;
  bool FileExists(const std::string& path) override;
  void CopyWholeFile(const std::string& from, const std::string& to) override;
  void RemoveFile(const std::string& path) override;
  void RenameOver(const std::string& from, const std::string& to) override;
  void SyncFolder(const std::string& folder) override;
  std::unique_ptr<LineReader> OpenForReading(const std::string& path) override;
  std::unique_ptr<LineWriter> CreateForWriting(const std::string& path) override;
  std::unique_ptr<FileLock> TryLockFile(const std::string& path) override;
  void Pause(int milliseconds) override;

  // Counts one operation; throws the injected failure when its turn comes.
  void Step(const std::string& what);

 private:
  explicit FaultEnv(std::unique_ptr<Env> real);

  std::unique_ptr<Env> real_;
  int fail_at_ = 0;
  int fail_error_ = kErrDiskFull;
};

}  // namespace quarnel::testing

#endif  // QUARNEL_TESTING_FAULT_ENV_H_
