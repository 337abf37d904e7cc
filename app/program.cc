#include "app/program.h"

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
    env.ReportError(error, form.SilentRun);
    return 1;
  }
}

}  // namespace quarnel
