#include "banklist/refresh.h"

#include <memory>
#include <string>
#include <utility>

#include "banklist/new_list.h"

namespace quarnel {

namespace {

constexpr char kLockFile[] = "\\quarnel.lock";

ListFiles ListFilesIn(const std::string& folder) {
  return ListFiles{folder, PathIn(folder, "\\sifrant_bank.dat"),
                   PathIn(folder, "\\sifrant_bank.old"), PathIn(folder, "\\sifrant_bank.txt"),
                   PathIn(folder, "\\sifrant_bank.tmp")};
}

bool FilePresent(Env& env, const std::string& path) {
  return env.IsPresent(path, Presence::kFilesOnly);
}

// A file the update makes, removed again if the update fails before the file
// is renamed into place, so that no partial copy or work file stays behind.
class ScratchFile {
 public:
  explicit ScratchFile(Env& env) : env_(env) {}
  ScratchFile(Env& env, std::string path) : env_(env), path_(std::move(path)) {}
  ~ScratchFile() {
    if (path_.empty()) return;
    try {
      env_.RemoveFile(path_);
    } catch (const RunError&) {
      // Nothing more to do: the next run replaces it.
    }
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // The file now exists under `path`.
  void Made(std::string path) { path_ = std::move(path); }

  // Gives the file the name `to`; it is then no longer the update's to remove.
  void RenameOver(const std::string& to) {
    env_.RenameOver(path_, to);
    path_.clear();
  }

 private:
  Env& env_;
  std::string path_;
};

// Puts a synced copy of `from` at `to` in one step: the copy is made under the
// scratch name of `at` and renamed over `to`, so that `to` is at every moment
// either what it was or the whole copy.
void CopyInPlace(Env& env, const std::string& from, const std::string& to, const ListFiles& at) {
  env.CopyWholeFile(from, at.scratch);
  ScratchFile copy(env, at.scratch);
  copy.RenameOver(to);
}

// Copies the live list of a location aside before anything else changes it;
// the copy is on disk before the live list is ever replaced.
void TakeBackup(Env& env, const ListFiles& at) { CopyInPlace(env, at.live, at.backup, at); }

// Case A: the root list becomes the RS list. The root list is deleted only
// once its copy in the RS folder is complete and on disk, so an interruption
// leaves the list whole in one of the two places. The deletions are made
// durable before the run goes on: a root list that a power cut brought back
// would make the next run move it into RS again, over whatever the RS list
// has become since.
void MoveRootListIntoRs(Env& env, const ListFiles& root, const ListFiles& rs) {
  CopyInPlace(env, root.live, rs.live, rs);
  env.RemoveFile(root.live);
  if (FilePresent(env, root.backup)) env.RemoveFile(root.backup);
  env.SyncFolder(root.folder);
}

// Writes the new list from the live list into the work file of `at` and puts
// it in place of the live list.
void ReplaceWithNewList(Env& env, const ListFiles& at) {
  std::unique_ptr<LineReader> source = OpenOldList(env, at.live);
  // Declared first, so that the work file is closed before it is removed.
  ScratchFile work(env);
  std::unique_ptr<LineWriter> target = env.CreateForWriting(at.work);
  work.Made(at.work);
  WriteNewList(env, *source, at.live, *target);
  source->Close();
  target->Close();
  work.RenameOver(at.live);
}

}  // namespace

ListFiles RootListFiles(const std::string& app_path) { return ListFilesIn(app_path); }

std::string RsFolder(const std::string& app_path) { return PathIn(app_path, "\\Sifranti\\RS"); }

ListFiles RsListFiles(const std::string& app_path) { return ListFilesIn(RsFolder(app_path)); }

std::string InstallationLockFile(const std::string& app_path) {
  return PathIn(app_path, kLockFile);
}

std::unique_ptr<FileLock> LockInstallation(Env& env, const std::string& app_path) {
  const std::string path = InstallationLockFile(app_path);
  for (int waited = 0;; waited += kLockRetryMilliseconds) {
    if (std::unique_ptr<FileLock> lock = env.TryLockFile(path)) return lock;
    if (waited >= kLockWaitMilliseconds) {
      throw RunError(kErrListLocked,
                     "Updating the bank code list: " + path +
                         ": another run of Quarnel is updating the list in this folder and "
                         "has not finished within " +
                         std::to_string(kLockWaitMilliseconds / 1000) +
                         " seconds; nothing was changed");
    }
    env.Pause(kLockRetryMilliseconds);
  }
}

UpdateCase DecideUpdateCase(Env& env, const std::string& app_path) {
  const bool root_list = FilePresent(env, RootListFiles(app_path).live);
  const bool rs_folder = env.IsPresent(RsFolder(app_path), Presence::kFilesAndDirectories);
  if (root_list && rs_folder) return UpdateCase::kMoveIntoRs;
  if (FilePresent(env, RsListFiles(app_path).live)) return UpdateCase::kUpdateRs;
  if (root_list) return UpdateCase::kUpdateRoot;
  return UpdateCase::kNoList;
}

// A list that the user or the installation media made read-only is refused
// before anything is changed, so that the run after the attribute is cleared
// finds everything as it was.
void CheckReplaceable(Env& env, const std::string& live) {
  if (env.IsReadOnly(live)) {
    throw RunError(kErrPermissionDenied,
                   "Updating the bank code list: " + live +
                       ": the file is read-only; clear its read-only attribute and run again");
  }
}

UpdatePlan PlanUpdate(Env& env, const std::string& app_path) {
  const ListFiles root = RootListFiles(app_path);
  const ListFiles rs = RsListFiles(app_path);
  UpdatePlan plan{DecideUpdateCase(env, app_path), root.live, root};
  switch (plan.update_case) {
    case UpdateCase::kMoveIntoRs:
      CheckReplaceable(env, root.live);
      CheckReplaceable(env, rs.live);
      plan.at = rs;
      break;
    case UpdateCase::kUpdateRs:
      CheckReplaceable(env, rs.live);
      plan.source = rs.live;
      plan.at = rs;
      break;
    case UpdateCase::kUpdateRoot:
      CheckReplaceable(env, root.live);
      break;
    case UpdateCase::kNoList:
      throw RunError(kErrFileNotFound, "Looking for the bank code list: " + root.live + " and " +
                                           rs.live + ": neither exists");
  }
  return plan;
}

void RefreshBankCodeList(Env& env) {
  const std::string app_path = env.AppPath();
  const std::unique_ptr<FileLock> lock = LockInstallation(env, app_path);
  const UpdatePlan plan = PlanUpdate(env, app_path);
  if (plan.update_case == UpdateCase::kMoveIntoRs) {
    MoveRootListIntoRs(env, RootListFiles(app_path), plan.at);
  }
  TakeBackup(env, plan.at);
  ReplaceWithNewList(env, plan.at);
}

}  // namespace quarnel
