#include "window/sdl/scaled_blit.hpp"

#include <array>
#include <cstdint>
#include <cstring>

namespace dorvik::sdl {

int BlitScaled(SDL_Surface* picture, const SDL_Rect& source, SDL_Surface* target, int x, int y,
               int scale) {
  const SDL_Palette* palette = picture->format->palette;
  if (picture->format->BytesPerPixel != 1 || palette == nullptr ||
      target->format->BytesPerPixel != 4 || x < 0 || y < 0) {
    return SDL_SetError("no scaled blit from %d to %d bytes a pixel",
                        picture->format->BytesPerPixel, target->format->BytesPerPixel);
  }
  // Clipped to whole blocks inside the target.
  const int columns = SDL_min(source.w, (target->w - x) / scale);
  const int rows = SDL_min(source.h, (target->h - y) / scale);
  if (columns <= 0 || rows <= 0) return 0;
  std::array<Uint32, 256> colours{};
  for (int i = 0; i < palette->ncolors && i < 256; ++i) {
    const SDL_Color& c = palette->colors[i];
    colours[static_cast<std::size_t>(i)] = SDL_MapRGB(target->format, c.r, c.g, c.b);
  }
  if (SDL_LockSurface(target) < 0) return -1;
  const auto* from = static_cast<const Uint8*>(picture->pixels);
  auto* to = static_cast<Uint8*>(target->pixels);
  const std::size_t row_bytes = 4 * static_cast<std::size_t>(columns * scale);
  for (int row = 0; row < rows; ++row) {
    const Uint8* in = from + (source.y + row) * picture->pitch + source.x;
    Uint8* first = to + (y + row * scale) * target->pitch + 4 * x;
    auto* out = reinterpret_cast<Uint32*>(first);
    for (int column = 0; column < columns; ++column) {
      const Uint32 colour = colours[in[column]];
      for (int i = 0; i < scale; ++i) *out++ = colour;
    }
    // The other rows of the block are copies of the first.
    for (int copy = 1; copy < scale; ++copy) {
      std::memcpy(first + copy * target->pitch, first, row_bytes);
    }
  }
  SDL_UnlockSurface(target);
  return 0;
}

}  // namespace dorvik::sdl
