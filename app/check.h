#ifndef QUARNEL_APP_CHECK_H_
#define QUARNEL_APP_CHECK_H_

// The support check: what a run started now would meet on this machine, and
// what to do about it, touching nothing.

#include <string>

#include "db/step_deadline.h"
#include "platform/env.h"

namespace quarnel {

// True for the argument text "--check".
bool IsCheckRequest(const std::string& arguments);

// Checks, in the order of a run, what a run started now needs: the program,
// the settings file, the credentials, the data source, the connection (under
// `database_deadline`, as a run's), the stored copy, the lock and the list,
// and on Windows the event log source. Reports one line per finding: "ok",
// "note", or "fails" with the error a run would end with and what to do. The
// last line reads "check: a run started now would complete", or "... would
// end with error N" for the first failure in the order of a run. The report
// goes to standard output, or where the program has none, into a message
// box. Returns the exit code of that failure, 0 when there is none.
//
// It asks nothing, executes no statement that changes data, creates, changes
// or removes no file, leaves no lock held and writes no event entry. A server
// that does not answer ends the check at the deadline, as it ends a run: the
// report, with the connection failing, then goes out and the process ends.
int RunCheck(Env& env, DatabaseDeadline database_deadline);

}  // namespace quarnel

#endif  // QUARNEL_APP_CHECK_H_
