// SDL2 backend: a frame picture drawn at a whole-number scale, each of its
// pixels an exact scale x scale block of the window's pixels. SDL's own
// scaled blit does not convert an 8-bit surface to 32 bits; this one looks
// each colour up once and copies rows.
#pragma once

#include <SDL.h>

namespace dorvik::sdl {

// Draws `source` of the 8-bit `picture` into `target` with its top-left
// corner at (x, y) of `target`, `scale` times larger, clipped to `target`.
// `picture` has 8 bits a pixel and `target` 32. Returns SDL's status.
int BlitScaled(SDL_Surface* picture, const SDL_Rect& source, SDL_Surface* target, int x, int y,
               int scale);

}  // namespace dorvik::sdl
