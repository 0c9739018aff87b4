#include "tests/pictures/decoded_frames.hpp"

#include <SDL.h>

#include <stdexcept>
#include <string>

#include "pictures/window_definition.hpp"

namespace {

DecodedFrame Decode(int number) {
  const auto file = dorvik::HolderBitmapFile(number);
  SDL_RWops* stream = SDL_RWFromConstMem(file.data(), static_cast<int>(file.size()));
  SDL_Surface* surface = SDL_LoadBMP_RW(stream, 1);
  if (!surface) throw std::runtime_error(std::string("SDL_LoadBMP_RW: ") + SDL_GetError());
  DecodedFrame frame;
  frame.width = surface->w;
  frame.height = surface->h;
  frame.bits_per_pixel = surface->format->BitsPerPixel;
  if (frame.bits_per_pixel == 8 && surface->format->palette) {
    for (int i = 0; i < surface->format->palette->ncolors; ++i) {
      const SDL_Color c = surface->format->palette->colors[i];
      frame.palette.push_back({c.r, c.g, c.b});
    }
    SDL_LockSurface(surface);
    for (int y = 0; y < surface->h; ++y) {
      const auto* row = static_cast<const std::uint8_t*>(surface->pixels) + y * surface->pitch;
      frame.indices.insert(frame.indices.end(), row, row + surface->w);
    }
    SDL_UnlockSurface(surface);
  }
  SDL_FreeSurface(surface);
  return frame;
}

}  // namespace

const std::vector<DecodedFrame>& DecodedSlots() {
  static const std::vector<DecodedFrame> slots = [] {
    std::vector<DecodedFrame> all;
    for (int number = 1; number <= 36; ++number) all.push_back(Decode(number));
    return all;
  }();
  return slots;
}
