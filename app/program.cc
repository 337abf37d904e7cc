#include "app/program.h"

#include <exception>
#include <new>
#include <string>

#include "app/form1.h"

#ifndef QUARNEL_VERSION
#define QUARNEL_VERSION "unknown"
#endif

namespace quarnel {

namespace {

constexpr char kUsage[] =
    "Usage: quarnel [-s | -silent]\n"
    "Deletes the stored copy of sifrant_bank.dat from the Tarvo database and\n"
    "brings the bank code list beside the program up to date.\n"
    "  (no argument)  ask before deleting, then report the result\n"
    "  -s, -silent    delete without asking and show no message\n"
    "Under the name KELDRAMIX the program always runs silently.";

}  // namespace

// Reports what ended the run. Nothing may escape from here: an exception
// that reached the system would end an unattended start-up in a crash dialog.
int ReportFailure(Env& env, const RunError& error, bool silent_run) {
  try {
    env.ReportError(error, silent_run);
  } catch (...) {
    // The exit code is all that is left to tell.
  }
  return 1;
}

int RunQuarnel(Env& env) {
  Form1 form(env);
  try {
    const std::string arguments = env.ArgumentText();
    if (arguments == "--help") {
      env.ShowMessage(kUsage);
      return 0;
    }
    if (arguments == "--version") {
      env.ShowMessage(std::string("Quarnel ") + QUARNEL_VERSION);
      return 0;
    }
    form.Load();
    return 0;
  } catch (const RunError& error) {
    return ReportFailure(env, error, form.SilentRun);
  } catch (const std::bad_alloc&) {
    return ReportFailure(env, RunError(kErrOutOfMemory, form.CurrentStep + ": Out of memory"),
                         form.SilentRun);
  } catch (const std::exception& error) {
    return ReportFailure(
        env, RunError(kErrInternal, form.CurrentStep + ": internal error: " + error.what()),
        form.SilentRun);
  } catch (...) {
    return ReportFailure(
        env, RunError(kErrInternal, form.CurrentStep + ": internal error of an unknown kind"),
        form.SilentRun);
  }
}

}  // namespace quarnel
