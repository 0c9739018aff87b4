// Web backend: the platform services of the page. Implements every
// dorvik::PlatformServices operation: show picture (makes one of the pictures
// decoded at start-up current), the event pump (paints the canvas if needed,
// hands control to the browser through Asyncify so that it can deliver input
// and paint, then runs the handlers of the input that arrived), picture from
// a holder (the 36 embedded bitmap files, decoded once by the program's own
// decoder before Form_Activate; made RGBA before each is first shown), the
// quit sequence's window operation (clears the display area), the end of the
// process (the loop is abandoned and the page says so) and the run-time error
// report (on the page and in the console). The page itself is
// window/web/index.html, the browser side window/web/dorvik_page.js and the
// input records' delivery web_input.hpp.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "core/dorvik2lifts.hpp"
#include "core/platform.hpp"
#include "window/holder_pictures.hpp"
#include "window/web/web_input.hpp"

namespace dorvik::web {

// The page's one thread is shared with the browser: a long counted wait
// gives it back every few milliseconds (TurnOver, GiveBack), so that the page
// never stops answering; only the event pump delivers input to the program.
class WebPlatform final : public PlatformServices, public SharedThread {
 public:
  // Iterations counted between two looks at the clock: about 0.1 ms of
  // counting on a desktop, under half a millisecond slowed four times.
  static constexpr std::uint64_t kChunk = 1024;
  // How long the program keeps the thread before it gives it back.
  static constexpr double kTurnMilliseconds = 8;

  // Binds the page's canvas and decodes the pictures.
  WebPlatform();
  WebPlatform(const WebPlatform&) = delete;
  WebPlatform& operator=(const WebPlatform&) = delete;

  // Paints the display area and runs `form`'s Form_Activate: the page is
  // the program's active window once it has loaded. Never returns.
  [[noreturn]] void Run(Dorvik2Lifts& form);

  void ShowPicture(const Picture& picture) override;
  void PumpEvents() override;
  Picture HolderPicture(int number) override;
  void ClearWindow() override;
  [[noreturn]] void EndProcess() override;
  [[noreturn]] void ReportRunTimeError(const RunTimeError& error) override;

  bool TurnOver() override;
  void GiveBack() override;

 private:
  void DecodeHolderPictures();
  // Turns a decoded picture's palette indices into its RGBA pixels, once.
  void LookUpColours(int index);
  void Paint();

  Dorvik2Lifts* form_ = nullptr;
  HolderPictures holders_;
  // Each picture's pixels (RGBA once its colours are looked up; till then
  // its palette indices, in their last quarter) and its colours.
  struct Decoded {
    std::uint32_t* pixels;
    int width;
    int height;
    std::array<std::uint32_t, 256> colours;
    bool looked_up;
  };
  std::array<Decoded, Dorvik2Lifts::kSlots> decoded_{};
  int next_to_look_up_ = 0;
  // The pixels of a picture of another size than the stored ones, which
  // have static room (DecodeHolderPictures).
  std::array<std::unique_ptr<std::uint32_t[]>, Dorvik2Lifts::kSlots> extra_pixels_;
  // The display area's own reference to its picture, and the picture's
  // number on the browser's side (-1: none).
  Picture current_;
  int current_index_ = -1;
  bool needs_paint_ = true;
  // When the program's turn of the thread began (ms; -1: not yet read).
  double turn_began_ = -1;
};

}  // namespace dorvik::web
