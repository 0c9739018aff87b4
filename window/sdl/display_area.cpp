#include "window/sdl/display_area.hpp"

#include <span>

#include "core/window_layout.hpp"
#include "window/sdl/scaled_blit.hpp"

namespace dorvik::sdl {

using namespace layout;

namespace {

struct Colour {
  Uint8 r, g, b;
};
// Button face, shadow, dark shadow, light and highlight.
constexpr Colour kBackground{192, 192, 192};
constexpr Colour kShadow{128, 128, 128};
constexpr Colour kDarkShadow{64, 64, 64};
constexpr Colour kLight{192, 192, 192};
constexpr Colour kHighlight{255, 255, 255};

SDL_Rect Scaled(const SDL_Rect& rect, int scale) {
  return {rect.x * scale, rect.y * scale, rect.w * scale, rect.h * scale};
}

// Fills `rects` (in client-area pixels) of the window's pixels with `colour`
// (empty ones draw nothing).
bool Fill(SDL_Surface* target, int scale, std::span<const SDL_Rect> rects, Colour colour) {
  const Uint32 pixel = SDL_MapRGB(target->format, colour.r, colour.g, colour.b);
  for (const SDL_Rect& rect : rects) {
    const SDL_Rect place = Scaled(rect, scale);
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
  const SDL_Rect background[] = {{kBorder + shown.w, kBorder, kInnerWidth - shown.w, kInnerHeight},
                                 {kBorder, kBorder + shown.h, shown.w, kInnerHeight - shown.h}};
  const int right = kAreaWidth - 1;
  const int bottom = kAreaHeight - 1;
  const SDL_Rect outer_top_left[] = {{0, 0, kAreaWidth, 1}, {0, 0, 1, kAreaHeight}};
  const SDL_Rect outer_bottom_right[] = {{0, bottom, kAreaWidth, 1}, {right, 0, 1, kAreaHeight}};
  const SDL_Rect inner_top_left[] = {{1, 1, kAreaWidth - 2, 1}, {1, 1, 1, kAreaHeight - 2}};
  const SDL_Rect inner_bottom_right[] = {{1, bottom - 1, kAreaWidth - 2, 1},
                                         {right - 1, 1, 1, kAreaHeight - 2}};
  return Fill(target, scale, background, kBackground) &&
         Fill(target, scale, outer_top_left, kShadow) &&
         Fill(target, scale, outer_bottom_right, kHighlight) &&
         Fill(target, scale, inner_top_left, kDarkShadow) &&
         Fill(target, scale, inner_bottom_right, kLight);
}

}  // namespace dorvik::sdl
