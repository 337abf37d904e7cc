#ifndef QUARNEL_PLATFORM_RUN_ERROR_H_
#define QUARNEL_PLATFORM_RUN_ERROR_H_

#include <exception>
#include <string>

namespace quarnel {

// The numbers that a run-ending failure carries. They are the classic ones the
// host product's support staff know from its own error reports.
enum ErrorNumber : int {
  kErrInvalidCall = 5,          // Invalid procedure call or argument
  kErrOverflow = 6,             // Overflow
  kErrOutOfMemory = 7,          // Out of memory
  kErrSubscript = 9,            // Subscript out of range
  kErrDllLoad = 48,             // Error in loading DLL
  kErrInternal = 51,            // Internal error
  kErrBadFileName = 52,         // Bad file name or number
  kErrFileNotFound = 53,        // File not found
  kErrFileAlreadyOpen = 55,     // File already open
  kErrDiskFull = 61,            // Disk full
  kErrInputPastEnd = 62,        // Input past end of file
  kErrPermissionDenied = 70,    // Permission denied
  kErrPathFileAccess = 75,      // Path/File access error
  kErrPathNotFound = 76,        // Path not found
  kErrDllEntryPoint = 453,      // Can't find DLL entry point
  kErrFileInUse = 3045,         // Couldn't use the file; file already in use
  kErrBadDataSourceName = 3125, // Not a valid name (bad characters, too long)
  kErrDatabase = 3146,          // ODBC call failed
  kErrBadSetting = 3151,        // ODBC login refused before it was tried
  kErrListLocked = 3218,        // Could not update; currently locked
  kErrDatabaseTimeout = 3234,   // ODBC--remote query timeout expired
};

// The one failure that ends a run. It is thrown where the failure happens and
// caught once, at the program's entry point, which reports it and exits
// non-zero. The description reads "what was being done: path: reason" and
// never carries a password.
class RunError : public std::exception {
 public:
  RunError(int number, std::string description)
      : number_(number), description_(std::move(description)) {}

  int number() const { return number_; }
  const std::string& description() const { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  int number_;
  std::string description_;
};

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_RUN_ERROR_H_
