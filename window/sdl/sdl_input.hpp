// SDL2 backend, part 2 of 2: event delivery. Turns the window's SDL input
// events into calls of the display area's handlers: typed characters to
// Picture1_KeyPress, pointer motion to Picture1_MouseMove in the display
// area's own units, left-button clicks to Picture1_Click and Picture1_DblClick.
// Window events (close, expose, activation) are the platform's (sdl_platform.hpp).
#pragma once

#include <SDL.h>

#include <cstdint>

#include "core/dorvik2lifts.hpp"

namespace dorvik::sdl {

// The display area Picture1, in window pixels: 363 x 768 at the top-left of
// the client area, with a 2-pixel sunken border around a 359 x 764 inner area.
inline constexpr int kClientWidth = 363;
inline constexpr int kClientHeight = 555;
inline constexpr int kAreaWidth = 363;
inline constexpr int kAreaHeight = 768;
inline constexpr int kBorder = 2;
inline constexpr int kInnerWidth = kAreaWidth - 2 * kBorder;
inline constexpr int kInnerHeight = kAreaHeight - 2 * kBorder;
// The inner area's extent in the display area's units.
inline constexpr float kScaleWidth = 14.882803f;
inline constexpr float kScaleHeight = 29.84375f;

struct AreaPoint {
  float x;
  float y;
};

// A window pixel position in the display area's units: the origin at the
// inner area's top-left corner; positions outside the window are not clamped.
AreaPoint ToAreaUnits(int window_x, int window_y);

// The handler arguments for a mouse button mask (SDL_BUTTON_*MASK) and a key
// modifier state: 1 left, 2 right, 4 middle; 1 Shift, 2 Ctrl, 4 Alt.
std::int16_t ButtonArgument(std::uint32_t button_mask);
std::int16_t ShiftArgument(SDL_Keymod modifiers);

class SdlInput {
 public:
  explicit SdlInput(Dorvik2Lifts& form) : form_(form) {}

  // Delivers one input event to its handler and runs the handler to its end;
  // events that no handler takes are dropped.
  void Deliver(const SDL_Event& event);

 private:
  void DeliverText(const char* utf8);
  void DeliverKeyDown(const SDL_KeyboardEvent& key);
  void DeliverButtonDown(const SDL_MouseButtonEvent& button);
  void DeliverButtonUp(const SDL_MouseButtonEvent& button);

  Dorvik2Lifts& form_;
  // A left-button press on the display area whose release makes a click.
  bool left_down_on_area_ = false;
};

}  // namespace dorvik::sdl
