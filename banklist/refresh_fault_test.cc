// Failures that the system itself raises during an update -- a full disk, a
// folder the program may not write to -- through the real platform Env. The
// sweep in refresh_test.cc fails every operation in turn by injection; these
// check what the injection cannot: that the system's own error reaches the
// report with the right number, the operation, the path and the reason, and
// that a partly done update still leaves the list whole for the next run.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "banklist/refresh.h"
#include "testing/fails_cleanly.h"
#include "testing/fault_env.h"
#include "testing/process.h"
#include "testing/small_disk.h"
#include "testing/temp_dir.h"

namespace quarnel {
namespace {

namespace fs = std::filesystem;
using testing::Exists;
using testing::FaultEnv;
using testing::MakeDirs;
using testing::ReadFile;
using testing::ScopedTempDir;
using testing::WriteFile;

// An old list of known and unknown banks, `rows` rows long. 1,000 rows are
// more than the writer buffers, so a write fails before the close.
std::string OldList(int rows) {
  std::string list = "BANKID(C)|TRRID(C)|NAME(C)\r\n";
  for (int i = 0; i < rows; ++i) {
    list += (i % 2 ? "AGRL" : "QQ" + std::to_string(i % 100));
    list += "|245|AGRL|AGROBANKA BEOGRAD|7564856|h|3600|3604|bank_kelvi.crt|LAN|Orvane|"
            "3000|50|50|agrobanka.bmp|NOT_ESTABLISHED\r\n";
  }
  return list;
}

// What an undisturbed update makes of `old_list`.
std::string NewListFrom(const std::string& old_list) {
  ScopedTempDir dir;
  WriteFile(dir.Join("sifrant_bank.dat"), old_list);
  FaultEnv env;
  env.app_path = dir.path();
  RefreshBankCodeList(env);
  return ReadFile(dir.Join("sifrant_bank.dat"));
}

// Takes away the right to create, delete or rename files in `folder` while it
// lives; the files in `writable` can still be rewritten. Root is never
// refused, so under root the process acts as the user nobody instead, owning
// only those files.
class ScopedUnwritableFolder {
 public:
  ScopedUnwritableFolder(const std::string& folder, const std::vector<std::string>& writable)
      : folder_(folder), as_root_(::geteuid() == 0) {
    if (as_root_) {
      for (const std::string& file : writable) EXPECT_EQ(::chown(file.c_str(), kNobody, -1), 0);
      EXPECT_EQ(::seteuid(kNobody), 0);
    } else {
      EXPECT_EQ(::chmod(folder_.c_str(), 0555), 0);
    }
  }
  ~ScopedUnwritableFolder() {
    if (as_root_) {
      EXPECT_EQ(::seteuid(0), 0);
    } else {
      EXPECT_EQ(::chmod(folder_.c_str(), 0755), 0);
    }
  }
  ScopedUnwritableFolder(const ScopedUnwritableFolder&) = delete;
  ScopedUnwritableFolder& operator=(const ScopedUnwritableFolder&) = delete;

 private:
  static constexpr uid_t kNobody = 65534;
  std::string folder_;
  bool as_root_;
};

class RefreshSystemFaultTest : public ::testing::Test {
 protected:
  RefreshSystemFaultTest() {
    env_.app_path = dir_.path();
    MakeDirs(dir_.Join("Sifranti"));
    // Reachable for the user nobody whatever the umask.
    fs::permissions(dir_.path(), fs::perms(0755));
    fs::permissions(dir_.Join("Sifranti"), fs::perms(0755));
  }

  std::string Root(const std::string& ext) const { return dir_.Join("sifrant_bank." + ext); }
  std::string Rs(const std::string& ext) const {
    return dir_.Join("Sifranti/RS/sifrant_bank." + ext);
  }

  // Runs the update and returns the error it ends with.
  RunError FailingRun() { return testing::RunErrorOf([&] { RefreshBankCodeList(env_); }); }

  void ExpectReport(const RunError& error, int number, const std::string& what,
                    const std::string& path, const std::string& reason) {
    EXPECT_EQ(error.number(), number) << error.description();
    EXPECT_EQ(error.description().rfind(what, 0), 0u) << error.description();
    EXPECT_NE(error.description().find(path), std::string::npos) << error.description();
    EXPECT_NE(error.description().find(reason), std::string::npos) << error.description();
  }

  ScopedTempDir dir_;
  FaultEnv env_;
};

// The installation on a small disk of its own, which the test fills.
class RefreshDiskFullTest : public RefreshSystemFaultTest {
 protected:
  void SetUp() override {
    if (!disk_.mounted()) GTEST_SKIP() << "no right to mount a small disk here";
    MakeDirs(dir_.Join("Sifranti"));
  }

  static size_t Pages(size_t bytes) { return (bytes + 4095) / 4096 * 4096; }

  testing::ScopedSmallDisk disk_{dir_.path(), 64 << 20};  // room for the program too
};

TEST_F(RefreshDiskFullTest, WhileWritingTheNewListTheLiveListAndBackupStay) {
  for (const int rows : {3, 1000}) {
    const std::string old_list = OldList(rows);
    WriteFile(Root("dat"), old_list);
    disk_.LeaveRoom(Pages(old_list.size()) + 4096);  // the backup fits, the new list not

    ExpectReport(FailingRun(), kErrDiskFull, "Writing file", Root("txt"),
                 "No space left on device");
    EXPECT_EQ(ReadFile(Root("dat")), old_list) << rows << " rows";
    EXPECT_EQ(ReadFile(Root("old")), old_list);
    EXPECT_FALSE(Exists(Root("txt")));

    disk_.Free();
    RefreshBankCodeList(env_);
    EXPECT_EQ(ReadFile(Root("dat")), NewListFrom(old_list)) << rows << " rows";
    EXPECT_EQ(ReadFile(Root("old")), old_list);
  }
}

TEST_F(RefreshDiskFullTest, DuringTheBackupCopyTheEarlierBackupStaysWhole) {
  const std::string old_list = OldList(1000);
  const std::string earlier = NewListFrom(OldList(999));
  WriteFile(Root("dat"), old_list);
  WriteFile(Root("old"), earlier);
  disk_.LeaveRoom(Pages(old_list.size()) / 2);

  ExpectReport(FailingRun(), kErrDiskFull, "Writing file", Root("tmp"), "No space left on device");
  EXPECT_EQ(ReadFile(Root("old")), earlier);
  EXPECT_EQ(ReadFile(Root("dat")), old_list);
  EXPECT_FALSE(Exists(Root("tmp")));
}

TEST_F(RefreshDiskFullTest, MovingTheListIntoRsInCaseALeavesTheRootList) {
  const std::string old_list = OldList(1000);
  MakeDirs(dir_.Join("Sifranti/RS"));
  WriteFile(Root("dat"), old_list);
  disk_.LeaveRoom(Pages(old_list.size()) / 2);

  ExpectReport(FailingRun(), kErrDiskFull, "Writing file", Rs("tmp"), "No space left on device");
  EXPECT_EQ(ReadFile(Root("dat")), old_list);
  EXPECT_FALSE(Exists(Rs("dat")));
  EXPECT_FALSE(Exists(Rs("tmp")));
  ASSERT_EQ(DecideUpdateCase(env_, dir_.path()), UpdateCase::kMoveIntoRs);

  disk_.Free();
  RefreshBankCodeList(env_);
  EXPECT_EQ(ReadFile(Rs("dat")), NewListFrom(old_list));
  EXPECT_EQ(ReadFile(Rs("old")), old_list);
}

// What the user sees: the report on standard error and a failing exit code.
TEST_F(RefreshDiskFullTest, TheProgramReportsItAndExitsNonZero) {
  const std::string exe = testing::InstallProgram(dir_.path());
  WriteFile(Root("dat"), OldList(3));
  disk_.LeaveRoom(Pages(OldList(3).size()) + 4096);
  const auto result = testing::RunProcess(exe, {}, "n\n");
  EXPECT_NE(result.exit_code, 0);
  EXPECT_EQ(result.err, "Quarnel: error 61: Writing file: " + Root("txt") +
                            ": No space left on device\n");
  EXPECT_EQ(ReadFile(Root("dat")), OldList(3));
}

TEST_F(RefreshSystemFaultTest, PermissionDeniedOnCreatingTheBackupKeepsTheEarlierOne) {
  const std::string old_list = OldList(3);
  WriteFile(Root("dat"), old_list);
  WriteFile(Root("old"), "an earlier backup");
  WriteFile(dir_.Join("quarnel.lock"), "");  // left by an earlier run
  {
    ScopedUnwritableFolder locked(dir_.path(), {Root("old")});
    ExpectReport(FailingRun(), kErrPermissionDenied, "Copying file to", Root("tmp"),
                 "Permission denied");
  }
  EXPECT_EQ(ReadFile(Root("dat")), old_list);
  EXPECT_EQ(ReadFile(Root("old")), "an earlier backup");
  EXPECT_FALSE(Exists(Root("tmp")));

  RefreshBankCodeList(env_);
  EXPECT_EQ(ReadFile(Root("dat")), NewListFrom(old_list));
}

// In a sticky folder the run may make files of its own but not replace the
// live list, which belongs to another user: only the final rename fails.
TEST_F(RefreshSystemFaultTest, RenameRefusedLeavesTheLiveListAndNoWorkFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs a live list of another user";
  const std::string old_list = OldList(3);
  WriteFile(Root("dat"), old_list);
  WriteFile(dir_.Join("quarnel.lock"), "");
  fs::permissions(dir_.path(), fs::perms(01777));
  {
    ScopedUnwritableFolder locked(dir_.path(), {});
    ExpectReport(FailingRun(), kErrPermissionDenied, "Renaming " + Root("txt"), Root("dat"),
                 "Operation not permitted");
  }
  EXPECT_EQ(ReadFile(Root("dat")), old_list);
  EXPECT_EQ(ReadFile(Root("old")), old_list);
  EXPECT_FALSE(Exists(Root("txt")));

  fs::permissions(dir_.path(), fs::perms(0755));
  RefreshBankCodeList(env_);
  EXPECT_EQ(ReadFile(Root("dat")), NewListFrom(old_list));
}

TEST_F(RefreshSystemFaultTest, PermissionDeniedInTheRsFolderLeavesTheRootList) {
  const std::string old_list = OldList(3);
  MakeDirs(dir_.Join("Sifranti/RS"));
  fs::permissions(dir_.Join("Sifranti/RS"), fs::perms(0755));
  WriteFile(Root("dat"), old_list);
  WriteFile(dir_.Join("quarnel.lock"), "");
  {
    ScopedUnwritableFolder locked(dir_.Join("Sifranti/RS"), {});
    ExpectReport(FailingRun(), kErrPermissionDenied, "Copying file to", Rs("tmp"),
                 "Permission denied");
  }
  EXPECT_EQ(ReadFile(Root("dat")), old_list);
  EXPECT_FALSE(Exists(Rs("dat")));
  ASSERT_EQ(DecideUpdateCase(env_, dir_.path()), UpdateCase::kMoveIntoRs);

  RefreshBankCodeList(env_);
  EXPECT_EQ(ReadFile(Rs("dat")), NewListFrom(old_list));
  EXPECT_FALSE(Exists(Root("dat")));
}

}  // namespace
}  // namespace quarnel
