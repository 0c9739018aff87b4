// The program's icon: a small cam with its lobe to the upper right, a hub and
// a centre dot. One drawing serves every size and both window systems.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace dorvik::icon {

struct Rgb {
  std::uint8_t r, g, b;
};

// The standard 16-colour palette, in the usual Windows order.
inline constexpr std::array<Rgb, 16> kPalette = {{{0, 0, 0},
                                                  {128, 0, 0},
                                                  {0, 128, 0},
                                                  {128, 128, 0},
                                                  {0, 0, 128},
                                                  {128, 0, 128},
                                                  {0, 128, 128},
                                                  {192, 192, 192},
                                                  {128, 128, 128},
                                                  {255, 0, 0},
                                                  {0, 255, 0},
                                                  {255, 255, 0},
                                                  {0, 0, 255},
                                                  {255, 0, 255},
                                                  {0, 255, 255},
                                                  {255, 255, 255}}};
inline constexpr std::uint8_t kBlack = 0;
inline constexpr std::uint8_t kWhite = 15;
// A see-through pixel.
inline constexpr std::uint8_t kClear = 255;

// The cam drawn at size x size pixels: one index into kPalette (or kClear) per
// pixel, top row first. With two_colours, only kBlack, kWhite and kClear occur.
std::vector<std::uint8_t> DrawCamIcon(int size, bool two_colours);

}  // namespace dorvik::icon
