// The program run as a process, the way a user or the start-up runner runs it.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/program.h"
#include "banklist/builtin_table.h"
#include "banklist/refresh.h"
#include "testing/fails_cleanly.h"
#include "testing/fault_env.h"
#include "testing/process.h"
#include "testing/temp_dir.h"

namespace quarnel {
namespace {

using testing::Exists;
using testing::FailsCleanly;
using testing::InstallProgram;
using testing::ReadFile;
using testing::RunProcess;
using testing::ScopedTempDir;
using testing::WriteFile;

constexpr char kQuestion[] = "Do you want to delete file sifrant_bank.dat from database?";
const std::string kList = "HEADER\r\nZZZZ|row\r\n";

class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest() { WriteFile(dir_.Join("sifrant_bank.dat"), kList); }

  bool ListUpdated() {
    return ReadFile(dir_.Join("sifrant_bank.dat")).rfind("BANKID(C)|", 0) == 0 &&
           ReadFile(dir_.Join("sifrant_bank.old")) == kList;
  }

  ScopedTempDir dir_;
};

// What the program showed: its console output, or on Windows the text of the
// message boxes that it could not show without a desktop.
std::string Shown(const testing::ProcessResult& result) { return result.out + result.err; }

#ifdef _WIN32
constexpr char kNoConsoleAnswers[] =
    "answers come from message boxes on Windows; scripts/windows-ui-test.sh presses them";
#endif

TEST_F(ProgramTest, InteractiveNoUpdatesTheListWithoutFurtherMessages) {
#ifdef _WIN32
  GTEST_SKIP() << kNoConsoleAnswers;
#endif
  const std::string exe = InstallProgram(dir_.path());
  const auto result = RunProcess(exe, {}, "n\n");
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.out.find(kQuestion), std::string::npos) << result.out;
  EXPECT_EQ(result.out.find("successfull"), std::string::npos);
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(ListUpdated());
}

TEST_F(ProgramTest, UnclearAnswersAskAgainAndEndOfInputMeansNo) {
#ifdef _WIN32
  GTEST_SKIP() << kNoConsoleAnswers;
#endif
  const std::string exe = InstallProgram(dir_.path());
  auto result = RunProcess(exe, {}, "maybe\nNO\n");
  EXPECT_EQ(result.exit_code, 0) << result.err;
  size_t asked = 0;
  for (size_t at = result.out.find(kQuestion); at != std::string::npos;
       at = result.out.find(kQuestion, at + 1)) {
    ++asked;
  }
  EXPECT_EQ(asked, 2u) << result.out;

  result = RunProcess(exe, {}, "");
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.out.find(kQuestion), std::string::npos);
}

TEST_F(ProgramTest, SilentRunsNeverAsk) {
  for (const char* name : {"keldramix", "KELDRAMIX.exe"}) {
    const auto result = RunProcess(InstallProgram(dir_.path(), name), {"whatever"});
    EXPECT_EQ(Shown(result).find(kQuestion), std::string::npos) << name << ": " << Shown(result);
  }
  const std::string exe = InstallProgram(dir_.path());
  for (const char* flag : {"-s", "-silent"}) {
    const auto result = RunProcess(exe, {flag});
    EXPECT_EQ(Shown(result).find(kQuestion), std::string::npos) << flag << ": " << Shown(result);
  }
  // The switch must be the whole argument text.
  const auto result = RunProcess(exe, {"-s", "extra"}, "n\n");
  EXPECT_NE(Shown(result).find(kQuestion), std::string::npos);
}

TEST_F(ProgramTest, HelpAndVersionTouchNothing) {
  const std::string exe = InstallProgram(dir_.path());
  for (const char* help : {"--help", "-h", "/?"}) {
    const auto result = RunProcess(exe, {help});
    EXPECT_EQ(result.exit_code, 0) << help;
    EXPECT_NE(Shown(result).find("Usage: quarnel"), std::string::npos) << help;
  }
  const auto result = RunProcess(exe, {"--version"});
  EXPECT_EQ(result.exit_code, 0);
  // The version set in the build, as the program's own text.
  EXPECT_NE(Shown(result).find("Quarnel " QUARNEL_VERSION), std::string::npos) << Shown(result);
  EXPECT_FALSE(Exists(dir_.Join("sifrant_bank.old")));
  EXPECT_EQ(ReadFile(dir_.Join("sifrant_bank.dat")), kList);

  // The start-up runner may pass anything: its run stays silent and does
  // its job (here it stops at the missing settings file).
  const std::string runner = InstallProgram(dir_.path(), "KELDRAMIX");
  for (const char* argument : {"--help", "--version", "/?", "--preview"}) {
    const auto silent = RunProcess(runner, {argument});
    EXPECT_EQ(silent.exit_code, kExitSettings) << argument;
    EXPECT_EQ(Shown(silent).find("Usage"), std::string::npos) << argument;
    EXPECT_EQ(Shown(silent).find("Quarnel 1"), std::string::npos) << argument;
    EXPECT_EQ(Shown(silent).find("summary:"), std::string::npos) << argument;
  }
}

// A preview reports on the standard output the starter gave, or refuses a
// list as the update would, and leaves the folder as it was either way.
TEST_F(ProgramTest, APreviewReportsOrRefusesAndTouchesNothing) {
  struct Case {
    bool list_present;
    const char* file;  // the list file named after --preview, or none
    int exit_code;
    std::string shown;
  };
  const Case cases[] = {
      {true, nullptr, kExitSuccess,
       "summary: read 1, unchanged 0, changed 1, dropped 0, appended " +
           std::to_string(kBuiltInBankCount)},
      {false, nullptr, kExitListFiles, "Quarnel: error 53: "},
      {true, "no-such-list.dat", kExitListFiles, "Quarnel: error 53: "},
      {true, ".", kExitListFiles, "it is a folder, not a list file"},
  };
  for (const Case& c : cases) {
    ScopedTempDir dir;
    const std::string exe = InstallProgram(dir.path());
    if (c.list_present) WriteFile(dir.Join("sifrant_bank.dat"), kList);
    const auto before = testing::Snapshot(dir.path());
    std::vector<std::string> arguments = {"--preview"};
    if (c.file != nullptr) arguments.push_back(dir.Join(c.file));
    const auto result = RunProcess(exe, arguments, "y\n");
    EXPECT_EQ(result.exit_code, c.exit_code) << c.shown << ": " << Shown(result);
    EXPECT_NE(Shown(result).find(c.shown), std::string::npos) << Shown(result);
    EXPECT_EQ(Shown(result).find(kQuestion), std::string::npos);
    EXPECT_EQ(testing::Snapshot(dir.path()), before) << c.shown;
  }
}

TEST_F(ProgramTest, AFailureIsReportedWithItsNumberAndExitsNonZero) {
  ScopedTempDir empty;
  const std::string exe = InstallProgram(empty.path());
  const auto result = RunProcess(exe, {}, "n\n");
  EXPECT_NE(result.exit_code, 0);
  EXPECT_NE(result.err.find("Quarnel: error 53: "), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("sifrant_bank.dat"), std::string::npos);
}

// One exit code for each kind of failure, on every system.
TEST_F(ProgramTest, EachKindOfFailureHasItsOwnExitCode) {
  struct Case {
    const char* label;
    std::vector<std::string> files;  // written with a DBName= line
    const char* arguments;
    bool hold_the_lock;
    int exit_code;
  };
  const Case cases[] = {
      {"no settings file", {}, "-s", false, kExitSettings},
      {"no credentials library",
       {"PersonalTarvo.ini", ".tarvoAuthentication.dat"}, "-s", false, kExitCredentials},
      {"no such data source", {"PersonalTarvo.ini"}, "-s", false, kExitDatabase},
      {"no list", {}, "", false, kExitListFiles},
      {"the list locked", {"sifrant_bank.dat"}, "", true, kExitListLocked},
  };
  for (const Case& c : cases) {
    ScopedTempDir dir;
    for (const std::string& file : c.files) WriteFile(dir.Join(file), "DBName=NoSuchQuarnelDsn\r\n");
    testing::FaultEnv env;
    env.app_path = dir.path();
    env.argument_text = c.arguments;
    env.no_library = true;
    std::unique_ptr<FileLock> holder;
    if (c.hold_the_lock) holder = env.target()->TryLockFile(InstallationLockFile(dir.path()));
    EXPECT_EQ(RunQuarnel(env, kDatabaseDeadline), c.exit_code) << c.label;
  }
}

#ifndef _WIN32
// A backslash in the installation folder's own name is no separator: the
// program updates the list in its own folder, not one in "a/b".
TEST_F(ProgramTest, AFolderNamedWithABackslashUpdatesItsOwnList) {
  testing::MakeDirs(dir_.Join("a/b"));
  testing::MakeDirs(dir_.Join("a\\b"));
  WriteFile(dir_.Join("a/b/sifrant_bank.dat"), kList);
  WriteFile(dir_.Join("a\\b/sifrant_bank.dat"), kList);
  const auto result = RunProcess(InstallProgram(dir_.Join("a\\b")), {}, "n\n");
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(ReadFile(dir_.Join("a\\b/sifrant_bank.old")), kList);
  EXPECT_EQ(ReadFile(dir_.Join("a/b/sifrant_bank.dat")), kList);
  EXPECT_FALSE(Exists(dir_.Join("a/b/sifrant_bank.old")));
}

// A named pipe at any name the run reads or writes ends the run at once with
// an error naming it; nobody would ever write to it, and an unattended
// start-up would wait for good.
TEST_F(ProgramTest, ANamedPipeAtAnyNameEndsTheRunAtOnce) {
  const std::string exe = InstallProgram(dir_.path());
  const std::string folder = dir_.path();
  const std::string pipe = ": a named pipe (FIFO) stands there";
  struct Case {
    const char* name;
    bool rs_folder;  // case A: the list moves into Sifranti/RS
    FailsCleanly run;
  };
  const Case cases[] = {
      {"sifrant_bank.old", false,
       {{}, folder, kExitListFiles, kErrPathFileAccess, "sifrant_bank.old" + pipe, "n\n"}},
      {"sifrant_bank.txt", false,
       {{}, folder, kExitListFiles, kErrPathFileAccess, "sifrant_bank.txt" + pipe, "n\n", true}},
      {"sifrant_bank.tmp", false,
       {{}, folder, kExitListFiles, kErrPathFileAccess, "sifrant_bank.tmp" + pipe, "n\n"}},
      {"Sifranti/RS/sifrant_bank.dat", true,
       {{}, folder, kExitListFiles, kErrPathFileAccess, "RS/sifrant_bank.dat" + pipe, "n\n"}},
      {"PersonalTarvo.ini", false,
       {{"-s"}, folder, kExitSettings, kErrPathFileAccess, "PersonalTarvo.ini" + pipe}},
      {".tarvoAuthentication.dat", false,
       {{"-s"}, folder, kExitCredentials, kErrPathFileAccess, ".tarvoAuthentication.dat" + pipe}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir_.Join("Sifranti"));
    if (c.rs_folder) testing::MakeDirs(dir_.Join("Sifranti/RS"));
    for (const char* name : {"PersonalTarvo.ini", ".tarvoAuthentication.dat"}) {
      WriteFile(dir_.Join(name), "DBName=TarvoDSN\r\n");
    }
    const std::string path = dir_.Join(c.name);
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0) << c.name;
    testing::ExpectFailsCleanly(exe, c.run);
    std::filesystem::remove(path);
  }
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// A row longer than the memory the program may have ends the run with
// error 7 and an untouched list, not with an abort.
TEST_F(ProgramTest, RunningOutOfMemoryIsError7AndKeepsTheList) {
  const std::string list = "HEADER\r\nZZZZ|" + std::string(100 << 20, 'x') + "\r\n";
  WriteFile(dir_.Join("sifrant_bank.dat"), list);
  const auto result = RunProcess(
      "/bin/sh", {"-c", "ulimit -v 307200 && exec \"$0\"", InstallProgram(dir_.path())}, "n\n");
  EXPECT_EQ(result.exit_code, 7);
  EXPECT_EQ(result.err, "Quarnel: error 7: Updating the bank code list: Out of memory\n");
  EXPECT_TRUE(ReadFile(dir_.Join("sifrant_bank.dat")) == list);
  EXPECT_FALSE(Exists(dir_.Join("sifrant_bank.txt")));
}
#endif
#endif

}  // namespace
}  // namespace quarnel
