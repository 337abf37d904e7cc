// The whole update of a generated list of a million rows, next to plain
// copies of the same file. Every job ends with its output synced to disk.

#include <benchmark/benchmark.h>

#include "banklist/refresh.h"
#include "bench/bench_list.h"

namespace quarnel::bench {
namespace {

template <void (*kJob)(Env&)>
void BM_List(benchmark::State& state) {
  BenchFolder& folder = BenchFolder::Get();
  FolderEnv env(folder.path());
  for (auto _ : state) {
    state.PauseTiming();
    folder.RestoreList();  // the update replaces it
    state.ResumeTiming();
    kJob(env);
  }
  state.SetItemsProcessed(state.iterations() * kListRows);
  state.SetBytesProcessed(state.iterations() * folder.list_bytes());
}

void Update(Env& env) { RefreshBankCodeList(env); }

BENCHMARK(BM_List<Update>)->Name("BM_Update_1M_rows")->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(3);
BENCHMARK(BM_List<CopyListFile>)->Name("BM_CopyFile_same_list")->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(3);
BENCHMARK(BM_List<CopyListLines>)->Name("BM_CopyLines_same_list")
    ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace quarnel::bench
