#include "testing/fails_cleanly.h"

#include <map>

#include "testing/secret_check.h"
#include "testing/temp_dir.h"

namespace quarnel::testing {

namespace {

// The list files of `folder` as they stand; a named pipe or a folder is
// never opened, only named.
std::map<std::string, std::string> ListFiles(const std::string& folder, bool with_backup) {
  std::map<std::string, std::string> files;
  for (const char* name : {"sifrant_bank.dat", "sifrant_bank.old", "sifrant_bank.txt"}) {
    if (!with_backup && std::string(name) == "sifrant_bank.old") continue;
    const std::string path = folder + "/" + name;
    files[name] = Exists(path) ? ReadFileOr(path, "(not a file)") : "(none)";
  }
  return files;
}

}  // namespace

ProcessResult ExpectFailsCleanly(const std::string& program, const FailsCleanly& row,
                                 const std::string& password,
                                 const std::vector<std::string>& environment) {
  const auto before = ListFiles(row.folder, !row.after_backup);
  const ProcessResult result = RunProcess(program, row.arguments, row.input, environment);
  const std::string shown = result.out + result.err;
  const std::string report = "error " + std::to_string(row.error_number) + ": ";
  EXPECT_EQ(result.exit_code, row.exit_code) << shown;
  EXPECT_NE(shown.find(report), std::string::npos) << report << " not in: " << shown;
  EXPECT_NE(shown.find(row.fragment), std::string::npos) << row.fragment << " not in: " << shown;
  EXPECT_EQ(shown.find("successfull"), std::string::npos) << shown;
  EXPECT_EQ(PasswordRunIn(shown, password), "") << shown;
  EXPECT_EQ(ListFiles(row.folder, !row.after_backup), before) << row.fragment;
  return result;
}

}  // namespace quarnel::testing
