#include "testing/data_source_names.h"

namespace quarnel::testing {

namespace {

std::vector<RefusedDataSourceName> MakeTable() {
  std::vector<RefusedDataSourceName> names = {
      {"", "PersonalTarvo.ini: the DBName= entry is missing or empty"},
      // Blanks and control characters that a driver manager might trim.
      {"\tQuarnelTest", "\"?QuarnelTest\": a data source name cannot contain the control "
                        "character 0x09"},
      {"QuarnelTest\t", "\"QuarnelTest?\": a data source name cannot contain the control "
                        "character 0x09"},
      {"Tar\x7Fvo", "\"Tar?vo\": a data source name cannot contain the control character 0x7F"},
      {"Tar\x1Fvo", "the control character 0x1F"},
      {std::string(33, 'T'), "a data source name has at most 32 characters, this one 33"},
      // Only the first 40 characters are quoted.
      {"Tarvo_" + std::string(10000, 'x'),
       "\"Tarvo_xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...\": a data source name has at most 32 "
       "characters, this one 10006"},
      // Code page 1250: "Čačak" reads as itself, not as its bytes.
      {"\xC8" "a\xE8" "ak;", "\"\xC4\x8C" "a\xC4\x8D" "ak;\": a data source name cannot contain \";\""},
      {"\xC8" "a\xE8" "ak" + std::string(40, '_'),
       "\"\xC4\x8C" "a\xC4\x8D" "ak___________________________________...\": a data source "
       "name has at most 32 characters, this one 45"},
  };
  // Each character ODBC does not allow; "Tar;vo" would reach the data
  // source "Tar" if the connection string were split at the ";".
  for (const char c : std::string("[]{}(),;?*=!@\\")) {
    names.push_back({std::string("Tar") + c + "vo",
                     std::string("a data source name cannot contain \"") + c + "\""});
  }
  return names;
}

}  // namespace

const std::vector<RefusedDataSourceName>& RefusedDataSourceNames() {
  static const std::vector<RefusedDataSourceName> names = MakeTable();
  return names;
}

}  // namespace quarnel::testing
