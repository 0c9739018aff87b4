// SDL2 backend on Wayland: the window's presenter. Draws into buffers of
// its own (wayland_pixels.hpp) at the scale of the output the window is on,
// which it reads afresh for every paint, and puts each whole on the window.
#pragma once

#include <SDL.h>

#include <memory>
#include <string>

#include "window/sdl/presenter.hpp"
#include "window/sdl/wayland_pixels.hpp"

namespace dorvik::sdl {

class WaylandPresenter final : public Presenter {
 public:
  // The presenter of `window` (an SDL Wayland window); nullptr, with the
  // reason in `why`, when the compositor offers no buffers to draw into.
  static std::unique_ptr<WaylandPresenter> Open(SDL_Window* window, std::string& why);

  // The window takes pixels only once the compositor has configured it,
  // which SDL waits for when it shows the window.
  bool PaintsHidden() const override { return false; }
  void Shown() override;
  // SDL reports pointer positions in the desktop's units on Wayland.
  int PointerScale() const override { return 1; }
  // A new output scale shows in the window's size in pixels, which every
  // Target() reads.
  bool Rescaled(const SDL_Event& /*event*/) override { return false; }
  void EndIfLost() const override { pixels_->EndIfLost(); }
  Canvas Target() override;
  bool Present(std::span<const SDL_Rect> rects) override;

 private:
  explicit WaylandPresenter(std::unique_ptr<WaylandPixels> pixels) : pixels_(std::move(pixels)) {}

  std::unique_ptr<WaylandPixels> pixels_;
  // The buffer of the last Target(), and of the last paint put on the window.
  SDL_Surface* target_ = nullptr;
  SDL_Surface* presented_ = nullptr;
};

}  // namespace dorvik::sdl
