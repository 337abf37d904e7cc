#include "app/form1.h"

#include <cctype>

#include "banklist/refresh.h"
#include "db/file_table_cleanup.h"
#include "hostcfg/credentials.h"
#include "hostcfg/settings.h"
#include "platform/odbc.h"
#include "util/hex_decrypt.h"

namespace quarnel {

namespace {

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

void Form1::Load() {
  DecideRunMode();
  if (!SilentRun && env_.AskYesNo(kDeleteQuestion)) DeleteConfirmed = true;
  if (DeleteConfirmed) DeleteStoredList();
  CloseDatabase();
  RefreshBankCodeList(env_);
}

std::string Form1::Decrypt(std::string& strHex) { return DecryptHex(env_, &strHex); }

// The epoch is 1 January 1970 whichever way a locale reads "1.1.1970". The
// count ends at `datum`, as toCTime's ends at its argument: a date argument
// that is never looked at would only mislead the caller.
int32_t Form1::date2sec(const OleDate& datum) { return SecondsBetween(kEpochDate, datum); }

int32_t Form1::toCTime(const OleDate& d) { return SecondsBetween(kEpochDate, d); }

OleDate Form1::fromCTime(const int32_t& CTime) { return DateFromEpochSeconds(CTime); }

int32_t Form1::CTime() { return toCTime(OleDateFromLocalTime(env_.Now())); }

void Form1::DecideRunMode() {
  ExeNameUpper = UpperCase(env_.ExeName());
  SilentRun = false;
  DeleteConfirmed = false;
  // Under the start-up runner's name the arguments are never looked at.
  if (ExeNameUpper == "KELDRAMIX.EXE" || ExeNameUpper == "KELDRAMIX") {
    SilentRun = DeleteConfirmed = true;
    return;
  }
  // The whole text, exactly: "-S", "/s" or "-s x" leave the run interactive.
  const std::string arguments = env_.ArgumentText();
  if (arguments == "-s" || arguments == "-silent") SilentRun = DeleteConfirmed = true;
}

void Form1::DeleteStoredList() {
  DbName = ReadDbName(env_);
  DbCredentials credentials = ReadDbCredentials(env_);
  DbUser = std::move(credentials.DbUser);
  DbPassword = std::move(credentials.DbPassword);
  // A short text moves by copy; DbPassword is to be the only one left.
  Overwrite(&credentials.DbPassword);
  FileTableCleanup cleanup = CleanUpFileTable(env_, {DbName, DbUser, &DbPassword}, SilentRun);
  DbConnection = std::move(cleanup.DbConnection);
  DbCommand = cleanup.DbCommand;
  UseSchemaPrefix = cleanup.UseSchemaPrefix;
}

void Form1::CloseDatabase() {
  if (DbConnection) DbConnection->Close();
}

}  // namespace quarnel
