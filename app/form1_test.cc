#include "app/form1.h"

#include <gtest/gtest.h>

#include <string>

#include "pelx/cipher.h"
#include "testing/fault_env.h"
#include "testing/temp_dir.h"

namespace quarnel {
namespace {

using testing::FaultEnv;
using testing::ReadFile;
using testing::ScopedTempDir;
using testing::WriteFile;

class Form1Test : public ::testing::Test {
 protected:
  Form1Test() {
    env_.app_path = dir_.path();
    WriteFile(dir_.Join("sifrant_bank.dat"), "HEADER\r\nZZZZ|row\r\n");
  }

  // Decides the run mode only: a No answer keeps the database out of it. A
  // run that is not asked goes to the settings: silence confirms.
  bool IsSilent(const std::string& exe, const std::string& arguments) {
    FaultEnv env;
    env.app_path = dir_.path();
    env.exe_name = exe;
    env.argument_text = arguments;
    Form1 form(env);
    try {
      form.Load();
    } catch (const RunError&) {
      // A confirmed run may stop at the database; the mode is decided by then.
    }
    const bool silent = env.questions.empty();
    EXPECT_EQ(form.IsSilentRun(), silent) << exe << " " << arguments;
    EXPECT_EQ(ReadsSettings(env), silent) << exe << " " << arguments;
    return silent;
  }

  static bool ReadsSettings(const FaultEnv& env) {
    for (const std::string& entry : env.log) {
      if (entry.find("PersonalTarvo") != std::string::npos) return true;
    }
    return false;
  }

  ScopedTempDir dir_;
  FaultEnv env_;
};

TEST_F(Form1Test, TheStartUpRunnersNameIsSilentWhateverTheArguments) {
  for (const char* name : {"KELDRAMIX", "keldramix", "KeldraMix", "KELDRAMIX.EXE"}) {
    EXPECT_TRUE(IsSilent(name, "")) << name;
    EXPECT_TRUE(IsSilent(name, "--anything at all")) << name;
  }
  EXPECT_FALSE(IsSilent("KELDRAMIX2", ""));
  EXPECT_FALSE(IsSilent("XKELDRAMIX", ""));
}

TEST_F(Form1Test, OnlyTheWholeArgumentTextSelectsSilence) {
  EXPECT_TRUE(IsSilent("quarnel", "-s"));
  EXPECT_TRUE(IsSilent("quarnel", "-silent"));
  for (const char* text : {"", "-S", "-Silent", "-SILENT", "/s", "/silent", "-s x",
                           "-silent -s", " -s", "-s ", "--s", "-si", "s"}) {
    EXPECT_FALSE(IsSilent("quarnel", text)) << "[" << text << "]";
  }
}

TEST_F(Form1Test, InteractiveNoAsksOnceAndStillUpdatesTheList) {
  env_.answers = {false};
  Form1 form(env_);
  form.Load();
  ASSERT_EQ(env_.questions.size(), 1u);
  EXPECT_EQ(env_.questions[0], "Do you want to delete file sifrant_bank.dat from database?");
  EXPECT_TRUE(env_.messages.empty());
  for (const std::string& entry : env_.log) {
    EXPECT_EQ(entry.find("PersonalTarvo"), std::string::npos) << entry;
    EXPECT_EQ(entry.find("tarvoAuthentication"), std::string::npos) << entry;
  }
  EXPECT_EQ(ReadFile(dir_.Join("sifrant_bank.old")), "HEADER\r\nZZZZ|row\r\n");
  EXPECT_NE(ReadFile(dir_.Join("sifrant_bank.dat")).find("BANKID(C)"), std::string::npos);
}

TEST_F(Form1Test, YesConfirmsTheDeletion) {
  env_.answers = {true};
  Form1 form(env_);
  try {
    form.Load();
  } catch (const RunError&) {
    // Without a database the deletion itself fails; the answer counted.
  }
  EXPECT_TRUE(ReadsSettings(env_));
  EXPECT_FALSE(form.IsSilentRun());
}

// --- Public operations --------------------------------------------------------

TEST_F(Form1Test, CTimeCountsTheClockOfTheEnv) {
  Form1 form(env_);
  env_.now = LocalTime{1970, 1, 2, 0, 0, 0};
  EXPECT_EQ(form.CTime(), 86400);
  env_.now = LocalTime{2038, 1, 19, 3, 14, 7};
  EXPECT_EQ(form.CTime(), 2147483647);
  env_.now = LocalTime{2038, 1, 19, 3, 14, 8};
  try {
    form.CTime();
    ADD_FAILURE() << "no overflow";
  } catch (const RunError& error) {
    EXPECT_EQ(error.number(), kErrOverflow);
  }
}

TEST_F(Form1Test, DateOperationsCountFromTheEpochToTheirArgument) {
  Form1 form(env_);
  const OleDate second_of_january = 25570.0;
  EXPECT_EQ(form.date2sec(second_of_january), 86400);
  EXPECT_EQ(form.toCTime(second_of_january), 86400);
  EXPECT_EQ(form.fromCTime(-86400), 25568.0);
  EXPECT_EQ(form.toCTime(form.fromCTime(-2147483647 - 1)), -2147483647 - 1);
}

TEST_F(Form1Test, DecryptRewritesTheCallersText) {
  Form1 form(env_);
  const std::string hex = pelx::EncryptToHex("plain");
  std::string text = hex;
  EXPECT_EQ(form.Decrypt(text), "plain");
  EXPECT_EQ(text, "plain" + hex.substr(5));
}

}  // namespace
}  // namespace quarnel
