// Runs the benchmarks, then measures the peak memory of each list job in a
// child process that does nothing else, so that the figure is that job's.
// The benchmark is no part of the program and uses POSIX directly.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "banklist/refresh.h"
#include "bench/bench_list.h"

extern char** environ;

namespace quarnel::bench {
namespace {

struct Job {
  const char* name;
  void (*run)(Env&);
};

void Nothing(Env&) {}
void Update(Env& env) { RefreshBankCodeList(env); }

const Job kJobs[] = {
    {"start-up only", Nothing},
    {"update", Update},
    {"copy file", CopyListFile},
    {"copy lines", CopyListLines},
};

// The peak resident memory of this process image in KiB (VmHWM). Unlike the
// rusage figure, it leaves out the memory of the parent that spawned it.
long PeakKibOfThisImage() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// The child: runs one job and prints its peak memory.
int RunJob(const std::string& name, const std::string& folder) {
  FolderEnv env(folder);
  for (const Job& job : kJobs) {
    if (name != job.name) continue;
    job.run(env);
    std::printf("  %-14s %8ld KiB\n", job.name, PeakKibOfThisImage());
    return 0;
  }
  return 2;
}

// Runs `job` once in a child process of its own, which prints the figure.
void MeasureInChild(const Job& job) {
  BenchFolder::Get().RestoreList();
  std::fflush(stdout);
  std::string self = "/proc/self/exe";
  std::string flag = "--peak-of";
  std::string name = job.name;
  std::string folder = BenchFolder::Get().path();
  char* argv[] = {self.data(), flag.data(), name.data(), folder.data(), nullptr};
  pid_t pid;
  int status = 0;
  if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, environ) != 0 ||
      waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::printf("  %-14s failed\n", job.name);
  }
}

void ReportPeakMemory() {
  std::printf("\nPeak memory of a process that runs one job on the %ld-row list (%lld bytes):\n",
              kListRows, BenchFolder::Get().list_bytes());
  for (const Job& job : kJobs) MeasureInChild(job);
}

}  // namespace
}  // namespace quarnel::bench

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--peak-of") == 0) {
    return quarnel::bench::RunJob(argv[2], argv[3]);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  quarnel::bench::ReportPeakMemory();
  benchmark::Shutdown();
  return 0;
}
