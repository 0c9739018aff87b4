// A window on the scripted backend, with a wait that records instead of
// spinning: the way the core tests run the program for a number of passes.
#pragma once

#include <ostream>
#include <vector>

#include "core/dorvik2lifts.hpp"
#include "window/scripted/scripted_platform.hpp"

namespace dorvik::testing {

class RecordingWait final : public CountedWait {
 public:
  RecordingWait() { counts.reserve(4096); }
  IterationCount Count(IterationCount count) override {
    counts.push_back(count);
    return count;
  }
  std::vector<IterationCount> counts;
};

// Every playback variable of a window, for comparing whole states.
struct PlaybackState {
  double k;
  int l, m, mm, n, m1, mm1, n1, nm;
  float yyy;
  int hl, updo;
  friend bool operator==(const PlaybackState&, const PlaybackState&) = default;
};

inline PlaybackState StateOf(const Dorvik2Lifts& f) {
  return {f.k, f.l, f.m, f.mm, f.n, f.m1, f.mm1, f.n1, f.nm, f.yyy, f.hl, f.updo};
}

inline std::ostream& operator<<(std::ostream& out, const PlaybackState& s) {
  return out << "k=" << s.k << " l=" << s.l << " m=" << s.m << " mm=" << s.mm << " n=" << s.n
             << " m1=" << s.m1 << " mm1=" << s.mm1 << " n1=" << s.n1 << " nm=" << s.nm
             << " yyy=" << s.yyy << " hl=" << s.hl << " updo=" << s.updo;
}

// Runs Form_Activate until `passes` passes have shown their picture; the
// pump at the end of the last of them ends the script.
struct Session {
  explicit Session(int passes)
      : platform(ScriptedPlatform::PumpAfterPass(passes) - 1), form(platform, wait) {
    platform.Attach(form);
  }

  // True if the process ended (Escape or a double-click) before the script did.
  bool Run() { return platform.Run(); }

  // Slots shown by the passes (the loading stage's slot 0 left out).
  std::vector<int> PassSlots() const {
    const auto& shown = platform.shown_slots();
    return shown.empty() ? shown : std::vector<int>(shown.begin() + 1, shown.end());
  }

  static constexpr int AfterPass(int pass) { return ScriptedPlatform::PumpAfterPass(pass); }

  ScriptedPlatform platform;
  RecordingWait wait;
  Dorvik2Lifts form;
};

}  // namespace dorvik::testing
