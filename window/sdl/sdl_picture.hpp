// SDL2 backend: the frame pictures, each decoded once, at start-up, from its
// stored bitmap into an SDL surface in its stored form: 8 bits a pixel and
// the bitmap's own colour table. Painting converts it to the window's pixels
// on the way; no 32-bit copy of it is ever kept.
#pragma once

#include <SDL.h>

#include "core/platform.hpp"

namespace dorvik::sdl {

class SdlPicture final : public DecodedPicture {
 public:
  explicit SdlPicture(SDL_Surface* surface) : surface(surface) {}
  ~SdlPicture() override { SDL_FreeSurface(surface); }
  SdlPicture(const SdlPicture&) = delete;
  SdlPicture& operator=(const SdlPicture&) = delete;
  SDL_Surface* const surface;
};

// The picture of holder `number` (1 to the number of slots); throws the
// run-time error for an invalid picture when it cannot be made.
Picture DecodeHolderPicture(int number);

}  // namespace dorvik::sdl
