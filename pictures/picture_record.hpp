// The window definition's image controls and the picture each one carries.
// The definition lists its controls as entries: a name (one length byte, then
// the letters) followed by the control's picture record, a 32-bit
// little-endian byte count of what follows (0: no picture); for a picture,
// the four bytes 6C 74 00 00, the 32-bit size of the bitmap file, and the file.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace dorvik {

inline constexpr int kHolderCount = 36;

// Image control numbers in the order the window definition lists them, after
// the display area Picture1.
std::array<int, kHolderCount> HolderListingOrder();

// The picture record that carries `bitmap_file`.
std::vector<std::uint8_t> PictureRecord(std::span<const std::uint8_t> bitmap_file);

// The bitmap file inside a picture record that fills `record` exactly. Raises
// RunTimeError if the counts disagree, the tag is wrong or the file is cut short.
std::span<const std::uint8_t> ParsePictureRecord(std::span<const std::uint8_t> record);

// A whole window definition: Picture1 without a picture, then Image36 .. Image1
// in listing order, Image<n> carrying bitmap_files[n - 1].
std::vector<std::uint8_t> WindowDefinitionBytes(
    const std::vector<std::vector<std::uint8_t>>& bitmap_files);

// The bitmap file carried by image control Image<number> of `definition`,
// found by the number in the control's name. Raises RunTimeError if no
// control has that name or an entry does not parse; never reads outside
// `definition`.
std::span<const std::uint8_t> FindHolderBitmap(std::span<const std::uint8_t> definition,
                                               int number);

}  // namespace dorvik
