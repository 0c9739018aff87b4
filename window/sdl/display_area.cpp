#include "window/sdl/display_area.hpp"

#include <span>

#include "core/window_layout.hpp"
#include "window/sdl/scaled_blit.hpp"

namespace dorvik::sdl {

using namespace layout;

namespace {

// Fills `rects` (in client-area pixels) of the window's pixels with `colour`
// (empty ones draw nothing).
bool Fill(SDL_Surface* target, int scale, std::span<const Rect> rects, Colour colour) {
  const Uint32 pixel =
      SDL_MapRGB(target->format, static_cast<Uint8>(colour.red), static_cast<Uint8>(colour.green),
                 static_cast<Uint8>(colour.blue));
  for (const Rect& rect : rects) {
    const SDL_Rect place{rect.x * scale, rect.y * scale, rect.width * scale, rect.height * scale};
    if (SDL_FillRect(target, &place, pixel) < 0) return false;
  }
  return true;
}

// The part of a picture that the inner area shows: from its top-left corner,
// at most the inner area's size.
SDL_Rect PictureSource(const SDL_Surface* picture) {
  return {0, 0, SDL_min(picture->w, kInnerWidth), SDL_min(picture->h, kInnerHeight)};
}

}  // namespace

bool DrawPicture(SDL_Surface* picture, SDL_Surface* target, int scale, SDL_Rect& place) {
  SDL_Rect source = PictureSource(picture);
  place = {kBorder * scale, kBorder * scale, source.w * scale, source.h * scale};
  if (scale == 1) return SDL_BlitSurface(picture, &source, target, &place) >= 0;
  return BlitScaled(picture, source, target, place.x, place.y, scale) >= 0;
}

bool DrawDisplayArea(SDL_Surface* picture, SDL_Surface* target, int scale) {
  const SDL_Rect shown = picture == nullptr ? SDL_Rect{0, 0, 0, 0} : PictureSource(picture);
  SDL_Rect place;
  if (picture != nullptr && !DrawPicture(picture, target, scale, place)) return false;
  // The inner area round the picture, then the sunken border over it.
  const Rect background[] = {{kBorder + shown.w, kBorder, kInnerWidth - shown.w, kInnerHeight},
                             {kBorder, kBorder + shown.h, shown.w, kInnerHeight - shown.h}};
  if (!Fill(target, scale, background, kButtonFace)) return false;
  for (const BorderLines& lines : kSunkenBorder) {
    if (!Fill(target, scale, lines.lines, lines.colour)) return false;
  }
  return true;
}

}  // namespace dorvik::sdl
