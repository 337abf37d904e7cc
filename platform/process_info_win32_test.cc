#include "platform/process_info_win32.h"

#include <gtest/gtest.h>

namespace quarnel {
namespace {

TEST(ProcessInfoTest, ArgumentTextIsTheCommandLineLessTheProgramsName) {
  EXPECT_EQ(ArgumentTextOf(L"quarnel.exe -s"), L"-s");
  EXPECT_EQ(ArgumentTextOf(L"\"C:\\Program Files\\Tarvo\\quarnel.exe\" -silent"), L"-silent");
  EXPECT_EQ(ArgumentTextOf(L"C:\\Tarvo\\q.exe\t-s"), L"-s");
  EXPECT_EQ(ArgumentTextOf(L"quarnel.exe"), L"");
  EXPECT_EQ(ArgumentTextOf(L"\"quarnel.exe\""), L"");
  EXPECT_EQ(ArgumentTextOf(L""), L"");
}

TEST(ProcessInfoTest, ArgumentTextKeepsEverythingAfterTheLeadingBlanks) {
  EXPECT_EQ(ArgumentTextOf(L"quarnel.exe   -s"), L"-s");
  EXPECT_EQ(ArgumentTextOf(L"quarnel.exe -s "), L"-s ");
  EXPECT_EQ(ArgumentTextOf(L"quarnel.exe -s  x"), L"-s  x");
  EXPECT_EQ(ArgumentTextOf(L"quarnel.exe \"-s\""), L"\"-s\"");
  EXPECT_EQ(ArgumentTextOf(L"\"quarnel.exe\"-s"), L"-s");
}

TEST(ProcessInfoTest, AppPathEndsInABackslashOnlyAtADriveRoot) {
  EXPECT_EQ(AppPathOf(L"C:\\Tarvo\\quarnel.exe"), L"C:\\Tarvo");
  EXPECT_EQ(AppPathOf(L"C:\\quarnel.exe"), L"C:\\");
  EXPECT_EQ(AppPathOf(L"\\\\server\\share\\quarnel.exe"), L"\\\\server\\share");
  EXPECT_EQ(AppPathOf(L"C:\\Tarvo\\Sub dir\\quarnel.exe"), L"C:\\Tarvo\\Sub dir");
}

TEST(ProcessInfoTest, ExeNameDropsFolderAndExtension) {
  EXPECT_EQ(ExeNameOf(L"C:\\Tarvo\\keldramix.exe"), L"keldramix");
  EXPECT_EQ(ExeNameOf(L"C:\\Tarvo\\KELDRAMIX.EXE.EXE"), L"KELDRAMIX.EXE");
  EXPECT_EQ(ExeNameOf(L"C:\\Tar.vo\\quarnel"), L"quarnel");
  EXPECT_EQ(ExeNameOf(L"quarnel.exe"), L"quarnel");
}

}  // namespace
}  // namespace quarnel
