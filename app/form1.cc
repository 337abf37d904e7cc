#include "app/form1.h"

#include <cctype>
#include <utility>

#include "banklist/refresh.h"
#include "db/file_table_cleanup.h"
#include "hostcfg/credentials.h"
#include "hostcfg/settings.h"
#include "util/hex_decrypt.h"

namespace quarnel {

namespace {

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

bool IsStartUpRunnerName(const std::string& exe_name) {
  const std::string upper = UpperCase(exe_name);
  return upper == "KELDRAMIX.EXE" || upper == "KELDRAMIX";
}

void Form1::Load() {
  DecideRunMode();
  step_ = RunStep::kAsking;
  if (!SilentRun && env_.AskYesNo(kDeleteQuestion)) DeleteConfirmed = true;
  if (DeleteConfirmed) DeleteStoredList();
  step_ = RunStep::kListFiles;
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
  if (IsStartUpRunnerName(ExeNameUpper)) {
    SilentRun = DeleteConfirmed = true;
    return;
  }
  // The whole text, exactly: "-S", "/s" or "-s x" leave the run interactive.
  const std::string arguments = env_.ArgumentText();
  if (arguments == "-s" || arguments == "-silent") SilentRun = DeleteConfirmed = true;
}

void Form1::DeleteStoredList() {
  step_ = RunStep::kSettings;
  DbName = ReadDbName(env_);
  step_ = RunStep::kCredentials;
  // The password's one owner: every driver message up to the disconnect is
  // masked with it, and it is wiped when this step ends, however it ends.
  const DbCredentials credentials = ReadDbCredentials(env_);
  step_ = RunStep::kDatabase;
  auto deadline = std::make_shared<StepDeadline>(
      database_deadline_, DbName, [this](const RunError& error) { GiveUp(error); });
  DbConnection = CleanUpFileTable(
      env_, {DbName, credentials.DbUser, credentials.DbPassword, deadline}, SilentRun);
  CloseDatabase();
}

// The connection goes here in any case, before the password it refers to.
void Form1::CloseDatabase() {
  const std::unique_ptr<OdbcConnection> connection = std::move(DbConnection);
  if (connection) connection->Close();
}

void Form1::GiveUp(const RunError& error) {
  env_.EndProcess(ReportFailure(env_, error, SilentRun, RunStep::kDatabase));
}

}  // namespace quarnel
