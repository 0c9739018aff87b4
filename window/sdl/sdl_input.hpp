// SDL2 backend: event delivery. Turns the window's SDL input events into
// calls of the display area's handlers: typed characters to Picture1_KeyPress,
// pointer motion to Picture1_MouseMove in the display area's own units,
// left-button clicks to Picture1_Click and Picture1_DblClick.
// Window events (close, expose, activation) are the platform's (sdl_platform.hpp).
#pragma once

#include <SDL.h>

#include <cstdint>

#include "core/dorvik2lifts.hpp"
#include "core/window_layout.hpp"

namespace dorvik::sdl {

// The window's layout and Picture1's units, shared with every backend.
using namespace layout;

// The handler arguments for a mouse button mask (SDL_BUTTON_*MASK) and a key
// modifier state: 1 left, 2 right, 4 middle; 1 Shift, 2 Ctrl, 4 Alt.
std::int16_t ButtonArgument(std::uint32_t button_mask);
std::int16_t ShiftArgument(SDL_Keymod modifiers);

class SdlInput {
 public:
  // `pointer_scale`: SDL's pointer positions per client-area pixel (the
  // desktop's scale where SDL reports positions in window pixels).
  explicit SdlInput(Dorvik2Lifts& form, int pointer_scale = 1)
      : form_(form), pointer_scale_(pointer_scale) {}

  // Delivers one input event to its handler and runs the handler to its end;
  // events that no handler takes are dropped.
  void Deliver(const SDL_Event& event);
  void SetPointerScale(int pointer_scale) { pointer_scale_ = pointer_scale; }

 private:
  void DeliverText(const char* utf8);
  void DeliverKeyDown(const SDL_KeyboardEvent& key);
  void DeliverButtonDown(const SDL_MouseButtonEvent& button);
  void DeliverButtonUp(const SDL_MouseButtonEvent& button);
  bool InsideClientArea(int x, int y) const;

  Dorvik2Lifts& form_;
  int pointer_scale_;
  // A left-button press on the display area whose release makes a click.
  bool left_down_on_area_ = false;
};

}  // namespace dorvik::sdl
