// SDL2 backend on X: the desktop's whole-number scale, which X itself does
// not have. Desktops that scale their programs say so in the resource
// database as Xft.dpi (192 for 200 %); the scale is that over 96, rounded
// down, at least 1 and at most 8. A new Xft.dpi (xrdb -merge) is seen at once.
#pragma once

#include <SDL.h>

namespace dorvik::sdl {

// The same from the text of a resource database (RESOURCE_MANAGER); 1 when
// it is null or has no Xft.dpi.
int ScaleFromResources(const char* resources);

// The scale of the X display of an SDL window, now and whenever its resource
// database changes (SDL must hand on X events: SDL_SYSWMEVENT enabled).
class X11DesktopScale {
 public:
  explicit X11DesktopScale(SDL_Window* window);
  int scale() const { return scale_; }
  // True when `event` told of a new resource database whose scale differs.
  bool Changed(const SDL_Event& event);

 private:
  int Read() const;

  void* display_ = nullptr;  // Display*, kept out of this header
  unsigned long root_ = 0;
  unsigned long resource_manager_ = 0;
  int scale_ = 1;
};

}  // namespace dorvik::sdl
