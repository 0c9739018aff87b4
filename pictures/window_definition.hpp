// The window definition's image controls Image1 .. Image36 and the frame
// pictures they carry, as stored bitmap files (8-bit, run-length encoded).
#pragma once

#include <cstdint>
#include <span>

namespace dorvik {

// The stored bitmap file carried by image control Image<number>, 1..36,
// found by the number in the control's name. Raises RunTimeError if the
// number names no holder or its record does not parse.
std::span<const std::uint8_t> HolderBitmapFile(int number);

}  // namespace dorvik
