// The window definition's bytes, written into the build tree by
// dorvik-framegen (see picture_record.hpp for their layout).
#pragma once

#include <cstddef>
#include <cstdint>

namespace dorvik::window_definition_data {

extern const std::uint8_t kBytes[];
extern const std::size_t kSize;

}  // namespace dorvik::window_definition_data
