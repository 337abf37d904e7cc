// Quarnel's entry point: the one place that picks the real platform.

#include "app/program.h"
#include "platform/env.h"

int main(int argc, char** argv) {
  std::unique_ptr<quarnel::Env> env = quarnel::NewPlatformEnv(argc, argv);
  return quarnel::RunQuarnel(*env);
}
