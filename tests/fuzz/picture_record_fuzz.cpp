// libFuzzer target: the window definition's layout as the program reads it.
// The input is taken as a whole definition (control names and picture
// records) and as a single picture record. Whatever it holds, a look-up
// either raises the invalid-picture error or hands back a bitmap file that
// lies inside the input, starts "BM", has its own size in its header, sits
// behind the record that PictureRecord would write for it, and is found
// again in the definition that WindowDefinitionBytes makes of the 36 found.
// The input, and each bitmap file found in it, is also handed to the decoder
// of the stored bitmaps, which either raises the invalid-picture error or
// writes inside the rows it is given (AddressSanitizer watches their ends).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "core/run_time_error.hpp"
#include "pictures/bitmap_decode.hpp"
#include "pictures/picture_record.hpp"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

std::uint32_t Get32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void CheckFile(std::span<const std::uint8_t> input, std::span<const std::uint8_t> file) {
  Require(file.data() >= input.data() + 12);
  Require(file.data() + file.size() <= input.data() + input.size());
  Require(file.size() >= 14 && file[0] == 'B' && file[1] == 'M');
  Require(Get32(file.data() + 2) == file.size());
  const auto record = dorvik::PictureRecord(file);
  Require(std::memcmp(record.data(), file.data() - 12, 12) == 0);
}

// Pictures up to this many pixels are decoded (the frames have 198,720): a
// larger one only costs the fuzzer time clearing its rows.
constexpr long kLargestDecoded = 1 << 20;

void Decode(std::span<const std::uint8_t> file) {
  try {
    const auto layout = dorvik::ReadBitmapLayout(file);
    Require(layout.width > 0 && layout.height > 0);
    Require(layout.colour_table.size() == 4u * static_cast<unsigned>(layout.colours));
    Require(layout.pixel_data.data() + layout.pixel_data.size() == file.data() + file.size());
    if (static_cast<long>(layout.width) * layout.height > kLargestDecoded) return;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(layout.width) * layout.height);
    dorvik::DecodeBitmapPixels(layout, rows.data(), layout.width);
  } catch (const dorvik::RunTimeError& error) {
    Require(error.number() == dorvik::error_number::kInvalidPicture);
  }
}

// The file found, or an empty span after the invalid-picture error.
std::span<const std::uint8_t> Find(std::span<const std::uint8_t> definition, int number) {
  try {
    return dorvik::FindHolderBitmap(definition, number);
  } catch (const dorvik::RunTimeError& error) {
    Require(error.number() == dorvik::error_number::kInvalidPicture);
    return {};
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  Decode(input);

  try {
    CheckFile(input, dorvik::ParsePictureRecord(input));
  } catch (const dorvik::RunTimeError& error) {
    Require(error.number() == dorvik::error_number::kInvalidPicture);
  }

  for (int number : {0, dorvik::kHolderCount + 1}) {
    try {
      dorvik::FindHolderBitmap(input, number);
      Require(false);
    } catch (const dorvik::RunTimeError& error) {
      Require(error.number() == dorvik::error_number::kSubscriptOutOfRange);
    }
  }

  std::vector<std::vector<std::uint8_t>> files;
  for (int number = 1; number <= dorvik::kHolderCount; ++number) {
    const auto file = Find(input, number);
    if (file.empty()) continue;
    CheckFile(input, file);
    Decode(file);
    files.emplace_back(file.begin(), file.end());
  }
  if (files.size() == dorvik::kHolderCount) {
    const auto rebuilt = dorvik::WindowDefinitionBytes(files);
    for (int number = 1; number <= dorvik::kHolderCount; ++number) {
      const auto file = Find(rebuilt, number);
      Require(
          std::equal(file.begin(), file.end(), files[number - 1].begin(), files[number - 1].end()));
    }
  }
  return 0;
}
