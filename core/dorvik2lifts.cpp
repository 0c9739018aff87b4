#include "core/dorvik2lifts.hpp"

#include <cmath>
#include <cstdlib>

namespace dorvik {

namespace {

SpinningWait& RealWait() {
  static SpinningWait wait;
  return wait;
}

// X * 30 * Y, rounded once to single precision. X * 30 has at most 29
// significant bits and Y 24, so both products are exact in a double and the
// only rounding is the final conversion.
float SinglePrecisionProduct(float x, float y) {
  const double exact = static_cast<double>(x) * Dorvik2Lifts::kMouseFactor * static_cast<double>(y);
  if (std::isnan(exact)) {
    throw RunTimeError(error_number::kOverflow, "Overflow");
  }
  const float rounded = static_cast<float>(exact);
  if (std::isinf(rounded)) {
    throw RunTimeError(error_number::kOverflow, "Overflow");
  }
  return rounded;
}

}  // namespace

Dorvik2Lifts::Dorvik2Lifts(PlatformServices& platform) : Dorvik2Lifts(platform, RealWait()) {}

Dorvik2Lifts::Dorvik2Lifts(PlatformServices& platform, CountedWait& wait)
    : platform_(platform), wait_(wait) {}

void Dorvik2Lifts::Form_Activate() {
  if (activated_) return;
  activated_ = true;

  LoadPictureTable();

  n = 1;
  k = kStartPacingCount;
  hl = 0;
  updo = 1;

  for (;;) {
    PlayOnePass();
    WaitFrame();
  }
}

void Dorvik2Lifts::SetSlotFromHolder(int slot) {
  PictureTable[slot] = platform_.HolderPicture(slot + 1);
}

// Slot 0 goes up at once; the event queue is pumped between each two further
// loads, so input typed during start-up is handled while the table fills.
void Dorvik2Lifts::LoadPictureTable() {
  SetSlotFromHolder(0);
  platform_.ShowPicture(PictureTable[0]);
  SetSlotFromHolder(1);
  for (int slot = 2; slot < kSlots; ++slot) {
    platform_.PumpEvents();
    SetSlotFromHolder(slot);
  }
}

// Each step tests the state as the earlier steps left it; they are separate
// tests on purpose, not alternatives.
void Dorvik2Lifts::PlayOnePass() {
  if (n == -1) {
    l = static_cast<std::int16_t>((l + 17) % kFramesPerSet);
    mm = 0;
    m = 1;
    n = 1;
  }
  if (n == 3) {
    l = static_cast<std::int16_t>((l + 1) % kFramesPerSet);
    m = 0;
    mm = 1;
    n = 1;
  }
  if (n == -2) {
    l = static_cast<std::int16_t>((l + 17 + m + mm) % kFramesPerSet);
    mm = 0;
    m = 0;
    n = 0;
  }
  if (n == 2) {
    l = static_cast<std::int16_t>((l + 1 - m - mm) % kFramesPerSet);
    mm = 0;
    m = 0;
    n = 0;
  }
  if (n != 0 && m == 0) {
    l = static_cast<std::int16_t>((l + n) % kFramesPerSet);
  }
  if (m == 1) {
    l = static_cast<std::int16_t>((l + 17) % kFramesPerSet);
  }

  const int slot = l + kFramesPerSet * hl;
  if (slot < 0 || slot >= kSlots) {
    throw RunTimeError(error_number::kSubscriptOutOfRange, "Subscript out of range");
  }
  platform_.ShowPicture(PictureTable[slot]);
}

void Dorvik2Lifts::WaitFrame() {
  wait_.Count(IterationsFor(k));
  platform_.PumpEvents();
}

void Dorvik2Lifts::QuitSequence() {
  platform_.ClearWindow();
  platform_.EndProcess();
  std::abort();  // EndProcess does not return; never go on if a backend got that wrong
}

void Dorvik2Lifts::Picture1_KeyPress(std::int16_t KeyAscii) {
  if (KeyAscii == 27) QuitSequence();
  if (KeyAscii == '-') n = -1;
  if (KeyAscii == '+' || KeyAscii == ',') n = 3;
  if (KeyAscii == '/') n = -2;
  if (KeyAscii == '*' || KeyAscii == '.') n = 2;
  if (KeyAscii == ' ') {
    hl = static_cast<std::int16_t>(hl + updo);
    if (hl > 0) updo = -1;
    if (hl < 1) updo = 1;
  }
}

void Dorvik2Lifts::Picture1_MouseMove(std::int16_t /*Button*/, std::int16_t /*Shift*/, float X,
                                      float Y) {
  if (nm == 0) {
    k = SinglePrecisionProduct(X, Y);
  }
  if (nm != 0) {
    k = kScrubPacingCount;
    n = (Y >= yyy) ? 2 : -2;
    yyy = Y;
  }
}

// The save happens before the mode changes and the restore after it, so two
// clicks put back exactly the motion of the first.
void Dorvik2Lifts::Picture1_Click() {
  if (nm == 0) {
    n1 = n;
    mm1 = mm;
    m1 = m;
  }
  nm = static_cast<std::int16_t>((nm + 1) % 2);
  if (nm == 0) {
    n = n1;
    mm = mm1;
    m = m1;
  }
}

void Dorvik2Lifts::Picture1_DblClick() { QuitSequence(); }

}  // namespace dorvik
