#include "pictures/lift_measure.hpp"

#include "pictures/canvas.hpp"
#include "pictures/mechanism.hpp"

namespace dorvik::frames {
namespace {

// The first row, scanning from `from` by `step`, holding `colour` in columns
// x0..x1; -1 if none.
int FirstRow(const std::vector<std::uint8_t>& pixels, std::uint8_t colour, int x0, int x1, int from,
             int to, int step) {
  for (int y = from; y != to + step; y += step)
    for (int x = x0; x <= x1; ++x)
      if (pixels[static_cast<size_t>(y) * kWidth + x] == colour) return y;
  return -1;
}

}  // namespace

PartRows MeasureParts(const std::vector<std::uint8_t>& pixels) {
  using namespace layout;
  PartRows rows;
  rows.follower_bottom = FirstRow(pixels, kBlue, kRodX - 32, kRodX + 32, kHeight - 1, 0, -1);
  rows.rod_top = FirstRow(pixels, kBlue, kRodX - kRodCapHalfWidth, kRodX + kRodCapHalfWidth, 0,
                          kHeight - 1, 1);
  rows.valve_bottom = FirstRow(pixels, kRed, kValveX - 30, kValveX + 30, kHeight - 1, 0, -1);
  // Below the control part, whose handle can lean over the stem's column.
  rows.stem_top =
      FirstRow(pixels, kRed, kValveX - 3, kValveX + 3, kStemTopRow - 10, kHeight - 1, 1);
  return rows;
}

}  // namespace dorvik::frames
