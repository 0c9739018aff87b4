// The window's bitmap decoder on small hand-made files: every kind of code,
// and every way a file can lie about itself. (The 36 real frames are checked
// pixel for pixel through it in decoded_frames_test.cpp.)
#include "pictures/bitmap_decode.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/run_time_error.hpp"
#include "pictures/bitmap_file.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A 4 x 3 bitmap file with the common colour table around `data`.
Bytes File(const Bytes& data, int width = 4, int height = 3) {
  Bytes file =
      dorvik::frames::BitmapFile(Bytes(static_cast<std::size_t>(width * height), 0), width, height);
  file.resize(dorvik::frames::kPixelDataOffset);
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

Bytes Decode(const Bytes& file) {
  const dorvik::BitmapLayout layout = dorvik::ReadBitmapLayout(file);
  Bytes pixels(static_cast<std::size_t>(layout.width * layout.height), 9);
  dorvik::DecodeBitmapPixels(layout, pixels.data(), layout.width);
  return pixels;
}

TEST(BitmapDecoder, EveryCodeLandsWhereItSays) {
  // Bottom row: a run of 2, then end of line. Middle row: a delta of 1 right
  // and 1 up, into the top row; there an absolute run of 3 (padded to a whole
  // word), then end of bitmap.
  const Bytes data = {2, 7, 0, 0, 0, 2, 1, 1, 0, 3, 1, 2, 3, 0, 0, 1};
  const Bytes top_first = {9, 1, 2, 3,  //
                           9, 9, 9, 9,  // skipped: the delta jumped over it
                           7, 7, 9, 9};
  EXPECT_EQ(Decode(File(data)), top_first);
}

TEST(BitmapDecoder, RefusesFilesThatLie) {
  struct Case {
    const char* name;
    Bytes file;
  };
  auto with = [](Bytes file, std::size_t at, std::uint8_t value) {
    file[at] = value;
    return file;
  };
  const Bytes fine = File({4, 1, 0, 0, 4, 1, 0, 0, 4, 1, 0, 1});
  const Case cases[] = {
      {"not BM", with(fine, 0, 'X')},
      {"cut inside the headers", Bytes(fine.begin(), fine.begin() + 40)},
      {"4 bits a pixel", with(fine, 28, 4)},
      {"uncompressed", with(fine, 30, 0)},
      {"stored top row first",
       with(with(with(with(fine, 22, 0xFD), 23, 0xFF), 24, 0xFF), 25, 0xFF)},
      {"no pixels wide", with(fine, 18, 0)},
      {"pixel data past the end", with(fine, 11, 0x7F)},
      {"pixel data inside the colour table", with(fine, 11, 0x01)},
      {"more than 256 colours", with(fine, 48, 0x01)},
      {"a run past the row", File({5, 1, 0, 1})},
      {"an absolute run past the row", File({0, 5, 1, 2, 3, 4, 5, 0, 0, 1})},
      {"an absolute run cut short", File({0, 4, 1, 2})},
      {"a row above the top", File({4, 1, 0, 0, 4, 1, 0, 0, 4, 1, 0, 0, 4, 1, 0, 1})},
      {"a delta past the row", File({0, 2, 5, 0, 0, 1})},
      {"a delta cut short", File({0, 2, 1})},
      {"no end-of-bitmap", File({4, 1, 0, 0})},
      {"nothing at all", File({})},
  };
  for (const Case& c : cases) {
    try {
      Decode(c.file);
      ADD_FAILURE() << c.name << ": decoded";
    } catch (const dorvik::RunTimeError& error) {
      EXPECT_EQ(error.number(), dorvik::error_number::kInvalidPicture) << c.name;
    }
  }
}

}  // namespace
