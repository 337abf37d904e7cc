#ifndef QUARNEL_PLATFORM_SYSTEM_ERROR_WIN32_H_
#define QUARNEL_PLATFORM_SYSTEM_ERROR_WIN32_H_

// Windows system errors as the program reports them. A system error code
// (DWORD) is spelled as its plain C type here, so that <windows.h> stays
// inside the .cc files.

#include <string>

#include "platform/run_error.h"

namespace quarnel {

// The classic error number that matches a system error code, the same
// wherever the error occurs.
int ErrorNumberFor(unsigned long error);

// The system's own description of `error`, without its closing period.
// Some texts name the file they are about as "%1" (a damaged library: "%1 is
// not a valid Win32 application"); `subject` stands in for it.
std::string SystemReason(unsigned long error, const std::string& subject = "the file");

// Throws RunError "what: path: the system's reason" with the matching number.
[[noreturn]] void ThrowSystemError(const std::string& what, const std::string& path,
                                   unsigned long error);

// ThrowSystemError with the calling thread's last error.
[[noreturn]] void ThrowLastError(const std::string& what, const std::string& path);

}  // namespace quarnel

#endif  // QUARNEL_PLATFORM_SYSTEM_ERROR_WIN32_H_
