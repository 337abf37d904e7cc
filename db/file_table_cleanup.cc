#include "db/file_table_cleanup.h"

#include <string_view>

namespace quarnel {

namespace {

constexpr char kDeleteWithSchema[] =
    "delete from tarvo.tvfiletable where ft_uid='sifrant_bank.dat'";
constexpr char kDeleteWithoutSchema[] =
    "delete from tvfiletable where ft_uid='sifrant_bank.dat'";
constexpr char kDeletionSucceeded[] = "Deletion of file sifrant_bank.dat was successfull!";

// Characters that ODBC does not allow in a data source name. A name that
// holds one could only reach a data source by accident, or split the
// connection string; an empty one makes unixODBC take the first data source
// it knows.
constexpr std::string_view kNotInDataSourceName = "[]{}(),;?*=!@\\";

void CheckDataSourceName(const std::string& DbName) {
  if (DbName.empty()) {
    throw RunError(kErrBadSetting,
                   "Connecting to the database: PersonalTarvo.ini: "
                   "the DBName= entry is missing or empty");
  }
  const size_t bad = DbName.find_first_of(kNotInDataSourceName);
  if (bad != std::string::npos) {
    throw RunError(kErrBadSetting, "Connecting to the database: data source \"" + DbName +
                                       "\": a data source name cannot contain \"" +
                                       DbName[bad] + "\"");
  }
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A connection-string value as ODBC reads it back unchanged: a value that
// holds ";", "{" or "}", or has blanks at an end (which drivers trim), goes
// in braces with each "}" doubled. Any other value goes in as it is.
std::string AttributeValue(const std::string& value) {
  const bool plain = value.find_first_of(";{}") == std::string::npos &&
                     (value.empty() || (!IsBlank(value.front()) && !IsBlank(value.back())));
  if (plain) return value;
  std::string braced = "{";
  for (char c : value) {
    braced += c;
    if (c == '}') braced += '}';
  }
  return braced + "}";
}

}  // namespace

FileTableCleanup CleanUpFileTable(Env& env, const std::string& DbName,
                                  const DbCredentials& credentials, bool SilentRun) {
  CheckDataSourceName(DbName);
  FileTableCleanup cleanup;
  cleanup.DbConnection =
      env.ConnectOdbc("DSN=" + DbName + ";UID=" + AttributeValue(credentials.DbUser) +
                      ";PWD=" + AttributeValue(credentials.DbPassword));
  cleanup.UseSchemaPrefix = cleanup.DbConnection->DbmsName() != "ACCESS";
  cleanup.DbCommand = {cleanup.DbConnection.get(),
                       cleanup.UseSchemaPrefix ? kDeleteWithSchema : kDeleteWithoutSchema};
  cleanup.DbCommand.ActiveConnection->ExecuteText(cleanup.DbCommand.CommandText);
  if (!SilentRun) env.ShowMessage(kDeletionSucceeded);
  return cleanup;
}

}  // namespace quarnel
