#include "app/form1.h"

#include <cctype>

#include "banklist/refresh.h"
#include "hostcfg/credentials.h"
#include "hostcfg/settings.h"

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
}

void Form1::CloseDatabase() {
  if (DbConnection) DbConnection->Close();
}

}  // namespace quarnel
