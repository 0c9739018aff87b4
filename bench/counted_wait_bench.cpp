// The counted wait: time per empty iteration, and that the time grows in
// proportion to the count (the iterations are neither dropped nor merged).
// Run: build/bin/counted_wait_bench
#include <benchmark/benchmark.h>

#include "core/counted_wait.hpp"

namespace {

void BM_CountedWait(benchmark::State& state) {
  dorvik::SpinningWait wait;
  const auto count = static_cast<std::uint64_t>(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(wait.Count({0, count}));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CountedWait)
    ->RangeMultiplier(10)
    ->Range(1000, 10000000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// The start pace: one wait of 1,000,001 iterations, as the first passes make.
void BM_StartPaceWait(benchmark::State& state) {
  dorvik::SpinningWait wait;
  for (auto _ : state) {
    benchmark::DoNotOptimize(wait.Count(dorvik::IterationsFor(1000000)));
  }
  state.counters["passes_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StartPaceWait)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
