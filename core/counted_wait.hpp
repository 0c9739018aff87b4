// The counted wait that paces the animation: a number of empty iterations, on
// the processor, with no timer, clock or sleep.
#pragma once

#include <cstdint>

namespace dorvik {

// A whole number of iterations, high * 2^64 + low. The pacing count can be
// any single-precision value, up to about 3.4e38, and the count must stay
// exact for all of them, so one 64-bit counter is not enough.
struct IterationCount {
  std::uint64_t high = 0;
  std::uint64_t low = 0;
  friend bool operator==(const IterationCount&, const IterationCount&) = default;
};

// The number of empty iterations for pacing count k: one for every whole
// counter value 0, 1, 2, ... that does not exceed k, so floor(k) + 1 when
// k >= 0 and none when k < 0 (or k is not a number).
IterationCount IterationsFor(double k);

// Where the empty iterations happen. Tests put a recorder in its place.
class CountedWait {
 public:
  virtual ~CountedWait() = default;
  // Runs `count` empty iterations; returns how many it ran.
  virtual IterationCount Count(IterationCount count) = 0;
};

// The real wait: each iteration is a short, fixed chain of dependent integer
// steps behind a compiler barrier, so the optimiser can neither drop nor merge
// iterations and the time grows linearly with the count.
class SpinningWait final : public CountedWait {
 public:
  // Dependent steps per iteration; sets how long one iteration takes.
  static constexpr int kStepsPerIteration = 80;

  IterationCount Count(IterationCount count) override;
};

// A thread that the wait shares with others (a browser page's one thread,
// say), handed in by the platform. The wait asks after every chunk of its
// count whether its turn is over, and if so gives the thread back for a
// moment. No event handler runs while the thread is away: the count's pass
// goes on where it stopped.
class SharedThread {
 public:
  virtual ~SharedThread() = default;
  virtual bool TurnOver() = 0;
  virtual void GiveBack() = 0;
};

// Counts with `inner` in chunks of at most `chunk` iterations, giving the
// thread back between chunks whenever `thread` says its turn is over. The
// count stays exact: the chunks add up to the count asked for, whatever
// their number.
class SlicedWait final : public CountedWait {
 public:
  SlicedWait(CountedWait& inner, SharedThread& thread, std::uint64_t chunk);

  IterationCount Count(IterationCount count) override;

 private:
  CountedWait& inner_;
  SharedThread& thread_;
  std::uint64_t chunk_;
};

}  // namespace dorvik
