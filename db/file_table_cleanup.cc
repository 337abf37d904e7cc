#include "db/file_table_cleanup.h"

#include <string_view>

namespace quarnel {

namespace {

constexpr char kDeletionSucceeded[] = "Deletion of file sifrant_bank.dat was successfull!";

// Characters that ODBC does not allow in a data source name. A name that
// holds one could only reach a data source by accident, or split the
// connection string; an empty one makes unixODBC take the first data source
// it knows. Control characters (below 0x20, and DEL) are refused as well.
constexpr std::string_view kNotInDataSourceName = "[]{}(),;?*=!@\\";

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// The name as a message quotes it: its first kQuotedNameLength characters,
// then "..." if there are more, control characters as "?", in the program's
// own text. The name is in the ANSI code page, one byte a character.
std::string Quoted(Env& env, const std::string& DbName) {
  std::string shown = DbName.substr(0, kQuotedNameLength);
  for (char& c : shown) {
    if (IsControl(c)) c = '?';
  }
  // Appended piece by piece: GCC 12 misreads "literal" + string here as an
  // overlapping copy (-Wrestrict).
  std::string quoted = "\"";
  quoted += env.FromAnsi(shown);
  quoted += DbName.size() > kQuotedNameLength ? "...\"" : "\"";
  return quoted;
}

std::string CharacterName(char c) {
  std::string name;
  if (!IsControl(c)) {
    name += '"';
    name += c;
    name += '"';
    return name;
  }
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto byte = static_cast<unsigned char>(c);
  name = "the control character 0x";
  name += kHex[byte >> 4];
  name += kHex[byte & 0xF];
  return name;
}

// Why no data source can have the name `DbName`, or "" when one can.
std::string Refusal(Env& env, const std::string& DbName) {
  if (DbName.empty()) return "PersonalTarvo.ini: the DBName= entry is missing or empty";
  const std::string data_source = "data source " + Quoted(env, DbName) + ": ";
  if (DbName.size() > kMaxDataSourceName) {
    return data_source + "a data source name has at most " +
           std::to_string(kMaxDataSourceName) + " characters, this one " +
           std::to_string(DbName.size());
  }
  for (char c : DbName) {
    if (IsControl(c) || kNotInDataSourceName.find(c) != std::string_view::npos) {
      return data_source + "a data source name cannot contain " + CharacterName(c);
    }
  }
  return "";
}

}  // namespace

void CheckDataSourceName(Env& env, const std::string& DbName) {
  const std::string refusal = Refusal(env, DbName);
  if (!refusal.empty()) {
    throw RunError(kErrBadDataSourceName, "Connecting to the database: " + refusal);
  }
}

std::string FileTableFor(const std::string& dbms_name) {
  const bool UseSchemaPrefix = dbms_name != "ACCESS";
  return UseSchemaPrefix ? "tarvo.tvfiletable" : "tvfiletable";
}

std::unique_ptr<OdbcConnection> CleanUpFileTable(Env& env, const OdbcLogin& login,
                                                 bool SilentRun) {
  CheckDataSourceName(env, login.data_source);
  std::unique_ptr<OdbcConnection> connection = env.ConnectOdbc(login);
  connection->ExecuteText("delete from " + FileTableFor(connection->DbmsName()) + " where " +
                          kStoredListCondition);
  if (!SilentRun) env.ShowMessage(kDeletionSucceeded);
  return connection;
}

}  // namespace quarnel
