// The Windows Env on real files: attributes, locks and names that only
// Windows has, and the list update that depends on them.

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "banklist/refresh.h"
#include "platform/env.h"
#include "platform/wide_text_win32.h"
#include "testing/fails_cleanly.h"
#include "testing/fault_env.h"
#include "testing/temp_dir.h"

namespace quarnel {
namespace {

using testing::Exists;
using testing::MakeDirs;
using testing::ReadFile;
using testing::ScopedTempDir;
using testing::WriteFile;

const std::string kRootList = "OLD HEADER\r\nZZZZ|from root\r\n";
const std::string kRsList = "OLD HEADER\r\nZZZZ|from rs\r\n";

class EnvWin32Test : public ::testing::Test {
 protected:
  EnvWin32Test() { fault_env_.app_path = dir_.path(); }

  // The path below the test folder, written the Windows way.
  std::string At(const std::string& relative) const { return dir_.path() + "\\" + relative; }

  void SetAttributes(const std::string& relative, DWORD attributes) {
    ASSERT_TRUE(SetFileAttributesW(Wide(At(relative)).c_str(), attributes));
  }

  int ErrorOf(void (*operation)(Env&, const std::string&), const std::string& path) {
    const RunError e = testing::RunErrorOf([&] { operation(*env_, path); });
    EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
    return e.number();
  }

  ScopedTempDir dir_;
  std::unique_ptr<Env> env_ = NewPlatformEnv(0, nullptr);
  testing::FaultEnv fault_env_;
};

// --- Presence by directory search -------------------------------------------

TEST_F(EnvWin32Test, HiddenAndSystemFilesAreNotFoundButStillExist) {
  for (const DWORD attribute : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
    WriteFile(At("list.dat"), "x");
    SetAttributes("list.dat", attribute);
    EXPECT_FALSE(env_->IsPresent(At("list.dat"), Presence::kFilesOnly)) << attribute;
    EXPECT_FALSE(env_->IsPresent(At("list.dat"), Presence::kFilesAndDirectories));
    EXPECT_TRUE(env_->FileExists(At("list.dat")));
    SetAttributes("list.dat", FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(DeleteFileW(Wide(At("list.dat")).c_str()));
  }
  WriteFile(At("ready.dat"), "x");
  SetAttributes("ready.dat", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_TRUE(env_->IsPresent(At("ready.dat"), Presence::kFilesOnly));
  SetAttributes("ready.dat", FILE_ATTRIBUTE_NORMAL);
}

TEST_F(EnvWin32Test, AHiddenFolderIsAbsentAndAFileNamedLikeTheFolderIsPresent) {
  MakeDirs(At("Sifranti\\RS"));
  SetAttributes("Sifranti\\RS", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
  EXPECT_FALSE(env_->IsPresent(At("Sifranti\\RS"), Presence::kFilesAndDirectories));
  WriteFile(At("Sifranti\\RS\\sifrant_bank.dat"), kRsList);
  EXPECT_TRUE(env_->IsPresent(At("Sifranti\\RS\\sifrant_bank.dat"), Presence::kFilesOnly));

  WriteFile(At("Sifranti\\RS2"), "a file");
  EXPECT_TRUE(env_->IsPresent(At("Sifranti\\RS2"), Presence::kFilesAndDirectories));
}

TEST_F(EnvWin32Test, NamesOutsideTheAnsiCodePageReachTheFile) {
  const std::string folder = At("\xC3\x9A\xC4\x8Dty \xE2\x82\xAC \xE4\xB8\xAD");  // Účty € 中
  MakeDirs(folder);
  std::unique_ptr<LineWriter> writer = env_->CreateForWriting(folder + "\\sifrant_bank.dat");
  writer->WriteLine("x");
  writer->Close();
  EXPECT_TRUE(env_->IsPresent(folder + "\\sifrant_bank.dat", Presence::kFilesOnly));
  env_->CopyWholeFile(folder + "\\sifrant_bank.dat", folder + "\\sifrant_bank.old");
  EXPECT_EQ(ReadFile(folder + "\\sifrant_bank.old"), "x\r\n");
}

// --- Failures ----------------------------------------------------------------

// A file another program holds is error 3045 at once (waiting it out is
// left to the run); a missing file or folder keeps its own number.
TEST_F(EnvWin32Test, AHeldFileIsInUseAndAMissingFolderPathNotFound) {
  WriteFile(At("locked.dat"), "x");
  const HANDLE lock = CreateFileW(Wide(At("locked.dat")).c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  const auto open = [](Env& env, const std::string& path) { env.OpenForReading(path); };
  EXPECT_EQ(ErrorOf(open, At("locked.dat")), kErrFileInUse);
  CloseHandle(lock);

  const auto remove = [](Env& env, const std::string& path) { env.RemoveFile(path); };
  const auto create = [](Env& env, const std::string& path) { env.CreateForWriting(path); };
  EXPECT_EQ(ErrorOf(remove, At("missing.dat")), kErrFileNotFound);
  EXPECT_EQ(ErrorOf(create, At("missing\\new.dat")), kErrPathNotFound);
}

// What the check of a run finds out without doing anything.
TEST_F(EnvWin32Test, ExePathIsTheTestProgramAndDeleteAccessTellsHeldFromDenied) {
  const std::string exe = env_->ExePath();
  EXPECT_EQ(exe.substr(exe.find_last_of('\\') + 1), "quarnel_tests.exe") << exe;

  WriteFile(At("held.dat"), "x");
  WriteFile(At("ready.dat"), "x");
  SetAttributes("ready.dat", FILE_ATTRIBUTE_READONLY);
  const HANDLE held = CreateFileW(Wide(At("held.dat")).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(env_->DeleteAccess(At("held.dat")), Access::kHeld);
  CloseHandle(held);
  EXPECT_EQ(env_->DeleteAccess(At("held.dat")), Access::kAllowed);
  EXPECT_EQ(env_->DeleteAccess(At("ready.dat")), Access::kDenied);
  EXPECT_EQ(env_->DeleteAccess(At("missing.dat")), Access::kAllowed);
  SetAttributes("ready.dat", FILE_ATTRIBUTE_NORMAL);
}

TEST_F(EnvWin32Test, ReplacingKeepsTheTargetNameWhenItExists) {
  WriteFile(At("sifrant_bank.dat"), "old");
  WriteFile(At("sifrant_bank.txt"), "new");
  env_->RenameOver(At("sifrant_bank.txt"), At("sifrant_bank.dat"));
  EXPECT_EQ(ReadFile(At("sifrant_bank.dat")), "new");
  EXPECT_FALSE(Exists(At("sifrant_bank.txt")));
}

// --- The credentials library -------------------------------------------------

TEST_F(EnvWin32Test, TheLibraryIsFoundBesideTheProgram) {
  std::unique_ptr<SharedLibrary> library = env_->OpenLibrary("PELX");
  EXPECT_NE(library->Function("getDbUser"), nullptr);
  EXPECT_NE(library->Function("decryptFromHex"), nullptr);
  try {
    library->Function("getDbUserName");
    FAIL() << "no such export";
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), kErrDllEntryPoint);
  }
}

// --- The list update with Windows attributes ------------------------------------

TEST_F(EnvWin32Test, AHiddenRsFolderIsAbsentSoItsListIsUpdatedInPlace) {
  WriteFile(At("sifrant_bank.dat"), kRootList);
  MakeDirs(At("Sifranti\\RS"));
  WriteFile(At("Sifranti\\RS\\sifrant_bank.dat"), kRsList);
  SetAttributes("Sifranti\\RS", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
  ASSERT_EQ(DecideUpdateCase(fault_env_, dir_.path()), UpdateCase::kUpdateRs);
  RefreshBankCodeList(fault_env_);

  EXPECT_EQ(ReadFile(At("sifrant_bank.dat")), kRootList);
  EXPECT_FALSE(Exists(At("sifrant_bank.old")));
  EXPECT_NE(ReadFile(At("Sifranti\\RS\\sifrant_bank.dat")).find("ZZZZ|from rs"),
            std::string::npos);
  EXPECT_EQ(ReadFile(At("Sifranti\\RS\\sifrant_bank.old")), kRsList);
}

TEST_F(EnvWin32Test, AHiddenListIsNoListAndTheRunTouchesNothing) {
  WriteFile(At("sifrant_bank.dat"), kRootList);
  SetAttributes("sifrant_bank.dat", FILE_ATTRIBUTE_HIDDEN);
  ASSERT_EQ(DecideUpdateCase(fault_env_, dir_.path()), UpdateCase::kNoList);
  EXPECT_THROW(RefreshBankCodeList(fault_env_), RunError);
  EXPECT_EQ(ReadFile(At("sifrant_bank.dat")), kRootList);
  EXPECT_FALSE(Exists(At("sifrant_bank.old")));
  EXPECT_FALSE(Exists(At("sifrant_bank.txt")));

  // Beside a visible RS list the hidden root list does not count either.
  MakeDirs(At("Sifranti\\RS"));
  WriteFile(At("Sifranti\\RS\\sifrant_bank.dat"), kRsList);
  ASSERT_EQ(DecideUpdateCase(fault_env_, dir_.path()), UpdateCase::kUpdateRs);
  RefreshBankCodeList(fault_env_);
  EXPECT_EQ(ReadFile(At("sifrant_bank.dat")), kRootList);
  EXPECT_EQ(ReadFile(At("Sifranti\\RS\\sifrant_bank.old")), kRsList);
}

TEST_F(EnvWin32Test, AVisibleRsFolderTakesTheRootListIn) {
  WriteFile(At("sifrant_bank.dat"), kRootList);
  MakeDirs(At("Sifranti\\RS"));
  SetAttributes("Sifranti\\RS", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
  ASSERT_EQ(DecideUpdateCase(fault_env_, dir_.path()), UpdateCase::kMoveIntoRs);
  RefreshBankCodeList(fault_env_);
  EXPECT_FALSE(Exists(At("sifrant_bank.dat")));
  EXPECT_EQ(ReadFile(At("Sifranti\\RS\\sifrant_bank.old")), kRootList);
}

}  // namespace
}  // namespace quarnel
