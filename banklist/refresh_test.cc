#include "banklist/refresh.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "banklist/list_format.h"
#include "testing/fault_env.h"
#include "testing/temp_dir.h"

namespace quarnel {
namespace {

using testing::Exists;
using testing::FaultEnv;
using testing::MakeDirs;
using testing::ReadFile;
using testing::ReadFileOr;
using testing::ScopedTempDir;
using testing::WriteFile;

// Rows of a bank that no rule knows pass through with their text intact, so
// they show which old list a new list was made from.
const std::string kRootList = "OLD HEADER\r\nZZZZ|from root\r\n";
const std::string kRsList = "OLD HEADER\r\nZZZZ|from rs\r\n";
const std::string kHeader = std::string(kHeaderLine) + "\r\n";

// Every file and folder below the installation, with its content.
using Tree = std::map<std::string, std::string>;

class RefreshTest : public ::testing::Test {
 protected:
  RefreshTest() {
    env_.app_path = dir_.path();
    MakeDirs(dir_.Join("Sifranti"));
  }

  std::string At(const std::string& relative) const { return dir_.Join(relative); }
  std::string Root(const std::string& ext) const { return At("sifrant_bank." + ext); }
  std::string Rs(const std::string& ext) const { return At("Sifranti/RS/sifrant_bank." + ext); }

  // The lock file, which every update leaves in place, is not shown.
  Tree Snapshot() const {
    Tree tree = testing::Snapshot(dir_.path());
    tree.erase("quarnel.lock");
    return tree;
  }

  UpdateCase Decide() { return DecideUpdateCase(env_, dir_.path()); }

  // Where `entry` stands in the log of operations.
  size_t LogIndex(const std::string& entry) const {
    const auto& log = env_.log;
    for (size_t i = 0; i < log.size(); ++i) {
      if (log[i] == entry) return i;
    }
    ADD_FAILURE() << "missing " << entry;
    return log.size();
  }

  ScopedTempDir dir_;
  FaultEnv env_;
};

TEST_F(RefreshTest, CaseCUpdatesTheRootListInPlace) {
  WriteFile(Root("dat"), kRootList);
  WriteFile(Root("old"), "stale backup");
  WriteFile(Root("txt"), "stale work file");
  ASSERT_EQ(Decide(), UpdateCase::kUpdateRoot);
  RefreshBankCodeList(env_);

  const std::string list = ReadFile(Root("dat"));
  EXPECT_EQ(list.rfind(kHeader, 0), 0u);
  EXPECT_NE(list.find("ZZZZ|from root"), std::string::npos);
  EXPECT_EQ(list.find("OLD HEADER"), std::string::npos);
  EXPECT_EQ(ReadFile(Root("old")), kRootList);
  EXPECT_FALSE(Exists(Root("txt")));
  EXPECT_EQ(Decide(), UpdateCase::kUpdateRoot);
}

TEST_F(RefreshTest, CaseAMovesTheRootListIntoRsAndTheNextRunTakesCaseB) {
  MakeDirs(At("Sifranti/RS"));
  WriteFile(Root("dat"), kRootList);
  WriteFile(Root("old"), "root backup");
  WriteFile(Root("txt"), "root work file");
  WriteFile(Rs("dat"), kRsList);
  WriteFile(Rs("old"), "rs backup");
  ASSERT_EQ(Decide(), UpdateCase::kMoveIntoRs);
  RefreshBankCodeList(env_);

  EXPECT_FALSE(Exists(Root("dat")));
  EXPECT_FALSE(Exists(Root("old")));
  EXPECT_EQ(ReadFile(Root("txt")), "root work file");
  const std::string list = ReadFile(Rs("dat"));
  EXPECT_NE(list.find("ZZZZ|from root"), std::string::npos);
  EXPECT_EQ(list.find("from rs"), std::string::npos);
  EXPECT_EQ(ReadFile(Rs("old")), kRootList);
  EXPECT_FALSE(Exists(Rs("txt")));
  // The deletions are on disk before the run goes on, as renames are.
  EXPECT_LT(LogIndex("delete /sifrant_bank.dat"), LogIndex("sync /"));
  EXPECT_LT(LogIndex("delete /sifrant_bank.old"), LogIndex("sync /"));
  EXPECT_LT(LogIndex("sync /"), LogIndex("copy /Sifranti/RS/sifrant_bank.dat -> "
                                         "/Sifranti/RS/sifrant_bank.tmp"));

  ASSERT_EQ(Decide(), UpdateCase::kUpdateRs);
  RefreshBankCodeList(env_);
  EXPECT_EQ(ReadFile(Rs("old")), list);
  EXPECT_EQ(Decide(), UpdateCase::kUpdateRs);
}

TEST_F(RefreshTest, CaseAIntoAnEmptyRsFolder) {
  MakeDirs(At("Sifranti/RS"));
  WriteFile(Root("dat"), kRootList);
  RefreshBankCodeList(env_);
  EXPECT_FALSE(Exists(Root("dat")));
  EXPECT_NE(ReadFile(Rs("dat")).find("ZZZZ|from root"), std::string::npos);
  EXPECT_EQ(ReadFile(Rs("old")), kRootList);
}

TEST_F(RefreshTest, CaseBLeavesTheRootLocationAlone) {
  MakeDirs(At("Sifranti/RS"));
  WriteFile(Rs("dat"), kRsList);
  WriteFile(Rs("txt"), "stale rs work file");
  WriteFile(Root("old"), "root backup");
  WriteFile(Root("txt"), "root work file");
  ASSERT_EQ(Decide(), UpdateCase::kUpdateRs);
  RefreshBankCodeList(env_);

  EXPECT_NE(ReadFile(Rs("dat")).find("ZZZZ|from rs"), std::string::npos);
  EXPECT_EQ(ReadFile(Rs("old")), kRsList);
  EXPECT_FALSE(Exists(Rs("txt")));
  EXPECT_EQ(ReadFile(Root("old")), "root backup");
  EXPECT_EQ(ReadFile(Root("txt")), "root work file");
}

TEST_F(RefreshTest, CaseDTouchesNothingAndNamesBothPlaces) {
  MakeDirs(At("Sifranti/RS"));
  WriteFile(Root("old"), "root backup");
  WriteFile(Rs("old"), "rs backup");
  MakeDirs(Root("dat"));  // a folder named like the list is no list
  const Tree before = Snapshot();
  ASSERT_EQ(Decide(), UpdateCase::kNoList);
  try {
    RefreshBankCodeList(env_);
    FAIL() << "case D must end the run";
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), kErrFileNotFound);
    EXPECT_NE(e.description().find(PathIn(dir_.path(), "\\sifrant_bank.dat")),
              std::string::npos) << e.description();
    EXPECT_NE(e.description().find(PathIn("Sifranti", "\\RS\\sifrant_bank.dat")),
              std::string::npos);
  }
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(RefreshTest, AFileNamedRsCountsAsTheFolderAndEveryRunFailsUnchanged) {
  WriteFile(At("Sifranti/RS"), "not a folder");
  WriteFile(Root("dat"), kRootList);
  const Tree before = Snapshot();
  ASSERT_EQ(Decide(), UpdateCase::kMoveIntoRs);
  for (int run = 0; run < 2; ++run) {
    EXPECT_THROW(RefreshBankCodeList(env_), RunError);
    EXPECT_EQ(Snapshot(), before);
  }
}

TEST_F(RefreshTest, AnEmptyListEndsTheRunWithItsLiveListUnchanged) {
  WriteFile(Root("dat"), "");
  try {
    RefreshBankCodeList(env_);
    FAIL();
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), kErrInputPastEnd);
    EXPECT_NE(e.description().find("empty"), std::string::npos);
  }
  EXPECT_EQ(ReadFile(Root("dat")), "");
  EXPECT_EQ(ReadFile(Root("old")), "");
  EXPECT_FALSE(Exists(Root("txt")));
}

TEST_F(RefreshTest, UnixLineEndsKeepEveryRow) {
  WriteFile(Root("dat"), "OLD HEADER\nZZZZ|one\nZZZZ|two\n\nZZZZ|three");
  RefreshBankCodeList(env_);
  const std::string list = ReadFile(Root("dat"));
  EXPECT_EQ(list.rfind(kHeader, 0), 0u);
  for (const char* row : {"ZZZZ|one", "ZZZZ|two", "ZZZZ|three"}) {
    EXPECT_NE(list.find(std::string("\r\n") + row), std::string::npos) << row;
  }
  EXPECT_EQ(list.find("\r\n\r\n"), std::string::npos);  // no empty line written
  for (size_t lf = list.find('\n'); lf != std::string::npos; lf = list.find('\n', lf + 1)) {
    ASSERT_EQ(list[lf - 1], '\r') << "a line end without CR at " << lf;
  }
}

TEST_F(RefreshTest, OnlyAHeaderGivesTheHeaderFirst) {
  WriteFile(Root("dat"), "ZZZZ|a bank row in the header's place");
  RefreshBankCodeList(env_);
  const std::string list = ReadFile(Root("dat"));
  EXPECT_EQ(list.rfind(kHeader, 0), 0u);
  EXPECT_EQ(list.find("header's place"), std::string::npos);
}

TEST_F(RefreshTest, BackupIsTakenBeforeTheListIsReplaced) {
  WriteFile(Root("dat"), kRootList);
  RefreshBankCodeList(env_);
  EXPECT_LT(LogIndex("copy /sifrant_bank.dat -> /sifrant_bank.tmp"),
            LogIndex("replace /sifrant_bank.tmp -> /sifrant_bank.old"));
  EXPECT_LT(LogIndex("replace /sifrant_bank.tmp -> /sifrant_bank.old"),
            LogIndex("replace /sifrant_bank.txt -> /sifrant_bank.dat"));
  EXPECT_LT(LogIndex("close /sifrant_bank.txt"),
            LogIndex("replace /sifrant_bank.txt -> /sifrant_bank.dat"));
  for (const std::string& entry : env_.log) EXPECT_NE(entry.rfind("delete", 0), 0u) << entry;
}

// Another run holds the installation's lock. Its holder here lets go after
// `release_ms` of waiting (never, for -1); the wait itself is counted, not
// waited, so the bound is exact however slow the machine.
TEST_F(RefreshTest, ARunWaitsUpTo30SecondsForTheLockThenChangesNothing) {
  for (const int release_ms : {0, 2000, kLockWaitMilliseconds, -1}) {
    WriteFile(Root("dat"), kRootList);
    std::filesystem::remove(Root("old"));
    std::unique_ptr<FileLock> holder =
        env_.target()->TryLockFile(InstallationLockFile(dir_.path()));
    ASSERT_NE(holder, nullptr);
    if (release_ms == 0) holder.reset();
    env_.paused_ms = 0;
    env_.on_pause = [&](int paused) {
      if (paused == release_ms) holder.reset();
    };
    const Tree before = Snapshot();
    if (release_ms >= 0) {
      RefreshBankCodeList(env_);
      EXPECT_EQ(env_.paused_ms, release_ms);
      EXPECT_EQ(ReadFile(Root("old")), kRootList) << release_ms;
      continue;
    }
    try {
      RefreshBankCodeList(env_);
      FAIL() << "the lock was never free";
    } catch (const RunError& e) {
      EXPECT_EQ(e.number(), kErrListLocked);
      EXPECT_NE(e.description().find("another run of Quarnel is updating the list in this folder"),
                std::string::npos) << e.description();
    }
    EXPECT_EQ(env_.paused_ms, kLockWaitMilliseconds);
    EXPECT_EQ(Snapshot(), before);
  }
}

// The list the next run will read, by the update case the files now give.
std::string ListNextRunReads(Env& env, const std::string& app, const std::string& missing) {
  switch (DecideUpdateCase(env, app)) {
    case UpdateCase::kMoveIntoRs:
    case UpdateCase::kUpdateRoot: return ReadFileOr(RootListFiles(app).live, missing);
    case UpdateCase::kUpdateRs: return ReadFileOr(RsListFiles(app).live, missing);
    case UpdateCase::kNoList: return missing;
  }
  return missing;
}

const std::string kLeftScratch = "a copy an interrupted run left";

// Fails each file operation of an update in turn. After every failure the
// list the next run reads is still the old one, and that next run succeeds
// with the same result as an undisturbed run.
class RefreshFaultTest : public ::testing::TestWithParam<UpdateCase> {
 protected:
  void Prepare(const ScopedTempDir& dir) {
    MakeDirs(dir.Join("Sifranti"));
    const std::string rows = "OLD HEADER\r\nZZZZ|1\r\nZZZZ|2\r\nZZZZ|3\r\n";
    switch (GetParam()) {
      case UpdateCase::kMoveIntoRs:
        MakeDirs(dir.Join("Sifranti/RS"));
        WriteFile(dir.Join("sifrant_bank.dat"), rows);
        WriteFile(dir.Join("sifrant_bank.old"), earlier_backup_);
        WriteFile(dir.Join("Sifranti/RS/sifrant_bank.dat"), "rs list\r\n");
        WriteFile(dir.Join("Sifranti/RS/sifrant_bank.old"), earlier_backup_);
        break;
      case UpdateCase::kUpdateRs:
        MakeDirs(dir.Join("Sifranti/RS"));
        WriteFile(dir.Join("Sifranti/RS/sifrant_bank.dat"), rows);
        WriteFile(dir.Join("Sifranti/RS/sifrant_bank.txt"), "stale");
        WriteFile(dir.Join("Sifranti/RS/sifrant_bank.old"), earlier_backup_);
        break;
      default:
        WriteFile(dir.Join("sifrant_bank.dat"), rows);
        WriteFile(dir.Join("sifrant_bank.old"), earlier_backup_);
        WriteFile(dir.Join("sifrant_bank.tmp"), kLeftScratch);
        break;
    }
    old_list_ = rows;
  }

  std::string old_list_;
  const std::string earlier_backup_ = "an earlier backup\r\n";
};

TEST_P(RefreshFaultTest, EveryFailingOperationLeavesTheOldListForTheNextRun) {
  std::string reference;
  {
    ScopedTempDir dir;
    Prepare(dir);
    FaultEnv env;
    env.app_path = dir.path();
    RefreshBankCodeList(env);
    reference = ListNextRunReads(env, dir.path(), "<none>");
  }
  int failures = 0;
  for (int n = 1;; ++n) {
    ScopedTempDir dir;
    Prepare(dir);
    FaultEnv env;
    env.app_path = dir.path();
    env.FailOperation(n);
    try {
      RefreshBankCodeList(env);
      break;  // n is past the last operation
    } catch (const RunError& e) {
      ++failures;
      EXPECT_EQ(e.number(), kErrDiskFull);
    }
    const std::string last = env.log.back();
    EXPECT_EQ(ListNextRunReads(env, dir.path(), "<none>"), old_list_) << "failed at " << last;
    // A backup is the earlier one or the whole list, and no partial copy
    // stays (one an interrupted run left may, until the next run).
    for (const ListFiles& at : {RootListFiles(dir.path()), RsListFiles(dir.path())}) {
      const std::string backup = ReadFileOr(at.backup, "<none>");
      EXPECT_TRUE(backup == "<none>" || backup == old_list_ || backup == earlier_backup_)
          << "failed at " << last << ": " << backup;
      EXPECT_EQ(ReadFileOr(at.scratch, kLeftScratch), kLeftScratch) << "failed at " << last;
    }

    FaultEnv next;
    next.app_path = dir.path();
    ASSERT_NO_THROW(RefreshBankCodeList(next)) << "after failing at " << last;
    EXPECT_EQ(ListNextRunReads(next, dir.path(), "<none>"), reference) << "failed at " << last;
    EXPECT_FALSE(Exists(RootListFiles(dir.path()).scratch) || Exists(RsListFiles(dir.path()).scratch));
  }
  EXPECT_GT(failures, 10);
}

std::string CaseName(const ::testing::TestParamInfo<UpdateCase>& test) {
  const char* names[] = {"MoveIntoRs", "UpdateRs", "UpdateRoot"};
  return names[static_cast<int>(test.param)];
}

INSTANTIATE_TEST_SUITE_P(Cases, RefreshFaultTest,
                         ::testing::Values(UpdateCase::kMoveIntoRs, UpdateCase::kUpdateRs,
                                           UpdateCase::kUpdateRoot),
                         CaseName);

}  // namespace
}  // namespace quarnel
