// Decoding of a stored frame picture: an 8-bit, run-length-encoded (RLE8)
// Windows bitmap file, rows stored bottom row first, into palette indices.
// The Linux window decodes its 36 pictures with it once, at start-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace dorvik {

// What a bitmap file's headers say, pointing into the file.
struct BitmapLayout {
  int width = 0;
  int height = 0;
  // `colours` entries of 4 bytes: blue, green, red, 0.
  std::span<const std::uint8_t> colour_table;
  int colours = 0;
  std::span<const std::uint8_t> pixel_data;
};

// Reads and checks the headers. Raises RunTimeError (invalid picture) for
// anything but an 8-bit RLE8 bitmap stored bottom row first, at most
// kLargestSide pixels on a side, whose colour table and pixel data lie inside
// the file.
inline constexpr int kLargestSide = 4096;
BitmapLayout ReadBitmapLayout(std::span<const std::uint8_t> file);

// Decodes the pixel data into `pixels`: layout.height rows of layout.width
// indices, top row first, each `pitch` bytes after the one before. Pixels that
// the data skips (a delta, an early end of line or of the bitmap) keep the
// value they had. Raises RunTimeError (invalid picture) for a run past the end
// of a row, a row below the bottom one or data without an end-of-bitmap mark;
// never writes outside the rows.
void DecodeBitmapPixels(const BitmapLayout& layout, std::uint8_t* pixels, std::ptrdiff_t pitch);

}  // namespace dorvik
