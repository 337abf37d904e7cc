#include "app/failure_report.h"

#include <exception>
#include <new>
#include <string>

namespace quarnel {

const char* StepText(RunStep step) {
  switch (step) {
    case RunStep::kStarting: return "Starting";
    case RunStep::kAsking: return "Asking whether to delete the stored list";
    case RunStep::kSettings: return "Reading the settings file PersonalTarvo.ini";
    case RunStep::kCredentials: return "Reading the database credentials";
    case RunStep::kDatabase: return "Deleting the stored bank code list from the database";
    case RunStep::kListFiles: return "Updating the bank code list";
  }
  return "Running";
}

int ExitCodeFor(const RunError& error, RunStep step) {
  switch (error.number()) {
    case kErrOutOfMemory: return kExitOutOfMemory;
    case kErrListLocked:
    case kErrFileInUse: return kExitListLocked;
    case kErrInternal: return kExitOther;
    default: break;
  }
  switch (step) {
    case RunStep::kSettings: return kExitSettings;
    case RunStep::kCredentials: return kExitCredentials;
    case RunStep::kDatabase: return kExitDatabase;
    case RunStep::kListFiles: return kExitListFiles;
    case RunStep::kStarting:
    case RunStep::kAsking: break;
  }
  return kExitOther;
}

RunError CurrentFailure(RunStep step) {
  try {
    throw;
  } catch (const RunError& error) {
    return error;
  } catch (const std::bad_alloc&) {
    return RunError(kErrOutOfMemory, std::string(StepText(step)) + ": Out of memory");
  } catch (const std::exception& error) {
    return RunError(kErrInternal, std::string(StepText(step)) + ": internal error: " + error.what());
  } catch (...) {
    return RunError(kErrInternal, std::string(StepText(step)) + ": internal error of an unknown kind");
  }
}

int ReportFailure(Env& env, const RunError& error, bool silent, RunStep step) {
  try {
    env.ReportError(error, silent);
  } catch (...) {
    // The exit code is all that is left to tell.
  }
  return ExitCodeFor(error, step);
}

}  // namespace quarnel
