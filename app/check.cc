#include "app/check.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "app/failure_report.h"
#include "banklist/preview.h"
#include "banklist/refresh.h"
#include "db/file_table_cleanup.h"
#include "hostcfg/credentials.h"
#include "hostcfg/settings.h"

#ifndef QUARNEL_VERSION
#define QUARNEL_VERSION "unknown"
#endif

namespace quarnel {

namespace {

constexpr char kHeading[] =
    "Quarnel check: what a run started now would meet on this machine; nothing has been "
    "changed.\n";
constexpr int kBits = static_cast<int>(sizeof(void*) * 8);

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
           return lower(x) == lower(y);
         });
}

std::string SecondsSince(std::chrono::steady_clock::time_point start) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(ms) / 1000);
  return text;
}

// What to do about a failure of the connection, by its error number.
const char* ConnectionAdvice(int number) {
  switch (number) {
    case kErrDatabaseTimeout:
      return "the database server did not answer: check that it runs and that this machine "
             "reaches it (network, firewall, VPN), then check again";
    case kErrBadSetting:
      return "the authentication file holds a user name or password that no login can "
             "carry: let the host product write it anew";
    default:
      return "the driver's message says why: a refused login means the user or password of "
             "the authentication file no longer match the database's (the host product writes "
             "the file anew); a server that cannot be reached is down or blocked";
  }
}

// What to do about a list that a run would refuse, by its error number.
const char* ListAdvice(int number) {
  switch (number) {
    case kErrFileNotFound:
      return "the installation has no bank code list: copy sifrant_bank.dat from a working "
             "installation into the program's folder (or into Sifranti\\RS), or repair the "
             "host product";
    case kErrPermissionDenied:
      return "clear the list's read-only attribute (its Properties, or attrib -r), or give "
             "the user the right to change it";
    case kErrPathFileAccess:
      return "something that is not an ordinary file stands at the list's name: remove it and "
             "copy a list there";
    case kErrInputPastEnd:
      return "the list is empty: copy sifrant_bank.dat from a working installation";
    case kErrSubscript:
      return "a row of the list lacks columns (the message names its line): mend or remove "
             "that line, or copy a list from a working installation";
    case kErrFileInUse:
      return "another program holds the list (a virus scanner, a backup agent, the host "
             "product): a run waits up to 10 seconds for it; close that program, or exclude "
             "the folder from its scans";
    default:
      return "see the error reference in the manual (docs/support.md)";
  }
}

class Check {
 public:
  Check(Env& env, DatabaseDeadline deadline)
      : env_(env), deadline_(deadline), app_(env.AppPath()) {}

  int Run() {
    try {
      Program();
      const bool settings = Settings();
      const std::optional<DbCredentials> credentials = Credentials();
      if (!settings) {
        Note("connection", "not tried: it needs the data source name of the settings file");
      } else if (DataSource()) {
        if (credentials) {
          Database(*credentials);
        } else {
          Note("connection", "not tried: it needs the credentials");
        }
      }
      Lock();
      List();
      EventLog();
    } catch (...) {
      Fail("check", CurrentFailure(RunStep::kStarting), RunStep::kStarting,
           "report this to the program's vendor");
    }
    Show();
    return exit_code_;
  }

 private:
  void Program() {
    Ok("program", "Quarnel " QUARNEL_VERSION ", " + env_.ExePath() + ", " +
                      std::to_string(kBits) + "-bit, started as " + env_.ExeName());
    const std::string store = env_.VirtualStoreFor(app_);
    if (store.empty()) return;
    Note("virtualization",
         "Windows virtualizes this program's writes to " + app_ + ": they go to this user's "
         "copies in " + store + ", and a run reads this user's copy of a file before the one "
         "in the folder");
    const ListFiles root = RootListFiles(app_);
    const ListFiles rs = RsListFiles(app_);
    for (const std::string& file :
         {SettingsFile(app_), AuthenticationFile(app_), root.live, root.backup, rs.live}) {
      const std::string copy = store + file.substr(std::min(app_.size(), file.size()));
      if (env_.FileExists(copy)) {
        Note("virtualization", "a run reads this user's copy " + copy + ", not " + file);
      } else if (env_.FileExists(file)) {
        Note("virtualization", "a run reads " + file + " (this user has no copy of it)");
      }
    }
  }

  bool Settings() {
    try {
      db_name_ = ReadDbName(env_);
    } catch (const RunError& error) {
      Fail("settings", error, RunStep::kSettings,
           "the host product's settings file must lie readable beside the program: repair "
           "the host product, or copy PersonalTarvo.ini from a working installation");
      return false;
    }
    Ok("settings", SettingsFile(app_) + ": DBName=" + env_.FromAnsi(db_name_));
    return true;
  }

  std::optional<DbCredentials> Credentials() {
    try {
      DbCredentials credentials = ReadDbCredentials(env_);
      const std::string file = AuthenticationFile(app_);
      const std::string user = env_.FromAnsi(credentials.DbUser);
      Ok("credentials", env_.FileExists(file)
                            ? file + " decoded through PELX: user " + user
                            : "no authentication file: the host product's built-in login, user " +
                                  user);
      return credentials;
    } catch (const RunError& error) {
      Fail("credentials", error, RunStep::kCredentials,
           "the host product's PELX library must lie beside the program, and its "
           "authentication file be readable: repair the host product, which writes both");
      return std::nullopt;
    }
  }

  bool DataSource() {
    const std::string bits = std::to_string(kBits) + "-bit programs";
    std::vector<DataSourceEntry> sources;
    try {
      CheckDataSourceName(env_, db_name_);
      sources = env_.DataSources();
    } catch (const RunError& error) {
      Fail("data source", error, RunStep::kDatabase,
           error.number() == kErrBadDataSourceName
               ? "write the name of the host product's ODBC data source into the DBName= line "
                 "of PersonalTarvo.ini"
               : "the system's ODBC driver manager cannot be used: repair its installation");
      return false;
    }
    // The driver manager's names are in the ANSI code page, as the settings
    // file's is.
    const auto found = std::find_if(sources.begin(), sources.end(), [&](const DataSourceEntry& s) {
      return SameNameIgnoringCase(s.name, db_name_);
    });
    const std::string name = env_.FromAnsi(db_name_);
    if (found != sources.end()) {
      Ok("data source",
         name + " is defined for " + bits + ", driver " + env_.FromAnsi(found->driver));
      return true;
    }
    std::string defined;
    for (const DataSourceEntry& source : sources) {
      defined += (defined.empty() ? "" : ", ") + env_.FromAnsi(source.name) + " (" +
                 env_.FromAnsi(source.driver) + ")";
    }
    Fail("data source",
         RunError(kErrDatabase, "Connecting to the database: data source \"" + name +
                                    "\" is not defined for " + bits + "; defined for them: " +
                                    (defined.empty() ? "none" : defined)),
         RunStep::kDatabase,
         "define it for " + bits + " (on 64-bit Windows: the 32-bit ODBC Data Source "
         "Administrator, SysWOW64\\odbcad32.exe): a data source defined for 64-bit programs "
         "only is seen neither by the 32-bit host product nor by this program");
    return false;
  }

  // The connection and the stored copy, under the deadline of a run.
  void Database(const DbCredentials& credentials) {
    auto deadline = std::make_shared<StepDeadline>(deadline_, db_name_,
                                                   [this](const RunError& e) { GiveUp(e); });
    const OdbcLogin login{db_name_, credentials.DbUser, credentials.DbPassword, deadline};
    const std::string user = env_.FromAnsi(credentials.DbUser);
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<OdbcConnection> connection;
    std::string dbms;
    try {
      connection = env_.ConnectOdbc(login);
      dbms = connection->DbmsName();
      Ok("connection", "connected in " + SecondsSince(start) + " to " + dbms + " " +
                           connection->DbmsVersion() + "; the login of user " + user +
                           " was accepted");
    } catch (const RunError& error) {
      Fail("connection", error, RunStep::kDatabase, ConnectionAdvice(error.number()));
      return;
    }
    try {
      const std::string table = FileTableFor(dbms);
      const std::vector<std::string> count = connection->QueryColumn(
          "select count(*) from " + table + " where " + kStoredListCondition);
      const std::string rows = count.empty() ? "0" : count.front();
      if (rows == "0") {
        Ok("stored copy", "none in " + table + ": the host product reads the list on disk");
      } else {
        Note("stored copy",
             rows + " row(s) " + kStoredListCondition + " in " + table +
                 ": while a stored copy exists, the host product reads it instead of the list "
                 "on disk; a run deletes it (an interactive run only when answered Yes)");
      }
      connection->Close();
    } catch (const RunError& error) {
      Fail("stored copy", error, RunStep::kDatabase,
           error.number() == kErrDatabaseTimeout
               ? ConnectionAdvice(error.number())
               : "the run's DELETE meets the same refusal: the host product's database lacks "
                 "its file table, or the login may not use it; repair the database");
    }
  }

  void Lock() {
    const std::string lock = InstallationLockFile(app_);
    if (!env_.FileExists(lock)) {
      // A run makes it, which needs the right to create a file in the folder.
      if (env_.FolderAccess(app_) == Access::kDenied) {
        Fail("lock",
             RunError(kErrPermissionDenied, "Creating the lock file: " + lock +
                                                ": this user may not create files in " + app_),
             RunStep::kListFiles,
             "give the users the right to create files in the program's folder, or create "
             "quarnel.lock there once as an administrator");
      } else {
        Ok("lock", "free: " + lock + " is made by the first run");
      }
      return;
    }
    if (env_.TryLockFile(lock) == nullptr) {
      Fail("lock",
           RunError(kErrListLocked, "Taking the lock: " + lock +
                                        ": another run of Quarnel is updating the list in this "
                                        "folder right now"),
           RunStep::kListFiles,
           "a run waits up to 30 seconds for it: wait until that run (the start-up runner's, "
           "a double-click, another user's session) has ended, then check again");
      return;
    }
    Ok("lock", "free: " + lock);
  }

  void List() {
    ListPreview preview;
    try {
      preview = PreviewInstallation(env_, app_);
    } catch (const RunError& error) {
      Fail("list", error, RunStep::kListFiles, ListAdvice(error.number()));
      return;
    }
    for (const std::string& line : preview.plan) {
      // The preview's diff follows its plan; the check shows none.
      const size_t below = line.find(" (with the new list below)");
      Ok("list", line.substr(0, below));
    }
    Ok("list", SummaryLine(preview.counts));
    const UpdatePlan& plan = preview.update;
    if (env_.DeleteAccess(plan.at.live) == Access::kHeld) {
      Fail("list",
           RunError(kErrFileInUse, "Replacing the list: " + plan.at.live +
                                       ": another program holds the file right now"),
           RunStep::kListFiles, ListAdvice(kErrFileInUse));
      return;
    }
    if (env_.FolderAccess(plan.at.folder) == Access::kDenied) {
      Fail("list",
           RunError(kErrPermissionDenied, "Writing the new list: " + plan.at.folder +
                                              ": this user may not create, rename and delete "
                                              "files in the folder that holds the list"),
           RunStep::kListFiles,
           "give the users the right to create, change, rename and delete files in " +
               plan.at.folder);
      return;
    }
    if (plan.update_case == UpdateCase::kMoveIntoRs) RootDeletable();
  }

  // Case A copies the root list into Sifranti\RS and then deletes it and its
  // backup: a run that may not ends there, every time.
  void RootDeletable() {
    const ListFiles root = RootListFiles(app_);
    for (const std::string& file : {root.live, root.backup}) {
      const Access access = env_.DeleteAccess(file);
      if (access == Access::kAllowed) continue;
      const bool held = access == Access::kHeld;
      std::string advice =
          held ? ListAdvice(kErrFileInUse)
               : "the host product's installer or an administrator deletes " + root.live +
                     " and " + root.backup + " once Sifranti\\RS holds the list, or gives the "
                     "users the right to delete them; until then the host product keeps "
                     "reading the old list";
      if (!held && !env_.VirtualStoreFor(app_).empty()) {
        advice += " (Windows virtualizes this program, and a virtualized program cannot delete "
                  "a file of the real folder)";
      }
      Fail("list",
           RunError(held ? kErrFileInUse : kErrPermissionDenied,
                    "Deleting file: " + file + ": " +
                        (held ? "another program holds the file right now"
                              : "this user may not delete it; a run copies the list into "
                                "Sifranti\\RS and then ends here")),
           RunStep::kListFiles, advice);
      return;
    }
    Ok("list", "this user may delete " + root.live + " and its backup");
  }

  void EventLog() {
    switch (env_.EventLogSource()) {
      case EventSource::kNoEventLog: return;
      case EventSource::kRegistered:
        Ok("event log", "the source Quarnel is registered: Event Viewer shows the entries");
        return;
      case EventSource::kNotRegistered:
        Note("event log",
             "the source Quarnel is not registered: a failed run's entry is still written, "
             "but Event Viewer shows it after \"The description for Event ID ... cannot be "
             "found\"; the host product's installer registers it");
        return;
    }
  }

  void Ok(const std::string& subject, const std::string& fact) { Add("ok     ", subject, fact); }
  void Note(const std::string& subject, const std::string& fact) { Add("note   ", subject, fact); }

  void Fail(const std::string& subject, const RunError& error, RunStep step,
            const std::string& advice) {
    const int exit_code = ExitCodeFor(error, step);
    Add("fails  ", subject,
        error.description() + "; a run would end with error " + std::to_string(error.number()) +
            " (exit code " + std::to_string(exit_code) + "); to do: " + advice);
    std::lock_guard<std::mutex> lock(mutex_);
    if (first_error_ == 0) {
      first_error_ = error.number();
      exit_code_ = exit_code;
    }
  }

  void Add(const char* verdict, const std::string& subject, const std::string& fact) {
    std::lock_guard<std::mutex> lock(mutex_);
    report_ += verdict + subject + ": " + fact + "\n";
  }

  void Show() {
    std::string report;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      report = kHeading + report_ +
               (first_error_ == 0
                    ? std::string("check: a run started now would complete\n")
                    : "check: a run started now would end with error " +
                          std::to_string(first_error_) + "\n");
    }
    if (!env_.WriteToStandardOutput(report)) env_.ShowMessage(report);
  }

  // On the deadline's watchdog thread, while a call still waits: the report
  // goes out as it stands, and the process ends as a run's would.
  void GiveUp(const RunError& error) {
    try {
      Fail("connection", error, RunStep::kDatabase, ConnectionAdvice(error.number()));
      Show();
    } catch (...) {
      // The exit code is all that is left to tell.
    }
    env_.EndProcess(kExitDatabase);
  }

  Env& env_;
  const DatabaseDeadline deadline_;
  const std::string app_;
  std::string db_name_;

  std::mutex mutex_;  // the report, which the watchdog thread may finish
  std::string report_;
  int first_error_ = 0;
  int exit_code_ = kExitSuccess;
};

}  // namespace

bool IsCheckRequest(const std::string& arguments) { return arguments == "--check"; }

int RunCheck(Env& env, DatabaseDeadline database_deadline) {
  return Check(env, database_deadline).Run();
}

}  // namespace quarnel
