#include "pictures/window_definition.hpp"

#include "pictures/picture_record.hpp"
#include "pictures/window_definition_data.hpp"

namespace dorvik {

std::span<const std::uint8_t> HolderBitmapFile(int number) {
  return FindHolderBitmap({window_definition_data::kBytes, window_definition_data::kSize}, number);
}

}  // namespace dorvik
