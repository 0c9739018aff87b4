// The 36 embedded frame pictures as the Linux window's decoder
// (pictures/bitmap_decode.hpp) turns them into pixels: palette indices, top
// row first, with the palette the decoder read.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

struct DecodedFrame {
  int width = 0;
  int height = 0;
  int bits_per_pixel = 0;
  std::vector<std::uint8_t> indices;
  std::vector<std::array<std::uint8_t, 3>> palette;  // r, g, b
};

// Decoded once per test run; slot i is Image<i+1>.
const std::vector<DecodedFrame>& DecodedSlots();
