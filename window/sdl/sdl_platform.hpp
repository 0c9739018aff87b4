// SDL2 backend: the platform services of the Linux window.
// Implements every dorvik::PlatformServices operation: show picture (makes one
// of the pictures decoded at start-up current), the event pump (every waiting
// event delivered, then the display area painted), picture from a holder (the
// 36 frame pictures decoded while the window is built; sdl_picture.hpp), the
// quit sequence's window operation (clears the display area), the end of the
// process and the run-time error report (standard error and a message box).
// It also builds the window and runs its dispatch until activation. What is
// drawn reaches the screen through the presenter of the window system it
// runs on (presenter.hpp), chosen once, as the window opens.
#pragma once

#include <SDL.h>

#include <array>
#include <memory>

#include "core/dorvik2lifts.hpp"
#include "core/platform.hpp"
#include "window/holder_pictures.hpp"
#include "window/sdl/presenter.hpp"
#include "window/sdl/sdl_input.hpp"

namespace dorvik::sdl {

inline constexpr const auto& kWindowTitle = layout::kTitle;

// Set in the environment, makes the program print one line at the first
// present of a frame picture: "dorvik: first frame <CLOCK_MONOTONIC ns>".
// Read once at start-up; the benchmarks use it.
inline constexpr char kFirstFrameReportVariable[] = "DORVIK_REPORT_FIRST_FRAME";

class SdlPlatform final : public PlatformServices {
 public:
  // Opens the window, hidden, and decodes the pictures. Failures before the
  // window exists end the process with a one-line message and status 1.
  SdlPlatform();
  ~SdlPlatform() override;
  SdlPlatform(const SdlPlatform&) = delete;
  SdlPlatform& operator=(const SdlPlatform&) = delete;

  // Shows the window and dispatches its events; runs `form`'s Form_Activate
  // on the first activation. Never returns.
  [[noreturn]] void Run(Dorvik2Lifts& form);

  // Paints the display area and shows the window (Run starts with it).
  void ShowWindow();

  void ShowPicture(const Picture& picture) override;
  void PumpEvents() override;
  Picture HolderPicture(int number) override;
  void ClearWindow() override;
  [[noreturn]] void EndProcess() override;
  [[noreturn]] void ReportRunTimeError(const RunTimeError& error) override;

 private:
  void OpenWindow();
  // Handles the window's own events; returns false for input events.
  bool HandleWindowEvent(const SDL_Event& event);
  // Draws what has changed since the last paint and puts it on the screen.
  void Paint();

  SDL_Window* window_ = nullptr;
  std::unique_ptr<Presenter> presenter_;
  HolderPictures holders_;
  // The display area's own reference to its picture, and its surface.
  Picture current_;
  SDL_Surface* current_surface_ = nullptr;
  // What the next paint must draw: nothing, the picture alone (another one of
  // the same size), or the whole display area. The presenter may ask for
  // more: pixels that do not hold the last paint are drawn whole.
  enum class Damage { kNone, kPicture, kWhole };
  Damage damage_ = Damage::kWhole;
  // The picture at the last paint.
  SDL_Surface* painted_picture_ = nullptr;
  bool report_first_frame_ = false;
  std::unique_ptr<SdlInput> input_;
  // Room for the events taken off the queue in one go.
  std::array<SDL_Event, 64> batch_{};
};

}  // namespace dorvik::sdl
