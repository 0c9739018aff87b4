// SDL2 backend: the display area drawn into the window's pixels at the
// desktop's whole-number scale: the current picture at the inner area's
// top-left (clipped to the inner area), the background around it and the
// sunken border over both, in the classic desktop colours.
#pragma once

#include <SDL.h>

namespace dorvik::sdl {

// Draws all of the display area into `target` (32 bits a pixel) at `scale`,
// with `picture` (8 bits a pixel) or none (null); false when SDL fails.
bool DrawDisplayArea(SDL_Surface* picture, SDL_Surface* target, int scale);

// Draws the part of `picture` that the inner area shows; puts where it went,
// in `target`'s pixels, in `place`. False when SDL fails.
bool DrawPicture(SDL_Surface* picture, SDL_Surface* target, int scale, SDL_Rect& place);

}  // namespace dorvik::sdl
