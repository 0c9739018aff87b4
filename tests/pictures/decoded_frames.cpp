#include "tests/pictures/decoded_frames.hpp"

#include "pictures/bitmap_decode.hpp"
#include "pictures/window_definition.hpp"

namespace {

DecodedFrame Decode(int number) {
  const dorvik::BitmapLayout layout = dorvik::ReadBitmapLayout(dorvik::HolderBitmapFile(number));
  DecodedFrame frame;
  frame.width = layout.width;
  frame.height = layout.height;
  frame.bits_per_pixel = 8;
  for (int i = 0; i < layout.colours; ++i) {
    const auto entry = layout.colour_table.subspan(static_cast<std::size_t>(4 * i), 4);
    frame.palette.push_back({entry[2], entry[1], entry[0]});
  }
  frame.indices.assign(static_cast<std::size_t>(layout.width * layout.height), 0);
  dorvik::DecodeBitmapPixels(layout, frame.indices.data(), layout.width);
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
