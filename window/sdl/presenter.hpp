// SDL2 backend: how the window's pixels reach the screen, one way per window
// system (x11_presenter.hpp, wayland_presenter.hpp). A presenter hands out
// the pixels to draw the next paint into, at the desktop's whole-number
// scale, knows whether they still hold the last paint, and puts them on the
// screen. The platform draws the display area the same way on either.
#pragma once

#include <SDL.h>

#include <span>

namespace dorvik::sdl {

// The pixels of one paint.
struct Canvas {
  // 32 bits a pixel; null when none could be had.
  SDL_Surface* pixels = nullptr;
  // Window pixels per client-area pixel.
  int scale = 1;
  // They hold what the last paint drew; otherwise all of it is to be drawn.
  bool holds_last_paint = false;
};

class Presenter {
 public:
  virtual ~Presenter() = default;

  // Whether the window can be painted before it shows (else right after).
  virtual bool PaintsHidden() const = 0;
  // Called once the window has been shown.
  virtual void Shown() = 0;
  // SDL's pointer positions per client-area pixel.
  virtual int PointerScale() const = 0;
  // Takes a window-system event of the presenter's own; true when the window
  // is to be painted anew (the desktop's scale changed).
  virtual bool Rescaled(const SDL_Event& event) = 0;
  // Ends the process with one line when the window system has gone away.
  virtual void EndIfLost() const = 0;

  virtual Canvas Target() = 0;
  // Puts `rects` (window pixels) of the last Target() on the screen, all of
  // it when `rects` is empty; false on failure.
  virtual bool Present(std::span<const SDL_Rect> rects) = 0;
};

}  // namespace dorvik::sdl
