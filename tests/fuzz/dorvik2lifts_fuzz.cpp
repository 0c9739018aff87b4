// libFuzzer target: Dorvik2Lifts on the scripted platform, driven by an event
// stream decoded from the input, one operation after another:
//   0, 1: key, then its 16-bit code (little-endian)
//   2, 3: pointer move, then button and shift (a byte each), X and Y (the
//         32 bits of each single-precision number: NaN and infinities too)
//   4:    click            5: double-click
//   6, 7: pump, then a byte c: the events after it go c + 1 pumps later
// The first 34 pumps are the loading stage's, every later one ends a pass.
// After every pass the state must keep its invariants, and at the end of the
// run (during loading too) those that hold from the start. A run-time error
// may come only from a normal-mode move whose X x 30 x Y is not a finite
// single-precision number, and only as error 6 (overflow).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/dorvik2lifts.hpp"
#include "window/scripted/scripted_platform.hpp"

namespace {

using dorvik::Dorvik2Lifts;
using dorvik::ScriptedPlatform;

void Require(bool condition) {
  if (!condition) std::abort();
}

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ == size_; }
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  // Low byte first (two statements: the operands of | are not sequenced).
  std::uint16_t Word() {
    const unsigned low = Byte();
    return static_cast<std::uint16_t>(low | Byte() << 8);
  }
  float Float() {
    const std::uint32_t low = Word();
    const std::uint32_t bits = low | static_cast<std::uint32_t>(Word()) << 16;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

bool MotionPair(int m, int mm) { return (m == 0 || m == 1) && (mm == 0 || mm == 1) && m + mm < 2; }

// The state between passes; before the first (during loading), the set
// selector and its step have no start values yet.
void CheckInvariants(const Dorvik2Lifts& f, bool playing) {
  Require(f.l >= 0 && f.l < Dorvik2Lifts::kFramesPerSet);
  Require(MotionPair(f.m, f.mm) && MotionPair(f.m1, f.mm1));
  Require(f.nm == 0 || f.nm == 1);
  Require(f.n1 >= -2 && f.n1 <= 3);
  if (!playing) return;
  Require((f.hl == 0 && f.updo == 1) || (f.hl == 1 && f.updo == -1));
  Require(f.l + Dorvik2Lifts::kFramesPerSet * f.hl < Dorvik2Lifts::kSlots);
}

// WaitFrame's count comes at the end of every pass, just before its pump:
// the place to check the pass. Counts nothing: the fuzzer wants passes.
class CheckingWait final : public dorvik::CountedWait {
 public:
  explicit CheckingWait(const ScriptedPlatform& platform) : platform_(platform) {}
  void Watch(const Dorvik2Lifts& form) { form_ = &form; }

  dorvik::IterationCount Count(dorvik::IterationCount count) override {
    ++passes_;
    CheckInvariants(*form_, true);
    // The pass has applied any pending motion code.
    Require(form_->n == 0 || form_->n == 1);
    // One picture at loading, one per pass since; the last is this pass's slot.
    const auto& shown = platform_.shown_slots();
    Require(shown.size() == static_cast<std::size_t>(passes_) + 1);
    Require(shown.back() == form_->l + Dorvik2Lifts::kFramesPerSet * form_->hl);
    return count;
  }

 private:
  const ScriptedPlatform& platform_;
  const Dorvik2Lifts* form_ = nullptr;
  int passes_ = 0;
};

// The limits keep one input's run short.
constexpr int kMaxPumps = ScriptedPlatform::kLoadingPumps + 1000;
constexpr int kMaxEvents = 2000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  int pump = 1, events = 0;
  // The operation being delivered, for telling where an error came from.
  bool in_normal_move = false;
  bool product_finite = true;

  // Decoded first: the platform needs to know its last pump.
  struct Event {
    int pump;
    ScriptedPlatform::Action action;
  };
  std::vector<Event> script;
  while (!in.empty() && events < kMaxEvents) {
    ++events;
    switch (in.Byte() & 7) {
      case 0:
      case 1: {
        const auto code = static_cast<std::int16_t>(in.Word());
        script.push_back({pump, [code](Dorvik2Lifts& f) { f.Picture1_KeyPress(code); }});
        break;
      }
      case 2:
      case 3: {
        const auto button = static_cast<std::int16_t>(in.Byte());
        const auto shift = static_cast<std::int16_t>(in.Byte());
        const float x = in.Float(), y = in.Float();
        script.push_back({pump, [&, button, shift, x, y](Dorvik2Lifts& f) {
                            in_normal_move = f.nm == 0;
                            const double exact = static_cast<double>(x) * 30.0 * y;
                            product_finite = std::isfinite(static_cast<float>(exact));
                            f.Picture1_MouseMove(button, shift, x, y);
                            // A product past single precision never becomes k.
                            Require(!in_normal_move || product_finite);
                            in_normal_move = false;
                          }});
        break;
      }
      case 4:
        script.push_back({pump, [](Dorvik2Lifts& f) { f.Picture1_Click(); }});
        break;
      case 5:
        script.push_back({pump, [](Dorvik2Lifts& f) { f.Picture1_DblClick(); }});
        break;
      default:
        pump += 1 + in.Byte();
        break;
    }
    if (pump > kMaxPumps) break;
  }
  const int last_pump = std::min(pump, kMaxPumps);

  ScriptedPlatform platform(last_pump);
  CheckingWait wait(platform);
  Dorvik2Lifts form(platform, wait);
  wait.Watch(form);
  platform.Attach(form);
  for (Event& event : script) {
    if (event.pump <= last_pump) platform.Do(event.pump, std::move(event.action));
  }

  try {
    platform.Run();
  } catch (const dorvik::RunTimeError& error) {
    Require(error.number() == dorvik::error_number::kOverflow);
    Require(in_normal_move && !product_finite);
  }
  CheckInvariants(form, platform.pumps_run() > ScriptedPlatform::kLoadingPumps);
  return 0;
}
