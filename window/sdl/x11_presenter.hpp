// SDL2 backend on X: the window's presenter. Draws into SDL's window surface
// (the window's shared-memory image) and puts changed rectangles of it on
// the screen; the window is sized in pixels at the desktop's scale, which
// follows Xft.dpi while the program runs (x11_scale.hpp).
#pragma once

#include <SDL.h>

#include <memory>
#include <string>

#include "window/sdl/presenter.hpp"
#include "window/sdl/x11_scale.hpp"

namespace dorvik::sdl {

class X11Presenter final : public Presenter {
 public:
  // The presenter of `window` (an SDL X window, hidden), sized at the
  // desktop's scale; nullptr, with the reason in `why`, when SDL gives the
  // window no surface.
  static std::unique_ptr<X11Presenter> Open(SDL_Window* window, std::string& why);

  bool PaintsHidden() const override { return true; }
  void Shown() override {}
  // SDL reports pointer positions in window pixels on X.
  int PointerScale() const override { return desktop_scale_.scale(); }
  bool Rescaled(const SDL_Event& event) override;
  // Xlib's handler ends the process (x11_connection.hpp).
  void EndIfLost() const override {}
  Canvas Target() override;
  bool Present(std::span<const SDL_Rect> rects) override;

 private:
  explicit X11Presenter(SDL_Window* window) : window_(window), desktop_scale_(window) {}
  void Resize();

  SDL_Window* window_;
  X11DesktopScale desktop_scale_;
  // The surface of the last Target(), and of the last paint put on the screen.
  SDL_Surface* target_ = nullptr;
  SDL_Surface* presented_ = nullptr;
};

}  // namespace dorvik::sdl
