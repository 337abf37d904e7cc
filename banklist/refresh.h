#ifndef QUARNEL_BANKLIST_REFRESH_H_
#define QUARNEL_BANKLIST_REFRESH_H_

#include <memory>
#include <string>

#include "platform/env.h"

namespace quarnel {

// Where the update finds the list and where its result goes, decided before
// any file is touched.
enum class UpdateCase {
  kMoveIntoRs,  // A: root list and RS folder: move the list into the RS folder, update it there
  kUpdateRs,    // B: RS list: update it in place
  kUpdateRoot,  // C: root list, no RS folder: update it in place
  kNoList,      // D: no list anywhere
};

// The files of one location: live list, backup and work file, and the
// scratch name under which a copy is made before it takes its own name.
struct ListFiles {
  std::string folder;
  std::string live;
  std::string backup;
  std::string work;
  std::string scratch;
};

// The files directly in the application path and those in "Sifranti\RS".
ListFiles RootListFiles(const std::string& app_path);
ListFiles RsListFiles(const std::string& app_path);
std::string RsFolder(const std::string& app_path);

// The file whose lock gives one run at a time the list files of an
// installation: "quarnel.lock" in the application path. It is never deleted.
std::string InstallationLockFile(const std::string& app_path);

// How long a run waits for another run of the same installation to finish,
// and how often it looks.
inline constexpr int kLockWaitMilliseconds = 30000;
inline constexpr int kLockRetryMilliseconds = 100;

// Takes the installation's lock, waiting up to kLockWaitMilliseconds for
// another holder. Throws error 3218 when it is still held then.
std::unique_ptr<FileLock> LockInstallation(Env& env, const std::string& app_path);

// Decides the update case from the presence of the root list, the RS folder
// and the RS list. Touches no file.
UpdateCase DecideUpdateCase(Env& env, const std::string& app_path);

// What an update started now does, decided before any file is changed.
struct UpdatePlan {
  UpdateCase update_case = UpdateCase::kNoList;
  std::string source;  // the list it reads: the root list in case A
  ListFiles at;        // the location whose backup and live list it replaces
};

// Decides the update case and refuses, before anything is changed, case D
// (error 53) and a live list that the update could not replace (error 70).
// Touches no file.
UpdatePlan PlanUpdate(Env& env, const std::string& app_path);

// Refuses with error 70 a live list that the user or the installation media
// made read-only: it is the user's to release.
void CheckReplaceable(Env& env, const std::string& live);

// Brings the bank code list in the application path up to date, holding the
// installation's lock from the case decision to the final rename: backs it up,
// writes the header and every old row migrated plus the missing built-in
// banks into the work file, and puts the work file in place of the live list
// in one step. Shows no message. Throws RunError on the first failure; the
// live list and the backup are then either unchanged or, in case A, moved
// whole into the RS folder, never partial or missing, and no partial copy
// or work file is left where it could be removed.
void RefreshBankCodeList(Env& env);

}  // namespace quarnel

#endif  // QUARNEL_BANKLIST_REFRESH_H_
