#include "hostcfg/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/fault_env.h"
#include "testing/temp_dir.h"

namespace quarnel {
namespace {

using testing::FaultEnv;
using testing::ScopedTempDir;
using testing::WriteFile;

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() { env_.app_path = dir_.path(); }

  std::string DbNameFrom(const std::string& content) {
    WriteFile(dir_.Join("PersonalTarvo.ini"), content);
    return ReadDbName(env_);
  }

  ScopedTempDir dir_;
  FaultEnv env_;
};

TEST_F(SettingsTest, OnlySpacesAroundTheValueAreRemoved) {
  EXPECT_EQ(DbNameFrom("[Database]\r\nDBName=  TarvoDSN  \r\n"), "TarvoDSN");
  EXPECT_EQ(DbNameFrom("DBName= \tTarvo DSN\t \r\n"), "\tTarvo DSN\t");
  EXPECT_EQ(DbNameFrom("DBName=a=b;c\r\n"), "a=b;c");
}

TEST_F(SettingsTest, TheLastEntryWinsEvenWhenEmpty) {
  EXPECT_EQ(DbNameFrom("DBName=First\r\n[Other]\r\nDBName=Second\r\nX=1\r\n"), "Second");
  EXPECT_EQ(DbNameFrom("DBName=First\r\nDBName=\r\n"), "");
  EXPECT_EQ(DbNameFrom("DBName=First\r\nDBName=   \r\n"), "");
}

TEST_F(SettingsTest, TheKeyMustMatchExactly) {
  EXPECT_EQ(DbNameFrom("dbname=a\r\nDBNAME=b\r\n DBName=c\r\nDBName =d\r\n"
                       "DBName\r\nDBNam\r\n\tDBName=e\r\n"),
            "");
  EXPECT_EQ(DbNameFrom("DBName=kept\r\nDBName =ignored\r\ndbname=ignored\r\n"), "kept");
}

TEST_F(SettingsTest, EveryLineEndEndsALine) {
  EXPECT_EQ(DbNameFrom("DBName=crlf\r\n"), "crlf");
  EXPECT_EQ(DbNameFrom("A=1\rDBName=cr\rB=2\r"), "cr");
  EXPECT_EQ(DbNameFrom("A=1\nDBName=lf\nB=2\n"), "lf");
  EXPECT_EQ(DbNameFrom("DBName=no end"), "no end");
  EXPECT_EQ(DbNameFrom("DBName=one\r\nDBName=two\rDBName=three\n"), "three");
}

TEST_F(SettingsTest, EmptyFileGivesEmptyName) {
  EXPECT_EQ(DbNameFrom(""), "");
  EXPECT_EQ(env_.log.back(), "close /PersonalTarvo.ini");
}

TEST_F(SettingsTest, MissingFileEndsTheRunAndChangesNothing) {
  try {
    ReadDbName(env_);
    FAIL() << "no error";
  } catch (const RunError& error) {
    EXPECT_EQ(error.number(), kErrFileNotFound);
  }
  EXPECT_EQ(env_.log, std::vector<std::string>{"open /PersonalTarvo.ini"});
}

}  // namespace
}  // namespace quarnel
