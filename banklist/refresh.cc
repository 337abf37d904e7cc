#include "banklist/refresh.h"

#include <memory>
#include <string>

#include "banklist/builtin_table.h"
#include "banklist/list_format.h"
#include "banklist/migrate.h"

namespace quarnel {

namespace {

ListFiles ListFilesIn(const std::string& folder) {
  return ListFiles{folder + "\\sifrant_bank.dat", folder + "\\sifrant_bank.old",
                   folder + "\\sifrant_bank.txt"};
}

bool FilePresent(Env& env, const std::string& path) {
  return env.IsPresent(path, Presence::kFilesOnly);
}

// Copies the live list of a location aside before anything else changes it;
// the copy is on disk before the live list is ever replaced.
void TakeBackup(Env& env, const ListFiles& at) { env.CopyWholeFile(at.live, at.backup); }

// Case A: the root list becomes the RS list. The root list is deleted only
// once its copy in the RS folder is complete and on disk, so an interruption
// leaves the list whole in one of the two places.
void MoveRootListIntoRs(Env& env, const ListFiles& root, const ListFiles& rs) {
  if (FilePresent(env, rs.live)) env.RemoveFile(rs.live);
  env.CopyWholeFile(root.live, rs.live);
  env.RemoveFile(root.live);
  if (FilePresent(env, root.backup)) env.RemoveFile(root.backup);
}

// Writes the new list from the live list into the work file of `at`.
void WriteNewList(Env& env, const ListFiles& at) {
  std::unique_ptr<LineReader> source = env.OpenForReading(at.live);
  std::unique_ptr<LineWriter> target = env.CreateForWriting(at.work);
  if (source->AtEnd()) {
    throw RunError(kErrInputPastEnd, "Reading the bank code list: " + NativePath(at.live) +
                                         ": the list is empty, it has not even a header line");
  }
  std::string first_line;
  source->ReadLine(&first_line);  // replaced by the fixed header, unread
  target->WriteLine(kHeaderLine);
  const MigrationTexts texts(env);
  SeenBankIds seen;
  RunRowPass(*source, *target, texts, seen, NativePath(at.live));
  AppendMissingBanks(*target, texts, seen);
  source->Close();
  target->Close();
}

}  // namespace

ListFiles RootListFiles(const std::string& app_path) { return ListFilesIn(app_path); }

std::string RsFolder(const std::string& app_path) { return app_path + "\\Sifranti\\RS"; }

ListFiles RsListFiles(const std::string& app_path) { return ListFilesIn(RsFolder(app_path)); }

UpdateCase DecideUpdateCase(Env& env, const std::string& app_path) {
  const bool root_list = FilePresent(env, RootListFiles(app_path).live);
  const bool rs_folder = env.IsPresent(RsFolder(app_path), Presence::kFilesAndDirectories);
  if (root_list && rs_folder) return UpdateCase::kA;
  if (FilePresent(env, RsListFiles(app_path).live)) return UpdateCase::kB;
  if (root_list) return UpdateCase::kC;
  return UpdateCase::kD;
}

void RefreshBankCodeList(Env& env) {
  const std::string app_path = env.AppPath();
  const ListFiles root = RootListFiles(app_path);
  const ListFiles rs = RsListFiles(app_path);

  const ListFiles* at = nullptr;
  switch (DecideUpdateCase(env, app_path)) {
    case UpdateCase::kA:
      MoveRootListIntoRs(env, root, rs);
      at = &rs;
      break;
    case UpdateCase::kB:
      at = &rs;
      break;
    case UpdateCase::kC:
      at = &root;
      break;
    case UpdateCase::kD:
      throw RunError(kErrFileNotFound, "Looking for the bank code list: " +
                                           NativePath(root.live) + " and " +
                                           NativePath(rs.live) + ": neither exists");
  }
  TakeBackup(env, *at);
  WriteNewList(env, *at);
  env.RenameOver(at->work, at->live);
}

}  // namespace quarnel
