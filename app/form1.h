#ifndef QUARNEL_APP_FORM1_H_
#define QUARNEL_APP_FORM1_H_

#include <cstdint>
#include <memory>
#include <string>

#include "app/failure_report.h"
#include "db/step_deadline.h"
#include "platform/env.h"
#include "util/epoch_time.h"

namespace quarnel {

// True for the start-up runner's name, under which every run is silent and
// the arguments are never looked at. `exe_name` is compared upper-cased.
bool IsStartUpRunnerName(const std::string& exe_name);

// The program's one form. It is never shown: loading it performs the whole
// run, and the run's state lives in its fields.
class Form1 {
 public:
  // `env` must outlive the form. `database_deadline` bounds the calls of the
  // database step that wait on the server.
  explicit Form1(Env& env, DatabaseDeadline database_deadline = kDatabaseDeadline)
      : env_(env), database_deadline_(database_deadline) {}

  // The Load handler: decides the run mode, asks in an interactive run,
  // deletes the stored list from the database when confirmed, then updates
  // the list files. Throws RunError at the first failure; later steps do not
  // run.
  void Load();

  // --- Public operations; the run itself uses none of them -------------------
  // Decrypts a hex text through the credentials library: `strHex` is
  // rewritten with the text as the library left it, and its first n
  // characters are returned. Throws RunError 48 or 453 (library or function
  // missing) or 5 (negative n); `strHex` is then unchanged.
  std::string Decrypt(std::string& strHex);
  // Seconds from 1 January 1970 00:00:00 to the local date-time `datum`.
  // Throws RunError 6 (Overflow) beyond the 32-bit signed range.
  int32_t date2sec(const OleDate& datum);
  // The same count for `d`.
  int32_t toCTime(const OleDate& d);
  // The local date-time `CTime` seconds after 1 January 1970.
  OleDate fromCTime(const int32_t& CTime);
  // toCTime of the current local date and time, from the Env's clock.
  int32_t CTime();

  // Whether the run shows no message box.
  bool IsSilentRun() const { return SilentRun; }
  // What the run is doing: it names a failure that carries no description
  // of its own (a lack of memory, say) and chooses the exit code.
  RunStep CurrentStep() const { return step_; }

 private:
  // Sets ExeNameUpper, SilentRun and DeleteConfirmed from the executable's
  // name and the argument text.
  void DecideRunMode();
  // Reads the settings and credentials, deletes the stored list and closes
  // the connection: the database step, which holds the password.
  void DeleteStoredList();
  // Closes DbConnection if the run opened it.
  void CloseDatabase();
  // Ends a run whose database step outlasted its deadline while a call still
  // waits: reported as any other failure, then the process ends. Called on
  // the deadline's watchdog thread.
  void GiveUp(const RunError& error);

  // State of the run.
  std::unique_ptr<OdbcConnection> DbConnection;
  std::string DbName;
  bool SilentRun = false;
  bool DeleteConfirmed = false;
  std::string ExeNameUpper;
  RunStep step_ = RunStep::kStarting;

  Env& env_;
  DatabaseDeadline database_deadline_;
};

// The question of an interactive run.
inline constexpr char kDeleteQuestion[] =
    "Do you want to delete file sifrant_bank.dat from database?";

}  // namespace quarnel

#endif  // QUARNEL_APP_FORM1_H_
