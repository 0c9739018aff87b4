#include "window/sdl/wayland_presenter.hpp"

#include "core/window_layout.hpp"

namespace dorvik::sdl {

std::unique_ptr<WaylandPresenter> WaylandPresenter::Open(SDL_Window* window, std::string& why) {
  std::unique_ptr<WaylandPixels> pixels = WaylandPixels::Open(window, why);
  if (pixels == nullptr) return nullptr;
  return std::unique_ptr<WaylandPresenter>(new WaylandPresenter(std::move(pixels)));
}

void WaylandPresenter::Shown() { pixels_->KeepSize(layout::kClientWidth, layout::kClientHeight); }

// Whichever buffer the compositor has given back: the one last put on the
// window still holds that paint (a buffer of another scale is a new one).
Canvas WaylandPresenter::Target() {
  target_ = pixels_->Target();
  return {target_, pixels_->Scale(), target_ != nullptr && target_ == presented_};
}

// Always the whole buffer: the others hold older paints.
bool WaylandPresenter::Present(std::span<const SDL_Rect> /*rects*/) {
  if (!pixels_->Present()) return false;
  presented_ = target_;
  return true;
}

}  // namespace dorvik::sdl
