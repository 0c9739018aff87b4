#include "window/sdl/x11_presenter.hpp"

#include "core/window_layout.hpp"
#include "window/sdl/display_probe.hpp"

namespace dorvik::sdl {

std::unique_ptr<X11Presenter> X11Presenter::Open(SDL_Window* window, std::string& why) {
  std::unique_ptr<X11Presenter> presenter(new X11Presenter(window));
  if (presenter->desktop_scale_.scale() > 1) {
    presenter->Resize();
    SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  }
  // X events reach the scale's watch through SDL.
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  if (SDL_GetWindowSurface(window) == nullptr) {
    why = SdlReason();
    return nullptr;
  }
  return presenter;
}

bool X11Presenter::Rescaled(const SDL_Event& event) {
  if (!desktop_scale_.Changed(event)) return false;
  Resize();
  return true;
}

// The window at the desktop's scale now; SDL makes a new window surface for
// the new size, which holds nothing yet.
void X11Presenter::Resize() {
  const int scale = desktop_scale_.scale();
  SDL_SetWindowSize(window_, layout::kClientWidth * scale, layout::kClientHeight * scale);
  presented_ = nullptr;
}

// The same surface from one call to the next, unless the window changed
// size; then SDL makes a new one here.
Canvas X11Presenter::Target() {
  target_ = SDL_GetWindowSurface(window_);
  return {target_, desktop_scale_.scale(), target_ != nullptr && target_ == presented_};
}

bool X11Presenter::Present(std::span<const SDL_Rect> rects) {
  const int status = rects.empty() ? SDL_UpdateWindowSurface(window_)
                                   : SDL_UpdateWindowSurfaceRects(window_, rects.data(),
                                                                  static_cast<int>(rects.size()));
  presented_ = target_;
  return status == 0;
}

}  // namespace dorvik::sdl
