// The whole update on real files, with the row rules and the built-in table in
// place.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "banklist/list_format.h"
#include "banklist/migrate.h"
#include "banklist/refresh.h"
#include "testing/fault_env.h"
#include "testing/temp_dir.h"

namespace quarnel {
namespace {

using testing::Exists;
using testing::FaultEnv;
using testing::ReadFile;
using testing::ScopedTempDir;
using testing::WriteFile;

std::string OldRow(const std::string& code) {
  return code + "|100|" + code +
         "|OLD NAME|1234567|old.example|3600|3604|old.crt|LAN|Orvane|3000|50|50|old.bmp|"
         "NOT_ESTABLISHED";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

class MigrateUpdateTest : public ::testing::Test {
 protected:
  MigrateUpdateTest() { env_.app_path = dir_.path(); }

  std::string List() const { return dir_.Join("sifrant_bank.dat"); }
  // The built-in rows as the update writes them.
  std::vector<std::string> BuiltInRows() {
    const MigrationTexts texts(env_);
    std::vector<std::string> rows;
    for (int i = 0; i < kBuiltInBankCount; ++i) rows.push_back(texts.BuiltInRow(i));
    return rows;
  }

  ScopedTempDir dir_;
  FaultEnv env_;
};

TEST_F(MigrateUpdateTest, ListWithOnlyItsHeaderBecomesTheWholeTable) {
  WriteFile(List(), "BANKID(C)|TRRID(C)\r\n");
  RefreshBankCodeList(env_);
  std::string expected = std::string(kHeaderLine) + "\r\n";
  for (const std::string& row : BuiltInRows()) expected += row + "\r\n";
  EXPECT_EQ(ReadFile(List()), expected);
  EXPECT_NE(expected.find("AIK BANKA AD NI\x8A|"), std::string::npos);
}

TEST_F(MigrateUpdateTest, ListWithEveryBankGetsNoBuiltInRow) {
  std::string list = "OLD HEADER\r\n";
  const std::vector<std::string_view> codes = BuiltInBankCodes();
  for (std::string_view code : codes) list += OldRow(std::string(code)) + "\r\n";
  list += OldRow("DDOR") + "\r\n" + OldRow("ZZZZ") + "\r\n";
  WriteFile(List(), list);
  RefreshBankCodeList(env_);

  const std::vector<std::string> lines = Lines(ReadFile(List()));
  ASSERT_EQ(lines.size(), 1u + codes.size() + 1u);  // header, the banks migrated, ZZZZ
  for (size_t i = 0; i < codes.size(); ++i) {
    EXPECT_EQ(lines[i + 1].substr(0, 5), std::string(codes[i]) + "|");
    EXPECT_NE(lines[i + 1].find("|HTTPS_CONNECTION_DISABLED|"), std::string::npos);
  }
  EXPECT_EQ(lines.back().substr(0, 5), "ZZZZ|");
  EXPECT_NE(lines.back().find("|01234567|"), std::string::npos);
}

TEST_F(MigrateUpdateTest, BuiltInRowsFollowTheMigratedOnesForBanksNotSeen) {
  WriteFile(List(), "OLD HEADER\r\n" + OldRow("DEMO") + "\r\n" + OldRow("agrl") + "\r\n");
  RefreshBankCodeList(env_);

  // Every built-in row but DEMO's, in table order: AGRL's too, as "agrl" is
  // another key.
  std::vector<std::string> appended = BuiltInRows();
  const auto demo = std::find_if(appended.begin(), appended.end(),
                                 [](const std::string& row) { return row.rfind("DEMO|", 0) == 0; });
  ASSERT_NE(demo, appended.end());
  const std::string demo_row = *demo;
  appended.erase(demo);
  const std::vector<std::string> lines = Lines(ReadFile(List()));
  ASSERT_EQ(lines.size(), 1u + 2u + appended.size());
  EXPECT_EQ(lines[0], kHeaderLine);
  EXPECT_EQ(lines[1].substr(0, 5), "DEMO|");
  EXPECT_EQ(lines[2].substr(0, 5), "agrl|");
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()), appended);
  for (const std::string& line : lines) EXPECT_NE(line, demo_row);  // DEMO's own row
}

TEST_F(MigrateUpdateTest, FailingRowLeavesTheLiveListUnchanged) {
  const std::string list = "OLD HEADER\r\n" + OldRow("AIKB") + "\r\nSOGY|short\r\n" +
                           OldRow("DEMO") + "\r\n";
  WriteFile(List(), list);
  for (int run = 0; run < 2; ++run) {
    try {
      RefreshBankCodeList(env_);
      FAIL() << "the short SOGY row must end the run";
    } catch (const RunError& e) {
      EXPECT_EQ(e.number(), kErrSubscript);
      EXPECT_NE(e.description().find(PathIn(dir_.path(), "\\sifrant_bank.dat") +
                                     ": line 3 (bank code SOGY)"),
                std::string::npos)
          << e.description();
    }
    EXPECT_EQ(ReadFile(List()), list);
    EXPECT_EQ(ReadFile(dir_.Join("sifrant_bank.old")), list);
    EXPECT_FALSE(Exists(dir_.Join("sifrant_bank.txt")));  // the partial work file is gone
  }
}

}  // namespace
}  // namespace quarnel
