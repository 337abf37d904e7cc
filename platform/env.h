#ifndef QUARNEL_PLATFORM_ENV_H_
#define QUARNEL_PLATFORM_ENV_H_

// The program's only door to the operating system. Everything Quarnel does to
// the machine -- message boxes, process information, files, the credentials
// library, the database and the clock -- goes through an Env, so that tests
// can put a wrapper in between and make any single operation fail.
//
// Paths are UTF-8 text in the system's own form, built the way the host
// product builds them: the application path as the system reports it,
// followed by one of the program's literals, which start with a backslash
// ("\sifrant_bank.dat"); PathIn puts the two together. Every failing
// operation throws RunError.
//
// Whatever the run writes is a new file of its own until it is renamed into
// place: a file or a link standing at that name is removed first, a link is
// never written through, and a folder or any other thing that is not a file
// ends the run with an error that says what stands there. Nothing is ever
// opened in a way that could wait on a named pipe or a device. A file that
// another program holds open for the moment is error 3045 (kErrFileInUse)
// at once; waiting it out is the caller's choice.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/run_error.h"

namespace quarnel {

struct OdbcLogin;  // platform/odbc.h

// A text file open for reading line by line. A line ends at CR LF, at a lone
// CR or at a lone LF; the line end is not part of the line. The bytes are
// handed over as stored (one byte a character in the ANSI code page).
class LineReader {
 public:
  virtual ~LineReader() = default;

  // True when no byte is left to read.
  virtual bool AtEnd() = 0;

  // Replaces *line with the next line. At the end of the file it throws
  // error 62 (Input past end of file).
  virtual void ReadLine(std::string* line) = 0;

  // The next line, as ReadLine gives it, but copied only where the reader
  // must: the view lasts until the reader is next used, and may be of
  // *storage.
  virtual std::string_view NextLine(std::string* storage) {
    ReadLine(storage);
    return *storage;
  }

  // Closes the file. A reader that is destroyed unclosed closes it silently.
  virtual void Close() = 0;
};

// A text file created empty for writing line by line.
class LineWriter {
 public:
  virtual ~LineWriter() = default;

  // Writes `line` followed by CR LF. Buffered: a failure may surface in a
  // later call or in Close.
  virtual void WriteLine(std::string_view line) = 0;

  // Writes out what is buffered, forces the file to stable storage and closes
  // it. A writer that is destroyed unclosed closes it silently, unsynced.
  virtual void Close() = 0;
};

// An exclusive lock on a file, held until it is destroyed. The system
// releases it when the process ends, however it ends.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

// A loaded shared library; unloaded when destroyed.
class SharedLibrary {
 public:
  virtual ~SharedLibrary() = default;

  // The address of the exported function `name`. Throws error 453 when the
  // library has no such export.
  virtual void* Function(const char* name) = 0;
};

// An open ODBC connection; closed (and freed) when destroyed.
class OdbcConnection {
 public:
  virtual ~OdbcConnection() = default;

  // The database product's name as the ODBC driver reports it.
  virtual std::string DbmsName() = 0;
  // The database product's version as the driver reports it.
  virtual std::string DbmsVersion() = 0;

  // Executes `statement` as text under the connection's default commit
  // behaviour and discards any result. "No rows matched" is success.
  virtual void ExecuteText(const std::string& statement) = 0;

  // Executes `query`, which must change nothing, and returns the first column
  // of every row as text, in the order returned; NULL as "(null)". Bounded
  // like ExecuteText (a waiting query is withdrawn at the deadline).
  virtual std::vector<std::string> QueryColumn(const std::string& query) = 0;

  // Disconnects. Throws if the driver refuses.
  virtual void Close() = 0;
};

// Local date and time, whole seconds, no time zone.
struct LocalTime {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// What the system would let this process do, found out without doing it.
enum class Access {
  kAllowed,
  kDenied,  // no right (or a flag or attribute that forbids it)
  kHeld,    // another program holds the file so that it cannot be deleted now
};

// A data source the driver manager defines for programs of this bitness; its
// texts in the ANSI code page, as the driver manager gives them.
struct DataSourceEntry {
  std::string name;
  std::string driver;  // the driver's description as the driver manager gives it
};

// Whether the system's event log knows the program's event source "Quarnel".
enum class EventSource { kNoEventLog, kRegistered, kNotRegistered };

// What a directory search admits when it tests for presence.
enum class Presence {
  kFilesOnly,             // ordinary files; not hidden, system or directories
  kFilesAndDirectories,   // ordinary files and directories; not hidden ones
};

class Env {
 public:
  virtual ~Env() = default;

  // --- Process ---------------------------------------------------------
  // The executable's file name without directory and without extension.
  virtual std::string ExeName() = 0;
  // The command line less the program's own name, as one text.
  virtual std::string ArgumentText() = 0;
  // The directory of the running executable, as the system reports it; it
  // ends in a separator only at a drive or file-system root.
  virtual std::string AppPath() = 0;
  // The full path of the running executable, as the system reports it.
  virtual std::string ExePath() = 0;
  // Where the system keeps this user's own copies of the files of `folder`
  // when it virtualizes this process's writes there (Windows' VirtualStore:
  // %LOCALAPPDATA%\VirtualStore\ followed by the folder's path without its
  // drive, e.g. ...\VirtualStore\Program Files (x86)\Tarvo); empty when the
  // process's writes are not virtualized (always on POSIX), and for a folder
  // that is not on a drive (a share).
  virtual std::string VirtualStoreFor(const std::string& folder) = 0;
  // Whether the event log source "Quarnel" is registered (Windows: the key
  // HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Quarnel
  // exists); kNoEventLog on POSIX.
  virtual EventSource EventLogSource() = 0;

  // --- Message boxes (modal, titled with the application title) --------
  // Question with Yes and No, warning icon, Yes the default. True for Yes.
  virtual bool AskYesNo(const std::string& prompt) = 0;
  // Message with an OK button and no icon.
  virtual void ShowMessage(const std::string& text) = 0;
  // The report of a run-ending failure. In a silent run nobody may be at the
  // machine to answer it, so it must not hold the start-up up for long: a box
  // closes by itself after kSilentReportSeconds.
  virtual void ReportError(const RunError& error, bool silent_run) = 0;
  // Ends the process at once with `exit_code`, whatever its other threads
  // are doing: no destructor and no library's clean-up runs. For a run that
  // has nothing left to save and is stuck in a call that never comes back;
  // with ReportError, the one call made from the database step's watchdog
  // thread (db/step_deadline.h) while the run's own thread waits.
  virtual void EndProcess(int exit_code) = 0;

  // --- Files -------------------------------------------------------------
  // Directory-search presence test for exactly `path`.
  virtual bool IsPresent(const std::string& path, Presence admits) = 0;
  // True for an existing file of exactly that path, hidden ones included;
  // false for a missing path or a directory.
  virtual bool FileExists(const std::string& path) = 0;
  // Copies a whole file byte for byte into a new file `to` (see above: what
  // stood at `to` is removed first, read-only or not). The copy carries no
  // attribute of `from` and is on stable storage when this returns; a copy
  // that fails is removed again where the system allows.
  virtual void CopyWholeFile(const std::string& from, const std::string& to) = 0;
  // Deletes one file or link; never a folder, nor a read-only file (Windows).
  virtual void RemoveFile(const std::string& path) = 0;
  // Gives `from` the name `to` in one step, replacing a file or link at `to`,
  // so that `to` is never missing; the rename is on stable storage on return.
  // A file at `to` is replaced even when it is read-only: the caller checks
  // the names it must not replace with IsReadOnly first.
  virtual void RenameOver(const std::string& from, const std::string& to) = 0;
  // Makes the deletions done in the folder `folder` as durable as a
  // RenameOver's rename: on return they survive a power cut where the system
  // allows it. On POSIX the folder itself is synced. On Windows a folder
  // cannot be flushed, so this does nothing there: the write-through rename
  // is all the system offers, and a deletion is as durable as it makes it.
  virtual void SyncFolder(const std::string& folder) = 0;
  // True for a file that carries the attribute that marks it as not to be
  // changed (Windows' read-only attribute); POSIX has none. CopyWholeFile,
  // RenameOver and CreateForWriting replace such a file all the same.
  virtual bool IsReadOnly(const std::string& path) = 0;
  // Opens an ordinary file for reading; anything else is refused at once.
  virtual std::unique_ptr<LineReader> OpenForReading(const std::string& path) = 0;
  // Creates `path` as a new, empty file (see above: what stood there is
  // removed first, read-only or not).
  virtual std::unique_ptr<LineWriter> CreateForWriting(const std::string& path) = 0;
  // Tries once, without waiting, to take the exclusive lock of the file
  // `path`, creating the file if it is missing; the file itself is left in
  // place afterwards. Returns null while another holder has it.
  virtual std::unique_ptr<FileLock> TryLockFile(const std::string& path) = 0;
  // Whether this process may delete the file `path` right now, found out
  // without deleting it. kAllowed where nothing stands at `path`; kDenied
  // for what RemoveFile refuses (a folder, a read-only file on Windows) and
  // where the system does not let the path be looked at.
  virtual Access DeleteAccess(const std::string& path) = 0;
  // Whether this process may create, rename and delete files in `folder`,
  // found out without creating anything. kDenied for a missing folder and
  // where the system does not let the folder's rights be read.
  virtual Access FolderAccess(const std::string& folder) = 0;

  // --- Standard output -----------------------------------------------------
  // Writes `bytes` as they are to the standard output that the starting
  // process gave. False, with nothing written, when it gave none: a Windows
  // program started from the desktop, or from a console without its output
  // redirected. Throws RunError when writing fails.
  virtual bool WriteToStandardOutput(std::string_view bytes) = 0;

  // --- Text ----------------------------------------------------------------
  // Converts the program's own UTF-8 text into the machine's ANSI code page
  // (code page 1250 where the system has none).
  virtual std::string ToAnsi(std::string_view utf8) = 0;
  // Converts text in the machine's ANSI code page (code page 1250 where the
  // system has none) into the program's own UTF-8 text.
  virtual std::string FromAnsi(std::string_view ansi) = 0;

  // --- The credentials library and the database --------------------------
  // Loads the library `name` from the program's own folder (on Windows also
  // the system's folders), never from the current folder or a search path
  // that anybody could put a library in. Throws error 48 when it is missing,
  // damaged or not a library for this program.
  virtual std::unique_ptr<SharedLibrary> OpenLibrary(const std::string& name) = 0;
  // Opens an ODBC connection with `login`, never prompting; its messages are
  // masked with the login's password (OpenOdbcConnection in platform/odbc.h).
  // REQUIRES: login.password outlives the connection.
  virtual std::unique_ptr<OdbcConnection> ConnectOdbc(const OdbcLogin& login) = 0;
  // The data sources defined for programs of this program's bitness (user
  // and system ones), in the driver manager's order. Throws RunError
  // kErrDatabase when the driver manager cannot be used.
  virtual std::vector<DataSourceEntry> DataSources() = 0;

  // --- Clock ---------------------------------------------------------------
  virtual LocalTime Now() = 0;
  // Lets `milliseconds` pass.
  virtual void Pause(int milliseconds) = 0;
};

// How long the error report of a silent run waits for a click.
inline constexpr int kSilentReportSeconds = 60;

// The path of `literal`, one of the program's own texts whose parts are
// separated by backslashes, below `base`, a path as the system gave it:
// `base` followed by the literal, whose backslashes (and only those) become
// the system's separator.
std::string PathIn(std::string_view base, std::string_view literal);

// The Env of the running program. `argc` and `argv` are main's where the
// system hands them over that way, and ignored where it does not. On Windows
// it also keeps the system from showing dialogs of its own (a crash, a
// missing drive) for the rest of the process.
std::unique_ptr<Env> NewPlatformEnv(int argc, char** argv);

// Forwards every call to a target Env, so that a test double overrides only
// the calls it cares about.
class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env* target) : target_(target) {}
  Env* target() const { return target_; }

  std::string ExeName() override { return target_->ExeName(); }
  std::string ArgumentText() override { return target_->ArgumentText(); }
  std::string AppPath() override { return target_->AppPath(); }
  std::string ExePath() override { return target_->ExePath(); }
  std::string VirtualStoreFor(const std::string& folder) override {
    return target_->VirtualStoreFor(folder);
  }
  EventSource EventLogSource() override { return target_->EventLogSource(); }
  bool AskYesNo(const std::string& prompt) override {
    return target_->AskYesNo(prompt);
  }
  void ShowMessage(const std::string& text) override {
    target_->ShowMessage(text);
  }
  void ReportError(const RunError& error, bool silent_run) override {
    target_->ReportError(error, silent_run);
  }
  void EndProcess(int exit_code) override { target_->EndProcess(exit_code); }
  bool IsPresent(const std::string& path, Presence admits) override {
    return target_->IsPresent(path, admits);
  }
  bool FileExists(const std::string& path) override {
    return target_->FileExists(path);
  }
  void CopyWholeFile(const std::string& from, const std::string& to) override {
    target_->CopyWholeFile(from, to);
  }
  void RemoveFile(const std::string& path) override {
    target_->RemoveFile(path);
  }
  void RenameOver(const std::string& from, const std::string& to) override {
    target_->RenameOver(from, to);
  }
  void SyncFolder(const std::string& folder) override { target_->SyncFolder(folder); }
  bool IsReadOnly(const std::string& path) override { return target_->IsReadOnly(path); }
  std::unique_ptr<LineReader> OpenForReading(const std::string& path) override {
    return target_->OpenForReading(path);
  }
  std::unique_ptr<LineWriter> CreateForWriting(const std::string& path) override {
    return target_->CreateForWriting(path);
  }
  std::unique_ptr<FileLock> TryLockFile(const std::string& path) override {
    return target_->TryLockFile(path);
  }
  Access DeleteAccess(const std::string& path) override { return target_->DeleteAccess(path); }
  Access FolderAccess(const std::string& folder) override {
    return target_->FolderAccess(folder);
  }
  bool WriteToStandardOutput(std::string_view bytes) override {
    return target_->WriteToStandardOutput(bytes);
  }
  std::string ToAnsi(std::string_view utf8) override {
    return target_->ToAnsi(utf8);
  }
  std::string FromAnsi(std::string_view ansi) override {
    return target_->FromAnsi(ansi);
  }
  std::unique_ptr<SharedLibrary> OpenLibrary(const std::string& name) override {
    return target_->OpenLibrary(name);
  }
  std::unique_ptr<OdbcConnection> ConnectOdbc(const OdbcLogin& login) override {
    return target_->ConnectOdbc(login);
  }
  std::vector<DataSourceEntry> DataSources() override { return target_->DataSources(); }
  LocalTime Now() override { return target_->Now(); }
  void Pause(int milliseconds) override { target_->Pause(milliseconds); }

 private:
  Env* target_;
};

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_ENV_H_
