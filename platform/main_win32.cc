// Quarnel's entry point on Windows: the one place that picks the real
// platform. A GUI-subsystem program, so no console window opens; the Env
// takes the program's name and argument text from the system itself.

#include <windows.h>

#include "app/program.h"
#include "platform/env.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::unique_ptr<quarnel::Env> env = quarnel::NewPlatformEnv(0, nullptr);
  return quarnel::RunQuarnel(*env);
}
