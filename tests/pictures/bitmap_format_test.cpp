// The stored bitmaps: header values, the colour table, and the run-length
// coding rules, checked by walking the bytes of every embedded file.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "pictures/bitmap_file.hpp"
#include "pictures/window_definition.hpp"

namespace {

std::uint32_t Get32(std::span<const std::uint8_t> b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint32_t Get16(std::span<const std::uint8_t> b, size_t at) { return b[at] | b[at + 1] << 8; }

// Walks RLE8 data, recording every rule it breaks; returns the decoded
// indices (top row first) when the data is well formed.
struct Walk {
  std::vector<std::string> faults;
  std::vector<std::uint8_t> pixels;
};

Walk WalkRle8(std::span<const std::uint8_t> data, int width, int height) {
  Walk walk;
  std::vector<std::vector<std::uint8_t>> rows(1);
  size_t at = 0;
  bool ended = false;
  auto fault = [&](const std::string& what) {
    walk.faults.push_back(what + " at byte " + std::to_string(at));
  };
  while (!ended && walk.faults.empty()) {
    if (at + 2 > data.size()) {
      fault("data ends without end-of-bitmap");
      break;
    }
    const int count = data[at], value = data[at + 1];
    at += 2;
    if (count > 0) {
      rows.back().insert(rows.back().end(), count, static_cast<std::uint8_t>(value));
    } else if (value == 0 || value == 1) {
      if (static_cast<int>(rows.back().size()) != width)
        fault("row codes " + std::to_string(rows.back().size()) + " pixels");
      if (value == 0) rows.emplace_back();
      ended = value == 1;
    } else if (value == 2) {
      fault("delta escape");
    } else {
      if (value < 4 || value > 12) fault("absolute run of " + std::to_string(value));
      const size_t padded = value + (value & 1);
      if (at + padded > data.size()) {
        fault("absolute run cut short");
        break;
      }
      rows.back().insert(rows.back().end(), data.begin() + at, data.begin() + at + value);
      if ((value & 1) && data[at + value] != 0) fault("absolute run padding not zero");
      at += padded;
    }
  }
  if (ended && at != data.size()) fault("bytes after end-of-bitmap");
  if (static_cast<int>(rows.size()) != height)
    walk.faults.push_back("codes " + std::to_string(rows.size()) + " rows");
  if (walk.faults.empty())
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
      walk.pixels.insert(walk.pixels.end(), row->begin(), row->end());
  return walk;
}

class EveryHolder : public testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Image, EveryHolder, testing::Range(1, 37));

TEST_P(EveryHolder, HeaderValues) {
  const auto file = dorvik::HolderBitmapFile(GetParam());
  ASSERT_GT(file.size(), 1078u);
  const std::uint32_t data_size = static_cast<std::uint32_t>(file.size()) - 1078;
  struct Field {
    const char* name;
    size_t at;
    int width;
    std::uint32_t value;
  };
  const Field fields[] = {
      {"file size", 2, 32, 1078 + data_size},
      {"reserved 1", 6, 16, 0},
      {"reserved 2", 8, 16, 0},
      {"pixel data offset", 10, 32, 1078},
      {"information header size", 14, 32, 40},
      {"width", 18, 32, 360},
      {"height (bottom row first)", 22, 32, 552},
      {"planes", 26, 16, 1},
      {"bits per pixel", 28, 16, 8},
      {"compression (RLE8)", 30, 32, 1},
      {"pixel data size", 34, 32, data_size},
      {"horizontal resolution", 38, 32, 0},
      {"vertical resolution", 42, 32, 0},
      {"colours used", 46, 32, 256},
      {"important colours", 50, 32, 0},
  };
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  for (const Field& f : fields)
    EXPECT_EQ(f.width == 32 ? Get32(file, f.at) : Get16(file, f.at), f.value) << f.name;
}

TEST_P(EveryHolder, CarriesTheCommonColourTable) {
  const auto file = dorvik::HolderBitmapFile(GetParam());
  const auto table = dorvik::frames::ColourTable();
  ASSERT_GE(file.size(), 54u + table.size());
  EXPECT_TRUE(std::equal(table.begin(), table.end(), file.begin() + 54));
}

TEST_P(EveryHolder, PixelDataKeepsTheCodingRulesAndUsesFiveColours) {
  const auto file = dorvik::HolderBitmapFile(GetParam());
  const Walk walk = WalkRle8(file.subspan(1078), 360, 552);
  for (const auto& fault : walk.faults) ADD_FAILURE() << fault;
  const std::set<std::uint8_t> used(walk.pixels.begin(), walk.pixels.end());
  const std::set<std::uint8_t> allowed = {0, 3, 28, 224, 255};
  for (std::uint8_t index : used) EXPECT_TRUE(allowed.count(index)) << "index " << int(index);
}

TEST(ColourTable, EntriesFollowTheBitLevels) {
  const auto table = dorvik::frames::ColourTable();
  struct Entry {
    int index;
    std::uint8_t r, g, b;
  };
  const Entry entries[] = {
      {255, 255, 255, 255}, {0, 0, 0, 0},       {3, 0, 0, 255},      {28, 0, 255, 0},
      {224, 255, 0, 0},     {1, 0, 0, 85},      {2, 0, 0, 170},      {4, 0, 36, 0},
      {32, 36, 0, 0},       {86, 73, 182, 170}, {145, 146, 146, 85}, {219, 219, 219, 255},
  };
  for (const Entry& e : entries) {
    SCOPED_TRACE(e.index);
    EXPECT_EQ(table[4 * e.index + 0], e.b);
    EXPECT_EQ(table[4 * e.index + 1], e.g);
    EXPECT_EQ(table[4 * e.index + 2], e.r);
    EXPECT_EQ(table[4 * e.index + 3], 0);
  }
}

// Rows that stress the coder: long runs past 255, lone pixels, mixed stretches.
TEST(Rle8Encoder, KeepsTheRulesAndRestoresEveryRow) {
  const int width = 360;
  std::vector<std::vector<std::uint8_t>> rows;
  rows.emplace_back(width, 255);
  std::vector<std::uint8_t> alternate(width);
  for (int x = 0; x < width; ++x) alternate[x] = x % 2 ? 0 : 255;
  rows.push_back(alternate);
  std::vector<std::uint8_t> sparse(width, 255);
  for (int x = 3; x < width; x += 7) sparse[x] = 224;
  rows.push_back(sparse);
  std::vector<std::uint8_t> mixed(width, 255);
  for (int x = 100; x < 113; ++x) mixed[x] = static_cast<std::uint8_t>(x % 3 == 0 ? 3 : 28);
  mixed[359] = 0;
  rows.push_back(mixed);
  std::vector<std::uint8_t> odd(width, 255);
  for (int x = 0; x < 5; ++x) odd[x] = static_cast<std::uint8_t>(x);  // odd absolute run
  rows.push_back(odd);

  std::vector<std::uint8_t> pixels;
  for (const auto& row : rows) pixels.insert(pixels.end(), row.begin(), row.end());
  const int height = static_cast<int>(rows.size());
  const auto data = dorvik::frames::EncodeRle8(pixels, width, height);
  const Walk walk = WalkRle8(data, width, height);
  for (const auto& fault : walk.faults) ADD_FAILURE() << fault;
  EXPECT_EQ(walk.pixels, pixels);
}

TEST(Rle8Encoder, AlternatingPixelsCostLessThanOneRunEach) {
  std::vector<std::uint8_t> row(360);
  for (int x = 0; x < 360; ++x) row[x] = x % 2 ? 0 : 255;
  const auto data = dorvik::frames::EncodeRle8(row, 360, 1);
  EXPECT_LT(data.size(), 2u * 360);  // absolute runs are in use
}

}  // namespace
