#include "app/form1.h"

#include <gtest/gtest.h>

#include <string>

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

  // Decides the run mode only: a No answer keeps the database out of it.
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
    EXPECT_EQ(form.SilentRun, env.questions.empty()) << exe << " " << arguments;
    EXPECT_EQ(form.SilentRun, form.DeleteConfirmed);
    return form.SilentRun;
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
  EXPECT_FALSE(form.DeleteConfirmed);
  EXPECT_FALSE(form.DbConnection);
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
  EXPECT_TRUE(form.DeleteConfirmed);
  EXPECT_FALSE(form.SilentRun);
}

}  // namespace
}  // namespace quarnel
