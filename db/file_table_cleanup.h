#ifndef QUARNEL_DB_FILE_TABLE_CLEANUP_H_
#define QUARNEL_DB_FILE_TABLE_CLEANUP_H_

// The file-table cleanup: removes the host product's stored copy of the bank
// code list from its database, so that the client takes the list from disk.

#include <memory>
#include <string>

#include "hostcfg/credentials.h"
#include "platform/env.h"

namespace quarnel {

// The command the cleanup executed: its text and the connection it ran on.
struct DbTextCommand {
  OdbcConnection* ActiveConnection = nullptr;
  std::string CommandText;
};

// What the cleanup leaves to the rest of the run.
struct FileTableCleanup {
  std::unique_ptr<OdbcConnection> DbConnection;  // open; the caller closes it
  DbTextCommand DbCommand;
  bool UseSchemaPrefix = true;  // false only for the DBMS name "ACCESS"
};

// Connects to ODBC data source `DbName` with `credentials` and deletes the row
// ft_uid='sifrant_bank.dat' of the file table: "tvfiletable" when the DBMS
// name is exactly "ACCESS", "tarvo.tvfiletable" otherwise. Unless SilentRun,
// then shows "Deletion of file sifrant_bank.dat was successfull!", also when
// no row matched.
// Throws RunError: kErrBadSetting, before connecting, for an empty DbName or
// one holding a character no data source name can ([]{}(),;?*=!@\);
// kErrDatabase when the database refuses. No message carries the password.
FileTableCleanup CleanUpFileTable(Env& env, const std::string& DbName,
                                  const DbCredentials& credentials, bool SilentRun);

}  // namespace quarnel

#endif  // QUARNEL_DB_FILE_TABLE_CLEANUP_H_
