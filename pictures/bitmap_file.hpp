// The stored form of a frame: a Windows bitmap file, 8 bits per pixel,
// run-length encoded (RLE8), with the common 256-entry colour table.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace dorvik::frames {

inline constexpr std::uint32_t kPixelDataOffset = 14 + 40 + 1024;

// Entry i: red and green levels from bits 7-5 and 4-2 scaled to 0..255,
// blue from bits 1-0 times 85; stored blue, green, red, 0.
std::array<std::uint8_t, 1024> ColourTable();

// RLE8 pixel data for `pixels` (width x height indices, top row first),
// stored bottom row first. Uses encoded runs of up to 255 pixels and absolute
// runs of 4 to 12 pixels, whichever codes the row in fewer bytes; an
// end-of-line escape after every row but the last, end-of-bitmap after it.
std::vector<std::uint8_t> EncodeRle8(const std::vector<std::uint8_t>& pixels, int width,
                                     int height);

// The whole bitmap file: file header, information header, colour table and
// the encoded pixels.
std::vector<std::uint8_t> BitmapFile(const std::vector<std::uint8_t>& pixels, int width,
                                     int height);

}  // namespace dorvik::frames
