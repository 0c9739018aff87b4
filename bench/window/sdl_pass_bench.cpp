// What one pass of the playback loop costs the SDL window: show a picture,
// pump the events, paint. Needs an X display (window_bench.py starts Xvfb).
#include <benchmark/benchmark.h>

#include "bench/window/count_allocations.hpp"
#include "core/counted_wait.hpp"
#include "core/dorvik2lifts.hpp"
#include "window/sdl/sdl_platform.hpp"

namespace {

using dorvik::Dorvik2Lifts;

dorvik::sdl::SdlPlatform& Window() {
  static dorvik::sdl::SdlPlatform* platform = [] {
    auto* made = new dorvik::sdl::SdlPlatform;
    made->ShowWindow();
    return made;
  }();
  return *platform;
}

// The 36 pictures, and a few passes through them so that every buffer the
// window needs exists before measuring.
void PrepareTable(dorvik::Picture (&table)[Dorvik2Lifts::kSlots]) {
  auto& window = Window();
  for (int slot = 0; slot < Dorvik2Lifts::kSlots; ++slot)
    table[slot] = window.HolderPicture(slot + 1);
  for (int warm = 0; warm < 2 * Dorvik2Lifts::kSlots; ++warm) {
    window.ShowPicture(table[warm % Dorvik2Lifts::kSlots]);
    window.PumpEvents();
  }
}

// One pass with k < 0: no counted iterations, so the pass is the window's
// work alone. Cycles through the 36 pictures as a running animation does.
void BM_PassWithNegativeK(benchmark::State& state) {
  auto& window = Window();
  dorvik::Picture table[Dorvik2Lifts::kSlots];
  PrepareTable(table);
  int slot = 0;
  const long long before = dorvik::bench::AllocationsSoFar().all;
  for (auto _ : state) {
    window.ShowPicture(table[slot]);
    window.PumpEvents();
    slot = (slot + 1) % Dorvik2Lifts::kSlots;
  }
  const auto passes = static_cast<double>(state.iterations());
  state.counters["allocs_per_pass"] =
      static_cast<double>(dorvik::bench::AllocationsSoFar().all - before) / passes;
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PassWithNegativeK)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Where the allocations of a pass come from: the X client libraries, or
// anything else (this program, SDL, the C++ library). Slow: every allocation's
// stack is walked, so its time means nothing.
void BM_AllocationsByOrigin(benchmark::State& state) {
  auto& window = Window();
  dorvik::Picture table[Dorvik2Lifts::kSlots];
  PrepareTable(table);
  dorvik::bench::ClassifyAllocations(true);
  int slot = 0;
  const auto before = dorvik::bench::AllocationsSoFar();
  for (auto _ : state) {
    window.ShowPicture(table[slot]);
    window.PumpEvents();
    slot = (slot + 1) % Dorvik2Lifts::kSlots;
  }
  const auto after = dorvik::bench::AllocationsSoFar();
  dorvik::bench::ClassifyAllocations(false);
  const auto passes = static_cast<double>(state.iterations());
  const auto x = static_cast<double>(after.in_x_libraries - before.in_x_libraries);
  state.counters["x_libraries_per_pass"] = x / passes;
  state.counters["elsewhere_per_pass"] =
      static_cast<double>(after.all - before.all) / passes - x / passes;
}
BENCHMARK(BM_AllocationsByOrigin)->Iterations(2000)->UseRealTime();

// One pass at the start pace: the window's work plus the counted wait of
// 1,000,001 iterations.
void BM_PassAtStartPace(benchmark::State& state) {
  auto& window = Window();
  dorvik::SpinningWait wait;
  const dorvik::IterationCount count = dorvik::IterationsFor(Dorvik2Lifts::kStartPacingCount);
  int slot = 0;
  for (auto _ : state) {
    window.ShowPicture(window.HolderPicture(slot + 1));
    benchmark::DoNotOptimize(wait.Count(count));
    window.PumpEvents();
    slot = (slot + 1) % Dorvik2Lifts::kSlots;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PassAtStartPace)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The counted wait alone, for the time of one iteration.
void BM_CountedIteration(benchmark::State& state) {
  dorvik::SpinningWait wait;
  const dorvik::IterationCount count = dorvik::IterationsFor(Dorvik2Lifts::kStartPacingCount);
  for (auto _ : state) benchmark::DoNotOptimize(wait.Count(count));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(count.low));
}
BENCHMARK(BM_CountedIteration)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
