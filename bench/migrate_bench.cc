// Rows per second through MigrateRow and the MTTO step, in memory: the mix of
// the generated list, and single kinds of row.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "banklist/migrate.h"
#include "bench/bench_list.h"

namespace quarnel::bench {
namespace {

void MigrateRows(benchmark::State& state, const std::vector<std::string>& rows) {
  std::unique_ptr<Env> env = NewPlatformEnv(0, nullptr);
  const MigrationTexts texts(*env);
  SeenBankIds seen;
  RowMigrator migrator(texts, seen);
  size_t next = 0;
  for (auto _ : state) {
    const SourceLine line{rows[next], "bench", 2};
    if (++next == rows.size()) next = 0;
    std::string_view row = migrator.MigrateRow(line);
    if (!row.empty()) row = migrator.WidenMtto(row, line);
    benchmark::DoNotOptimize(row.data());
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_MigrateRow_GeneratedMix(benchmark::State& state) {
  std::vector<std::string> rows;
  for (long i = 0; i < 4800; ++i) rows.push_back(GeneratedRow(i));  // every combination
  MigrateRows(state, rows);
}
BENCHMARK(BM_MigrateRow_GeneratedMix);

void BM_MigrateRow_One(benchmark::State& state, const char* key, bool current_form) {
  for (long i = 0;; ++i) {
    const std::string row = GeneratedRow(i);
    if (row.compare(0, 4, key) == 0 && (row.find("HTTPS_") != std::string::npos) == current_form) {
      MigrateRows(state, {row});
      return;
    }
  }
}
BENCHMARK_CAPTURE(BM_MigrateRow_One, plain_current_form, "AIKB", true);
BENCHMARK_CAPTURE(BM_MigrateRow_One, plain_older_form, "AIKB", false);
BENCHMARK_CAPTURE(BM_MigrateRow_One, suffix_first_older_form, "MBSO", false);
BENCHMARK_CAPTURE(BM_MigrateRow_One, fields_first_older_form, "KUBK", false);
BENCHMARK_CAPTURE(BM_MigrateRow_One, ekbe_older_form, "EKBE", false);
BENCHMARK_CAPTURE(BM_MigrateRow_One, default_older_form, "ZZZZ", false);
BENCHMARK_CAPTURE(BM_MigrateRow_One, drop, "PBPA", true);

}  // namespace
}  // namespace quarnel::bench
