// The window definition's image controls: listing order, which frame each
// holder carries, and what a malformed picture record does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/run_time_error.hpp"
#include "pictures/bitmap_file.hpp"
#include "pictures/canvas.hpp"
#include "pictures/frame_drawing.hpp"
#include "pictures/picture_record.hpp"
#include "pictures/window_definition.hpp"
#include "pictures/window_definition_data.hpp"

namespace {

using dorvik::RunTimeError;
using Bytes = std::vector<std::uint8_t>;

std::span<const std::uint8_t> Definition() {
  return {dorvik::window_definition_data::kBytes, dorvik::window_definition_data::kSize};
}

Bytes Generated(int number) {
  const int set = (number - 1) / 18, frame = (number - 1) % 18 + 1;
  return dorvik::frames::BitmapFile(dorvik::frames::DrawFrame(set, frame).Pixels(),
                                    dorvik::frames::kWidth, dorvik::frames::kHeight);
}

TEST(WindowDefinition, ListsTheControlsInItsOwnOrder) {
  std::vector<std::string> names;
  const auto bytes = Definition();
  for (size_t at = 0; at < bytes.size();) {
    const size_t length = bytes[at];
    names.emplace_back(reinterpret_cast<const char*>(bytes.data() + at + 1), length);
    at += 1 + length;
    at += 4 + (bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | bytes[at + 3] << 24);
  }
  std::vector<std::string> expected = {"Picture1"};
  for (int n = 36; n >= 14; --n) expected.push_back("Image" + std::to_string(n));
  for (int n : {12, 11, 13}) expected.push_back("Image" + std::to_string(n));
  for (int n = 10; n >= 1; --n) expected.push_back("Image" + std::to_string(n));
  EXPECT_EQ(names, expected);
}

// Slot i is Image<i+1>, whatever the listing order: each holder carries, byte
// for byte, the generator's bitmap of its own frame.
TEST(WindowDefinition, EachHolderCarriesTheFrameOfItsNumber) {
  for (int number = 1; number <= 36; ++number) {
    const auto file = dorvik::HolderBitmapFile(number);
    EXPECT_EQ(Bytes(file.begin(), file.end()), Generated(number)) << "Image" << number;
  }
}

TEST(WindowDefinition, SlotsTenToTwelveAreImagesElevenToThirteen) {
  // Listed as Image12, Image11, Image13; found by number, and all different.
  const auto slot10 = dorvik::HolderBitmapFile(11), slot11 = dorvik::HolderBitmapFile(12),
             slot12 = dorvik::HolderBitmapFile(13);
  EXPECT_EQ(Bytes(slot10.begin(), slot10.end()), Generated(11));
  EXPECT_EQ(Bytes(slot11.begin(), slot11.end()), Generated(12));
  EXPECT_EQ(Bytes(slot12.begin(), slot12.end()), Generated(13));
  EXPECT_NE(Bytes(slot10.begin(), slot10.end()), Bytes(slot11.begin(), slot11.end()));
  EXPECT_NE(Bytes(slot11.begin(), slot11.end()), Bytes(slot12.begin(), slot12.end()));
}

TEST(WindowDefinition, NumbersOutsideTheHoldersRaiseTheError) {
  for (int number : {0, -1, 37, 1000}) {
    try {
      dorvik::HolderBitmapFile(number);
      ADD_FAILURE() << number << " did not raise";
    } catch (const RunTimeError& e) {
      EXPECT_EQ(e.number(), dorvik::error_number::kSubscriptOutOfRange);
    }
  }
}

Bytes ValidRecord() {
  const auto file = dorvik::HolderBitmapFile(1);
  return dorvik::PictureRecord(file);
}

void Put32(Bytes& b, size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xff;
}

TEST(PictureRecord, AWellFormedRecordYieldsItsBitmap) {
  const Bytes record = ValidRecord();
  const auto file = dorvik::ParsePictureRecord(record);
  const auto stored = dorvik::HolderBitmapFile(1);
  EXPECT_EQ(Bytes(file.begin(), file.end()), Bytes(stored.begin(), stored.end()));
}

TEST(PictureRecord, MalformedRecordsRaiseTheError) {
  struct Case {
    const char* name;
    Bytes record;
  };
  const Bytes good = ValidRecord();
  const std::uint32_t count = static_cast<std::uint32_t>(good.size() - 4);
  std::vector<Case> cases;
  auto with = [&](const char* name, auto change) {
    Bytes b = good;
    change(b);
    cases.push_back({name, b});
  };
  with("count one too many", [&](Bytes& b) { Put32(b, 0, count + 1); });
  with("count one too few", [&](Bytes& b) { Put32(b, 0, count - 1); });
  with("huge count", [&](Bytes& b) { Put32(b, 0, 0xffffffffu); });
  with("wrong tag", [&](Bytes& b) { b[4] = 'L'; });
  with("tag without zero bytes", [&](Bytes& b) { b[7] = 1; });
  with("bitmap size disagrees", [&](Bytes& b) { Put32(b, 8, count - 9); });
  with("not a bitmap", [&](Bytes& b) { b[12] = 'X'; });
  with("bitmap cut short", [&](Bytes& b) {
    b.pop_back();
    Put32(b, 0, count - 1);
    Put32(b, 8, count - 9);
  });
  with("bitmap header cut off", [&](Bytes& b) {
    b.resize(12 + 10);
    Put32(b, 0, 18);
    Put32(b, 8, 10);
  });
  cases.push_back({"empty", {}});
  cases.push_back({"count only", {0, 0, 0, 0}});
  for (const Case& c : cases) {
    try {
      dorvik::ParsePictureRecord(c.record);
      ADD_FAILURE() << c.name << " did not raise";
    } catch (const RunTimeError& e) {
      EXPECT_EQ(e.number(), dorvik::error_number::kInvalidPicture) << c.name;
    }
  }
}

// A definition cut anywhere, or with a name running past its end, raises the
// error instead of reading past the bytes (the sanitizer build checks reads).
TEST(PictureRecord, TruncatedDefinitionsRaiseTheError) {
  const auto full = Definition();
  std::vector<Bytes> broken;
  for (size_t cut :
       {size_t{1}, size_t{9}, size_t{12}, size_t{15}, size_t{40}, full.size() / 2, full.size() - 1})
    broken.emplace_back(full.begin(), full.begin() + cut);
  broken.push_back({200, 'I', 'm'});  // name longer than the bytes
  for (const Bytes& bytes : broken) {
    // Copied to the heap at their exact size, so any overrun is caught.
    auto exact = std::make_unique<std::uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), exact.get());
    EXPECT_THROW(dorvik::FindHolderBitmap({exact.get(), bytes.size()}, 1), RunTimeError)
        << bytes.size() << " bytes";
  }
}

}  // namespace
