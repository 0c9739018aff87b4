#include "pictures/bitmap_decode.hpp"

#include <cstring>

#include "core/run_time_error.hpp"

namespace dorvik {

namespace {

[[noreturn]] void Invalid() {
  throw RunTimeError(error_number::kInvalidPicture, "Invalid picture");
}

std::uint32_t Get32(std::span<const std::uint8_t> file, std::size_t at) {
  return file[at] | file[at + 1] << 8 | file[at + 2] << 16 |
         static_cast<std::uint32_t>(file[at + 3]) << 24;
}
std::uint32_t Get16(std::span<const std::uint8_t> file, std::size_t at) {
  return file[at] | file[at + 1] << 8;
}

constexpr std::size_t kFileHeader = 14;
constexpr std::uint32_t kInfoHeader = 40;
constexpr std::uint32_t kRle8 = 1;

}  // namespace

BitmapLayout ReadBitmapLayout(std::span<const std::uint8_t> file) {
  if (file.size() < kFileHeader + kInfoHeader || file[0] != 'B' || file[1] != 'M') Invalid();
  const std::uint32_t offset = Get32(file, 10);
  const auto width = static_cast<std::int32_t>(Get32(file, 18));
  const auto height = static_cast<std::int32_t>(Get32(file, 22));
  const std::uint32_t colours = Get32(file, 46) == 0 ? 256 : Get32(file, 46);
  if (Get32(file, 14) != kInfoHeader || Get16(file, 26) != 1 || Get16(file, 28) != 8 ||
      Get32(file, 30) != kRle8 || width <= 0 || width > kLargestSide || height <= 0 ||
      height > kLargestSide || colours > 256) {
    Invalid();
  }
  const std::size_t table_end = kFileHeader + kInfoHeader + 4 * colours;
  if (offset < table_end || offset > file.size()) Invalid();
  BitmapLayout layout;
  layout.width = width;
  layout.height = height;
  layout.colours = static_cast<int>(colours);
  layout.colour_table = file.subspan(kFileHeader + kInfoHeader, 4 * colours);
  layout.pixel_data = file.subspan(offset);
  return layout;
}

// The data codes the rows from the bottom one up: y counts rows from the
// bottom, so stored row y is row height - 1 - y of `pixels`.
void DecodeBitmapPixels(const BitmapLayout& layout, std::uint8_t* pixels, std::ptrdiff_t pitch) {
  const std::span<const std::uint8_t> data = layout.pixel_data;
  const int width = layout.width;
  const int height = layout.height;
  auto row = [&](int y) { return pixels + static_cast<std::ptrdiff_t>(height - 1 - y) * pitch; };
  std::size_t at = 0;
  int x = 0;
  int y = 0;
  for (;;) {
    if (data.size() - at < 2) Invalid();  // no end-of-bitmap mark
    const int count = data[at];
    const int value = data[at + 1];
    at += 2;
    if (count > 0) {  // an encoded run: count pixels of one index
      if (y >= height || count > width - x) Invalid();
      std::memset(row(y) + x, value, static_cast<std::size_t>(count));
      x += count;
    } else if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return;
    } else if (value == 2) {  // delta: skip right and up
      if (data.size() - at < 2) Invalid();
      x += data[at];
      y += data[at + 1];
      at += 2;
      if (x > width) Invalid();
    } else {  // an absolute run of `value` pixels, padded to a whole word
      if (data.size() - at < static_cast<std::size_t>(value)) Invalid();
      if (y >= height || value > width - x) Invalid();
      std::memcpy(row(y) + x, data.data() + at, static_cast<std::size_t>(value));
      x += value;
      at += static_cast<std::size_t>(value + (value & 1));
      if (at > data.size()) Invalid();
    }
  }
}

}  // namespace dorvik
