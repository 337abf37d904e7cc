// Quarnel's entry point on Windows. A GUI-subsystem program, so no console
// window opens; the Env takes the program's name and argument text from the
// system itself.

#include <windows.h>

#include "app/program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return quarnel::QuarnelMain(0, nullptr); }
