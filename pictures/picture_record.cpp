#include "pictures/picture_record.hpp"

#include <string_view>

#include "core/run_time_error.hpp"

namespace dorvik {
namespace {

constexpr std::uint8_t kTag[4] = {0x6C, 0x74, 0x00, 0x00};
constexpr std::size_t kBitmapHeaderSize = 14;

[[noreturn]] void Invalid(const std::string& what) {
  throw RunTimeError(error_number::kInvalidPicture, "Invalid picture: " + what);
}

std::uint32_t Get32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back((v >> shift) & 0xff);
}

// A control's picture record starting at `at`: its full extent, count included.
std::span<const std::uint8_t> RecordAt(std::span<const std::uint8_t> definition, std::size_t at) {
  if (definition.size() - at < 4) Invalid("record count cut short");
  const std::uint32_t count = Get32(definition, at);
  if (count > definition.size() - at - 4) Invalid("record runs past the definition");
  return definition.subspan(at, 4 + static_cast<std::size_t>(count));
}

}  // namespace

std::array<int, kHolderCount> HolderListingOrder() {
  std::array<int, kHolderCount> order{};
  std::size_t i = 0;
  for (int n = 36; n >= 14; --n) order[i++] = n;
  for (int n : {12, 11, 13}) order[i++] = n;
  for (int n = 10; n >= 1; --n) order[i++] = n;
  return order;
}

std::vector<std::uint8_t> PictureRecord(std::span<const std::uint8_t> bitmap_file) {
  std::vector<std::uint8_t> record;
  // Reserving the whole record up front also keeps GCC 12's optimiser from
  // misreading the growth of the first few bytes as an overflow.
  record.reserve(12 + bitmap_file.size());
  const auto size = static_cast<std::uint32_t>(bitmap_file.size());
  Put32(record, size + 8);
  record.insert(record.end(), std::begin(kTag), std::end(kTag));
  Put32(record, size);
  record.insert(record.end(), bitmap_file.begin(), bitmap_file.end());
  return record;
}

std::span<const std::uint8_t> ParsePictureRecord(std::span<const std::uint8_t> record) {
  if (record.size() < 12) Invalid("record too short");
  if (Get32(record, 0) != record.size() - 4) Invalid("record count disagrees");
  if (!std::equal(std::begin(kTag), std::end(kTag), record.begin() + 4)) Invalid("wrong tag");
  const std::uint32_t size = Get32(record, 8);
  if (size != record.size() - 12) Invalid("bitmap size disagrees with the record");
  const auto file = record.subspan(12);
  if (file.size() < kBitmapHeaderSize || file[0] != 'B' || file[1] != 'M')
    Invalid("not a bitmap file");
  if (Get32(file, 2) != file.size()) Invalid("bitmap file cut short");
  return file;
}

std::vector<std::uint8_t> WindowDefinitionBytes(
    const std::vector<std::vector<std::uint8_t>>& bitmap_files) {
  std::vector<std::uint8_t> out;
  // Names ("Picture1", "ImageNN") and counts are under 24 bytes per control.
  std::size_t total = 24;
  for (const auto& file : bitmap_files) total += 24 + file.size();
  out.reserve(total);
  auto name = [&](const std::string& text) {
    out.push_back(static_cast<std::uint8_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
  };
  name("Picture1");
  Put32(out, 0);
  for (int number : HolderListingOrder()) {
    name("Image" + std::to_string(number));
    const auto record = PictureRecord(bitmap_files.at(number - 1));
    out.insert(out.end(), record.begin(), record.end());
  }
  return out;
}

std::span<const std::uint8_t> FindHolderBitmap(std::span<const std::uint8_t> definition,
                                               int number) {
  if (number < 1 || number > kHolderCount)
    throw RunTimeError(error_number::kSubscriptOutOfRange, "Subscript out of range");
  const std::string wanted = "Image" + std::to_string(number);
  std::size_t at = 0;
  while (at < definition.size()) {
    const std::size_t length = definition[at];
    if (length > definition.size() - at - 1) Invalid("control name cut short");
    const std::string_view name(reinterpret_cast<const char*>(definition.data() + at + 1), length);
    const auto record = RecordAt(definition, at + 1 + length);
    if (name == wanted) return ParsePictureRecord(record);
    at += 1 + length + record.size();
  }
  Invalid("no control named " + wanted);
}

}  // namespace dorvik
