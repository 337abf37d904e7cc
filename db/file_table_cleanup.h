#ifndef QUARNEL_DB_FILE_TABLE_CLEANUP_H_
#define QUARNEL_DB_FILE_TABLE_CLEANUP_H_

// The file-table cleanup: removes the host product's stored copy of the bank
// code list from its database, so that the client takes the list from disk.

#include <memory>
#include <string>

#include "platform/env.h"
#include "platform/odbc.h"

namespace quarnel {

// Connects with `login` and deletes the row ft_uid='sifrant_bank.dat' of the
// file table: "tvfiletable" when the DBMS name is exactly "ACCESS",
// "tarvo.tvfiletable" otherwise. Unless SilentRun, then shows "Deletion of
// file sifrant_bank.dat was successfull!", also when no row matched. Returns
// the open connection; the caller closes it. Throws RunError:
// kErrBadDataSourceName, before any connection, for a data source name that
// is empty, longer than kMaxDataSourceName or holds a character no data
// source name can ([]{}(),;?*=!@\, control characters); the message quotes
// at most its first kQuotedNameLength characters. kErrDatabase when the
// database refuses. No message carries the password.
// REQUIRES: login.password outlives the connection.
std::unique_ptr<OdbcConnection> CleanUpFileTable(Env& env, const OdbcLogin& login,
                                                 bool SilentRun);

// Refuses, with kErrBadDataSourceName as CleanUpFileTable does, a data source
// name that no data source can have; returns for any other.
void CheckDataSourceName(Env& env, const std::string& DbName);

// The file table as the statements name it for the DBMS `dbms_name`:
// "tvfiletable" for exactly "ACCESS", "tarvo.tvfiletable" for any other.
std::string FileTableFor(const std::string& dbms_name);

// The condition that picks the stored copy of the bank code list.
inline constexpr char kStoredListCondition[] = "ft_uid='sifrant_bank.dat'";

// How much of a refused data source name a message quotes.
inline constexpr size_t kQuotedNameLength = 40;

}  // namespace quarnel

#endif  // QUARNEL_DB_FILE_TABLE_CLEANUP_H_
