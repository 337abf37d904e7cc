#include "app/program.h"

#include <cstdio>
#include <memory>
#include <string>

#include "app/check.h"
#include "app/form1.h"
#include "app/held_file_wait.h"
#include "app/preview.h"

#ifndef QUARNEL_VERSION
#define QUARNEL_VERSION "unknown"
#endif

namespace quarnel {

namespace {

constexpr char kUsage[] =
    "Usage: quarnel [-s | -silent | --check | --preview [FILE] | --help | --version]\n"
    "Deletes the stored copy of sifrant_bank.dat from the Tarvo database and\n"
    "brings the bank code list beside the program up to date.\n"
    "  (no argument)     ask before deleting, then report the result\n"
    "  -s, -silent       delete without asking and show no message\n"
    "                    (exactly so: /s, /silent and -S are no silent switches)\n"
    "  --check           check, changing nothing, whether a run started now would\n"
    "                    complete on this machine, and what to do where it would not;\n"
    "                    the last line and the exit code say it for scripts\n"
    "  --preview [FILE]  show what an update would do to the list beside the\n"
    "                    program (or to the list file FILE), changing nothing:\n"
    "                    the case, the files, a summary line and a diff, e.g.\n"
    "                      quarnel --preview > preview.txt\n"
    "                      summary: read 10, unchanged 0, changed 8, dropped 2, appended 23\n"
    "Under the name KELDRAMIX the program always runs silently.";

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
      if (IsCheckRequest(arguments)) return RunCheck(env, database_deadline);
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
