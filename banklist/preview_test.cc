#include "banklist/preview.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "banklist/builtin_table.h"
#include "banklist/columns.h"
#include "banklist/list_format.h"
#include "banklist/refresh.h"
#include "testing/fault_env.h"
#include "testing/temp_dir.h"

namespace quarnel {
namespace {

using testing::FaultEnv;
using testing::MakeDirs;
using testing::ReadFile;
using testing::ScopedTempDir;
using testing::Snapshot;
using testing::WriteFile;

// The lines of a list as the update reads them.
std::vector<std::string> LinesOf(Env& env, const std::string& path) {
  std::vector<std::string> lines;
  const auto reader = env.OpenForReading(path);
  while (!reader->AtEnd()) reader->ReadLine(&lines.emplace_back());
  return lines;
}

// Applies a unified diff to `old_lines` as patch would, checking every
// context and removed line and every hunk's counts; returns the new list as
// the update writes it, CR LF after every line.
std::string ApplyDiff(const std::vector<std::string>& old_lines, const std::string& diff) {
  std::istringstream in(diff);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line.rfind("--- ", 0), 0u) << line;
  std::getline(in, line);
  EXPECT_EQ(line.rfind("+++ ", 0), 0u) << line;
  std::string result;
  size_t next = 0;  // index of the next old line
  while (std::getline(in, line)) {
    long old_start = 0, old_count = 0, new_start = 0, new_count = 0;
    EXPECT_EQ(std::sscanf(line.c_str(), "@@ -%ld,%ld +%ld,%ld @@", &old_start, &old_count,
                          &new_start, &new_count), 4) << line;
    const size_t first = static_cast<size_t>(old_count == 0 ? old_start : old_start - 1);
    for (; next < first; ++next) result += old_lines.at(next) + "\r\n";
    while (old_count > 0 || new_count > 0) {
      if (!std::getline(in, line) || line.empty()) {
        ADD_FAILURE() << "hunk ends early";
        return result;
      }
      const std::string text = line.substr(1);
      if (line[0] != '+') {
        EXPECT_EQ(old_lines.at(next++), text) << line;
        --old_count;
      }
      if (line[0] != '-') {
        result += text + "\r\n";
        --new_count;
      }
    }
    EXPECT_EQ(old_count, 0);
    EXPECT_EQ(new_count, 0);
  }
  for (; next < old_lines.size(); ++next) result += old_lines[next] + "\r\n";
  return result;
}

struct ListCase {
  const char* label;
  UpdateCase layout;  // kNoList: the list previewed as a file by itself
  std::string list;
  PreviewCounts counts;
  std::string shows;  // a line of the report for people
};

TEST(PreviewTest, ShowsWhatTheUpdateThenDoesAndTouchesNothing) {
  std::unique_ptr<Env> plain = NewPlatformEnv(0, nullptr);
  const std::vector<std::string> built_in = BuiltInBankTable();
  const std::string agrl = plain->ToAnsi(built_in[0]) + "\r\n";
  const std::string aikb = plain->ToAnsi(built_in[1]) + "\n";  // its name ends in "Š"
  // The report line of AIKB appended, its name shown in the program's own text.
  const std::string aikb_appended = "appended: " + built_in[1].substr(0, 4) + " " +
                                    std::string(*FindColumn(built_in[1], column::NAME));
  std::string many;
  for (int i = 0; i < 20; ++i) {
    many += "ZZZZ|" + std::to_string(i) + "|ZZZZ|NAME|07564856|HTTPS_CONNECTION_DISABLED\r\n";
    if (i == 10) many += "DDOR|gone\r\n";
  }
  const ListCase cases[] = {
      {"only a header", UpdateCase::kUpdateRoot, "OLD HEADER\r\n", {0, 0, 0, 0, kBuiltInBankCount},
       aikb_appended},
      {"old rows moved into RS", UpdateCase::kMoveIntoRs,
       "OLD HEADER\r\nDEMO|999|DEMO|DEMO BANKA|5026091|h|4600|3604|c|LAN|ORVANE|3000|50|50|d.bmp|"
       "NOT_ESTABLISHED\r\nDDOR|x\r\n\r\nZZZZ|1|ZZZZ|KEPT|07564856|HTTPS_CONNECTION_DISABLED\r\n",
       {4, 1, 1, 2, kBuiltInBankCount - 1}, "dropped: DDOR "},
      {"current rows, lone LF, no last line end", UpdateCase::kUpdateRs,
       std::string(kHeaderLine) + "\r\n" + agrl + aikb +
           "ZZZZ|1|ZZZZ|NAME|1234567|HTTPS_CONNECTION_DISABLED",
       {3, 2, 1, 0, kBuiltInBankCount - 2}, "changed: ZZZZ NAME"},
      {"a list file by itself, two hunks", UpdateCase::kNoList, "HEADER\r\n" + many,
       {21, 20, 0, 1, kBuiltInBankCount}, "list file: "},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.label);
    ScopedTempDir dir;
    const std::string rs = dir.Join("Sifranti/RS");
    MakeDirs(dir.Join("Sifranti"));
    if (c.layout == UpdateCase::kMoveIntoRs || c.layout == UpdateCase::kUpdateRs) MakeDirs(rs);
    const std::string live = dir.Join(c.layout == UpdateCase::kUpdateRs ? "Sifranti/RS/sifrant_bank.dat"
                                                                 : "sifrant_bank.dat");
    WriteFile(live, c.list);
    if (c.layout == UpdateCase::kMoveIntoRs) WriteFile(rs + "/sifrant_bank.dat", "older RS list\r\n");
    const auto before = Snapshot(dir.path());

    FaultEnv env;
    env.app_path = dir.path();
    const ListPreview preview = c.layout == UpdateCase::kNoList ? PreviewListFile(env, live)
                                                           : PreviewInstallation(env, dir.path());
    EXPECT_EQ(Snapshot(dir.path()), before);
    for (const std::string& operation : env.log) {
      const std::string verb = operation.substr(0, operation.find(' '));
      EXPECT_TRUE(verb == "present" || verb == "open" || verb == "read" || verb == "close")
          << operation;
    }
    const std::string report = PreviewReport(preview);
    EXPECT_NE(report.find("\n" + SummaryLine(c.counts) + "\n"), std::string::npos) << report;
    EXPECT_NE(report.find(c.shows), std::string::npos) << report;

    const std::string expected = ApplyDiff(LinesOf(*plain, live), preview.diff);
    FaultEnv run;
    run.app_path = dir.path();
    RefreshBankCodeList(run);
    const bool in_rs = c.layout == UpdateCase::kMoveIntoRs || c.layout == UpdateCase::kUpdateRs;
    EXPECT_EQ(ReadFile(dir.Join(in_rs ? "Sifranti/RS/sifrant_bank.dat" : "sifrant_bank.dat")),
              expected);
  }
}

}  // namespace
}  // namespace quarnel
