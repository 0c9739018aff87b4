// The main window object: the playback state, the picture table, the playback
// loop and the input handlers. It holds no window-system code; everything it
// needs from the window system comes through the PlatformServices it is handed,
// and the backend calls its handlers when the window's events arrive.
#pragma once

#include <array>
#include <cstdint>

#include "core/counted_wait.hpp"
#include "core/platform.hpp"

namespace dorvik {

class Dorvik2Lifts {
 public:
  static constexpr int kFramesPerSet = 18;
  static constexpr int kSets = 2;
  static constexpr int kSlots = kFramesPerSet * kSets;
  static constexpr std::int32_t kStartPacingCount = 1000000;
  static constexpr std::int16_t kScrubPacingCount = 10000;
  static constexpr float kMouseFactor = 30.0f;

  // `wait` runs the empty iterations of WaitFrame; by default the real one.
  explicit Dorvik2Lifts(PlatformServices& platform);
  Dorvik2Lifts(PlatformServices& platform, CountedWait& wait);
  Dorvik2Lifts(const Dorvik2Lifts&) = delete;
  Dorvik2Lifts& operator=(const Dorvik2Lifts&) = delete;

  // --- The playback state. Every variable starts empty, which counts as 0. ---
  // Pacing count. Holds a 32-bit integer, a 16-bit integer or a single-precision
  // product exactly: a double holds all three without loss.
  double k = 0;
  std::int16_t l = 0;   // frame phase, 0..17
  std::int16_t m = 0;   // 1 while running backwards
  std::int16_t mm = 0;  // 1 while a forward run started by a key is under way
  std::int16_t n = 0;   // motion code: -1, 3, -2, 2 pending; 1 running; 0 stopped
  std::int16_t m1 = 0;  // m, mm, n saved on entering scrub mode
  std::int16_t mm1 = 0;
  std::int16_t n1 = 0;
  std::int16_t nm = 0;    // mouse mode: 0 normal, 1 scrub
  float yyy = 0;          // Y at the previous scrub-mode move
  std::int16_t hl = 0;    // picture set, 0 or 1
  std::int16_t updo = 0;  // what the next space adds to hl

  // --- Event handlers, called by the backend. ---
  // First activation of the window: loads the picture table, stores the start
  // values and runs the playback loop, which never returns. A second call while
  // the loop runs returns at once.
  void Form_Activate();
  void Picture1_Click();
  void Picture1_DblClick();
  void Picture1_KeyPress(std::int16_t KeyAscii);
  void Picture1_MouseMove(std::int16_t Button, std::int16_t Shift, float X, float Y);

  // The picture in a slot of the table (empty until loading has reached it).
  const Picture& PictureInSlot(int slot) const { return PictureTable.at(slot); }

 private:
  void LoadPictureTable();
  void SetSlotFromHolder(int slot);
  void PlayOnePass();
  void WaitFrame();
  [[noreturn]] void QuitSequence();

  PlatformServices& platform_;
  CountedWait& wait_;
  bool activated_ = false;
  std::array<Picture, kSlots> PictureTable;
};

}  // namespace dorvik
