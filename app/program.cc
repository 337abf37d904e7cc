#include "app/program.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <string>

#include "app/form1.h"
#include "app/held_file_wait.h"
#include "app/preview.h"

#ifndef QUARNEL_VERSION
#define QUARNEL_VERSION "unknown"
#endif

namespace quarnel {

namespace {

constexpr char kUsage[] =
    "Usage: quarnel [-s | -silent | --preview [FILE] | --help | --version]\n"
    "Deletes the stored copy of sifrant_bank.dat from the Tarvo database and\n"
    "brings the bank code list beside the program up to date.\n"
    "  (no argument)     ask before deleting, then report the result\n"
    "  -s, -silent       delete without asking and show no message\n"
    "                    (exactly so: /s, /silent and -S are no silent switches)\n"
    "  --preview [FILE]  show what an update would do to the list beside the\n"
    "                    program (or to the list file FILE), changing nothing:\n"
    "                    the case, the files, a summary line and a diff, e.g.\n"
    "                      quarnel --preview > preview.txt\n"
    "                      summary: read 10, unchanged 0, changed 8, dropped 2, appended 23\n"
    "Under the name KELDRAMIX the program always runs silently.";

// The exit code of a failure: its kind by its number where that tells, else
// by the step of the run it happened in.
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

// The exception being handled, as the RunError that reports it: a lack of
// memory is error 7 and anything unforeseen error 51, naming `step`.
// REQUIRES: called inside a catch clause.
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

// Reports what ended the run. Nothing may escape from here: an exception
// that reached the system would end an unattended start-up in a crash dialog.
int ReportFailure(Env& env, const RunError& error, bool silent, RunStep step) {
  try {
    env.ReportError(error, silent);
  } catch (...) {
    // The exit code is all that is left to tell.
  }
  return ExitCodeFor(error, step);
}

}  // namespace

int RunQuarnel(Env& env, DatabaseDeadline database_deadline) {
  Form1 form(env, database_deadline);
  bool previewing = false;  // a preview's refusal is the update's own
  try {
    // Under the start-up runner's name the arguments are never looked at: it
    // may pass anything, and its run must stay silent.
    if (!IsStartUpRunnerName(env.ExeName())) {
      const std::string arguments = env.ArgumentText();
      if (arguments == "--help" || arguments == "-h" || arguments == "/?") {
        env.ShowMessage(kUsage);
        return kExitSuccess;
      }
      if (arguments == "--version") {
        env.ShowMessage(std::string("Quarnel ") + QUARNEL_VERSION);
        return kExitSuccess;
      }
      if (IsPreviewRequest(arguments)) {
        previewing = true;
        RunPreview(env, arguments);
        return kExitSuccess;
      }
    }
    form.Load();
    return kExitSuccess;
  } catch (...) {
    const RunStep step = previewing ? RunStep::kListFiles : form.CurrentStep();
    return ReportFailure(env, CurrentFailure(step), form.IsSilentRun(), step);
  }
}

int QuarnelMain(int argc, char** argv) {
  try {
    const std::unique_ptr<Env> platform = NewPlatformEnv(argc, argv);
    HeldFileWait env(platform.get());
    return RunQuarnel(env, kDatabaseDeadline);
  } catch (...) {
    // The platform itself could not be set up: standard error, where there
    // is one, and the exit code are all there is to tell.
    const RunError error = CurrentFailure(RunStep::kStarting);
    std::fprintf(stderr, "Quarnel: error %d: %s\n", error.number(), error.description().c_str());
    return ExitCodeFor(error, RunStep::kStarting);
  }
}

}  // namespace quarnel
