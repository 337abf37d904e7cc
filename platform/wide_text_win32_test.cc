#include "platform/wide_text_win32.h"

#include <gtest/gtest.h>

#include <string>

namespace quarnel {
namespace {

TEST(WideTextTest, OnlyPathsPastMaxPathTakeTheLongForm) {
  const std::string long_name(300, 'd');
  struct Case {
    std::string path;
    std::wstring expected;
  };
  const Case cases[] = {
      {"C:\\Tarvo\\sifrant_bank.dat", L"C:\\Tarvo\\sifrant_bank.dat"},
      {"Sifranti/RS", L"Sifranti/RS"},
      {"C:\\Tarvo/" + long_name + "/./x\\..\\list",
       L"\\\\?\\C:\\Tarvo\\" + Wide(long_name) + L"\\list"},
      {"\\\\server\\share\\" + long_name, L"\\\\?\\UNC\\server\\share\\" + Wide(long_name)},
      {"\\\\?\\C:\\" + long_name + "/a", L"\\\\?\\C:\\" + Wide(long_name) + L"/a"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WidePath(c.path), c.expected) << c.path;
  }
}

}  // namespace
}  // namespace quarnel
