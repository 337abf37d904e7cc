// The Windows program run as a process: its name and command line as the
// system hands them over, and its application path. Without a desktop no
// message box can be shown: the question then counts as No, and each box's
// text reaches the standard error that the test gives the program.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/wide_text_win32.h"
#include "testing/process.h"
#include "testing/temp_dir.h"

namespace quarnel {
namespace {

using testing::Exists;
using testing::InstallProgram;
using testing::ReadFile;
using testing::RunProcess;
using testing::ScopedTempDir;
using testing::WriteFile;

constexpr char kQuestion[] = "Do you want to delete file sifrant_bank.dat from database?";
const std::string kList = "HEADER\r\nZZZZ|row\r\n";

class WindowsProgramTest : public ::testing::Test {
 protected:
  WindowsProgramTest() { WriteFile(dir_.Join("sifrant_bank.dat"), kList); }

  // A silent run goes to the database first; without the host's settings
  // file it ends there, before the list is touched. An interactive run is
  // asked, takes the unanswerable question as No and updates the list.
  bool RanSilently(const std::string& exe, const std::vector<std::string>& arguments) {
    const auto result = RunProcess(exe, arguments);
    const bool asked = result.err.find(kQuestion) != std::string::npos;
    const bool stopped_at_settings =
        result.exit_code != 0 && result.err.find("PersonalTarvo.ini") != std::string::npos;
    EXPECT_NE(asked, stopped_at_settings) << result.err;
    EXPECT_EQ(ReadFile(dir_.Join("sifrant_bank.dat")) == kList, stopped_at_settings);
    WriteFile(dir_.Join("sifrant_bank.dat"), kList);
    return stopped_at_settings;
  }

  ScopedTempDir dir_;
};

TEST_F(WindowsProgramTest, TheStartUpRunnersNameIsSilentInAnyCase) {
  for (const char* name : {"KELDRAMIX.EXE", "keldramix.exe", "KeldraMix.Exe"}) {
    const std::string exe = InstallProgram(dir_.path(), name);
    EXPECT_TRUE(RanSilently(exe, {})) << name;
    EXPECT_TRUE(RanSilently(exe, {"-S", "whatever"})) << name;
    ASSERT_TRUE(DeleteFileW(Wide(exe).c_str()));
  }
  EXPECT_FALSE(RanSilently(InstallProgram(dir_.path(), "KELDRAMIX2.EXE"), {}));
}

TEST_F(WindowsProgramTest, OnlyTheExactSwitchAsTheWholeArgumentTextIsSilent) {
  const std::string exe = InstallProgram(dir_.path(), "Quarnel.exe");
  EXPECT_TRUE(RanSilently(exe, {"-s"}));
  EXPECT_TRUE(RanSilently(exe, {"-silent"}));
  const std::vector<std::vector<std::string>> interactive = {
      {}, {"-S"}, {"-SILENT"}, {"/s"}, {"/silent"}, {"-s", "x"}, {"-s "}, {"\"-s\""}, {"--s"}};
  for (const auto& arguments : interactive) {
    EXPECT_FALSE(RanSilently(exe, arguments)) << (arguments.empty() ? "" : arguments[0]);
  }
}

TEST_F(WindowsProgramTest, AFolderWithBlanksAndLettersOutsideTheCodePage) {
  const std::string folder = dir_.path() + "\\Tarvo \xC3\x9A\xC4\x8Dty \xE4\xB8\xAD";  // Účty 中
  testing::MakeDirs(folder);
  WriteFile(folder + "\\sifrant_bank.dat", kList);
  const std::string exe = InstallProgram(folder);
  const auto result = RunProcess(exe, {});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadFile(folder + "\\sifrant_bank.old"), kList);
  EXPECT_EQ(ReadFile(folder + "\\sifrant_bank.dat").rfind("BANKID(C)|", 0), 0u);

  // Quoted on the command line, the name still leaves the switch alone.
  const auto silent = RunProcess(exe, {"-s"});
  EXPECT_NE(silent.err.find(folder + "\\PersonalTarvo.ini"), std::string::npos) << silent.err;
}

TEST_F(WindowsProgramTest, AtADriveRootTheListPathHasADoubledSeparator) {
  // A spare drive whose root is a scratch folder, as "subst" makes one; the
  // test runner names it (Wine resolves drives only through its own links).
  wchar_t drive[8] = {};
  if (GetEnvironmentVariableW(L"QUARNEL_TEST_DRIVE", drive, 8) != 2) {
    GTEST_SKIP() << "QUARNEL_TEST_DRIVE names no spare drive such as Q:";
  }
  const std::string root = Utf8(drive) + "\\";
  const std::string exe = InstallProgram(root);
  WriteFile(root + "sifrant_bank.dat", kList);
  const auto updated = RunProcess(exe, {});
  const std::string backup = ReadFile(root + "sifrant_bank.old");
  const bool work_file_left = Exists(root + "sifrant_bank.txt");
  const auto remove = [&](const char* file) { DeleteFileW(Wide(root + file).c_str()); };
  remove("sifrant_bank.dat");
  remove("sifrant_bank.old");
  const auto no_list = RunProcess(exe, {});
  remove("quarnel.exe");
  remove(testing::kLibraryFile);

  EXPECT_EQ(updated.exit_code, 0) << updated.err;
  EXPECT_EQ(backup, kList);
  EXPECT_FALSE(work_file_left);
  EXPECT_NE(no_list.err.find(root + "\\sifrant_bank.dat"), std::string::npos) << no_list.err;
}

// Another program -- a virus scanner, a backup agent, the host product --
// holds the list without delete sharing. Held for a moment, the run waits it
// out and succeeds; held past the bound, the run ends with its own clear
// error and exit code, and the list is as it was.
TEST_F(WindowsProgramTest, AListHeldByAnotherProgramIsWaitedForUpToABound) {
  const std::string exe = InstallProgram(dir_.path());
  for (const bool let_go : {true, false}) {
    WriteFile(dir_.Join("sifrant_bank.dat"), kList);
    HANDLE held = CreateFileW(Wide(dir_.Join("sifrant_bank.dat")).c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HANDLE holder = nullptr;
    if (let_go) {
      holder = CreateThread(
          nullptr, 0,
          [](void* file) -> DWORD {
            Sleep(2000);
            CloseHandle(static_cast<HANDLE>(file));
            return 0;
          },
          held, 0, nullptr);
    }
    const auto result = RunProcess(exe, {});
    if (let_go) {
      WaitForSingleObject(holder, INFINITE);
      CloseHandle(holder);
      EXPECT_EQ(result.exit_code, 0) << result.err;
      EXPECT_EQ(ReadFile(dir_.Join("sifrant_bank.old")), kList);
      continue;
    }
    CloseHandle(held);
    EXPECT_EQ(result.exit_code, 6) << result.err;
    EXPECT_NE(result.err.find("error 3045: "), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("another program holds the file"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(dir_.Join("sifrant_bank.dat")), kList);
  }
}

// A list made read-only (copied from installation media, say) is refused
// before anything changes, and the run after the attribute is cleared
// succeeds; the backup never takes the attribute over.
TEST_F(WindowsProgramTest, AReadOnlyListIsRefusedUntilTheAttributeIsCleared) {
  const std::string exe = InstallProgram(dir_.path());
  const std::wstring list = Wide(dir_.Join("sifrant_bank.dat"));
  ASSERT_TRUE(SetFileAttributesW(list.c_str(), FILE_ATTRIBUTE_READONLY));
  auto result = RunProcess(exe, {});
  EXPECT_EQ(result.exit_code, 5);
  EXPECT_NE(result.err.find(dir_.path() + "\\sifrant_bank.dat: the file is read-only"),
            std::string::npos) << result.err;
  EXPECT_FALSE(Exists(dir_.Join("sifrant_bank.old")));

  ASSERT_TRUE(SetFileAttributesW(list.c_str(), FILE_ATTRIBUTE_NORMAL));
  result = RunProcess(exe, {});
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadFile(dir_.Join("sifrant_bank.old")), kList);
  EXPECT_FALSE(GetFileAttributesW(Wide(dir_.Join("sifrant_bank.old")).c_str()) &
               FILE_ATTRIBUTE_READONLY);
}

}  // namespace
}  // namespace quarnel
