#include "core/counted_wait.hpp"

#include <cmath>
#include <limits>

namespace dorvik {

namespace {

constexpr double kTwoTo64 = 18446744073709551616.0;  // 2^64, exact in a double

// Runs `count` iterations and returns the final counter value.
std::uint64_t Spin(std::uint64_t count) {
  std::uint64_t counter = 0;
  // One chain through all iterations: each step needs the one before it, so
  // iterations cannot overlap and each takes the same, predictable time.
  std::uint32_t x = 0;
  for (; counter < count; ++counter) {
    for (int step = 0; step < SpinningWait::kStepsPerIteration; ++step) {
      x = x * 1664525u + 1013904223u;
      // An empty asm that claims to read and change x: the compiler must
      // compute every step and cannot fold the loop into a formula.
      asm volatile("" : "+r"(x));
    }
  }
  // The chain's end goes to memory: a WebAssembly engine knows nothing of the
  // barrier above and would drop a chain whose result nobody reads.
  volatile std::uint32_t chain_end = x;
  static_cast<void>(chain_end);
  return counter;
}

}  // namespace

IterationCount IterationsFor(double k) {
  if (!(k >= 0)) return {};
  const double whole = std::floor(k);
  if (whole < kTwoTo64) {
    // whole <= 2^64 - 2048 here (the largest double below 2^64), so +1 fits.
    return {0, static_cast<std::uint64_t>(whole) + 1};
  }
  const double high = std::floor(whole / kTwoTo64);
  if (high >= kTwoTo64) {
    const auto most = std::numeric_limits<std::uint64_t>::max();
    return {most, most};
  }
  // whole and high * 2^64 share their exponent range, so the difference is
  // exact; it is a multiple of 2^12 below 2^64, so +1 cannot overflow.
  const double low = whole - high * kTwoTo64;
  return {static_cast<std::uint64_t>(high), static_cast<std::uint64_t>(low) + 1};
}

IterationCount SpinningWait::Count(IterationCount count) {
  IterationCount done;
  // Each unit of `high` is 2^64 iterations: 2^64 - 1 and one more.
  for (; done.high < count.high; ++done.high) {
    Spin(std::numeric_limits<std::uint64_t>::max());
    Spin(1);
  }
  done.low = Spin(count.low);
  return done;
}

SlicedWait::SlicedWait(CountedWait& inner, SharedThread& thread, std::uint64_t chunk)
    : inner_(inner), thread_(thread), chunk_(chunk > 0 ? chunk : 1) {}

IterationCount SlicedWait::Count(IterationCount count) {
  IterationCount left = count;
  IterationCount done;
  while (left.high > 0 || left.low > 0) {
    const std::uint64_t step = left.high > 0 || left.low > chunk_ ? chunk_ : left.low;
    const std::uint64_t ran = inner_.Count({0, step}).low;
    // Two-word differences and sums: a borrow from `high` when `low` runs
    // out, a carry into it when it overflows.
    if (left.low < step) --left.high;
    left.low -= step;
    done.low += ran;
    if (done.low < ran) ++done.high;
    if ((left.high > 0 || left.low > 0) && thread_.TurnOver()) thread_.GiveBack();
  }
  return done;
}

}  // namespace dorvik
