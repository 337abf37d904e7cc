#include "hostcfg/credentials.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "pelx/pelx.h"
#include "testing/fails_cleanly.h"
#include "testing/fault_env.h"
#include "testing/process.h"
#include "testing/temp_dir.h"

namespace quarnel {
namespace {

using testing::FaultEnv;
using testing::ScopedTempDir;
using testing::WriteFile;

// --- A stand-in for PELX that records its calls ------------------------------

std::vector<std::string>* fake_calls = nullptr;
int32_t fake_password_result = 0;

int32_t FakeGetDbUser(char* buffer, int32_t capacity) {
  fake_calls->push_back("call getDbUser " + std::to_string(capacity));
  std::strcpy(buffer, "fake user");
  return 1000;  // beyond the text: the whole text counts
}

int32_t FakeGetDbPasswd(char* buffer, int32_t capacity) {
  fake_calls->push_back("call getDbPasswd " + std::to_string(capacity));
  std::strcpy(buffer, "fake secret");
  return fake_password_result;
}

class FakePelx final : public SharedLibrary {
 public:
  explicit FakePelx(std::map<std::string, PelxFunction> functions)
      : functions_(std::move(functions)) {}
  void* Function(const char* name) override {
    const auto found = functions_.find(name);
    if (found == functions_.end()) {
      throw RunError(kErrDllEntryPoint, std::string("Finding function ") + name);
    }
    return reinterpret_cast<void*>(found->second);
  }

 private:
  std::map<std::string, PelxFunction> functions_;
};

// Logs each library load; hands out `library` when set, else the real one.
class CredentialsEnv final : public FaultEnv {
 public:
  std::unique_ptr<SharedLibrary> library;
  std::unique_ptr<SharedLibrary> OpenLibrary(const std::string& name) override {
    log.push_back("load " + name);
    if (library) return std::move(library);
    return FaultEnv::OpenLibrary(name);
  }
};

class CredentialsTest : public ::testing::Test {
 protected:
  CredentialsTest() {
    env_.app_path = dir_.path();
    fake_calls = &env_.log;
    fake_password_result = 11;
  }

  void UseFake(bool with_password = true) {
    std::map<std::string, PelxFunction> functions{{"getDbUser", FakeGetDbUser}};
    if (with_password) functions["getDbPasswd"] = FakeGetDbPasswd;
    env_.library = std::make_unique<FakePelx>(std::move(functions));
  }

  RunError ErrorOfReading() { return testing::RunErrorOf([&] { ReadDbCredentials(env_); }); }

  ScopedTempDir dir_;
  CredentialsEnv env_;
};

// --- Without the authentication file -----------------------------------------

TEST_F(CredentialsTest, WithoutTheFileTheDefaultsAndNoLibrary) {
  const DbCredentials credentials = ReadDbCredentials(env_);
  EXPECT_EQ(credentials.DbUser, "tarvo");
  EXPECT_EQ(credentials.DbPassword.view(), "qtwm52hzkrpad");
  EXPECT_EQ(env_.log, std::vector<std::string>{"exists /.tarvoAuthentication.dat"});
}

TEST_F(CredentialsTest, ADirectoryOfThatNameIsNoFile) {
  testing::MakeDirs(dir_.Join(".tarvoAuthentication.dat"));
  EXPECT_EQ(ReadDbCredentials(env_).DbUser, "tarvo");
  EXPECT_EQ(env_.log.size(), 1u);
}

// --- With the file, through a stand-in library --------------------------------

TEST_F(CredentialsTest, TheFileIsOpenWhileEachFunctionIsCalledOnce) {
  WriteFile(dir_.Join(".tarvoAuthentication.dat"), "");
  UseFake();
  const DbCredentials credentials = ReadDbCredentials(env_);
  EXPECT_EQ(credentials.DbUser, "fake user");
  EXPECT_EQ(credentials.DbPassword.view(), "fake secret");
  const std::string capacity = std::to_string(kCredentialCapacity);
  EXPECT_EQ(env_.log, (std::vector<std::string>{
                          "exists /.tarvoAuthentication.dat",
                          "open /.tarvoAuthentication.dat", "load PELX",
                          "call getDbUser " + capacity, "call getDbPasswd " + capacity,
                          "close /.tarvoAuthentication.dat"}));
}

TEST_F(CredentialsTest, ANegativeLengthFailsWithoutShowingAnyValue) {
  WriteFile(dir_.Join(".tarvoAuthentication.dat"), "");
  UseFake();
  fake_password_result = PELX_BAD_TEXT;
  const RunError error = ErrorOfReading();
  EXPECT_EQ(error.number(), kErrInvalidCall);
  EXPECT_NE(error.description().find("getDbPasswd"), std::string::npos);
  EXPECT_EQ(error.description().find("fake"), std::string::npos);
}

TEST_F(CredentialsTest, AMissingFunctionFailsAfterTheFirstCall) {
  WriteFile(dir_.Join(".tarvoAuthentication.dat"), "");
  UseFake(/*with_password=*/false);
  EXPECT_EQ(ErrorOfReading().number(), kErrDllEntryPoint);
  EXPECT_EQ(env_.log.back(), "call getDbUser " + std::to_string(kCredentialCapacity));
}

TEST_F(CredentialsTest, AnUnreadableFileFailsBeforeTheLibraryLoads) {
  WriteFile(dir_.Join(".tarvoAuthentication.dat"), "");
  env_.FailOperation(2, kErrPermissionDenied);
  EXPECT_EQ(ErrorOfReading().number(), kErrPermissionDenied);
  EXPECT_EQ(env_.log.back(), "open /.tarvoAuthentication.dat");
}

// --- The real library ----------------------------------------------------------

// The library reads the file beside the program that loaded it, which for
// these tests is the test binary; the file is removed again on every path.
class FileBesideTests {
 public:
  explicit FileBesideTests(const std::string& folder)
      : path_(PathIn(folder, "\\.tarvoAuthentication.dat")) {}
  ~FileBesideTests() { std::filesystem::remove(path_); }

  void Write(const std::string& user, const std::string& password) {
    const auto result =
        testing::RunProcess(TARVO_AUTH_WRITE, {path_}, user + "\n" + password + "\n");
    ASSERT_EQ(result.exit_code, 0) << result.err;
  }

 private:
  std::string path_;
};

TEST_F(CredentialsTest, TheRealLibraryDeliversWhatTheToolWrote) {
  env_.app_path = env_.target()->AppPath();
  FileBesideTests file(env_.app_path);
  file.Write("tarvo_admin", "N0t the default!");
  const DbCredentials credentials = ReadDbCredentials(env_);
  EXPECT_EQ(credentials.DbUser, "tarvo_admin");
  EXPECT_EQ(credentials.DbPassword.view(), "N0t the default!");

  // One byte too long for the buffer is refused, not cut short.
  const std::string long_user(kCredentialCapacity, 'u');
  file.Write(long_user, "N0t the default!");
  const RunError error = ErrorOfReading();
  EXPECT_EQ(error.number(), kErrInvalidCall);
  EXPECT_EQ(error.description().find("uuuu"), std::string::npos);
  EXPECT_EQ(error.description().find("N0t"), std::string::npos);

  file.Write(long_user.substr(1), "p");
  EXPECT_EQ(ReadDbCredentials(env_).DbUser, long_user.substr(1));
}

TEST_F(CredentialsTest, AMissingLibraryEndsTheRunWithError48) {
  const std::string exe = testing::InstallProgram(dir_.path());
  std::filesystem::remove(dir_.Join(testing::kLibraryFile));
  WriteFile(dir_.Join("PersonalTarvo.ini"), "DBName=TarvoDSN\r\n");
  const auto without_file = testing::RunProcess(exe, {"-s"});
  EXPECT_EQ(without_file.err.find("error 48"), std::string::npos) << without_file.err;

  WriteFile(dir_.Join(".tarvoAuthentication.dat"), "");
  const auto with_file = testing::RunProcess(exe, {"-s"});
  EXPECT_NE(with_file.exit_code, 0);
  EXPECT_NE(with_file.err.find("error 48"), std::string::npos) << with_file.err;
}

#ifndef _WIN32
// Only the library beside the program is loaded: a working copy on
// LD_LIBRARY_PATH and in the current folder is never handed the password.
// A missing, damaged or foreign library beside the program ends the run
// with error 48 and its reason, never with a crash.
TEST_F(CredentialsTest, OnlyTheLibraryBesideTheProgramIsEverLoaded) {
  const std::string exe = testing::InstallProgram(dir_.path());
  const std::string beside = dir_.Join(testing::kLibraryFile);
  const std::string real = testing::ReadFile(beside);
  ScopedTempDir planted;
  WriteFile(planted.Join(testing::kLibraryFile), real);
  WriteFile(dir_.Join("PersonalTarvo.ini"), "DBName=TarvoDSN\r\n");
  WriteFile(dir_.Join(".tarvoAuthentication.dat"), "");
  struct Case {
    const char* label;
    std::string library;  // empty: none beside the program
    const char* reason;
  };
  const Case cases[] = {
      {"missing", "", "No such file or directory"},
      {"truncated", real.substr(0, real.size() / 2), "the library file is damaged"},
      {"foreign", std::string(4096, 'x'), "invalid ELF header"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(beside);
    if (!c.library.empty()) WriteFile(beside, c.library);
    const auto result = testing::RunProcess(
        "/bin/sh", {"-c", "cd \"$0\" && exec \"$1\" -s", planted.path(), exe}, "",
        {"LD_LIBRARY_PATH=" + planted.path()});
    EXPECT_EQ(result.exit_code, 3) << c.label;
    EXPECT_EQ(result.err.rfind("Quarnel: error 48: Loading library PELX: ", 0), 0u)
        << c.label << ": " << result.err;
    EXPECT_NE(result.err.find(c.reason), std::string::npos) << c.label << ": " << result.err;
  }
}
#endif

}  // namespace
}  // namespace quarnel
