#include "pictures/bitmap_file.hpp"

#include <algorithm>
#include <climits>

namespace dorvik::frames {
namespace {

constexpr int kLongestRun = 255;
constexpr int kShortestAbsolute = 4;
constexpr int kLongestAbsolute = 12;

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(v & 0xff);
  out.push_back((v >> 8) & 0xff);
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}

int AbsoluteCost(int n) { return 2 + n + (n & 1); }

// One row at the fewest bytes: cost[i] is the cheapest coding of pixels i..end,
// choice[i] how many pixels its first code takes (negative: absolute).
void EncodeRow(const std::uint8_t* row, int width, std::vector<std::uint8_t>& out) {
  std::vector<int> cost(width + 1, 0), choice(width + 1, 0);
  std::vector<int> same(width + 1, 0);  // length of the one-colour stretch from i
  for (int i = width - 1; i >= 0; --i)
    same[i] = (i + 1 < width && row[i + 1] == row[i]) ? same[i + 1] + 1 : 1;
  for (int i = width - 1; i >= 0; --i) {
    int best = INT_MAX, pick = 0;
    auto consider = [&](int take, int bytes) {
      if (bytes + cost[i + take] < best) best = bytes + cost[i + take], pick = take;
    };
    // Encoded runs: the whole stretch, or the stretch short of a tail that an
    // absolute run may take more cheaply.
    const int stretch = std::min(same[i], kLongestRun);
    consider(stretch, 2);
    for (int tail = 1; tail <= kLongestAbsolute && stretch - tail >= 1; ++tail)
      consider(stretch - tail, 2);
    for (int n = kShortestAbsolute; n <= kLongestAbsolute && i + n <= width; ++n)
      if (AbsoluteCost(n) + cost[i + n] < best) best = AbsoluteCost(n) + cost[i + n], pick = -n;
    cost[i] = best;
    choice[i] = pick;
  }
  for (int i = 0; i < width;) {
    if (choice[i] > 0) {
      out.push_back(static_cast<std::uint8_t>(choice[i]));
      out.push_back(row[i]);
      i += choice[i];
    } else {
      const int n = -choice[i];
      out.push_back(0);
      out.push_back(static_cast<std::uint8_t>(n));
      out.insert(out.end(), row + i, row + i + n);
      if (n & 1) out.push_back(0);
      i += n;
    }
  }
}

}  // namespace

std::array<std::uint8_t, 1024> ColourTable() {
  std::array<std::uint8_t, 1024> table{};
  for (int i = 0; i < 256; ++i) {
    const int r = (i >> 5) & 7, g = (i >> 2) & 7, b = i & 3;
    table[4 * i + 0] = static_cast<std::uint8_t>(b * 85);
    table[4 * i + 1] = static_cast<std::uint8_t>((g * 255 + 3) / 7);  // nearest whole number
    table[4 * i + 2] = static_cast<std::uint8_t>((r * 255 + 3) / 7);
    table[4 * i + 3] = 0;
  }
  return table;
}

std::vector<std::uint8_t> EncodeRle8(const std::vector<std::uint8_t>& pixels, int width,
                                     int height) {
  std::vector<std::uint8_t> out;
  for (int y = height - 1; y >= 0; --y) {
    EncodeRow(pixels.data() + static_cast<size_t>(y) * width, width, out);
    out.push_back(0);
    out.push_back(y == 0 ? 1 : 0);  // end of bitmap after the top row, else end of line
  }
  return out;
}

std::vector<std::uint8_t> BitmapFile(const std::vector<std::uint8_t>& pixels, int width,
                                     int height) {
  const std::vector<std::uint8_t> data = EncodeRle8(pixels, width, height);
  const auto data_size = static_cast<std::uint32_t>(data.size());
  std::vector<std::uint8_t> file;
  file.reserve(kPixelDataOffset + data.size());
  file.push_back('B');
  file.push_back('M');
  Put32(file, kPixelDataOffset + data_size);
  Put16(file, 0);
  Put16(file, 0);
  Put32(file, kPixelDataOffset);
  Put32(file, 40);
  Put32(file, static_cast<std::uint32_t>(width));
  Put32(file, static_cast<std::uint32_t>(height));  // positive: bottom row first
  Put16(file, 1);                                   // planes
  Put16(file, 8);                                   // bits per pixel
  Put32(file, 1);                                   // BI_RLE8
  Put32(file, data_size);
  Put32(file, 0);  // pixels per metre, across and down
  Put32(file, 0);
  Put32(file, 256);  // colours used
  Put32(file, 0);    // important colours
  const auto table = ColourTable();
  file.insert(file.end(), table.begin(), table.end());
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

}  // namespace dorvik::frames
