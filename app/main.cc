// Quarnel's entry point: the one place that picks the real platform.

#include <cstdio>
#include <new>

#include "app/held_file_wait.h"
#include "app/program.h"
#include "platform/env.h"

int main(int argc, char** argv) {
  try {
    std::unique_ptr<quarnel::Env> env = quarnel::NewPlatformEnv(argc, argv);
    quarnel::HeldFileWait patient(env.get());
    return quarnel::RunQuarnel(patient);
  } catch (const std::bad_alloc&) {
    // The platform itself could not be set up.
    std::fputs("Quarnel: error 7: Starting: Out of memory\n", stderr);
    return quarnel::kExitOutOfMemory;
  } catch (...) {
    std::fputs("Quarnel: error 51: Starting: internal error\n", stderr);
  }
  return quarnel::kExitOther;
}
