// The Windows program run as a process: its name and command line as the
// system hands them over, and its application path. Without a desktop no
// message box can be shown: the question then counts as No, and each box's
// text reaches the standard error that the test gives the program.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/held_file_wait.h"
#include "app/program.h"
#include "pelx/auth_file.h"
#include "platform/run_error.h"
#include "platform/wide_text_win32.h"
#include "testing/fault_env.h"
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

// Installation folders as the host product's users have them: blanks and
// letters of code page 1250, letters outside it (Cyrillic, Chinese), and one
// as long as the system still starts a program from (its path under
// MAX_PATH), whose list in Sifranti\RS and authentication file lie past
// MAX_PATH. In each the list is moved into Sifranti\RS and updated there,
// and the credentials library finds its authentication file.
TEST_F(WindowsProgramTest, AnyInstallationFolder) {
  const size_t longest_folder = MAX_PATH - 1 - std::string("\\quarnel.exe").size();
  const std::vector<std::string> names = {
      "Program Files\\Tarvo \xC4\x8C\xC5\xA0",                      // Tarvo ČŠ
      "Tarvo \xC3\x9A\xC4\x8Dty \xE4\xB8\xAD",                     // Tarvo Účty 中
      // Тарво банка
      "\xD0\xA2\xD0\xB0\xD1\x80\xD0\xB2\xD0\xBE \xD0\xB1\xD0\xB0\xD0\xBD\xD0\xBA\xD0\xB0",
      "Tarvo " + std::string(longest_folder - dir_.path().size() - 7, 'd'),
  };
  for (const std::string& name : names) {
    const std::string folder = dir_.path() + "\\" + name;
    const std::string rs = folder + "\\Sifranti\\RS";
    SCOPED_TRACE(folder + " (" + std::to_string(folder.size()) + " bytes)");
    testing::MakeDirs(rs);
    WriteFile(folder + "\\sifrant_bank.dat", kList);
    const std::string exe = InstallProgram(folder);
    const auto result = RunProcess(exe, {});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_FALSE(Exists(folder + "\\sifrant_bank.dat"));
    EXPECT_EQ(ReadFile(rs + "\\sifrant_bank.old"), kList);
    EXPECT_EQ(ReadFile(rs + "\\sifrant_bank.dat").rfind("BANKID(C)|", 0), 0u);

    // Quoted on the command line, the name still leaves the switch alone.
    const auto silent = RunProcess(exe, {"-s"});
    EXPECT_NE(silent.err.find(folder + "\\PersonalTarvo.ini"), std::string::npos) << silent.err;

    // The library finds the authentication file and reads the credentials,
    // so the run goes on to the data source (which does not exist). Had it
    // not found the file, the run would end as it does with the file
    // damaged: with error 5.
    const std::string auth = folder + "\\" + pelx::kAuthFileName;
    WriteFile(folder + "\\PersonalTarvo.ini", "[Database]\r\nDBName=QuarnelNoSuchSource\r\n");
    WriteFile(auth, pelx::AuthFileContent("op_user", "S3cret"));
    const auto connected = RunProcess(exe, {"-s"});
    EXPECT_NE(connected.err.find("error 3146: "), std::string::npos) << connected.err;
    WriteFile(auth, "not hex\r\n\r\n");
    const auto refused = RunProcess(exe, {"-s"});
    EXPECT_NE(refused.err.find("error 5: "), std::string::npos) << refused.err;
  }
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
// error and exit code, and the list is as it was. The wait is counted, not
// slept.
TEST_F(WindowsProgramTest, AListHeldByAnotherProgramIsWaitedForUpToABound) {
  for (const bool let_go : {true, false}) {
    WriteFile(dir_.Join("sifrant_bank.dat"), kList);
    HANDLE held = CreateFileW(Wide(dir_.Join("sifrant_bank.dat")).c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    testing::FaultEnv fault_env;
    fault_env.app_path = dir_.path();
    fault_env.on_pause = [&](int paused_ms) {
      if (let_go && paused_ms >= 2000 && held != nullptr) CloseHandle(std::exchange(held, nullptr));
    };
    HeldFileWait env(&fault_env);
    const int exit_code = RunQuarnel(env, kDatabaseDeadline);
    if (held != nullptr) CloseHandle(held);
    const std::string report = fault_env.reports.empty() ? "" : fault_env.reports.front();
    if (let_go) {
      EXPECT_EQ(exit_code, 0) << report;
      EXPECT_EQ(ReadFile(dir_.Join("sifrant_bank.old")), kList);
      continue;
    }
    EXPECT_EQ(exit_code, 6) << report;
    EXPECT_EQ(report.rfind("error 3045: ", 0), 0u) << report;
    EXPECT_NE(report.find("another program holds the file"), std::string::npos) << report;
    EXPECT_GE(fault_env.paused_ms, kHeldFileWaitMilliseconds);
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

// What the Properties of a built file show: the string `name` of its version
// resource, or "(none)".
std::string VersionText(const std::string& file, const wchar_t* name) {
  const std::wstring path = Wide(file);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::vector<char> info(size);
  void* text = nullptr;
  UINT length = 0;
  const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, info.data()) ||
      !VerQueryValueW(info.data(), key.c_str(), &text, &length) || length == 0) {
    return "(none)";
  }
  return Utf8(static_cast<const wchar_t*>(text));
}

TEST_F(WindowsProgramTest, TheProgramAndTheLibraryCarryTheProjectsVersion) {
  const std::string exe = InstallProgram(dir_.path());
  const std::string library = dir_.path() + "\\" + testing::kLibraryFile;
  for (const auto& [file, name] : {std::pair{exe, "quarnel.exe"}, {library, "PELX.dll"}}) {
    EXPECT_EQ(VersionText(file, L"FileVersion"), QUARNEL_VERSION) << name;
    EXPECT_EQ(VersionText(file, L"ProductVersion"), QUARNEL_VERSION) << name;
    EXPECT_EQ(VersionText(file, L"ProductName"), "Quarnel") << name;
    EXPECT_EQ(VersionText(file, L"OriginalFilename"), name);
    EXPECT_NE(VersionText(file, L"FileDescription"), "(none)") << name;
  }
}

TEST_F(WindowsProgramTest, TheProgramCarriesItsManifest) {
  const HMODULE exe = LoadLibraryExW(Wide(InstallProgram(dir_.path())).c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(exe, nullptr);
  const HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr) << "no application manifest";
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(exe, found))),
                             SizeofResource(exe, found));
  FreeLibrary(exe);
  // The template filled in, not an empty or a default one.
  EXPECT_NE(manifest.find("<assemblyIdentity"), std::string::npos) << manifest;
  EXPECT_EQ(manifest.find("@"), std::string::npos) << manifest;
  // The machine's ANSI code page stays: the list's bytes depend on it.
  EXPECT_EQ(manifest.find("<activeCodePage"), std::string::npos);
}

// Event Viewer shows an entry through the program's message table, with the
// entry's text as its one insertion: each error number's message is that
// text as written, whatever it holds. A number the program never writes has
// no message.
TEST_F(WindowsProgramTest, TheMessageTableShowsAnEventLogEntryAsWritten) {
  const HMODULE exe = LoadLibraryExW(Wide(InstallProgram(dir_.path())).c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(exe, nullptr);
  const std::wstring entry =
      L"Error 70: Copying file to: C:\\Tarvo 100%\\\u0428\u0438\\sifrant_bank.tmp: %1 %%0";
  DWORD_PTR insertions[] = {reinterpret_cast<DWORD_PTR>(entry.c_str())};
  auto format = [&](DWORD number) {
    wchar_t text[512];
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, exe, number,
                       0, text, sizeof text / sizeof text[0],
                       reinterpret_cast<va_list*>(insertions));
    return std::wstring(text, length);
  };
  for (const int number : {kErrInvalidCall, kErrFileNotFound, kErrFileInUse, kErrListLocked}) {
    EXPECT_EQ(Utf8(format(number)), Utf8(entry)) << number;
  }
  EXPECT_EQ(format(54), L"");
  FreeLibrary(exe);
}

// A damaged library beside the program is error 48 with the system's reason,
// which names the library instead of a placeholder.
TEST_F(WindowsProgramTest, ADamagedLibraryIsError48WithANamedReason) {
  const std::string exe = InstallProgram(dir_.path());
  WriteFile(dir_.Join(testing::kLibraryFile), std::string(4096, 'x'));
  WriteFile(dir_.Join("PersonalTarvo.ini"), "DBName=TarvoDSN\r\n");
  WriteFile(dir_.Join(".tarvoAuthentication.dat"), "");
  const auto result = RunProcess(exe, {"-s"});
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_NE(result.err.find("error 48: Loading library PELX: "), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("%1"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace quarnel
