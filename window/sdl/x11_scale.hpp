// SDL2 backend on X: the desktop's whole-number scale, which X itself does
// not have. Desktops that scale their programs say so in the resource
// database as Xft.dpi (192 for 200 %); the scale is that over 96, rounded
// down, and at least 1.
#pragma once

#include <SDL.h>

namespace dorvik::sdl {

// The scale for the X display of `window`, read from the resource database
// as the program started (xrdb changes reach programs started later).
int X11DesktopScale(SDL_Window* window);

// The same from the text of a resource database (RESOURCE_MANAGER); 1 when
// it is null or has no Xft.dpi.
int ScaleFromResources(const char* resources);

}  // namespace dorvik::sdl
