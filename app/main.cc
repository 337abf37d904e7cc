// Quarnel's entry point on POSIX systems.

#include "app/program.h"

int main(int argc, char** argv) { return quarnel::QuarnelMain(argc, argv); }
