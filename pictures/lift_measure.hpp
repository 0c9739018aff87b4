// Reads the moving parts' positions off a drawn frame (360 x 552 palette
// indices, top row first), so lifts can be checked from the pixels alone.
#pragma once

#include <cstdint>
#include <vector>

namespace dorvik::frames {

struct PartRows {
  int follower_bottom = -1;  // the cup's face
  int rod_top = -1;
  int valve_bottom = -1;  // the head's face
  int stem_top = -1;
};

PartRows MeasureParts(const std::vector<std::uint8_t>& pixels);

}  // namespace dorvik::frames
